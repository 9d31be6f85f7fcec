// The board surface Picture1: the background tiled under the board, bricks copied from the
// look's sheet, the mark for codes the brick set lacks, and the hidden-brick toggle.
#include "Form1.h"
#include "platform/Controls.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"
#include "render/BoardLook.h"

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
    emit BoardPainted();
}

void Form1::DrawCell(int column, int row) {
    const std::int32_t k = BrickGrid(CurrentBoard, column, row);
    switch (Look->lookOf(k)) {
        case render::CellLook::Background:
            ClearBrick(column, row);
            break;
        case render::CellLook::Missing:
            DrawMissingBrick(column, row);
            break;
        case render::CellLook::Brick:
            BrickBlit(k, column, row);
            break;
    }
}

void Form1::ClearBrick(int column, int row) {
    // The current board's tile (or the placeholder sign), as Picture3 shows it.
    render::ClearCell(Picture1->image(), Look->tile(BoardBackground(CurrentBoard)), column, row);
}

void Form1::BrickBlit(int k, int column, int row) {
    render::CopyBrick(Picture1->image(), Look->sheet(), k, column, row);
}

void Form1::DrawMissingBrick(int column, int row) {
    render::DrawMissingBrick(Picture1->image(), column, row);
}

void Form1::Check1_Click() {
    // Every cell whose code has the name "Hidden", even a name left by a larger brick set:
    // its slot is copied in, or the background in its place.
    Look->setShowHidden(Check1->Checked());
    const bool showHidden = Look->showHidden();
    for (int r = 0; r < kBoardRows; ++r) {
        for (int c = 0; c < kBoardColumns; ++c) {
            const std::int32_t k = BrickGrid(CurrentBoard, c, r);
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
