#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace krellon {

// Texts in the game files are single-byte Windows-1252. The five bytes that code page leaves
// undefined decode to the control characters of the same number, so that every byte string
// decodes and encodes back unchanged.
QString FromCp1252(std::string_view bytes);

// Encodes text as Windows-1252; characters the code page cannot hold become "?".
std::string ToCp1252(const QString& text);

}  // namespace krellon
