#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "formats/BoardSetFile.h"
#include "formats/Colour.h"
#include "formats/ImageFile.h"
#include "render/BoardRenderer.h"

namespace krellon {

class BoardSetDocument;
struct DocumentChange;
namespace render {
class BoardLook;
}
class CheckBox;
class ComboBox;
class CommandButton;
class Label;
class OptionButtons;
class PictureBox;

// The board editor window, "Krellon Boards Editor": one board of the open board set at a
// time, drawn from the images of the set's background set file and brick set file.
class Form1 : public QWidget {
    Q_OBJECT

public:
    // Builds the window over document and look, which outlive it, and runs Form_Load in the
    // working folder; startSet, a board set file of that folder, is opened instead of the first
    // listed one.
    Form1(BoardSetDocument* document, render::BoardLook* look, QWidget* parent = nullptr,
          const QString& startSet = {});

    static constexpr int kMaxBoardIndex = kMaxBoards;  // boards 1..100; index 0 unused
    static constexpr int kMaxBrickCode = 119;

    // The open set and its history: every change to the set is a step of it, and the window
    // reads the set from it alone.
    BoardSetDocument* const Document;
    // What boards are drawn from: the window reads its bricks and backgrounds into it, sets its
    // mode and hidden state from its controls, and paints from it.
    render::BoardLook* const Look;

    // --- The open board set, as the document holds it ---
    QString BoardSetName() const;
    QString AuthorName() const;
    QString BrickSetFile() const;
    QString BackgroundSetFile() const;
    std::int32_t BoardCount() const;
    // Board b's background number (b from 1 to BoardCount()).
    std::int32_t BoardBackground(int b) const;
    // The brick code of cell (c, r) of board b.
    std::int32_t BrickGrid(int b, int c, int r) const;

    // --- What the window shows ---
    // The file the set was read from or saved to; empty for a new set.
    QString BoardSetFile;
    std::int32_t CurrentBoard = 1;
    std::int32_t SelectedBrick = 1;

    // --- The background set and the brick set in use, as the look holds them ---
    std::int32_t BackgroundCount() const;
    // The backgrounds' names, as the list shows them.
    QStringList BackgroundNames() const;
    // Each background's record; its Palette is the one it is drawn with (the file's, for a
    // record without one of its own).
    std::span<const ImageRecord> BackgroundTable() const;
    std::int32_t BrickCount() const;
    // Brick names by code; index 0 stays empty.
    const std::array<QString, kMaxBrickCode + 1>& BrickNames() const;

    // --- Controls ---
    Label* Label1 = nullptr;            // the set's name; a click renames it
    Label* Label2 = nullptr;            // the author's name; a click renames it
    Label* Label3 = nullptr;            // "Board set"
    Label* Label4 = nullptr;            // "Author"
    Label* Label5 = nullptr;            // "Board N", the board shown
    Label* Label6 = nullptr;            // "BDS File"
    Label* Label7 = nullptr;            // "Background set file"
    Label* Label8 = nullptr;            // "Background"
    Label* Label9 = nullptr;            // "Brick set file"
    Label* Label10 = nullptr;           // "Brick"
    ComboBox* Combo1 = nullptr;         // the backgrounds of the background set
    ComboBox* Combo2 = nullptr;         // the bricks of the brick set
    ComboBox* Combo3 = nullptr;         // the board set files of the folder
    ComboBox* Combo4 = nullptr;         // the background set files of the folder
    ComboBox* Combo5 = nullptr;         // the brick set files of the folder
    CommandButton* Command1 = nullptr;  // "< Board N": the board before
    CommandButton* Command2 = nullptr;  // "Board N >": the board after
    CommandButton* Command3 = nullptr;  // "Clear Board"
    CommandButton* Command4 = nullptr;  // "Save to  KrelEdit.bds"
    PictureBox* Picture1 = nullptr;     // the board, 600 x 300
    PictureBox* Picture2 = nullptr;     // the brick palette: every brick in its slot
    PictureBox* Picture3 = nullptr;     // the board's background tile; a click explores it
    PictureBox* Picture4 = nullptr;     // the selected brick enlarged; a click explores it
    CheckBox* Check1 = nullptr;         // "Show hidden bricks"
    OptionButtons* Option1 = nullptr;   // "Textured", "Half-bright", "Black"

    // --- Start-up and board sets ---
    void Form_Load();
    // The set Form_Load opens instead of the first listed one, when it can be read.
    QString StartSet;
    // Works in the current folder afresh: every list rebuilt by the start-up scans, then set
    // (or, as at start, the first listed set) opened.
    void Rescan(const QString& set = {});
    // Shows a new set with no file yet: one empty board over the first brick and background
    // set files of the lists, empty names, a new history.
    void NewBoardSet();
    // Writes the set to name, a file of the working folder, which then is the open set; its
    // history stays, with this as its clean state. False, with the reason shown, on failure.
    bool SaveAs(const QString& name);
    void Combo3_Click();
    // Reads BoardSetFile and shows it; changes nothing when it cannot be read, and says why.
    Status ReadBoardSet();
    // Puts a board set that has been read into the editor with a new history, loading its
    // bricks and backgrounds, and paints board 1.
    void ShowBoardSet(const BoardSetContent& set);
    // Shows what a step, an undo or a redo changed, with the same drawing rules as the
    // original operations.
    void DocumentChanged(const DocumentChange& change);
    // Sets the captions of Command1 and Command2 for board CurrentBoard.
    void SetNavigationCaptions();
    // The board set in memory, as the writer takes it.
    BoardSetContent CurrentBoardSet() const;

    // --- Backgrounds and brick sets ---
    void ReadBackgr();
    void LoadBackgr();
    void LoadBricks();
    // Brings the editor up to date after the image file name changed on disk (an import, a
    // restore): the background set or the brick set is read again when it is that file.
    void ImageFileChanged(const QString& name);
    // Clears every background cell of the current board, then refreshes Picture1.
    void RefreshBackgroundCells();
    void Combo1_Click();
    void Combo2_Click();
    void Combo4_Click();
    void Combo5_Click();
    void Option1_Click(int index);

    // --- Painting ---
    void PaintBoard();
    // Repaints cell (column, row) with the background of the current board.
    void ClearBrick(int column, int row);
    // Draws cell (column, row) of the current board as its brick code asks: the brick, the
    // background (empty cell, or hidden brick while hidden bricks are not shown) or the
    // missing-brick mark.
    void DrawCell(int column, int row);
    // Copies brick code k's palette slot into cell (column, row).
    void BrickBlit(int k, int column, int row);
    void DrawMissingBrick(int column, int row);
    void Check1_Click();

    // --- Navigation, names, clearing and saving ---
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Label1_Click();
    void Label2_Click();

    // --- The mouse ---
    void Picture1_MouseDown(int button, float x, float y);
    void Picture2_MouseDown(int button, float x, float y);
    // The previews open the explorer on the image they show.
    void Picture3_Click();
    void Picture4_Click();
    // What lies under a point of the board or the palette, for the tooltip.
    QString BoardToolTip(int x, int y) const;
    QString PaletteToolTip(int x, int y) const;

    // True when brick code k (any value) has the name "Hidden".
    bool IsHiddenBrick(std::int32_t k) const;
    // True when a cell of brick code k shows the background: empty, or a hidden brick while
    // hidden bricks are not shown.
    bool IsBackgroundCell(std::int32_t k) const;
    // Left and top of brick code k's slot in the palette.
    static int SlotLeft(int k) { return render::SlotLeft(k); }
    static int SlotTop(int k) { return render::SlotTop(k); }

    // Shows board b (1 to BoardCount) as stepping to it does.
    void ShowBoard(int b);

    // --- The view beyond the original ---
    static constexpr int kMinZoom = 1;
    static constexpr int kMaxZoom = 4;
    // The board is shown at Zoom x, every board pixel a Zoom x Zoom block.
    int Zoom = 1;
    // Shows the board at zoom (clamped to 1..4); the controls right of and below the board
    // move out of its way, and the window grows by as much. At 1x everything is where it was.
    void SetZoom(int zoom);
    // Makes brick k (1 to BrickCount) the selected brick, as a click on its palette slot does.
    void SelectBrick(int k);

signals:
    // A set was shown from board 1: read, reset or read back after a save.
    void SetShown();
    // Board CurrentBoard was painted whole (shown after another, or read).
    void BoardPainted();
    // The explorer is asked for, on image (1-based) of an image file of the working folder.
    void explorerRequested(const QString& file, int image);

private:
    void CreateControls();
    // Each control to its event handler.
    void ConnectControls();
    // A file picked in list that a board set file cannot name: says so and shows current again.
    void RefuseUnstorableName(ComboBox* list, const QString& current);
    void DrawPlaceholder();
    // Shows the set the document holds from board 1, loading its bricks and backgrounds.
    void ShowDocument();
    // True while a save reads its file back: the set read is the one saved, and its history
    // stays.
    bool readingBackSaved_ = false;
    // Steps two to five of moving to another board: black board, empty captions, paint.
    void ShowOtherBoard();
    void DrawSelectedBrick();
    bool BackgroundAvailable(std::int32_t b) const;
    // The controls' places at 1x, taken at the first zoom; the surfaces keep their own.
    std::vector<std::pair<QWidget*, QPoint>> homes_;
};

}  // namespace krellon
