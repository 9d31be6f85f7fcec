#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

class QPainter;

namespace krellon {

class BoardTools;
class Form1;

// The keyboard on the board and on the brick palette. On the board a cell cursor starts at the
// cell last pressed; arrow keys move it (and show it), Shift with them spans a rectangle from
// where it stood, Space places the selected brick with the active tool, Delete and Backspace
// empty, Escape drops the rectangle; a mouse press on the board hides it. On the palette the
// arrow keys choose the brick beside, above or below. The cursor is drawn over the board view
// only, never into the board's picture.
class BoardKeyboard : public QObject {
    Q_OBJECT

public:
    BoardKeyboard(Form1* editor, BoardTools* tools, QObject* parent = nullptr);

    // The cursor's cell, and the cells Space and Delete act on: the rectangle from the anchor
    // to the cursor, or the cursor's cell alone.
    QPoint cell() const { return cell_; }
    QRect cells() const;
    bool cursorShown() const { return shown_; }
    // Draws the cursor over the board view (painter in the view's pixels, at scale).
    void drawCursor(QPainter& painter, int scale) const;
    // Draws the mark of the selected brick over the palette while it has the keyboard.
    void drawPaletteMark(QPainter& painter) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool boardKey(int key, Qt::KeyboardModifiers modifiers);
    bool paletteKey(int key);
    void moveCursor(QPoint by, bool extend);
    // Repaints the board view where the cursor was and where it is.
    void refreshCursor(const QRect& before);

    Form1* editor_;
    BoardTools* tools_;
    QPoint cell_;    // the cursor's cell
    QPoint anchor_;  // the rectangle's other corner, while extending
    bool extending_ = false;
    bool shown_ = false;
};

}  // namespace krellon
