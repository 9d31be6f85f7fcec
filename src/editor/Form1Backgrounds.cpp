// The background set: its index in memory, the preview of the current board's background in
// the three display modes, and the handlers that choose a background, a set and a mode.
#include <vector>

#include "Form1.h"
#include "document/BoardSetDocument.h"
#include "formats/BufferedSource.h"
#include "formats/FileSource.h"
#include "platform/Colours.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Cp1252.h"
#include "platform/Dialogs.h"
#include "platform/FileNames.h"
#include "platform/Files.h"
#include "platform/PictureBox.h"

namespace krellon {

namespace {

// Backgrounds beyond this many pixels are not drawn; only a damaged file claims one.
constexpr std::int64_t kMaxBackgroundPixels = 4096 * 4096;

// The colour a palette entry shows in a display mode: 0 "Textured", 1 "Half-bright", 2 "Black".
ColourValue InMode(ColourValue v, int mode) {
    switch (mode) {
        case 1:
            return (v % 256) / 2 + 256 * ((v % 65536) / 512) + 65536 * (v / 131072);
        case 2:
            return 0;
        default:
            return v;
    }
}

}  // namespace

bool Form1::BackgroundAvailable(std::int32_t b) const {
    if (b < 0 || b >= BackgroundCount) {
        return false;
    }
    const ImageRecord& entry = BackgroundTable[b];
    return entry.Width > 0 && entry.Height > 0 &&
           static_cast<std::int64_t>(entry.Width) * entry.Height <= kMaxBackgroundPixels;
}

std::pair<int, int> Form1::TileSize(std::int32_t b) const {
    if (!BackgroundAvailable(b)) {
        return {64, 64};
    }
    return {BackgroundTable[b].Width, BackgroundTable[b].Height};
}

void Form1::ReadBackgr() {
    Combo4->SetText(BackgroundSetFile);
    BackgroundCount = 0;
    FileSource file;
    if (!OpenInFolder(BackgroundSetFile, file)) {
        Combo1->SetItems({});
        return;
    }
    // The walk reads each record's header and palette (some 1,100 bytes) and skips its
    // pixels: one small block a record.
    const BufferedSource source(file, 2048);
    const auto header = ReadImageHeader(source);
    if (!header) {
        Combo1->SetItems({});
        return;
    }
    RecordWalk walk;
    walk.count = header->imageCount;
    walk.limit = kMaxBackgrounds;
    const auto records = WalkImageRecords(source, walk);
    QStringList names;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ImageRecord& record = records[i];
        BackgroundNames[i] = FromCp1252(record.Name);
        names << BackgroundNames[i];
        ImageRecord& entry = BackgroundTable[i];
        entry = record;
        // A record without a palette of its own is drawn with the file's, as the explorer does.
        if (record.PaletteCount <= 0) {
            entry.Palette = header->filePalette;
        }
    }
    Combo1->SetItems(names);
    BackgroundCount = static_cast<std::int32_t>(records.size());
}

void Form1::LoadBackgr() {
    const std::int32_t b = BoardBackground[CurrentBoard];
    if (!BackgroundAvailable(b)) {
        DrawPlaceholder();
        return;
    }
    Combo1->SetListIndex(b);
    const ImageRecord& entry = BackgroundTable[b];
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(entry.Width) *
                                     static_cast<std::size_t>(entry.Height));
    FileSource source;
    if (OpenInFolder(BackgroundSetFile, source)) {
        ReadBlock(source, entry.PixelOffset, pixels);
    }
    // Every pixel of the tile is drawn below, so the surface needs no clearing first.
    Picture3->Move(entry.Width == 64 ? 648 : 616, entry.Height == 64 ? 200 : 168, entry.Width,
                   entry.Height);
    const int mode = Option1->Selected();
    std::array<QRgb, 256> colours{};
    for (int p = 0; p < 256; ++p) {
        colours[p] = ToRgb(InMode(entry.Palette[p], mode));
    }
    Picture3->PutIndexed(0, 0, entry.Width, entry.Height, pixels.data(), colours);
    Picture3->Refresh();
}

void Form1::DrawPlaceholder() {
    Combo1->SetTextNoSelection("Select from list...");
    Picture3->Move(648, 200, 64, 64);
    Picture3->Cls();
    Picture3->FillBox(0, 0, 63, 63, kWhite);
    for (int c = 0; c <= 8; ++c) {
        Picture3->FillBox(24 + c, 21 - 2 * c, 40 - c, 22 - 2 * c, kRed);
    }
    for (int c = 0; c <= 5; ++c) {
        Picture3->FillBox(27 + c, 19 - 2 * c, 37 - c, 20 - 2 * c, kWhite);
    }
    Picture3->Line(32, 13, 32, 17, kBlack);
    Picture3->PSet(32, 19, kBlack);
    Picture3->Print(23, 31, "Not");
    Picture3->Print(11, 45, "available");
    Picture3->Refresh();
}

bool Form1::IsHiddenBrick(std::int32_t k) const {
    return k >= 1 && k <= kMaxBrickCode && BrickNames[k] == QLatin1String("Hidden");
}

bool Form1::IsBackgroundCell(std::int32_t k) const {
    return k == 0 || (IsHiddenBrick(k) && !Check1->Checked());
}

void Form1::RefreshBackgroundCells() {
    for (int r = 0; r < kBoardRows; ++r) {
        for (int c = 0; c < kBoardColumns; ++c) {
            if (IsBackgroundCell(BrickGrid[CurrentBoard][c][r])) {
                ClearBrick(c, r);
            }
        }
    }
    Picture1->Refresh();
}

void Form1::ImageFileChanged(const QString& name) {
    // The editor finds its files ignoring letter case: the files are compared, not the names.
    if (SameFileInFolder(name, BackgroundSetFile)) {
        ReadBackgr();
        LoadBackgr();
        RefreshBackgroundCells();
    }
    if (SameFileInFolder(name, BrickSetFile)) {
        LoadBricks();
        PaintBoard();
    }
}

void Form1::Combo1_Click() {
    if (Combo1->ListIndex() == BoardBackground[CurrentBoard]) {
        return;
    }
    Document->setBackground(CurrentBoard, Combo1->ListIndex());
}

void Form1::Combo4_Click() {
    if (Combo4->Text() == BackgroundSetFile) {
        return;
    }
    if (!StorableName(Combo4->Text())) {
        RefuseUnstorableName(Combo4, BackgroundSetFile);
        return;
    }
    Document->setBackgroundSetFile(ToCp1252(Combo4->Text()));
}

void Form1::Option1_Click(int) {
    LoadBackgr();
    RefreshBackgroundCells();
}

}  // namespace krellon
