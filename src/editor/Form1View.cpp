// The view of the window beyond the original's: the board zoomed, with the controls beside and
// below it moved out of its way, and bricks chosen by code.
#include <algorithm>

#include "Form1.h"
#include "platform/ComboBox.h"
#include "platform/PictureBox.h"

namespace krellon {

namespace {

// The board's place and size at 1x: the controls right of it and below it make way.
constexpr int kBoardRight = 600;
constexpr int kBoardBottom = 356;
constexpr QSize kClientSize(754, 575);

}  // namespace

void Form1::SetZoom(int zoom) {
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (homes_.empty()) {
        // Every control's place at 1x, before any has moved.
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (qobject_cast<PictureBox*>(child) == nullptr) {
                homes_.emplace_back(child, child->pos());
            }
        }
    }
    Zoom = zoom;
    const QPoint grown(kBoardRight * (zoom - 1), (kBoardBottom - 56) * (zoom - 1));
    // Right of the board, a control moves right; below it, down.
    const auto offset = [&](QPoint home) {
        if (home.x() >= kBoardRight) {
            return QPoint(grown.x(), 0);
        }
        return home.y() >= kBoardBottom ? QPoint(0, grown.y()) : QPoint();
    };
    for (const auto& [child, home] : homes_) {
        child->move(home + offset(home));
    }
    for (PictureBox* picture : {Picture2, Picture3, Picture4}) {
        picture->SetOrigin(offset(picture->Home()));
    }
    Picture1->SetScale(zoom);
    setFixedSize(kClientSize + QSize(grown.x(), grown.y()));
}

void Form1::SelectBrick(int k) {
    if (k < 1 || k > BrickCount() || k == SelectedBrick) {
        return;
    }
    // As a click on its palette slot does.
    SelectedBrick = k;
    Combo2->SetListIndex(k - 1);
    DrawSelectedBrick();
}

}  // namespace krellon
