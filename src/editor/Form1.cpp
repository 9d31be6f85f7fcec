#include "Form1.h"

#include <QFile>
#include <vector>

#include "document/BoardSetDocument.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"
#include "render/BoardLook.h"
#include "storage/Cp1252.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/Files.h"
#include "storage/StatusNotices.h"

namespace krellon {

namespace {

const QString kCaption = "Krellon Boards Editor";

// Width and height of the first image of an image file, if the file holds that much.
using ImageSize = std::optional<std::pair<std::int32_t, std::int32_t>>;

ImageSize Probe(const QString& name) {
    if (!IsBareFileName(name)) {
        return std::nullopt;
    }
    // The start-up scan opens every image file of the folder: one open and one read each.
    // Names from the folder listing open as they are; OpenInFolder finds the others.
    std::array<std::uint8_t, kProbeHeadBytes> head{};
    const std::size_t got = ReadFileAt(PathFromName(name), kFirstRecordOffset, head);
    ImageSize size;
    if (got > 0 && ProbeFirstImageHead({head.data(), got}, size)) {
        return size;
    }
    FileSource source;
    if (!OpenInFolder(name, source)) {
        return std::nullopt;
    }
    return ProbeFirstImage(source);
}

// A board set file of the working folder, or why it cannot be read.
Result<BoardSetContent> ReadBoardSetNamed(const QString& name) {
    const auto path = FindFile(name);
    FileSource file;
    if (!path || !file.open(*path)) {
        return Result<BoardSetContent>::failure("the file cannot be opened");
    }
    return DecodeBoardSet(file);
}

QString ReasonOf(const Result<BoardSetContent>& read) {
    return QString::fromStdString(read.error());
}

}  // namespace

Form1::Form1(BoardSetDocument* document, render::BoardLook* look, QWidget* parent,
             const QString& startSet)
    : QWidget(parent), Document(document), Look(look), StartSet(startSet) {
    connect(Document, &BoardSetDocument::changed, this, &Form1::DocumentChanged);
    CreateControls();
    // The look shows what the controls show at start.
    Look->setMode(static_cast<render::BackgroundMode>(Option1->Selected()));
    Look->setShowHidden(Check1->Checked());
    Form_Load();
}

void Form1::Picture3_Click() {
    const std::int32_t b = BoardBackground(CurrentBoard);
    if (b < 0 || b >= BackgroundCount()) {
        return;
    }
    emit explorerRequested(BackgroundSetFile(), b + 1);
}

void Form1::Picture4_Click() {
    emit explorerRequested(BrickSetFile(), SelectedBrick);
}

void Form1::Form_Load() {
    SelectedBrick = 1;
    // One listing of the folder serves the three searches, and each image file is opened
    // once: the two lists are then filled in two passes, each in the order of the listing.
    const QList<QStringList> lists = Dir(QStringList{"*.img", "*.bds"});
    const QStringList& imageFiles = lists[0];
    std::vector<ImageSize> sizes;
    sizes.reserve(static_cast<std::size_t>(imageFiles.size()));
    for (const QString& name : imageFiles) {
        sizes.push_back(Probe(name));
    }
    QStringList brickSets;
    QStringList backgroundSets;
    for (qsizetype i = 0; i < imageFiles.size(); ++i) {
        const ImageSize& size = sizes[static_cast<std::size_t>(i)];
        if (size && *size == std::make_pair(30, 15)) {
            brickSets << imageFiles[i];
        }
    }
    for (qsizetype i = 0; i < imageFiles.size(); ++i) {
        const ImageSize& size = sizes[static_cast<std::size_t>(i)];
        if (size && (*size == std::make_pair(64, 64) || *size == std::make_pair(128, 128))) {
            backgroundSets << imageFiles[i];
        }
    }
    Combo5->AddItems(brickSets);
    Combo4->AddItems(backgroundSets);
    Combo3->AddItems(lists[1]);

    // A set asked for (on the command line, from a dialog) is opened when it can be read.
    if (!StartSet.isEmpty()) {
        const auto set = ReadBoardSetNamed(StartSet);
        if (set.ok()) {
            BoardSetFile = StartSet;
            Combo3->SetText(StartSet);
            ShowBoardSet(set.value());
            return;
        }
        ShowStatus(ShownFileName(StartSet) + " is not a valid board set file: " + ReasonOf(set));
    }
    // The first board set of the list that can be read is opened; the others are passed over.
    for (int i = 0; i < Combo3->ListCount(); ++i) {
        if (const auto set = ReadBoardSetNamed(Combo3->List(i)); set.ok()) {
            BoardSetFile = Combo3->List(i);
            Combo3->SetListIndex(i);  // finds BoardSetFile equal and does nothing
            ShowBoardSet(set.value());
            return;
        }
    }

    // Nothing to open: a new set.
    NewBoardSet();
}

void Form1::NewBoardSet() {
    // One empty board over the first listed image files that a board set file can name.
    BoardSetContent set;
    for (ComboBox* list : {Combo5, Combo4}) {
        for (int i = 0; i < list->ListCount(); ++i) {
            if (StorableName(list->List(i))) {
                (list == Combo5 ? set.brickSetFile : set.backgroundSetFile) =
                    ToCp1252(list->List(i));
                break;
            }
        }
    }
    set.boards.resize(1);
    BoardSetFile.clear();
    Combo3->SetTextNoSelection(QString());
    ShowBoardSet(set);
}

void Form1::RefuseUnstorableName(ComboBox* list, const QString& current) {
    const QString name = list->Text();
    list->SetText(current);
    MsgBox(this,
           ShownFileName(name) +
               " cannot be used: a board set file can only name files whose names are written "
               "in the Windows-1252 character set. Rename the file to use it.",
           kCaption);
}

void Form1::Rescan(const QString& set) {
    for (ComboBox* list : {Combo3, Combo4, Combo5}) {
        list->Clear();
    }
    StartSet = set;
    Form_Load();
}

void Form1::Combo3_Click() {
    if (Combo3->Text() == BoardSetFile) {
        return;
    }
    const QString name = Combo3->Text();
    const auto set = ReadBoardSetNamed(name);
    if (!set.ok()) {
        // The open set stays as it was, and so does the list.
        Combo3->SetText(BoardSetFile);
        MsgBox(this, ShownFileName(name) + " is not a valid board set file: " + ReasonOf(set) + ".",
               kCaption);
        return;
    }
    BoardSetFile = name;
    ShowBoardSet(set.value());
}

Status Form1::ReadBoardSet() {
    const auto set = ReadBoardSetNamed(BoardSetFile);
    if (!set.ok()) {
        return Status::failure(set.error());
    }
    ShowBoardSet(set.value());
    return Status::success();
}

void Form1::ShowBoardSet(const BoardSetContent& set) {
    if (readingBackSaved_ && set == Document->content()) {
        ShowDocument();
        return;
    }
    Document->reset(set);  // DocumentChanged shows it
}

void Form1::ShowDocument() {
    LoadBricks();
    ReadBackgr();
    Label1->SetCaption(BoardSetName());
    Label2->SetCaption(AuthorName());
    CurrentBoard = 1;
    SetNavigationCaptions();
    PaintBoard();
    emit SetShown();
}

QString Form1::BoardSetName() const {
    return FromCp1252(Document->content().boardSetName);
}

QString Form1::AuthorName() const {
    return FromCp1252(Document->content().authorName);
}

QString Form1::BrickSetFile() const {
    return FromCp1252(Document->content().brickSetFile);
}

QString Form1::BackgroundSetFile() const {
    return FromCp1252(Document->content().backgroundSetFile);
}

std::int32_t Form1::BoardCount() const {
    return Document->boardCount();
}

std::int32_t Form1::BoardBackground(int b) const {
    return Document->board(b).background;
}

std::int32_t Form1::BrickGrid(int b, int c, int r) const {
    return Document->board(b).cell(c, r);
}

void Form1::DocumentChanged(const DocumentChange& change) {
    using Kind = DocumentChange::Kind;
    // An undo or redo of a step on another board shows that board first.
    const bool otherBoard = change.board >= 1 && change.board != CurrentBoard;
    switch (change.kind) {
        case Kind::Reset:
        case Kind::Whole:
            ShowDocument();
            return;
        case Kind::Boards:
            // As if the set had been read so, showing the board the step names.
            CurrentBoard = change.board;
            ShowOtherBoard();
            return;
        case Kind::Cells:
            if (!otherBoard) {
                for (const int index : change.cells) {
                    DrawCell(index / kBoardRows, index % kBoardRows);
                }
                Picture1->Refresh();
            }
            break;
        case Kind::Background:
            if (!otherBoard) {
                LoadBackgr();
                RefreshBackgroundCells();
            }
            break;
        case Kind::BoardSetName:
            Label1->SetCaption(BoardSetName());
            break;
        case Kind::AuthorName:
            Label2->SetCaption(AuthorName());
            break;
        case Kind::BrickSetFile:
            LoadBricks();
            PaintBoard();
            break;
        case Kind::BackgroundSetFile:
            ReadBackgr();
            LoadBackgr();
            RefreshBackgroundCells();
            break;
    }
    if (otherBoard) {
        CurrentBoard = change.board;
        ShowOtherBoard();
    }
}

void Form1::SetNavigationCaptions() {
    Command2->SetCaption(CurrentBoard == BoardCount()
                             ? QString("Board 1 >")
                             : "Board " + QString::number(CurrentBoard + 1) + " >");
    Command1->SetCaption("< Board " +
                         QString::number(CurrentBoard == 1 ? BoardCount() : CurrentBoard - 1));
}

BoardSetContent Form1::CurrentBoardSet() const {
    return Document->content();
}

}  // namespace krellon
