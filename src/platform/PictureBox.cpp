#include "PictureBox.h"
#include "Handlers.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "render/Colours.h"
#include "render/Raster.h"

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
    home_ = QPoint(left, top);
    setGeometry(left + origin_.x(), top + origin_.y(), width * scale_, height * scale_);
}

void PictureBox::SetOrigin(QPoint offset) {
    origin_ = offset;
    move(home_ + origin_);
}

void PictureBox::SetScale(int scale) {
    scale_ = std::clamp(scale, 1, 4);
    resize(image_.width() * scale_, image_.height() * scale_);
    update();
}

QPointF PictureBox::ToImage(QPointF at) const {
    if (scale_ == 1) {
        return at;
    }
    return {std::floor(at.x() / scale_), std::floor(at.y() / scale_)};
}

void PictureBox::RefreshRect(const QRect& imageRect) {
    update(QRect(imageRect.topLeft() * scale_, imageRect.size() * scale_));
}

void PictureBox::Cls() {
    image_.fill(ToRgb(backColour_));
}

void PictureBox::FillBox(int x1, int y1, int x2, int y2, ColourValue colour) {
    raster::FillBox(image_, x1, y1, x2, y2, ToRgb(colour));
}

void PictureBox::Box(int x1, int y1, int x2, int y2, ColourValue colour) {
    raster::Box(image_, x1, y1, x2, y2, ToRgb(colour));
}

void PictureBox::Line(int x1, int y1, int x2, int y2, ColourValue colour) {
    raster::Line(image_, x1, y1, x2, y2, ToRgb(colour));
}

void PictureBox::Print(int x, int y, const QString& text) {
    raster::Print(image_, x, y, text, font(), palette().color(QPalette::WindowText).rgb());
}

void PictureBox::PaintPicture(const PictureBox& source, int dx, int dy, int dw, int dh, int sx,
                              int sy, int sw, int sh) {
    raster::Stretch(image_, dx, dy, dw, dh, source.image(), sx, sy, sw, sh);
}

void PictureBox::PutIndexed(int left, int top, int width, int height, const std::uint8_t* indices,
                            const std::array<QRgb, 256>& colours, int scale) {
    raster::PutIndexed(image_, left, top, width, height, indices, colours, scale);
}

void PictureBox::Refresh() {
    update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (scale_ == 1) {
        painter.drawImage(event->rect(), image_, event->rect());
    } else {
        // Only the blocks of the exposed region, each image pixel k x k with no smoothing.
        const QRect exposed = event->rect();
        const QRect source(exposed.left() / scale_, exposed.top() / scale_,
                           exposed.width() / scale_ + 2, exposed.height() / scale_ + 2);
        const QRect clipped = source.intersected(image_.rect());
        painter.drawImage(QRect(clipped.topLeft() * scale_, clipped.size() * scale_), image_,
                          clipped);
    }
    if (Overlay) {
        Overlay(painter, scale_);
    }
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
    pressModifiers_ = event->modifiers();
    const QPointF p = ToImage(event->position());
    RunHandler(this, [&] {
        emit mouseDown(button, static_cast<float>(p.x()), static_cast<float>(p.y()));
    });
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = ToImage(event->position()).toPoint();
    RunHandler(this, [&] { emit mouseMoved(at); });
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a left press and release over the surface.
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    const QPoint at = ToImage(event->position()).toPoint();
    RunHandler(this, [&] { emit mouseUp(at); });
    if (click) {
        RunHandler(this, [&] { emit clicked(); });
    }
}

bool PictureBox::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && ToolTipAt) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPoint at = ToImage(help->pos()).toPoint();
        const QString tip = ToolTipAt(at.x(), at.y());
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
