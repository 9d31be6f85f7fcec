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
    // The row addresses come from one lookup per image, not one toolkit call per row.
    uchar* to = dst.bits() + static_cast<qsizetype>(y) * dst.bytesPerLine() +
                static_cast<qsizetype>(x) * sizeof(QRgb);
    const uchar* from = src.constBits() + static_cast<qsizetype>(sy) * src.bytesPerLine() +
                        static_cast<qsizetype>(sx) * sizeof(QRgb);
    qsizetype toStride = dst.bytesPerLine();
    qsizetype fromStride = src.bytesPerLine();
    // Same surface, overlapping rows: copy in the order that reads each row before it is written.
    if (&dst == &src && y > sy) {
        to += (height - 1) * toStride;
        from += (height - 1) * fromStride;
        toStride = -toStride;
        fromStride = -fromStride;
    }
    for (int i = 0; i < height; ++i, to += toStride, from += fromStride) {
        std::memmove(to, from, bytes);
    }
    return true;
}

}  // namespace krellon
