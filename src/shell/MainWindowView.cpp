// The main window's view of the board beyond the original's: zoom, the grid, the toolbar, the
// keyboard's cursor drawn over the board, and the help on keys and mouse.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QWheelEvent>

#include "BoardKeyboard.h"
#include "KeysDialog.h"
#include "MainWindow.h"
#include "editor/Form1.h"
#include "platform/PictureBox.h"

namespace krellon {

namespace {

// Cell lines that show on dark and pale bricks alike: the colours under them turned about.
const QColor kGridColour(255, 255, 255, 150);

void DrawGrid(QPainter& painter, int scale) {
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.setPen(QPen(kGridColour, 1));
    const int width = 30 * kBoardColumns * scale;
    const int height = 15 * kBoardRows * scale;
    for (int c = 1; c < kBoardColumns; ++c) {
        painter.drawLine(c * 30 * scale, 0, c * 30 * scale, height - 1);
    }
    for (int r = 1; r < kBoardRows; ++r) {
        painter.drawLine(0, r * 15 * scale, width - 1, r * 15 * scale);
    }
    painter.restore();
}

}  // namespace

void MainWindow::createZoomEntries(QMenu* view) {
    view->addSeparator();
    addEntry(view, "zoomIn", "Zoom &In", QKeySequence(Qt::CTRL | Qt::Key_Equal),
             [this] { setZoom(zoom() + 1); })
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    addEntry(view, "zoomOut", "Zoom &Out", QKeySequence(Qt::CTRL | Qt::Key_Minus),
             [this] { setZoom(zoom() - 1); });
    addEntry(view, "actualSize", "&Actual Size", QKeySequence(Qt::CTRL | Qt::Key_0),
             [this] { setZoom(1); });
    QAction* grid = addEntry(view, "grid", "&Grid", QKeySequence(Qt::CTRL | Qt::Key_G),
                             [this] { editor_->Picture1->update(); });
    grid->setCheckable(true);
    // The grid and the cursor go over the board view, never into the board's picture.
    editor_->Picture1->Overlay = [this, grid](QPainter& painter, int scale) {
        if (grid->isChecked()) {
            DrawGrid(painter, scale);
        }
        keyboard_->drawCursor(painter, scale);
    };
    editor_->Picture2->Overlay = [this](QPainter& painter, int) {
        keyboard_->drawPaletteMark(painter);
    };
    updateZoomEntries();
}

int MainWindow::zoom() const {
    return editor_->Zoom;
}

void MainWindow::setZoom(int zoom) {
    zoom = std::clamp(zoom, Form1::kMinZoom, Form1::kMaxZoom);
    if (zoom == editor_->Zoom) {
        return;
    }
    // The cell under the keyboard's cursor stays in sight.
    editor_->SetZoom(zoom);
    updateZoomEntries();
    const QPoint cell = keyboard_->cell();
    const QPoint centre =
        editor_->Picture1->pos() + QPoint(cell.x() * 30 + 15, cell.y() * 15 + 7) * editor_->Zoom;
    scroll_->ensureVisible(centre.x(), centre.y(), 60 * zoom, 30 * zoom);
    statusBar()->showMessage(QString("Zoom %1×").arg(zoom));
}

void MainWindow::updateZoomEntries() {
    action("zoomIn")->setEnabled(editor_->Zoom < Form1::kMaxZoom);
    action("zoomOut")->setEnabled(editor_->Zoom > Form1::kMinZoom);
    action("actualSize")->setEnabled(editor_->Zoom != 1);
}

bool MainWindow::zoomByWheel(QWheelEvent* wheel) {
    if (!(wheel->modifiers() & Qt::ControlModifier)) {
        return false;
    }
    // Each notch one step; touchpads add up their small steps first.
    wheelAngle_ += wheel->angleDelta().y();
    while (wheelAngle_ >= 120) {
        wheelAngle_ -= 120;
        setZoom(zoom() + 1);
    }
    while (wheelAngle_ <= -120) {
        wheelAngle_ += 120;
        setZoom(zoom() - 1);
    }
    return true;
}

void MainWindow::createToolBar() {
    QToolBar* bar = addToolBar("Tools");
    bar->setObjectName("toolBar");
    bar->setToolButtonStyle(Qt::ToolButtonFollowStyle);
    const std::array<std::pair<const char*, const char*>, 8> entries = {
        {{"toolPress", "draw-freehand"},
         {"toolBrush", "draw-brush"},
         {"toolRectangle", "draw-rectangle"},
         {"toolFill", "color-fill"},
         {"mirror", "object-flip-horizontal"},
         {"zoomOut", "zoom-out"},
         {"zoomIn", "zoom-in"},
         {"actualSize", "zoom-original"}}};
    for (const auto& [id, icon] : entries) {
        QAction* entry = action(id);
        // Icons from the theme; where it has none, the entry's text stands.
        if (QIcon::hasThemeIcon(icon)) {
            entry->setIcon(QIcon::fromTheme(icon));
        }
        if (std::string_view(id) == "mirror" || std::string_view(id) == "zoomOut") {
            bar->addSeparator();
        }
        bar->addAction(entry);
    }
    QAction* toggle = bar->toggleViewAction();
    toggle->setObjectName("showToolBar");
    toggle->setText("&Toolbar");
    viewMenu_->addAction(toggle);
}

void MainWindow::showKeys() {
    KeysDialog dialog(this);
    dialog.exec();
}

}  // namespace krellon
