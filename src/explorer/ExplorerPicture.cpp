#include "ExplorerPicture.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "platform/Handlers.h"

namespace krellon {

void ExplorerPicture::setZoom(int zoom) {
    zoom_ = std::clamp(zoom, 1, 4);
    update();
}

void ExplorerPicture::paintEvent(QPaintEvent* event) {
    if (zoom_ == 1) {
        PictureBox::paintEvent(event);
        return;
    }
    // Only the exposed part is enlarged: a 4096-pixel image at 4x would not fit in memory whole.
    const QImage& from = image();
    const QRect area = event->rect() & QRect(0, 0, from.width() * zoom_, from.height() * zoom_);
    if (area.isEmpty()) {
        return;
    }
    QImage part(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        const auto* in =
            reinterpret_cast<const QRgb*>(from.constScanLine((area.top() + y) / zoom_));
        auto* out = reinterpret_cast<QRgb*>(part.scanLine(y));
        for (int x = 0; x < area.width(); ++x) {
            out[x] = in[(area.left() + x) / zoom_];
        }
    }
    QPainter(this).drawImage(area.topLeft(), part);
}

void ExplorerPicture::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();  // the scroll area scrolls
        return;
    }
    event->accept();
    wheelDelta_ += event->angleDelta().y();
    const int steps = wheelDelta_ / 120;
    wheelDelta_ %= 120;
    if (steps != 0) {
        const QPoint at = event->position().toPoint();
        RunHandler(this, [&] { emit zoomWheel(steps, at); });
    }
}

bool ExplorerPicture::event(QEvent* event) {
    // The tooltip is asked at the image pixel under the pointer, as at 1x.
    if (event->type() == QEvent::ToolTip && zoom_ > 1) {
        auto* help = static_cast<QHelpEvent*>(event);
        // Integer division: QPoint's own rounds.
        const QPoint pixel(help->pos().x() / zoom_, help->pos().y() / zoom_);
        QHelpEvent at(QEvent::ToolTip, pixel, help->globalPos());
        const bool handled = PictureBox::event(&at);
        event->setAccepted(at.isAccepted());
        return handled;
    }
    return PictureBox::event(event);
}

}  // namespace krellon
