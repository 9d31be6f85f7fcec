#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QStringList>
#include <memory>
#include <vector>

#include "ImageFileBuilder.h"
#include "TestBytes.h"
#include "document/BoardSetDocument.h"
#include "editor/Form1.h"
#include "explorer/Form2.h"
#include "formats/BoardSetFile.h"
#include "render/BoardLook.h"
#include "shell/BoardTools.h"

namespace krellon {
class MainWindow;
}

// A working folder of the test's own files and the editor opened in it. The process works in
// that folder while the test runs.
class EditorTest : public ::testing::Test {
protected:
    EditorTest();
    ~EditorTest() override;

    // Writes an image file of these images (256-entry file palette) into the folder.
    void WriteImages(const std::string& name, const std::vector<krellon::ImageSpec>& images);
    void WriteBoardSet(const std::string& name, const krellon::BoardSetContent& set);
    // Opens the editor on the folder as it is now.
    krellon::Form1& Open();
    // A user's pick of entry index in a list.
    static void Pick(krellon::ComboBox* combo, int index);
    // The explorer opened on image (1-based) of file, as the editor's previews open it.
    krellon::Form2& Explore(const QString& file, int image);
    // Message boxes go to messages as "title|text" instead of on screen.
    void CatchMessages();
    // Every file dialog answers path.
    void AnswerDialogs(const std::filesystem::path& path);
    // The editor of the main window, for the tests that open one.
    krellon::Form1& Editor();

    TempFolder folder;
    // The user's data location, where the kept versions of replaced files go.
    TempFolder data;
    // The open set, as the main window keeps it beside the editor.
    std::unique_ptr<krellon::BoardSetDocument> document;
    std::unique_ptr<krellon::render::BoardLook> look;
    std::unique_ptr<krellon::Form1> form;
    std::unique_ptr<krellon::BoardTools> tools;
    std::unique_ptr<krellon::MainWindow> window;
    QStringList messages;

private:
    std::filesystem::path previous_;
};

// Test pictures: palette entry p is TestColour(p); background pixel (x, y) is BackgroundIndex.
krellon::ColourValue TestColour(int p);
std::vector<krellon::ColourValue> TestPalette(int seed = 0);
std::uint8_t BackgroundIndex(int x, int y);
krellon::ImageSpec TestBackground(const std::string& name, int w, int h, int seed = 0);
// A brick whose pixel (x, y) is index (x + 30 y + seed) mod 256 of TestPalette(seed).
krellon::ImageSpec TestBrick(const std::string& name, int seed = 0);
std::vector<krellon::ImageSpec> TestBricks(int count);
// A set over "bricks.img" and "backs.img" with boardCount empty boards.
krellon::BoardSetContent TestSet(int boardCount = 1);

// The colour value of a surface pixel.
krellon::ColourValue PixelAt(const QImage& image, int x, int y);
// Cell (c, r) of the board picture.
inline QRect CellArea(int c, int r) {
    return QRect(30 * c, 15 * r, 30, 15);
}
// True when area of the board shows the background preview tiled from the board's corner;
// the tile is the preview's size unless given.
::testing::AssertionResult ShowsBackground(const krellon::Form1& f,
                                           QRect area = QRect(0, 0, 600, 300),
                                           QSize tile = QSize());
// The entries of a list, sorted.
QStringList Entries(const krellon::ComboBox* combo);

// The bitmap of a width x height image by hand: the colour table from palette, rows bottom up.
Bytes BitmapOf(int w, int h, const std::vector<krellon::ColourValue>& palette,
               const std::vector<std::uint8_t>& pixels);
