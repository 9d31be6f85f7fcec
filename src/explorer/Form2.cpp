#include "Form2.h"

#include <QEvent>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

#include "explorer/Module1.h"
#include "formats/BufferedSource.h"
#include "formats/ImageFile.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Handlers.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"
#include "render/Colours.h"
#include "storage/Cp1252.h"
#include "storage/FileSource.h"
#include "storage/Files.h"
#include "storage/StatusNotices.h"

namespace krellon {

namespace {

constexpr ColourValue kSurfaceColour = MakeColour(36, 38, 46);
// Images beyond this many pixels are listed and can be exported, but are not drawn.
constexpr std::int64_t kMaxShownPixels = 4096 * 4096;

}  // namespace

Form2::Form2(QWidget* parent) : QWidget(parent) {
    CreateControls();
    // The designed size, which a window's first show would cut to two thirds of a small screen.
    ensurePolished();
    resize(sizeHint());
}

void Form2::CreateControls() {
    setWindowTitle(kExplorerCaption);
    // The title grows with the image shown; messages keep the bare caption.
    setProperty("messageTitle", kExplorerCaption);
    // The controls stand in a client area of the designed size below the menu bar; a window
    // made smaller, or a picture made larger, scrolls it.
    Client = new QWidget;
    Client->setFixedSize(536, 354);
    ClientScroll = new QScrollArea(this);
    ClientScroll->setFrameShape(QFrame::NoFrame);
    ClientScroll->setWidget(Client);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    CreateMenus();
    layout->setMenuBar(MenuBar);
    layout->addWidget(ClientScroll);
    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    layout->addWidget(StatusBar);
    QFont font = this->font();
    font.setFamilies({"Liberation Sans", "Arial", "DejaVu Sans Condensed", "DejaVu Sans"});
    font.setPixelSize(11);
    setFont(font);

    Picture1 = new ExplorerPicture(Client, kSurfaceColour);
    Picture1->Move(8, 10, 256, 256);
    picturePlace_ = Picture1->geometry();
    Picture2 = new PictureBox(Client, kSurfaceColour);
    Picture2->Move(272, 8, 260, 260);
    Label1 = new Label(Client, "IMG file");
    Label1->setGeometry(8, 272, 185, 17);
    Combo1 = new ComboBox(Client);
    Combo1->setGeometry(8, 288, 185, 21);
    Label2 = new Label(Client, "Image");
    Label2->setGeometry(200, 272, 185, 17);
    Combo2 = new ComboBox(Client);
    Combo2->setGeometry(200, 288, 185, 21);
    Command3 = new CommandButton(Client, "< Previous");
    Command3->setGeometry(392, 280, 65, 33);
    Command4 = new CommandButton(Client, "Next >");
    Command4->setGeometry(464, 280, 65, 33);
    Command1 = new CommandButton(Client, "Command1");
    Command1->setGeometry(8, 320, 257, 25);
    Command2 = new CommandButton(Client, "Command2");
    Command2->setGeometry(272, 320, 257, 25);
    // The pictures come behind the controls, as Picture1 can grow past its designed place.
    Picture1->lower();

    // "Next >" first, so that it holds the focus when the window opens.
    setTabOrder(Command4, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Combo1);
    setTabOrder(Combo1, Combo2);
    setTabOrder(Combo2, Command3);

    Combo1->ClickHandler = [this] { Combo1_Click(); };
    Combo2->ClickHandler = [this] { Combo2_Click(); };
    Command1->Click = [this] { Command1_Click(); };
    Command2->Click = [this] { Command2_Click(); };
    Command3->Click = [this] { Command3_Click(); };
    Command4->Click = [this] { Command4_Click(); };
    Picture1->ToolTipAt = [this](int x, int y) { return ImageToolTip(x, y); };
    Picture2->ToolTipAt = [this](int x, int y) { return PaletteToolTip(x, y); };
    connect(Picture1, &ExplorerPicture::zoomWheel, this, [this](int steps, QPoint at) {
        SetZoom(Zoom + steps, Picture1->mapTo(ClientScroll->viewport(), at));
    });
    for (QWidget* control : Client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control != Picture1) {
            designed_.emplace_back(control, control->geometry());
        }
    }
    // Another message on the status bar replaces the explorer's.
    connect(&Notices(), &StatusNotices::message, this, [this](const QString& text) {
        if (text != status_) {
            status_.clear();
        }
    });
}

Form2* Form2::ShowExplorer() {
    Module1& m = Shared();
    if (!m.Explorer) {
        // No owner: the explorer stands beside the editor, and closing it ends it.
        m.Explorer = new Form2;
        m.Explorer->setAttribute(Qt::WA_DeleteOnClose);
    }
    Form2* form = m.Explorer;
    form->show();
    form->raise();
    form->activateWindow();
    form->Command4->setFocus();
    form->Form_Activate();
    return form;
}

void Form2::changeEvent(QEvent* event) {
    // The user coming back to the explorer from another window sees the folder as it is now.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        RunHandler(this, [this] { Form_Activate(); });
    }
    QWidget::changeEvent(event);
}

void Form2::Form_Activate() {
    ShowFile();  // the edit text stays the file handed over
    ReadImageFile();
    ShowImage();
}

void Form2::Combo1_Click() {
    Module1& m = Shared();
    if (Combo1->Text() == m.ExplorerFile) {
        return;
    }
    m.ExplorerFile = Combo1->Text();
    m.CurrentImage = 1;
    ReadImageFile();
    ShowImage();
}

void Form2::Combo2_Click() {
    Module1& m = Shared();
    const int n = Combo2->ListIndex() + 1;
    if (n == m.CurrentImage) {
        return;
    }
    m.CurrentImage = n;
    ShowImage();
}

void Form2::Command3_Click() {
    Module1& m = Shared();
    if (--m.CurrentImage < 1) {
        m.CurrentImage = m.ImageCount;
    }
    ShowImage();
}

void Form2::Command4_Click() {
    Module1& m = Shared();
    if (++m.CurrentImage > m.ImageCount) {
        m.CurrentImage = 1;
    }
    ShowImage();
}

void Form2::ReadImageFile() {
    Module1& m = Shared();
    Combo2->Clear();
    m.ImageCount = 0;
    FileSource file;
    if (!OpenInFolder(m.ExplorerFile, file)) {
        return;
    }
    // The walk reads each record's header and palette (some 1,100 bytes) and skips its
    // pixels: one small block a record.
    const BufferedSource source(file, 2048);
    const auto header = ReadImageHeader(source);
    if (!header) {
        return;
    }
    m.ImageTable[0].Palette = header->filePalette;
    m.ImageTable[0].PaletteCount = header->filePaletteCount;
    const auto records = WalkImageFile(source, *header, kMaxExplorerImages);
    QStringList names;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ImageRecord& record = records[i];
        m.ImageNames[i + 1] = FromCp1252(record.Name);
        names << m.ImageNames[i + 1];
        m.ImageTable[i + 1] = record;
    }
    Combo2->AddItems(names);
    m.ImageCount = static_cast<std::int32_t>(records.size());
}

bool Form2::HasImage() const {
    const Module1& m = Shared();
    return m.ImageCount >= 1 && m.CurrentImage >= 1 && m.CurrentImage <= m.ImageCount;
}

const Palette& Form2::ShownPalette() const {
    const Module1& m = Shared();
    const ImageRecord& slot = m.ImageTable[HasImage() ? m.CurrentImage : 0];
    return slot.PaletteCount != 0 ? slot.Palette : m.ImageTable[0].Palette;
}

void Form2::ShowNothing() {
    setWindowTitle(kExplorerCaption);
    PlacePicture(8, 10, 256, 256);
    Picture1->Cls();
    Picture2->Cls();
    Picture1->Refresh();
    Picture2->Refresh();
    shownPixels_.clear();
    shown_.reset();
    Command1->SetCaption("<-  Export  ->");
    Command2->SetCaption("->  Import  <-");
    for (QWidget* control :
         std::initializer_list<QWidget*>{Command1, Command2, Command3, Command4, Combo2}) {
        control->setEnabled(false);
    }
    for (QAction* action : {ExportPngAction, ImportPngAction, ImportPngNearestAction,
                            ImportBmpAction, ImportBmpNearestAction, ExportAllAction}) {
        action->setEnabled(false);
    }
    UpdateMenus();
    ClearStatusFor({}, 0);
}

void Form2::ShowImage() {
    Module1& m = Shared();
    // A file that now holds fewer images than the number asked for shows its last one.
    if (m.ImageCount >= 1 && m.CurrentImage > m.ImageCount) {
        m.CurrentImage = m.ImageCount;
    }
    if (!HasImage()) {
        ShowNothing();
        return;
    }
    for (QWidget* control :
         std::initializer_list<QWidget*>{Command1, Command2, Command3, Command4, Combo2}) {
        control->setEnabled(true);
    }
    for (QAction* action : {ExportPngAction, ImportPngAction, ImportPngNearestAction,
                            ImportBmpAction, ImportBmpNearestAction, ExportAllAction}) {
        action->setEnabled(true);
    }
    UpdateMenus();
    ClearStatusFor(m.ExplorerFile, m.CurrentImage);
    Combo2->SetListIndex(m.CurrentImage - 1);
    setWindowTitle(kExplorerCaption + "  - image " + QString::number(m.CurrentImage) + " of " +
                   QString::number(m.ImageCount));

    const QString& name = m.ImageNames[m.CurrentImage];
    m.BitmapFile() =
        name.size() >= 5 && name.endsWith(".bmp", Qt::CaseSensitive) ? name : name + ".bmp";
    Command1->SetCaption("<-  Export to  " + m.BitmapFile() + "  ->");
    Command2->SetCaption("->  Import from  " + m.BitmapFile() + "  <-");

    Picture1->Cls();
    Picture2->Cls();
    const Palette& palette = ShownPalette();
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 16; ++column) {
            Picture2->FillBox(column * 16 + 1, row * 16 + 1, column * 16 + 14, row * 16 + 14,
                              palette[row * 16 + column]);
        }
    }
    Picture2->Refresh();

    const ImageRecord& slot = m.ImageTable[m.CurrentImage];
    // The bytes an import checks are the ones drawn: what the user sees is what it compares.
    const auto path = FindFile(m.ExplorerFile);
    shown_ = path ? ReadShownImage(*path, m.CurrentImage, slot) : std::nullopt;
    const std::int32_t w = slot.Width;
    const std::int32_t h = slot.Height;
    Scale = w <= 256 && h <= 256 && std::max(w, h) > 0 ? 256 / std::max(w, h) : 1;
    const bool drawn = w > 0 && h > 0 && static_cast<std::int64_t>(w) * h <= kMaxShownPixels;
    // An image of width or height 0 has nothing to export or import.
    Command1->setEnabled(w > 0 && h > 0);
    Command2->setEnabled(w > 0 && h > 0);
    if (!drawn) {
        PlacePicture(8, 10, 0, 0);
        shownPixels_.clear();
        return;
    }
    const int width = w * Scale;
    const int height = h * Scale;
    PlacePicture(135 - width / 2, 138 - height / 2, width, height);
    Picture1->Cls();
    shownPixels_.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    FileSource source;
    if (shown_ && shown_->bytes.pixels.size() == shownPixels_.size()) {
        shownPixels_ = shown_->bytes.pixels;
    } else if (OpenInFolder(m.ExplorerFile, source)) {
        if (!ReadBlock(source, slot.PixelOffset, shownPixels_)) {
            shownPixels_.assign(shownPixels_.size(), 0);  // as a file that cannot be opened
        }
    }
    std::array<QRgb, 256> colours{};
    for (int p = 0; p < 256; ++p) {
        colours[p] = ToRgb(palette[p]);
    }
    Picture1->PutIndexed(0, 0, w, h, shownPixels_.data(), colours, Scale);
    Picture1->Refresh();
}

QString Form2::ImageToolTip(int x, int y) const {
    const Module1& m = Shared();
    if (!HasImage() || shownPixels_.empty() || x < 0 || y < 0) {
        return {};
    }
    const ImageRecord& slot = m.ImageTable[m.CurrentImage];
    const int px = x / Scale;
    const int py = y / Scale;
    if (px >= slot.Width || py >= slot.Height) {
        return {};
    }
    const int index =
        shownPixels_[static_cast<std::size_t>(py) * static_cast<std::size_t>(slot.Width) +
                     static_cast<std::size_t>(px)];
    const ColourValue c = ShownPalette()[index];
    return QString("Pixel %1, %2: index %3, red %4, green %5, blue %6")
        .arg(px)
        .arg(py)
        .arg(index)
        .arg(RedOf(c))
        .arg(GreenOf(c))
        .arg(BlueOf(c));
}

QString Form2::PaletteToolTip(int x, int y) const {
    if (!HasImage() || x < 0 || y < 0 || x >= 256 || y >= 256) {
        return {};
    }
    const int k = (y / 16) * 16 + x / 16;
    const ColourValue c = ShownPalette()[k];
    return QString("Entry %1: red %2, green %3, blue %4")
        .arg(k)
        .arg(RedOf(c))
        .arg(GreenOf(c))
        .arg(BlueOf(c));
}

}  // namespace krellon
