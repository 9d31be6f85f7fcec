#include "BitBlt.h"

#include <algorithm>
#include <cstring>

#include "PictureBox.h"

namespace krellon {

bool BitBlt(PictureBox& destination, int x, int y, int width, int height, const PictureBox& source,
            int sx, int sy, std::uint32_t rop) {
    if (rop != SRCCOPY) {
        return false;
    }
    QImage& dst = destination.image();
    const QImage& src = source.image();
    // Clip the rectangle so that both its source and its destination lie inside their images.
    const int shiftX = std::max({0, -x, -sx});
    const int shiftY = std::max({0, -y, -sy});
    x += shiftX;
    sx += shiftX;
    y += shiftY;
    sy += shiftY;
    width = std::min({width - shiftX, dst.width() - x, src.width() - sx});
    height = std::min({height - shiftY, dst.height() - y, src.height() - sy});
    if (width <= 0 || height <= 0) {
        return true;
    }
    const std::size_t bytes = static_cast<std::size_t>(width) * sizeof(QRgb);
    // Same surface, overlapping rows: copy in the order that reads each row before it is written.
    const bool upward = &dst == &src && y > sy;
    for (int i = 0; i < height; ++i) {
        const int row = upward ? height - 1 - i : i;
        std::memmove(dst.scanLine(y + row) + x * sizeof(QRgb),
                     src.constScanLine(sy + row) + sx * sizeof(QRgb), bytes);
    }
    return true;
}

}  // namespace krellon
