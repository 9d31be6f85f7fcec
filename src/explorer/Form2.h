#pragma once

#include <functional>

#include <QString>
#include <QWidget>

class QAction;
class QMenuBar;
class QScrollArea;
class QStatusBar;
#include <QRect>
#include <cstdint>
#include <optional>
#include <vector>

#include "explorer/ExplorerPicture.h"
#include "formats/ByteSource.h"
#include "formats/Colour.h"
#include "formats/StoredImageFile.h"
#include "storage/BackupStore.h"
#include "storage/System.h"
#include "transfers/ImageTransfers.h"

namespace krellon {

// The explorer's bare caption; its messages carry it.
inline const QString kExplorerCaption = QStringLiteral("Krellon IMG Explorer");

class ComboBox;
struct DecodedBitmap;
class CommandButton;
class Label;

// The image explorer window, "Krellon IMG Explorer": any image of any image file of the
// working folder, enlarged, with its palette; export to and import from an 8-bit bitmap.
// Its state lives in Module1.
class Form2 : public QWidget {
    Q_OBJECT

public:
    explicit Form2(QWidget* parent = nullptr);

    // Shows the explorer, creating it on first use, brings it to the front and runs its
    // activation handler, also when it is open already.
    static Form2* ShowExplorer();

    // --- Browsing ---
    void Form_Activate();
    void Combo1_Click();
    void Combo2_Click();
    void Command3_Click();
    void Command4_Click();
    void ReadImageFile();
    void ShowImage();

    // --- Export and import ---
    void Command1_Click();
    void Command2_Click();

    // --- The menu: PNG, and all images at once ---
    // The image shown to "<name>.png": an 8-bit palette PNG of its indices and the palette it
    // is drawn with.
    void ExportPng();
    // "<name>.png", a palette PNG of the image's size, into the image shown: its indices
    // exactly, its palette entries over the image's.
    void ImportPng();
    // "<name>.png" and the image's bitmap file, true-colour pictures too, each colour the
    // palette lacks mapped to its nearest colour.
    void ImportPngNearest();
    void ImportBmp();
    void ImportBmpNearest();
    // Edit > Undo and Redo: the file as it was before the explorer's last change, and back.
    void Undo();
    void Redo();
    QAction* UndoAction = nullptr;
    QAction* RedoAction = nullptr;
    // File > New Image File…: an image file of no images in the working folder, its head
    // taken from another image file of the folder, or the game's own when there is none.
    void NewImageFile();
    // --- The Image menu: the file shown reshaped, one replacement each ---
    // A picture of any size as a new image after the one shown, named as the user says.
    void AddImage();
    void AddImageNearest();
    // The image shown takes a picture's size, palette and pixels.
    void ReplaceImage();
    void ReplaceImageNearest();
    void DeleteImage();
    void RenameImage();
    void MoveImageEarlier();
    void MoveImageLater();

    // Every image to NNN-<name>.png in a folder the user picks.
    void ExportAllImages();
    // Every NNN-*.bmp and NNN-*.png of a folder the user picks into image NNN, all or nothing.
    void ImportAllImages();
    // The PNG file name of the image shown: its name, plus ".png" unless it ends in ".png".
    QString PngFile() const;

    // The palette the image shown is drawn with, and its enlargement.
    const Palette& ShownPalette() const;
    int Scale = 1;

    // What lies under a point of the enlarged image or of the palette grid, for the tooltip.
    QString ImageToolTip(int x, int y) const;
    QString PaletteToolTip(int x, int y) const;

    // --- The view: the picture zoomed 1x to 4x, the client area scrolled in the window ---
    static constexpr int kMaxZoom = 4;
    void ZoomIn();
    void ZoomOut();
    void ActualSize();
    // Zooms the picture; the picture point at viewport point anchor stays under it.
    void SetZoom(int zoom, QPoint anchor);
    int Zoom = 1;
    QSize sizeHint() const override;

    QMenuBar* MenuBar = nullptr;
    QAction* ExportPngAction = nullptr;
    QAction* ImportPngAction = nullptr;
    QAction* ImportPngNearestAction = nullptr;
    QAction* ImportBmpAction = nullptr;
    QAction* ImportBmpNearestAction = nullptr;
    QAction* ExportAllAction = nullptr;
    QAction* ImportAllAction = nullptr;
    QAction* ZoomInAction = nullptr;
    QAction* ZoomOutAction = nullptr;
    QAction* ActualSizeAction = nullptr;
    // The area below the menu bar that holds the controls, scrolled where the window is smaller.
    QWidget* Client = nullptr;
    QScrollArea* ClientScroll = nullptr;
    // What the explorer's last action did, below the client area.
    QStatusBar* StatusBar = nullptr;

    ExplorerPicture* Picture1 = nullptr;
    PictureBox* Picture2 = nullptr;
    Label* Label1 = nullptr;
    Label* Label2 = nullptr;
    ComboBox* Combo1 = nullptr;
    ComboBox* Combo2 = nullptr;
    CommandButton* Command1 = nullptr;
    CommandButton* Command2 = nullptr;
    CommandButton* Command3 = nullptr;
    CommandButton* Command4 = nullptr;

signals:
    // An image file of the working folder was changed (an import): who shows its images reads
    // it again.
    void imageFileChanged(const QString& name);

protected:
    void changeEvent(QEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void CreateImageMenu();
    void CreateEditMenu();
    // One change of the explorer: the file, its kept version from before (or, redone, from
    // after), the file as the change left it, and the image then shown.
    struct HistoryStep {
        std::filesystem::path file;
        BackupEntry version;
        sys::FileInfo after;
        QString what;
        int image = 1;
    };
    // Takes path's newest kept version as the one before the change the explorer just made.
    void RememberChange(const std::filesystem::path& path, const QString& what);
    void PutBack(std::vector<HistoryStep>& from, std::vector<HistoryStep>& to, const QString& verb);
    // The Image and Edit menus' entries enabled where they can act on the image shown.
    void UpdateMenus();
    // Warns, in a box and the status bar, when image n puts the bricks of a brick set out of
    // step: one of another size among bricks.
    void WarnOddBrick(int n);
    // The IMG file box lists the folder's image files anew and names the file shown.
    void ShowFile();
    // Undo and Redo of the file shown, named after its last step.
    void UpdateHistoryActions();
    // The last of steps made to the file shown; steps.end() when there is none.
    std::vector<HistoryStep>::iterator LastStepOfShownFile(std::vector<HistoryStep>& steps) const;
    std::vector<HistoryStep> undo_;
    std::vector<HistoryStep> redo_;
    // Makes change to the file shown unless it changed on disk since, then shows image
    // showAfter and says done; false, with the reason shown, when nothing was written.
    bool EditShownFile(const std::function<Status(StoredImageFile&)>& change, const QString& reason,
                       const QString& done, int showAfter);
    // The picture the user picks for a new or a replacing image, a true-colour one matched by
    // match against the palette of the image shown (the file palette when there is none);
    // false when none was read.
    bool PickPicture(const QString& title, ColourMatch match, ImagePicture& picture, QString& name);
    void AddPicture(ColourMatch match);
    void ReplaceWithPicture(ColourMatch match);
    void MoveShownImage(int by);
    // Writes the decoded image into the image shown, as the bitmap import does, then shows the
    // file and brings the editor up to date.
    void ImportDecoded(DecodedBitmap decoded, const QString& from);
    // Writes the image shown to name, a file of the working folder, as a bitmap or a palette
    // PNG; false, with the reason shown, when it cannot.
    bool ExportShown(const QString& name, ImageFormat format);
    // Reads name, a bitmap or a PNG of the working folder, into the image shown, with the
    // message of the first check it fails; a true-colour picture's colours matched by match.
    void ImportShown(const QString& name, ImageFormat format,
                     ColourMatch match = ColourMatch::Exact);
    // True when image CurrentImage of a file with images can be shown.
    bool HasImage() const;
    // Shows no image: empty pictures, the bare caption, the controls that need one disabled.
    void ShowNothing();
    // Updates the editor after an import into its background set or brick set file.
    void UpdateEditor();
    // Says that the file changed on disk since it was shown and that nothing was done (as
    // nothing words it), then reads and shows it again.
    void RefuseChangedFile(const QString& nothing = "nothing was imported");
    // Puts the outcome of an action on the status bar, in place of whatever it said last.
    void ShowStatus(const QString& text);
    // Clears the explorer's message when the image shown is another than the one it is about.
    void ClearStatusFor(const QString& file, int image);
    // The message box of a failed action; the status bar tells it too, as "what: message"
    // where the message does not say what was not done, followed by more.
    void Fail(const QString& message, const QString& what = {}, const QString& more = {});
    // Puts Picture1 at its 1x place (as the original moves it) and lays out the client area.
    void PlacePicture(int left, int top, int width, int height);
    // Sizes the picture to the zoom. Past the designed square the square grows right and down,
    // and the controls beside and below it move with it.
    void LayoutClient();

    // Where Picture1 stands at 1x, as ShowImage placed it.
    QRect picturePlace_;
    // The designed place of every control but Picture1.
    std::vector<std::pair<QWidget*, QRect>> designed_;
    // The explorer's own message while it still stands on the status bar.
    QString status_;
    // The file and image shown: another one clears the explorer's message.
    std::pair<QString, int> statusImage_;

    std::vector<std::uint8_t> shownPixels_;  // the indices of the image shown
    // The image shown as its file held it, which an import checks the file against.
    std::optional<ShownImage> shown_;
};

}  // namespace krellon
