#pragma once

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/BoardSetFile.h"

namespace krellon {

// What one step, undo or redo did to the set, for those who show it.
struct DocumentChange {
    enum class Kind {
        Reset,              // another set was put in place: everything, with a new history
        Whole,              // the whole set, by a step
        Boards,             // boards added, removed or moved; board is the one to show
        Cells,              // brick codes of one board
        Background,         // one board's background number
        BoardSetName,       // the set's name
        AuthorName,         // the author's name
        BrickSetFile,       // the brick set file's name
        BackgroundSetFile,  // the background set file's name
    };
    Kind kind = Kind::Reset;
    int board = 0;           // 1-based board the change is on; 0 for the set as a whole
    std::vector<int> cells;  // for Cells: indices into Board::cells that changed
};

// One cell's new brick code, as a step asks for it.
struct CellEdit {
    int column = 0;
    int row = 0;
    std::int32_t code = 0;
};

// The open board set and its edit history: the one seam every change passes through. Each
// change is a step on the undo stack; doing, undoing and redoing it tell the listeners exactly
// what changed. Texts are held as stored, in Windows-1252.
class BoardSetDocument : public QObject {
    Q_OBJECT

public:
    explicit BoardSetDocument(QObject* parent = nullptr);
    // Empties the history without telling anyone: whoever listens may be going too.
    ~BoardSetDocument() override;

    const BoardSetContent& content() const { return content_; }
    int boardCount() const { return static_cast<int>(content_.boards.size()); }
    // Board b (1-based).
    const Board& board(int b) const { return content_.boards[static_cast<std::size_t>(b - 1)]; }

    QUndoStack* undoStack() { return &undoStack_; }
    // True while the set differs from what was last read or saved.
    bool isModified() const { return !undoStack_.isClean(); }

    // Puts a set that was read in place, with a new, empty history.
    void reset(BoardSetContent content);
    // The set was saved as it is: this is the clean state, and the history stays.
    void markSaved();

    // --- Steps; each is one undoable step, and none is made when nothing would change ---
    // Brick codes of board b; text names the step ("Place Brick", "Clear Board"). Steps of
    // one stroke (the same stroke number, not 0) on one board merge into one, until another
    // step is made.
    void setCells(int board, const std::vector<CellEdit>& edits, const QString& text,
                  int stroke = 0);
    void setBackground(int board, std::int32_t background);
    void setBoardSetName(const std::string& name);
    void setAuthorName(const std::string& name);
    void setBrickSetFile(const std::string& name);
    void setBackgroundSetFile(const std::string& name);
    // --- The boards as a list (1 to 100 of them) ---
    // Inserts board before position at (1-based; boardCount() + 1 appends).
    void insertBoard(int at, const Board& board, const QString& text);
    // Removes board at; never the last one left.
    void removeBoard(int at);
    // Moves board from to position to, the others closing up.
    void moveBoard(int from, int to, const QString& text);
    // Replaces board at with board ("Paste Board").
    void replaceBoard(int at, const Board& board, const QString& text);

    // The whole set at once ("Restore Unsaved Changes").
    void setWhole(const BoardSetContent& content, const QString& text);

signals:
    // After a step was done, undone or redone, and after reset.
    void changed(const DocumentChange& change);
    // The set was saved as it is.
    void saved();
    // Another set is about to be put in place; the history still tells whether this one
    // holds unsaved work.
    void aboutToReset();

private:
    friend class CellsStep;
    friend class BackgroundStep;
    friend class TextStep;
    friend class WholeStep;
    friend class BoardListStep;

    // The writes the steps make, each telling the listeners what it changed.
    void writeCells(int board, const std::vector<int>& cells,
                    const std::vector<std::int32_t>& codes);
    void writeBackground(int board, std::int32_t background);
    void writeText(DocumentChange::Kind kind, const std::string& value);
    void writeWhole(const BoardSetContent& content);
    // Removes the board at remove (0: none), then inserts board at insert (0: none), and
    // shows show.
    void writeBoards(int remove, int insert, const Board* board, int show);
    void setText(DocumentChange::Kind kind, const std::string& value, const QString& text);

    BoardSetContent content_;
    QUndoStack undoStack_;
};

// The text of a field of content named by kind (one of the four text kinds).
std::string& TextField(BoardSetContent& content, DocumentChange::Kind kind);

}  // namespace krellon
