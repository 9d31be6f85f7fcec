#include "EditorFixture.h"

#include "document/BoardSetDocument.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "platform/ComboBox.h"
#include "platform/Dialogs.h"
#include "platform/PictureBox.h"
#include "render/Colours.h"
#include "shell/BoardTools.h"
#include "shell/ExplorerLink.h"
#include "shell/MainWindow.h"
#include "storage/AtomicFile.h"
#include "storage/FileNames.h"

using namespace krellon;

EditorTest::EditorTest() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder.path());
    UseDataFolder(data.path());
}

EditorTest::~EditorTest() {
    window.reset();
    // The explorer and the shared state outlive a window; each test starts without them.
    delete Shared().Explorer.data();
    // The tools go first, as in the main window.
    tools.reset();
    form.reset();
    Shared() = Module1{};
    SetMessageHandlerForTesting(nullptr);
    SetFileDialogHandlerForTesting(nullptr);
    SetInputHandlerForTesting(nullptr);
    std::filesystem::current_path(previous_);
}

void EditorTest::WriteImages(const std::string& name, const std::vector<ImageSpec>& images) {
    folder.write(name, BuildImageFile(images, GreyPalette()));
}

void EditorTest::WriteBoardSet(const std::string& name, const BoardSetContent& set) {
    folder.write(name, EncodeBoardSet(set));
}

Form1& EditorTest::Open() {
    tools.reset();
    form.reset();
    document = std::make_unique<BoardSetDocument>();
    look = std::make_unique<render::BoardLook>();
    form = std::make_unique<Form1>(document.get(), look.get());
    // As the main window wires it: presses on the board go through the tools, the previews
    // open the explorer.
    tools = std::make_unique<BoardTools>(form.get());
    LinkExplorer(form.get());
    return *form;
}

void EditorTest::Pick(ComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

Form2& EditorTest::Explore(const QString& file, int image) {
    return *OpenExplorer(form.get(), file, image);
}

void EditorTest::CatchMessages() {
    SetMessageHandlerForTesting(
        [this](const QString& text, const QString& title) { messages << title + "|" + text; });
}

void EditorTest::AnswerDialogs(const std::filesystem::path& path) {
    const QString answer = NameFromPath(path);
    SetFileDialogHandlerForTesting([answer](FileDialogKind, const QString&) { return answer; });
}

Form1& EditorTest::Editor() {
    return *window->editor();
}

ColourValue TestColour(int p) {
    return MakeColour(p, 255 - p, (p * 3 + 17) % 256);
}

std::vector<ColourValue> TestPalette(int seed) {
    std::vector<ColourValue> palette(256);
    for (int p = 0; p < 256; ++p) {
        palette[static_cast<std::size_t>(p)] = TestColour((p + seed) % 256);
    }
    return palette;
}

std::uint8_t BackgroundIndex(int x, int y) {
    return static_cast<std::uint8_t>((x * 7 + y * 13) % 256);
}

ImageSpec TestBackground(const std::string& name, int w, int h, int seed) {
    ImageSpec image{name, w, h, TestPalette(seed),
                    std::vector<std::uint8_t>(static_cast<std::size_t>(w * h))};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.pixels[static_cast<std::size_t>(w * y + x)] = BackgroundIndex(x, y);
        }
    }
    return image;
}

ImageSpec TestBrick(const std::string& name, int seed) {
    ImageSpec image{name, 30, 15, TestPalette(seed), std::vector<std::uint8_t>(450)};
    for (int i = 0; i < 450; ++i) {
        image.pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((i + seed) % 256);
    }
    return image;
}

std::vector<ImageSpec> TestBricks(int count) {
    std::vector<ImageSpec> bricks;
    for (int k = 1; k <= count; ++k) {
        bricks.push_back(TestBrick("brick " + std::to_string(k), k));
    }
    return bricks;
}

BoardSetContent TestSet(int boardCount) {
    BoardSetContent set;
    set.brickSetFile = "bricks.img";
    set.backgroundSetFile = "backs.img";
    set.boardSetName = "Test Set";
    set.authorName = "Tester";
    set.boards.resize(static_cast<std::size_t>(boardCount));
    return set;
}

ColourValue PixelAt(const QImage& image, int x, int y) {
    return FromRgb(image.pixel(x, y));
}

::testing::AssertionResult ShowsBackground(const Form1& f, QRect area, QSize tile) {
    const QImage& board = f.Picture1->image();
    const QImage& preview = f.Picture3->image();
    const int w = tile.isValid() ? tile.width() : preview.width();
    const int h = tile.isValid() ? tile.height() : preview.height();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (board.pixel(x, y) != preview.pixel(x % w, y % h)) {
                return ::testing::AssertionFailure() << "board pixel " << x << ", " << y;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

QStringList Entries(const ComboBox* combo) {
    QStringList entries;
    for (int i = 0; i < combo->ListCount(); ++i) {
        entries << combo->List(i);
    }
    entries.sort();
    return entries;
}

Bytes BitmapOf(int w, int h, const std::vector<krellon::ColourValue>& palette,
               const std::vector<std::uint8_t>& pixels) {
    const int pad = (4 - w % 4) % 4;
    Bytes b;
    b.raw("BM").i32((w + pad) * h + 1078).i32(0).i32(1078).i32(40).i32(w).i32(h).i16(1).i16(8);
    b.i32(0).i32((w + pad) * h).i32(0).i32(0).i32(0).i32(0);
    for (int k = 0; k < 256; ++k) {
        const krellon::ColourValue c =
            k < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(k)] : 0;
        b.u8(static_cast<std::uint8_t>(krellon::BlueOf(c)))
            .u8(static_cast<std::uint8_t>(krellon::GreenOf(c)))
            .u8(static_cast<std::uint8_t>(krellon::RedOf(c)))
            .u8(0);
    }
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            b.u8(pixels[static_cast<std::size_t>(y * w + x)]);
        }
        b.fill(static_cast<std::size_t>(pad), 0);
    }
    return b;
}
