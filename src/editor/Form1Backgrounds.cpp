// The background set: its index in memory, the preview of the current board's background in
// the three display modes, and the handlers that choose a background, a set and a mode.
#include "Form1.h"
#include "document/BoardSetDocument.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/PictureBox.h"
#include "render/BoardLook.h"
#include "storage/Cp1252.h"
#include "storage/FileNames.h"
#include "storage/Files.h"

namespace krellon {

std::int32_t Form1::BackgroundCount() const {
    return Look->backgroundCount();
}

QStringList Form1::BackgroundNames() const {
    QStringList names;
    for (const ImageRecord& record : BackgroundTable()) {
        names << FromCp1252(record.Name);
    }
    return names;
}

std::span<const ImageRecord> Form1::BackgroundTable() const {
    return Look->backgrounds();
}

bool Form1::BackgroundAvailable(std::int32_t b) const {
    return b >= 0 && b < BackgroundCount() &&
           render::Drawable(BackgroundTable()[static_cast<std::size_t>(b)]);
}

void Form1::ReadBackgr() {
    Combo4->SetText(BackgroundSetFile());
    Look->readBackgrounds(BackgroundSetFile());
    Combo1->SetItems(BackgroundNames());
}

void Form1::LoadBackgr() {
    const std::int32_t b = BoardBackground(CurrentBoard);
    if (!BackgroundAvailable(b)) {
        DrawPlaceholder();
        return;
    }
    Combo1->SetListIndex(b);
    const ImageRecord& entry = BackgroundTable()[static_cast<std::size_t>(b)];
    // Read again each time it is shown, as the original program did.
    const QImage& tile = Look->reloadTile(b);
    Picture3->Move(entry.Width == 64 ? 648 : 616, entry.Height == 64 ? 200 : 168, entry.Width,
                   entry.Height);
    Picture3->image() = tile;
    Picture3->Refresh();
}

void Form1::DrawPlaceholder() {
    Combo1->SetTextNoSelection("Select from list...");
    Picture3->Move(648, 200, 64, 64);
    render::DrawPlaceholder(Picture3->image());
    Picture3->Refresh();
}

bool Form1::IsHiddenBrick(std::int32_t k) const {
    return Look->isHiddenBrick(k);
}

bool Form1::IsBackgroundCell(std::int32_t k) const {
    return k == 0 || (IsHiddenBrick(k) && !Look->showHidden());
}

void Form1::RefreshBackgroundCells() {
    for (int r = 0; r < kBoardRows; ++r) {
        for (int c = 0; c < kBoardColumns; ++c) {
            if (IsBackgroundCell(BrickGrid(CurrentBoard, c, r))) {
                ClearBrick(c, r);
            }
        }
    }
    Picture1->Refresh();
}

void Form1::ImageFileChanged(const QString& name) {
    // The editor finds its files ignoring letter case: the files are compared, not the names.
    if (SameFileInFolder(name, BackgroundSetFile())) {
        ReadBackgr();
        LoadBackgr();
        RefreshBackgroundCells();
    }
    if (SameFileInFolder(name, BrickSetFile())) {
        LoadBricks();
        PaintBoard();
    }
}

void Form1::Combo1_Click() {
    if (Combo1->ListIndex() == BoardBackground(CurrentBoard)) {
        return;
    }
    Document->setBackground(CurrentBoard, Combo1->ListIndex());
}

void Form1::Combo4_Click() {
    if (Combo4->Text() == BackgroundSetFile()) {
        return;
    }
    if (!StorableName(Combo4->Text())) {
        RefuseUnstorableName(Combo4, BackgroundSetFile());
        return;
    }
    Document->setBackgroundSetFile(ToCp1252(Combo4->Text()));
}

void Form1::Option1_Click(int) {
    Look->setMode(static_cast<render::BackgroundMode>(Option1->Selected()));
    LoadBackgr();
    RefreshBackgroundCells();
}

}  // namespace krellon
