// Commands on the board set as a whole: stepping between boards, renaming, clearing a board
// and saving the set to "KrelEdit.bds".
#include "Form1.h"
#include "document/BoardEdits.h"
#include "document/BoardSetDocument.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"
#include "render/Colours.h"
#include "storage/Cp1252.h"
#include "storage/FileNames.h"
#include "storage/FileWrites.h"
#include "storage/Files.h"

namespace krellon {

namespace {

const QString kCaption = "Krellon Boards Editor";
const QString kSaveFile = "KrelEdit.bds";

}  // namespace

void Form1::ShowOtherBoard() {
    Picture1->FillBox(0, 0, 600, 300, kBlack);
    Command2->SetCaption(QString());
    Command1->SetCaption(QString());
    PaintBoard();
    SetNavigationCaptions();
}

void Form1::ShowBoard(int b) {
    if (b < 1 || b > BoardCount() || b == CurrentBoard) {
        return;
    }
    CurrentBoard = b;
    ShowOtherBoard();
}

void Form1::Command1_Click() {
    CurrentBoard = CurrentBoard == 1 ? BoardCount() : CurrentBoard - 1;
    ShowOtherBoard();
}

void Form1::Command2_Click() {
    CurrentBoard = CurrentBoard == BoardCount() ? 1 : CurrentBoard + 1;
    ShowOtherBoard();
}

void Form1::Command3_Click() {
    BoardEdits::clearBoard(*Document, CurrentBoard);
}

void Form1::Label1_Click() {
    const QString text = InputBox(this, "Enter new board set name:", kCaption, BoardSetName());
    if (text.isEmpty()) {
        Label1->SetCaption(BoardSetName());
        return;
    }
    Document->setBoardSetName(ToCp1252(text));
    Label1->SetCaption(BoardSetName());
}

void Form1::Label2_Click() {
    const QString text = InputBox(this, "Enter new author name:", kCaption, AuthorName());
    if (text.isEmpty()) {
        Label2->SetCaption(AuthorName());
        return;
    }
    Document->setAuthorName(ToCp1252(text));
    Label2->SetCaption(AuthorName());
}

void Form1::Command4_Click() {
    // The file is replaced whole or not at all; a failure changes nothing in the editor.
    // What the file held before is kept among the backups.
    const Status saved =
        ReplaceFile(kSaveFile.toStdString(), EncodeBoardSet(CurrentBoardSet()),
                    "Save of " + (BoardSetFile.isEmpty() ? QString("a new set") : BoardSetFile));
    if (!saved.ok()) {
        MsgBox(this, "Could not save " + kSaveFile + ": " + ReasonText(saved), kCaption);
        return;
    }
    Combo3->Clear();
    Combo3->AddItems(Dir("*.bds"));
    BoardSetFile = kSaveFile;
    Combo3->SetText(BoardSetFile);
    // The set is read back as the original does; it is the set just saved, so its history
    // stays, with this as its clean state.
    Document->markSaved();
    readingBackSaved_ = true;
    const Status readBack = ReadBoardSet();
    readingBackSaved_ = false;
    if (!readBack.ok()) {
        MsgBox(this,
               "Could not read " + kSaveFile +
                   " back after saving it: " + QString::fromStdString(readBack.error()) + ".",
               kCaption);
    }
}

bool Form1::SaveAs(const QString& name) {
    const Status saved =
        ReplaceFile(BytesFromName(name), EncodeBoardSet(CurrentBoardSet()),
                    "Save As of " + (BoardSetFile.isEmpty() ? QString("a new set") : BoardSetFile));
    if (!saved.ok()) {
        MsgBox(this, "Could not save " + ShownFileName(name) + ": " + ReasonText(saved), kCaption);
        return false;
    }
    Document->markSaved();
    BoardSetFile = name;
    Combo3->SetItems(Dir("*.bds"));
    Combo3->SetText(BoardSetFile);
    emit SetShown();
    return true;
}

}  // namespace krellon
