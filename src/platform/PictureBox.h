#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "formats/Colour.h"

namespace krellon {

// A drawing surface. Everything drawn goes into an off-screen image that survives repaints
// and can be copied from while covered; Refresh() puts it on the screen. The mouse on it is
// told by signals, each run as an event handler of the surface.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    explicit PictureBox(QWidget* parent, ColourValue backColour);

    // Position and size in the parent's pixels; a new size starts a cleared image.
    void Move(int left, int top, int width, int height);
    // Clears the image to the background colour.
    void Cls();

    // A filled rectangle between two corners, both corner pixels included.
    void FillBox(int x1, int y1, int x2, int y2, ColourValue colour);
    // The outline of the rectangle between two corners, both corner pixels included.
    void Box(int x1, int y1, int x2, int y2, ColourValue colour);
    // A one-pixel line between two points, both end points included.
    void Line(int x1, int y1, int x2, int y2, ColourValue colour);
    // Text with its top-left corner at (x, y) in the surface's font and text colour.
    void Print(int x, int y, const QString& text);
    // A copy of a rectangle of source's image stretched to a rectangle of this one; every
    // source pixel becomes a block (nearest neighbour, no smoothing).
    void PaintPicture(const PictureBox& source, int dx, int dy, int dw, int dh, int sx, int sy,
                      int sw, int sh);
    // Draws an indexed image of width x height palette indices (top row first) with its top-left
    // corner at (left, top), each index through colours, each pixel as a scale x scale block.
    void PutIndexed(int left, int top, int width, int height, const std::uint8_t* indices,
                    const std::array<QRgb, 256>& colours, int scale = 1);
    // Puts the image on the screen.
    void Refresh();

    // Moves the surface's place by offset in its parent, now and at every Move to come: its
    // parent's layout has grown around it.
    void SetOrigin(QPoint offset);
    // The place Move gave, before any origin.
    QPoint Home() const { return home_; }
    // Shows the image with every pixel a scale x scale block (1 to 4); mouse positions and
    // tooltips then come in the image's pixels. Drawing goes on in the image's pixels.
    void SetScale(int scale);
    int Scale() const { return scale_; }
    // The keyboard modifiers held at the last mouse press.
    Qt::KeyboardModifiers PressModifiers() const { return pressModifiers_; }
    // Drawn over the image on the screen only, never into it: painter in the widget's pixels,
    // with the scale in use.
    std::function<void(QPainter& painter, int scale)> Overlay;
    // Repaints the screen over the rectangle of image pixels (a cell cursor moving, say).
    void RefreshRect(const QRect& imageRect);

    QImage& image() { return image_; }
    const QImage& image() const { return image_; }

    // The tooltip for a point, or an empty text for none: a question the surface asks, not
    // an event it tells.
    std::function<QString(int x, int y)> ToolTipAt;

signals:
    // Mouse press: button 1 left, 2 right, 4 middle; x and y as the toolkit delivers them.
    void mouseDown(int button, float x, float y);
    // The mouse moved: over the surface, or anywhere while a button is held.
    void mouseMoved(QPoint at);
    // A button was released.
    void mouseUp(QPoint at);
    // A left press and release over the surface.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    // A widget position in the image's pixels: as delivered at 1x, else the block it lies in.
    QPointF ToImage(QPointF at) const;

    QImage image_;
    ColourValue backColour_;
    int scale_ = 1;
    QPoint home_;    // the place Move gave, in the parent's pixels
    QPoint origin_;  // added to it by the parent's layout
    Qt::KeyboardModifiers pressModifiers_;
    bool pressed_ = false;
};

}  // namespace krellon
