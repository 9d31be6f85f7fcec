#include "Raster.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace krellon::raster {

void SetPixel(QImage& image, int x, int y, QRgb colour) {
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height()) {
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = colour;
    }
}

void FillBox(QImage& image, int x1, int y1, int x2, int y2, QRgb colour) {
    const int left = std::max(std::min(x1, x2), 0);
    const int right = std::min(std::max(x1, x2), image.width() - 1);
    const int top = std::max(std::min(y1, y2), 0);
    const int bottom = std::min(std::max(y1, y2), image.height() - 1);
    if (left > right || top > bottom) {
        return;
    }
    const QRgb pixel = colour;
    const qsizetype stride = image.bytesPerLine();
    uchar* row = image.bits() + top * stride;
    for (int y = top; y <= bottom; ++y, row += stride) {
        QRgb* pixels = reinterpret_cast<QRgb*>(row);
        std::fill(pixels + left, pixels + right + 1, pixel);
    }
}

void Box(QImage& image, int x1, int y1, int x2, int y2, QRgb colour) {
    FillBox(image, x1, y1, x2, y1, colour);
    FillBox(image, x1, y2, x2, y2, colour);
    FillBox(image, x1, y1, x1, y2, colour);
    FillBox(image, x2, y1, x2, y2, colour);
}

void Line(QImage& image, int x1, int y1, int x2, int y2, QRgb colour) {
    // Bresenham: each step moves one pixel along the longer axis.
    const int dx = std::abs(x2 - x1);
    const int dy = -std::abs(y2 - y1);
    const int stepX = x1 < x2 ? 1 : -1;
    const int stepY = y1 < y2 ? 1 : -1;
    int error = dx + dy;
    while (true) {
        SetPixel(image, x1, y1, colour);
        if (x1 == x2 && y1 == y2) {
            break;
        }
        const int e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x1 += stepX;
        }
        if (e2 <= dx) {
            error += dx;
            y1 += stepY;
        }
    }
}

void Stretch(QImage& image, int dx, int dy, int dw, int dh, const QImage& src, int sx, int sy,
             int sw, int sh) {
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) {
        return;
    }
    const int srcWidth = src.width();
    const int srcHeight = src.height();
    const int firstX = std::max(dx, 0);
    const int endX = std::min(dx + dw, image.width());
    const int endY = std::min(dy + dh, image.height());
    if (firstX >= endX) {
        return;
    }
    // The source column of each destination column, worked out once for all rows.
    std::vector<int> columns(static_cast<std::size_t>(endX - firstX));
    for (int x = firstX; x < endX; ++x) {
        columns[static_cast<std::size_t>(x - firstX)] =
            sx + static_cast<int>(static_cast<long long>(x - dx) * sw / dw);
    }
    for (int y = std::max(dy, 0); y < endY; ++y) {
        const int srcY = sy + static_cast<int>(static_cast<long long>(y - dy) * sh / dh);
        if (srcY < 0 || srcY >= srcHeight) {
            continue;
        }
        const QRgb* in = reinterpret_cast<const QRgb*>(src.constScanLine(srcY));
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y)) + firstX;
        for (const int srcX : columns) {
            if (srcX >= 0 && srcX < srcWidth) {
                *out = in[srcX];
            }
            ++out;
        }
    }
}

void PutIndexed(QImage& image, int left, int top, int width, int height,
                const std::uint8_t* indices, const std::array<QRgb, 256>& colours, int scale) {
    if (width <= 0 || height <= 0 || scale <= 0) {
        return;
    }
    // Whole scanlines: each source row becomes one converted row, copied scale times.
    const int imageHeight = image.height();
    const long long right =
        std::min<long long>(left + static_cast<long long>(width) * scale, image.width());
    const int firstX = std::max(left, 0);
    if (right <= firstX) {
        return;
    }
    const auto skipped = static_cast<long long>(firstX) - left;  // output pixels left of 0
    // Row addresses from one lookup, not a toolkit call per row.
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int y = 0; y < height; ++y) {
        const long long rowTop = top + static_cast<long long>(y) * scale;
        if (rowTop >= imageHeight) {
            break;
        }
        if (rowTop + scale <= 0) {
            continue;
        }
        const std::uint8_t* in =
            indices + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        const int firstRow = static_cast<int>(std::max<long long>(rowTop, 0));
        QRgb* out = reinterpret_cast<QRgb*>(bits + firstRow * stride);
        if (scale == 1) {
            const std::uint8_t* from = in + skipped;
            for (long long x = firstX; x < right; ++x) {
                out[x] = colours[*from++];
            }
        } else {
            // Each source pixel fills a run of scale output pixels.
            long long x = firstX;
            long long source = skipped / scale;
            long long run = scale - skipped % scale;
            while (x < right) {
                const QRgb colour = colours[in[source++]];
                for (const long long end = std::min(x + run, right); x < end; ++x) {
                    out[x] = colour;
                }
                run = scale;
            }
        }
        const int lastRow = static_cast<int>(std::min<long long>(rowTop + scale, imageHeight));
        for (int row = firstRow + 1; row < lastRow; ++row) {
            std::memcpy(bits + row * stride + firstX * sizeof(QRgb), out + firstX,
                        static_cast<std::size_t>(right - firstX) * sizeof(QRgb));
        }
    }
}

void Copy(QImage& dst, int x, int y, int width, int height, const QImage& src, int sx, int sy) {
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
        return;
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
}

void Print(QImage& image, int x, int y, const QString& text, const QFont& font, QRgb colour) {
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(colour));
    painter.drawText(x, y + QFontMetrics(font).ascent(), text);
}

}  // namespace krellon::raster
