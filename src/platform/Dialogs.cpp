#include "Dialogs.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>

namespace krellon {

namespace {

MessageHandler g_messageHandler;
InputHandler g_inputHandler;
FileDialogHandler g_fileDialogHandler;

}  // namespace

void SetMessageHandlerForTesting(MessageHandler handler) {
    g_messageHandler = std::move(handler);
}

void SetInputHandlerForTesting(InputHandler handler) {
    g_inputHandler = std::move(handler);
}

void SetFileDialogHandlerForTesting(FileDialogHandler handler) {
    g_fileDialogHandler = std::move(handler);
}

QString FileDialog(QWidget* parent, FileDialogKind kind, const QString& caption,
                   const QString& directory, const QString& filter) {
    if (g_fileDialogHandler) {
        return g_fileDialogHandler(kind, caption);
    }
    switch (kind) {
        case FileDialogKind::Folder:
            return QFileDialog::getExistingDirectory(parent, caption, directory);
        case FileDialogKind::Open:
            return QFileDialog::getOpenFileName(parent, caption, directory, filter);
        case FileDialogKind::Save:
            return QFileDialog::getSaveFileName(parent, caption, directory, filter);
    }
    return {};
}

namespace {

// text with a break opportunity (a zero-width space) every 24 characters of a run without
// one: a file name of 245 characters would otherwise make a box wider than any screen.
QString Breakable(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 24);
    int run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > 24) {
            out += QChar(0x200B);
            run = 1;
        }
        out += c;
    }
    return out;
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& text,
                                            const QString& title) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, title, QString(), QMessageBox::Ok,
                                             parent);
    box->setTextFormat(Qt::PlainText);
    box->setText(Breakable(text));
    if (auto* label = box->findChild<QLabel*>("qt_msgbox_label")) {
        label->setWordWrap(true);
        // About half a screen at most, as the platform's own message boxes are.
        const QScreen* screen =
            parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            label->setMaximumWidth(std::max(240, screen->availableGeometry().width() / 2));
        }
    }
    return box;
}

void MsgBox(QWidget* parent, const QString& text, const QString& title) {
    if (g_messageHandler) {
        g_messageHandler(text, title);
        return;
    }
    MakeMessageBox(parent, text, title)->exec();
}

QString InputBox(QWidget* parent, const QString& prompt, const QString& title,
                 const QString& preset) {
    if (g_inputHandler) {
        return g_inputHandler(prompt, title, preset);
    }
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, preset, &ok);
    return ok ? text : QString();
}

}  // namespace krellon
