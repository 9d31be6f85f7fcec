#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>

namespace krellon {

// What the editor's command line, krellon-editor [FOLDER | FILE.bds | FILE.img], asks for.
struct EditorStart {
    std::optional<int> exitStatus;  // set when the program ends at once
    QString output;                 // for the standard output (help, version)
    QString error;                  // one line for the standard error
    std::filesystem::path folder;   // the working folder; empty for the current one
    QString startSet;               // a board set file of that folder to open first
    QString startImages;            // an image file of that folder to show in the explorer
    // Qt's own options (-style Fusion, -platform offscreen, -reverse...) for QApplication, in
    // the form it reads: "-name", then the value as a separate argument where there is one.
    QStringList qtArguments;
};

// Reads arguments (the program's name first; file names as NameFromBytes holds them, so that
// every byte is kept) without a display: --help, --help-all and --version answer at once; a
// path that does not exist ends with status 2. Qt's own options, as -name value, -name=value
// or --name, go to qtArguments and are no paths.
EditorStart ReadEditorCommandLine(const QStringList& arguments);

}  // namespace krellon
