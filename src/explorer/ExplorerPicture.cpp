#include "ExplorerPicture.h"

#include <QWheelEvent>
#include <algorithm>

#include "platform/Handlers.h"

namespace krellon {

void ExplorerPicture::setZoom(int zoom) {
    // The surface draws only the exposed blocks and maps the pointer to image pixels.
    zoom_ = std::clamp(zoom, 1, 4);
    SetScale(zoom_);
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

}  // namespace krellon
