// Feeds arbitrary bytes to the windows' loaders, offscreen: as a board set file picked in the
// editor and stepped through, or as an image file used as brick set, as background set in
// every display mode, and opened in the explorer and stepped through. Bit 0 of the first byte
// says which: 0 a board set file, 1 an image file; bit 1 set runs the editor's start-up
// scans with the image file in the folder first.
#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "DemoData.h"
#include "document/BoardSetDocument.h"
#include "editor/Form1.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "platform/Controls.h"
#include "platform/PictureBox.h"
#include "render/BoardLook.h"

namespace {

// Both live until the process ends: destructors run at exit would find the toolkit already
// torn down.
QApplication* app = nullptr;
krellon::Form1* editor = nullptr;
std::filesystem::path folder;

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void WriteInput(const char* name, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The editor's lists and counts agree with what it holds.
void CheckEditor(const krellon::Form1& form) {
    if (form.BoardCount() < 1 || form.BoardCount() > krellon::Form1::kMaxBoardIndex ||
        form.CurrentBoard < 1 || form.CurrentBoard > form.BoardCount() || form.BrickCount() < 0 ||
        form.BrickCount() > krellon::Form1::kMaxBrickCode || form.BackgroundCount() < 0 ||
        form.BackgroundCount() > krellon::kMaxBackgrounds || form.SelectedBrick < 0 ||
        form.SelectedBrick > std::max(form.BrickCount(), 1)) {
        std::abort();
    }
}

void RunBoardSet(const std::uint8_t* data, std::size_t size) {
    WriteInput("Fuzz.bds", data, size);
    editor->BoardSetFile = "Fuzz.bds";
    if (!editor->ReadBoardSet().ok()) {
        return;
    }
    CheckEditor(*editor);
    for (int i = 0; i < editor->BoardCount(); ++i) {
        editor->Command2_Click();
    }
    editor->Check1->click();
    editor->Check1->click();
    CheckEditor(*editor);
}

void RunImageFile(const std::uint8_t* data, std::size_t size, bool startUp) {
    WriteInput("Fuzz.img", data, size);
    if (startUp) {
        editor->Form_Load();
    }
    // The open set over the input as its brick set and background set: both are read.
    krellon::BoardSetContent set = editor->Document->content();
    set.brickSetFile = set.backgroundSetFile = "Fuzz.img";
    editor->Document->reset(set);
    for (int mode : {1, 2, 0}) {
        editor->Option1->Button(mode)->click();
    }
    CheckEditor(*editor);

    krellon::Shared().ExplorerFile = "Fuzz.img";
    krellon::Shared().CurrentImage = 1;
    krellon::Form2* explorer = krellon::Form2::ShowExplorer();
    for (int i = 0; i < krellon::Shared().ImageCount; ++i) {
        explorer->Command4_Click();
    }
    if (krellon::Shared().ImageCount < 0 ||
        krellon::Shared().ImageCount > krellon::kMaxExplorerImages) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The corpus folders and files named on the command line are found from where the run
    // started, before the working folder changes.
    for (int i = 1; i < *argc; ++i) {
        if ((*argv)[i][0] != '-') {
            (*argv)[i] = strdup(std::filesystem::absolute((*argv)[i]).string().c_str());
        }
    }
    static int appArgc = 1;
    app = new QApplication(appArgc, *argv);
    // A working folder of its own with the demo files beside the input.
    folder = std::filesystem::temp_directory_path() /
             ("krellon-fuzz-" + std::to_string(QCoreApplication::applicationPid()));
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    if (!std::filesystem::create_directory(folder, error)) {
        std::abort();
    }
    std::atexit(RemoveFolder);
    krellon::WriteDemoFolder(folder);
    std::filesystem::current_path(folder);
    editor = new krellon::Form1(new krellon::BoardSetDocument, new krellon::render::BoardLook);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    if (data[0] % 2 == 0) {
        RunBoardSet(data + 1, size - 1);
    } else {
        RunImageFile(data + 1, size - 1, (data[0] & 2) != 0);
    }
    return 0;
}
