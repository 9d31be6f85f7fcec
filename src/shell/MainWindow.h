#pragma once

#include <QMainWindow>
#include <memory>
#include <optional>

#include "BoardKeyboard.h"
#include "ImageFileWatcher.h"

#include "BoardStrip.h"
#include "BoardTools.h"
#include "EditorSession.h"
#include "RecentFiles.h"
#include "editor/Form1.h"

class QAction;
class QLabel;
class QPushButton;
class QScrollArea;
class QWheelEvent;

namespace krellon {

class BoardKeyboard;
class ImageFileWatcher;
class BoardSetDocument;
class BoardStrip;
class ComboBox;
class BoardTools;
class EditJournalKeeper;
class Form1;

// The editor as a desktop program: the board editor window as the client area, with a menu
// bar above it and a status bar below. Form1's controls keep their places relative to the
// client area's top-left corner; every menu entry does what the matching control does.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // The editor in the working folder; startSet, a board set file of that folder, is opened
    // instead of the first listed one.
    explicit MainWindow(QWidget* parent = nullptr, const QString& startSet = {});
    ~MainWindow() override;

    BoardSetDocument* document() const { return session_->document(); }
    Form1* editor() const { return editor_.get(); }
    EditJournalKeeper* journal() const { return session_->journal(); }
    BoardTools* tools() const { return tools_.get(); }
    BoardStrip* strip() const { return strip_.get(); }

    // File > New Board Set, Open Board Set…, Open Folder…, Save, Save As….
    void newBoardSet();
    void openBoardSet();
    void openFolder();
    // The open set to its own file; a new set asks for a name as Save As does.
    void save();
    void saveAs();
    // File > Open Recent's entry: the set at path (absolute), in its folder, as Open Board Set
    // opens it.
    void openRecent(const QString& path);
    // The sets File > Open Recent lists.
    const RecentFiles& recentFiles() const { return recent_; }
    // Puts back what the last run kept (the window's place, its docks, the zoom, the recent
    // sets) and from now on keeps them: the recent sets as they change, the rest at close. A
    // window never asked (the tests', the helper programs') reads and writes no settings.
    void keepSettings();
    // Makes folder the working folder and runs the start-up scans again, then opens set (a
    // file of that folder) or the first listed one. False, changing nothing, when folder
    // cannot be entered.
    bool switchFolder(const QString& folder, const QString& set = {});
    // The explorer on the first image of file, an image file of the working folder (the editor
    // started on one).
    void showImageFile(const QString& file);
    // File > Backups…: the kept earlier versions of the working folder's files.
    void showBackups();
    // Help > About, Keys and Mouse.
    void showAbout();
    void showKeys();
    // File > Restore Unsaved Changes: the set as the journal kept it, with the first board
    // it changed shown.
    void restoreUnsaved();

    // View > Zoom In, Zoom Out, Actual Size: the board at 1x to 4x.
    int zoom() const;
    void setZoom(int zoom);
    BoardKeyboard* keyboard() const { return keyboard_.get(); }
    ImageFileWatcher* watcher() const { return watcher_.get(); }

    // The menus' entries by their ids ("save", "newBoard", "modeBlack", "toolBrush"…).
    QAction* action(const char* id) const;

    // Says "Mirror" while Mirror Painting is on.
    QLabel* mirrorStatus = nullptr;
    // The status bar's three parts: the open file, "modified", what lies under the pointer.
    QLabel* fileStatus = nullptr;
    QLabel* modifiedStatus = nullptr;
    QLabel* pointerStatus = nullptr;
    QLabel* toolStatus = nullptr;
    // The offer of unsaved work found for the open set, with its button.
    QLabel* unsavedStatus = nullptr;
    QPushButton* restoreButton = nullptr;
    // Shown while the set holds unsaved work that the edit journal could not take.
    QLabel* protectionStatus = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void createFileMenu();
    void createEditMenu();
    void createBoardMenu();
    void createViewMenu();
    void createToolsMenu();
    void createStatusBar();
    void createZoomEntries(QMenu* view);
    void createToolBar();
    void updateZoomEntries();
    // Ctrl with the wheel zooms; true when the wheel was taken.
    bool zoomByWheel(QWheelEvent* wheel);
    // A pick from a list with the mouse gives the keyboard back to the board.
    void returnKeyboardAfterPick(ComboBox* list);
    // An entry of menu, found by id, that runs handler as an event handler of the editor.
    QAction* addEntry(QMenu* menu, const char* id, const QString& text, const QKeySequence& key,
                      std::function<void()> handler);
    // Shows the open file and whether it is modified, and enables what the set allows.
    void updateStatus();
    // Edit > Paste Board and Paste as New Board: the clipboard's board, if it holds one.
    void pasteBoard(bool asNew);
    // Puts the set shown first in the recent list.
    void recordShownSet();
    // Fills File > Open Recent from the list as it opens, a missing file's entry disabled.
    void fillRecentMenu();
    // Writes the recent list to the settings when the window keeps them.
    void saveRecent();
    // Brings the editor up to date after a file of the working folder was restored.
    void fileRestored(const QString& fileName);

    // The members go in reverse order: the strip, the tools and the editor while the session
    // they work on is whole, then the session.
    std::unique_ptr<EditorSession> session_;
    std::unique_ptr<Form1> editor_;
    std::unique_ptr<BoardTools> tools_;
    std::unique_ptr<BoardStrip> strip_;
    std::unique_ptr<BoardKeyboard> keyboard_;
    std::unique_ptr<ImageFileWatcher> watcher_;
    // The client area, scrolled where the window is smaller than it.
    QScrollArea* scroll_ = nullptr;
    int wheelAngle_ = 0;
    bool destroying_ = false;
    // The last position of the pointer over the board, in board pixels.
    std::optional<QPoint> boardPointer_;
    QMenu* boardMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QAction* recentEnd_ = nullptr;  // the separator after the recent entries
    RecentFiles recent_;
    bool keepsSettings_ = false;
};

}  // namespace krellon
