#pragma once

#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>

#include "formats/Colour.h"
#include "formats/ImageFile.h"

namespace krellon {

class Form2;

// The state that both windows share; it lives as long as the program, so the explorer's state
// survives closing its window.
struct Module1 {
    static constexpr int kImageSlots = kMaxExplorerImages + 1;

    // What the editor hands the explorer: the image file and the 1-based image to show.
    QString ExplorerFile;
    std::int32_t CurrentImage = 1;

    std::int32_t ImageCount = 0;
    // The records of the explorer's file, image i in slot i; slot 0 holds the file palette.
    std::array<ImageRecord, kImageSlots> ImageTable;
    // Slot i (1..ImageCount) holds the name of image i; slot 0 holds BitmapFile.
    std::array<QString, kImageSlots> ImageNames;
    QString& BitmapFile() { return ImageNames[0]; }

    // The explorer from its first use until closed.
    QPointer<Form2> Explorer;
};

// The program's one instance.
Module1& Shared();

}  // namespace krellon
