#pragma once

#include "platform/PictureBox.h"

namespace krellon {

// The explorer's picture of the image: a surface shown zoomed (every pixel a zoom x zoom block,
// tooltips asked at the pixel under the pointer) whose Ctrl+wheel asks for another zoom.
class ExplorerPicture : public PictureBox {
    Q_OBJECT

public:
    using PictureBox::PictureBox;

    // 1 to 4; the owner sizes the widget to the image's size times the zoom.
    void setZoom(int zoom);
    int zoom() const { return zoom_; }

signals:
    // Ctrl+wheel over the picture: steps in (positive) or out, at a point of the widget.
    void zoomWheel(int steps, QPoint at);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    int zoom_ = 1;
    int wheelDelta_ = 0;  // a touchpad's small turns add up to whole steps
};

}  // namespace krellon
