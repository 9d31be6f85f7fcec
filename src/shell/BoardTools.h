#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>
#include <vector>

#include "document/BoardSetDocument.h"

class QKeyEvent;
class QMouseEvent;

namespace krellon {

class Form1;
class PictureBox;

// The painting tools of the board picture: the one route of presses on the board. Press is
// the original's press, the editor's own handler, untouched (with Mirror Painting on, the
// tools make its change and the mirror cell's in one step); Brush
// paints every cell a drag crosses, Rectangle fills the rectangle a drag spans, Fill fills the
// region of like cells around the pressed one; with Mirror Painting each change is made to the
// mirror cell too. A right button empties instead of placing SelectedBrick. Each stroke is one
// step.
class BoardTools : public QObject {
    Q_OBJECT

public:
    enum class Tool { Press, Brush, Rectangle, Fill };

    explicit BoardTools(Form1* editor, QObject* parent = nullptr);

    Tool current() const { return tool_; }
    void setTool(Tool tool);
    static QString name(Tool tool);

    bool mirror = false;  // Mirror Painting is on

    // Ends a stroke under way as it stands (focus lost, a dialog opened); cancels a rectangle.
    void endStroke();

    // The mouse on the board picture, at a position in its pixels; button 1 left, 2 right,
    // 4 middle. The raw position goes to the editor's handler under Press, as the toolkit
    // delivered it; a middle press or Alt with the left button picks the cell's brick.
    void press(int button, float x, float y);
    void press(int button, QPoint at);
    void move(QPoint at);
    void release(QPoint at);
    // Escape: the rectangle under way is dropped.
    void cancel();
    // The keyboard's Space (button 1) or Delete (button 2) on cells, a rectangle of cells:
    // one cell is pressed as the active tool presses it, more are filled; one step.
    void apply(int button, QRect cells);
    // Makes the brick of the cell under a position the selected brick; places nothing.
    void pick(QPoint at);

signals:
    void toolChanged(BoardTools::Tool tool);

protected:
    // Escape, focus lost and the board hidden: the keys and states that end a stroke.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The cell under a position, if it is on the board.
    static std::optional<QPoint> cellAt(QPoint at);
    // The edits that set cells (and, with Mirror Painting, their mirror cells) to code.
    std::vector<CellEdit> editsFor(const std::vector<QPoint>& cells, std::int32_t code) const;
    std::int32_t selectedCode() const;
    void paintCells(const std::vector<QPoint>& cells);
    // Sets cells (and their mirror cells) as button does, in one step named after the tool.
    void placeCells(int button, const std::vector<QPoint>& cells);
    // Redraws the cells of the rectangle between two cells as they are, without an outline.
    void redrawRectangle(QPoint a, QPoint b);
    void outlineRectangle(QPoint a, QPoint b);

    Form1* editor_;
    PictureBox* board_;  // the editor's board picture
    Tool tool_ = Tool::Press;
    int button_ = 0;        // the button of the stroke under way; 0 for none
    QPoint last_;           // the brush's last cell, the rectangle's anchor
    QPoint corner_;         // the rectangle's other corner
    int stroke_ = 0;        // the number of the brush stroke under way, or of the last
    bool pushing_ = false;  // the tools themselves are making a step
};

}  // namespace krellon
