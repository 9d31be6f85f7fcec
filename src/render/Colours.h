#pragma once

#include <QRgb>

#include "formats/Colour.h"

namespace krellon {

// A colour value of the game files (red in the low byte) as a pixel of a drawing surface.
constexpr QRgb ToRgb(ColourValue c) {
    return 0xFF000000u | (static_cast<QRgb>(RedOf(c)) << 16) |
           (static_cast<QRgb>(GreenOf(c)) << 8) | static_cast<QRgb>(BlueOf(c));
}

// A pixel of a drawing surface as a colour value.
constexpr ColourValue FromRgb(QRgb p) {
    return MakeColour(qRed(p), qGreen(p), qBlue(p));
}

constexpr ColourValue kWhite = MakeColour(255, 255, 255);
constexpr ColourValue kBlack = MakeColour(0, 0, 0);
constexpr ColourValue kRed = MakeColour(255, 0, 0);

}  // namespace krellon
