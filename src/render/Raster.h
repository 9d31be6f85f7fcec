#pragma once

#include <QFont>
#include <QImage>
#include <array>
#include <cstdint>

// Pixel operations on 32-bit images (QImage::Format_RGB32), clipped to the image. The
// windows' drawing surfaces and the command line draw with these, so both give the same pixels.
namespace krellon::raster {

void SetPixel(QImage& image, int x, int y, QRgb colour);
// A filled rectangle between two corners, both corner pixels included.
void FillBox(QImage& image, int x1, int y1, int x2, int y2, QRgb colour);
// The outline of the rectangle between two corners, both corner pixels included.
void Box(QImage& image, int x1, int y1, int x2, int y2, QRgb colour);
// A one-pixel line between two points, both end points included.
void Line(QImage& image, int x1, int y1, int x2, int y2, QRgb colour);
// Text with its top-left corner at (x, y).
void Print(QImage& image, int x, int y, const QString& text, const QFont& font, QRgb colour);
// Copies a width x height rectangle of source at (sx, sy) to (x, y) of destination, one
// scanline run at a time, clipped to both images; the two may be the same image.
void Copy(QImage& destination, int x, int y, int width, int height, const QImage& source, int sx,
          int sy);
// A rectangle of source stretched to a rectangle of destination; every source pixel becomes a
// block (nearest neighbour, no smoothing).
void Stretch(QImage& destination, int dx, int dy, int dw, int dh, const QImage& source, int sx,
             int sy, int sw, int sh);
// Draws width x height palette indices (top row first) with the top-left corner at (left, top),
// each index through colours, each pixel as a scale x scale block.
void PutIndexed(QImage& image, int left, int top, int width, int height,
                const std::uint8_t* indices, const std::array<QRgb, 256>& colours, int scale = 1);

}  // namespace krellon::raster
