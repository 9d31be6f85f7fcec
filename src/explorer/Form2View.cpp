// The explorer's view: the picture zoomed 1x to 4x and the client area scrolled in a window of
// any size. At 1x and the default size the client area is the original's, pixel for pixel.
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <algorithm>

#include "Form2.h"
#include "platform/PictureBox.h"

namespace krellon {

namespace {

// The picture's designed square in the client area, and the client area's designed size.
constexpr QRect kSquare(7, 10, 256, 256);
constexpr QSize kClientSize(536, 354);

}  // namespace

QSize Form2::sizeHint() const {
    return {kClientSize.width(),
            MenuBar->sizeHint().height() + kClientSize.height() + StatusBar->sizeHint().height()};
}

void Form2::ZoomIn() {
    SetZoom(Zoom + 1, ClientScroll->viewport()->rect().center());
}

void Form2::ZoomOut() {
    SetZoom(Zoom - 1, ClientScroll->viewport()->rect().center());
}

void Form2::ActualSize() {
    SetZoom(1, ClientScroll->viewport()->rect().center());
}

void Form2::SetZoom(int zoom, QPoint anchor) {
    zoom = std::clamp(zoom, 1, kMaxZoom);
    if (zoom == Zoom) {
        return;
    }
    QScrollBar* h = ClientScroll->horizontalScrollBar();
    QScrollBar* v = ClientScroll->verticalScrollBar();
    // The picture point under the anchor, in 1x pixels of the picture.
    const QPointF point =
        QPointF(anchor + QPoint(h->value(), v->value()) - Picture1->pos()) / double(Zoom);
    Zoom = zoom;
    LayoutClient();
    const QPoint at = Picture1->pos() + (point * Zoom).toPoint() - anchor;
    // Along an axis where the picture fits the window it is shown whole, however the point
    // kept under the anchor would place it.
    const QRect picture = Picture1->geometry();
    const QSize view = ClientScroll->viewport()->size();
    const auto whole = [](int value, int start, int length, int viewLength) {
        return length <= viewLength ? std::clamp(value, start + length - viewLength, start) : value;
    };
    h->setValue(whole(at.x(), picture.x(), picture.width(), view.width()));
    v->setValue(whole(at.y(), picture.y(), picture.height(), view.height()));
}

void Form2::PlacePicture(int left, int top, int width, int height) {
    Picture1->Move(left, top, width, height);
    picturePlace_ = Picture1->geometry();
    LayoutClient();
}

void Form2::LayoutClient() {
    const QRect at = picturePlace_;
    const QSize size = at.size() * Zoom;
    // Along each axis the picture keeps its centre while it fits the square; past it, it
    // starts at the square's corner.
    const int growX = std::max(0, size.width() - kSquare.width());
    const int growY = std::max(0, size.height() - kSquare.height());
    const QPoint centre(at.x() + at.width() / 2, at.y() + at.height() / 2);
    Picture1->setZoom(Zoom);
    Picture1->setGeometry(growX > 0 ? kSquare.x() : centre.x() - size.width() / 2,
                          growY > 0 ? kSquare.y() : centre.y() - size.height() / 2, size.width(),
                          size.height());
    for (const auto& [control, place] : designed_) {
        control->move(place.topLeft() + QPoint(place.x() > kSquare.right() ? growX : 0,
                                               place.y() > kSquare.bottom() ? growY : 0));
    }
    Client->setFixedSize(kClientSize + QSize(growX, growY));
    ZoomInAction->setEnabled(Zoom < kMaxZoom);
    ZoomOutAction->setEnabled(Zoom > 1);
    ActualSizeAction->setEnabled(Zoom > 1);
}

}  // namespace krellon
