// Direct editing with the mouse: presses on the board place and remove bricks, presses on
// the palette choose the brick to place; hovering either tells what lies under the pointer.
#include <cmath>

#include "Form1.h"
#include "document/BoardSetDocument.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/PictureBox.h"

namespace krellon {

namespace {

// Mouse positions come as single-precision values; they are rounded to the nearest whole
// number, ties to the even one.
long RoundPosition(float value) {
    return std::lrint(value);
}

}  // namespace

void Form1::Picture1_MouseDown(int button, float x, float y) {
    const long xr = RoundPosition(x);
    const long yr = RoundPosition(y);
    // A position on the surface's last pixel can round to 600 or 300, outside the grid.
    if (xr < 0 || yr < 0 || xr >= 30 * kBoardColumns || yr >= 15 * kBoardRows) {
        return;
    }
    const int c = static_cast<int>(xr / 30);
    const int r = static_cast<int>(yr / 15);
    // The document stores the code and has the cell drawn; with no brick selected a left
    // press empties the cell.
    if (button == 1) {
        Document->setCells(CurrentBoard, {{c, r, SelectedBrick}},
                           SelectedBrick == 0 ? "Remove Brick" : "Place Brick");
    } else if (button == 2) {
        Document->setCells(CurrentBoard, {{c, r, 0}}, "Remove Brick");
    }
}

void Form1::Picture2_MouseDown(int, float x, float y) {
    const long xr = RoundPosition(x);
    const long yr = RoundPosition(y);
    // The surface is one pixel wider than its 16 slots; that last column is no slot.
    if (xr < 0 || yr < 0 || xr / 35 >= 16) {
        return;
    }
    const int t = static_cast<int>(yr / 20);
    const int s = static_cast<int>(xr / 35);
    const int k = t * 16 + s + 1;
    if (k > BrickCount()) {
        return;
    }
    SelectedBrick = k;
    Combo2->SetListIndex(k - 1);  // its handler finds SelectedBrick equal and does nothing
    DrawSelectedBrick();          // slot (s, t) is brick k's
}

QString Form1::BoardToolTip(int x, int y) const {
    if (x < 0 || y < 0 || x >= 600 || y >= 300) {
        return {};
    }
    const int c = x / 30;
    const int r = y / 15;
    const std::int32_t k = BrickGrid(CurrentBoard, c, r);
    const QString cell = QString("Column %1, row %2: ").arg(c + 1).arg(r + 1);
    if (k == 0) {
        return cell + "empty";
    }
    if (k < 0 || k > BrickCount()) {
        return cell + QString("brick %1, not in the brick set").arg(k);
    }
    return cell + QString("brick %1, %2").arg(k).arg(BrickNames()[k]);
}

QString Form1::PaletteToolTip(int x, int y) const {
    if (x < 0 || y < 0 || x / 35 >= 16) {
        return {};
    }
    const int k = (y / 20) * 16 + x / 35 + 1;
    if (k > BrickCount()) {
        return {};
    }
    return QString("Brick %1: %2").arg(k).arg(BrickNames()[k]);
}

}  // namespace krellon
