#include "Dialogs.h"

#include <QInputDialog>
#include <QMessageBox>

namespace krellon {

namespace {

MessageHandler g_messageHandler;
InputHandler g_inputHandler;

}  // namespace

void SetMessageHandlerForTesting(MessageHandler handler) {
    g_messageHandler = std::move(handler);
}

void SetInputHandlerForTesting(InputHandler handler) {
    g_inputHandler = std::move(handler);
}

void MsgBox(QWidget* parent, const QString& text, const QString& title) {
    if (g_messageHandler) {
        g_messageHandler(text, title);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
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
