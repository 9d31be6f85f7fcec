#include "PictureBox.h"
#include "Handlers.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Colours.h"

namespace krellon {

PictureBox::PictureBox(QWidget* parent, ColourValue backColour)
    : QWidget(parent), backColour_(backColour) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::Move(int left, int top, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (image_.width() != width || image_.height() != height) {
        image_ = QImage(width, height, QImage::Format_RGB32);
        image_.fill(ToRgb(backColour_));
    }
    setGeometry(left, top, width, height);
}

void PictureBox::Cls() {
    image_.fill(ToRgb(backColour_));
}

void PictureBox::SetBackColour(ColourValue colour) {
    backColour_ = colour;
}

void PictureBox::PSet(int x, int y, ColourValue colour) {
    if (x >= 0 && y >= 0 && x < image_.width() && y < image_.height()) {
        reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = ToRgb(colour);
    }
}

void PictureBox::FillBox(int x1, int y1, int x2, int y2, ColourValue colour) {
    const int left = std::max(std::min(x1, x2), 0);
    const int right = std::min(std::max(x1, x2), image_.width() - 1);
    const int top = std::max(std::min(y1, y2), 0);
    const int bottom = std::min(std::max(y1, y2), image_.height() - 1);
    if (left > right || top > bottom) {
        return;
    }
    const QRgb pixel = ToRgb(colour);
    const qsizetype stride = image_.bytesPerLine();
    uchar* row = image_.bits() + top * stride;
    for (int y = top; y <= bottom; ++y, row += stride) {
        QRgb* pixels = reinterpret_cast<QRgb*>(row);
        std::fill(pixels + left, pixels + right + 1, pixel);
    }
}

void PictureBox::Box(int x1, int y1, int x2, int y2, ColourValue colour) {
    FillBox(x1, y1, x2, y1, colour);
    FillBox(x1, y2, x2, y2, colour);
    FillBox(x1, y1, x1, y2, colour);
    FillBox(x2, y1, x2, y2, colour);
}

void PictureBox::Line(int x1, int y1, int x2, int y2, ColourValue colour) {
    // Bresenham: each step moves one pixel along the longer axis.
    const int dx = std::abs(x2 - x1);
    const int dy = -std::abs(y2 - y1);
    const int stepX = x1 < x2 ? 1 : -1;
    const int stepY = y1 < y2 ? 1 : -1;
    int error = dx + dy;
    while (true) {
        PSet(x1, y1, colour);
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

void PictureBox::Print(int x, int y, const QString& text) {
    QPainter painter(&image_);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(x, y + QFontMetrics(font()).ascent(), text);
}

void PictureBox::PaintPicture(const PictureBox& source, int dx, int dy, int dw, int dh, int sx,
                              int sy, int sw, int sh) {
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) {
        return;
    }
    const QImage& src = source.image();
    const int srcWidth = src.width();
    const int srcHeight = src.height();
    const int firstX = std::max(dx, 0);
    const int endX = std::min(dx + dw, image_.width());
    const int endY = std::min(dy + dh, image_.height());
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
        QRgb* out = reinterpret_cast<QRgb*>(image_.scanLine(y)) + firstX;
        for (const int srcX : columns) {
            if (srcX >= 0 && srcX < srcWidth) {
                *out = in[srcX];
            }
            ++out;
        }
    }
}

void PictureBox::PutIndexed(int left, int top, int width, int height, const std::uint8_t* indices,
                            const std::array<QRgb, 256>& colours, int scale) {
    if (width <= 0 || height <= 0 || scale <= 0) {
        return;
    }
    // Whole scanlines: each source row becomes one converted row, copied scale times.
    const int imageHeight = image_.height();
    const long long right =
        std::min<long long>(left + static_cast<long long>(width) * scale, image_.width());
    const int firstX = std::max(left, 0);
    if (right <= firstX) {
        return;
    }
    const auto skipped = static_cast<long long>(firstX) - left;  // output pixels left of 0
    // Row addresses from one lookup, not a toolkit call per row.
    uchar* const bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
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

void PictureBox::Refresh() {
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    int button = 0;
    switch (event->button()) {
        case Qt::LeftButton:
            button = 1;
            break;
        case Qt::RightButton:
            button = 2;
            break;
        case Qt::MiddleButton:
            button = 4;
            break;
        default:
            button = 0;
            break;
    }
    pressed_ = event->button() == Qt::LeftButton;
    if (MouseDown) {
        const QPointF p = event->position();
        RunHandler(
            this, [&] { MouseDown(button, static_cast<float>(p.x()), static_cast<float>(p.y())); });
    }
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a left press and release over the surface.
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) {
        RunHandler(this, Click);
    }
}

bool PictureBox::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && ToolTipAt) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = ToolTipAt(help->pos().x(), help->pos().y());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, this);
        }
        return true;
    }
    return QWidget::event(event);
}

}  // namespace krellon
