#pragma once

#include <QString>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace krellon {

// A modal message box with an OK button only and no icon.
void MsgBox(QWidget* parent, const QString& text, const QString& title);

// The message box MsgBox shows, not yet shown. Long names in text may break anywhere, so the
// box wraps them and fits the screen.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& text,
                                            const QString& title);

// A modal text input dialog; returns the text, or an empty text when cancelled.
QString InputBox(QWidget* parent, const QString& prompt, const QString& title,
                 const QString& preset);

// The file dialogs: a folder to work in, a file to open, a file to save to. Each returns an
// absolute path, or an empty text when cancelled.
enum class FileDialogKind { Folder, Open, Save };
QString FileDialog(QWidget* parent, FileDialogKind kind, const QString& caption,
                   const QString& directory, const QString& filter = {});

// Test seams: while set, these answer in place of the dialogs and see what they would show.
using FileDialogHandler = std::function<QString(FileDialogKind kind, const QString& caption)>;
void SetFileDialogHandlerForTesting(FileDialogHandler handler);
using MessageHandler = std::function<void(const QString& text, const QString& title)>;
using InputHandler =
    std::function<QString(const QString& prompt, const QString& title, const QString& preset)>;
void SetMessageHandlerForTesting(MessageHandler handler);
void SetInputHandlerForTesting(InputHandler handler);

}  // namespace krellon
