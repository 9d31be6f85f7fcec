// The board surface Picture1: the background tiled under the board, bricks copied from the
// palette, the mark for codes the brick set lacks, and the hidden-brick toggle.
#include "Form1.h"
#include "platform/BitBlt.h"
#include "platform/Colours.h"
#include "platform/Controls.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"

namespace krellon {

void Form1::PaintBoard() {
    LoadBackgr();
    for (int c = 0; c < kBoardColumns; ++c) {
        for (int r = 0; r < kBoardRows; ++r) {
            DrawCell(c, r);
        }
    }
    Picture1->Refresh();
    Label5->SetCaption("Board " + QString::number(CurrentBoard));
}

void Form1::DrawCell(int column, int row) {
    // A code the brick set lacks shows its mark even where its stale name reads "Hidden".
    const std::int32_t k = BrickGrid[CurrentBoard][column][row];
    if (k == 0) {
        ClearBrick(column, row);
    } else if (k < 0 || k > BrickCount) {
        DrawMissingBrick(column, row);
    } else if (IsBackgroundCell(k)) {
        ClearBrick(column, row);
    } else {
        BrickBlit(k, column, row);
    }
}

void Form1::ClearBrick(int column, int row) {
    // Board pixel (x, y) shows background pixel (x mod W, y mod H): the cell is copied in the
    // pieces that the tile edges cut it into, left to right and, within that, top to bottom.
    const auto [w, h] = TileSize(BoardBackground[CurrentBoard]);
    const int x0 = column * 30;
    const int y0 = row * 15;
    for (int x = x0; x < x0 + 30;) {
        const int sx = x % w;
        const int pieceWidth = std::min(w - sx, x0 + 30 - x);
        for (int y = y0; y < y0 + 15;) {
            const int sy = y % h;
            const int pieceHeight = std::min(h - sy, y0 + 15 - y);
            BitBlt(*Picture1, x, y, pieceWidth, pieceHeight, *Picture3, sx, sy, SRCCOPY);
            y += pieceHeight;
        }
        x += pieceWidth;
    }
}

void Form1::BrickBlit(int k, int column, int row) {
    if (k < 1 || k > kMaxBrickCode) {
        return;
    }
    BitBlt(*Picture1, column * 30, row * 15, 30, 15, *Picture2, SlotLeft(k), SlotTop(k), SRCCOPY);
}

void Form1::DrawMissingBrick(int column, int row) {
    const int x0 = column * 30;
    const int y0 = row * 15;
    Picture1->FillBox(x0, y0, x0 + 29, y0 + 14, kWhite);
    Picture1->Box(x0, y0, x0 + 29, y0 + 14, kRed);
    Picture1->Line(x0, y0, x0 + 29, y0 + 14, kRed);
    Picture1->Line(x0, y0 + 14, x0 + 29, y0, kRed);
}

void Form1::Check1_Click() {
    // Every cell whose code has the name "Hidden", even a name left by a larger brick set:
    // its slot is copied in, or the background in its place.
    const bool showHidden = Check1->Checked();
    for (int r = 0; r < kBoardRows; ++r) {
        for (int c = 0; c < kBoardColumns; ++c) {
            const std::int32_t k = BrickGrid[CurrentBoard][c][r];
            if (!IsHiddenBrick(k)) {
                continue;
            }
            if (showHidden) {
                BrickBlit(k, c, r);
            } else {
                ClearBrick(c, r);
            }
        }
    }
    Picture1->Refresh();
}

}  // namespace krellon
