// Times every user action on the largest valid data beside its floor, measured in the same run:
// what no implementation can beat on this machine (reading the same file bytes, copying the
// same pixel bytes with memcpy, listing the same folder). Prints a table of action, median
// time, floor and ratio, and the resident memory with the explorer on a 1024 x 1024 image.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QKeyEvent>
#include <QPainter>
#include <QTextStream>
#include <QUndoStack>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchData.h"
#include "cli/Commands.h"
#include "document/BoardSetDocument.h"
#include "document/EditJournalKeeper.h"
#include "editor/Form1.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "formats/BoardSetFile.h"
#include "formats/EditJournal.h"
#include "formats/ImageTransfer.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/PictureBox.h"
#include "render/BoardLook.h"
#include "render/ImageSets.h"
#include "shell/BoardKeyboard.h"
#include "shell/BoardStrip.h"
#include "shell/BoardTools.h"
#include "storage/FileSource.h"
#include "storage/FileWrites.h"
#include "storage/JournalFiles.h"

using namespace krellon;
namespace fs = std::filesystem;

namespace {

Form1* editor = nullptr;
BoardSetContent fullSet;  // the benchmark's set as read
Form2* explorer = nullptr;
std::vector<fs::path> imageFiles;
fs::path folder;

// --- Floors ---

std::vector<std::uint8_t> from(16 << 20, 1);
std::vector<std::uint8_t> to(16 << 20, 0);

void CopyPixels(std::size_t bytes) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
}

constexpr std::size_t kBoardBytes = 600 * 300 * 4;
constexpr std::size_t kPaletteBytes = 561 * 167 * 4;
constexpr std::size_t kTileBytes = 128 * 128 * 4;
constexpr std::size_t kGridBytes = 256 * 256 * 4;  // the explorer's palette grid

// --- Actions ---

void ShowInExplorer(const char* file) {
    Shared().ExplorerFile = file;
    Shared().CurrentImage = 1;
    explorer->ReadImageFile();
}

struct Row {
    std::string action;
    std::string floor;
    double target;           // the ratio to meet; 0 for the frame time only
    double limitUs = 16000;  // the time not to pass: a frame, unless the action allows more
};

std::vector<Row> rows;

// Registers an action and its floor; prepare, when given, runs untimed before each run of the
// action, and floorPrepare before each run of the floor.
void Register(const std::string& name, std::function<void()> run, const std::string& floorName,
              std::function<void()> floor, double target, std::function<void()> prepare = {},
              double limitUs = 16000, std::function<void()> floorPrepare = {}) {
    const auto add = [](const std::string& n, std::function<void()> f,
                        std::function<void()> before) {
        benchmark::RegisterBenchmark(n.c_str(),
                                     [f, before](benchmark::State& state) {
                                         for (auto _ : state) {
                                             if (before) {
                                                 state.PauseTiming();
                                                 before();
                                                 state.ResumeTiming();
                                             }
                                             f();
                                         }
                                     })
            ->Unit(benchmark::kMicrosecond)
            ->MinTime(0.1)
            ->Repetitions(9)
            ->ReportAggregatesOnly(true);
    };
    add(name, std::move(run), std::move(prepare));
    if (floor) {
        add(floorName, std::move(floor), std::move(floorPrepare));
    }
    rows.push_back({name, floorName, target, limitUs});
}

void RegisterActions() {
    Form1& f = *editor;
    fullSet = f.CurrentBoardSet();
    const fs::path bds = folder / bench::kBoardSet;
    const fs::path bricks = folder / bench::kBrickSet;
    const fs::path backs = folder / bench::kBackgrounds128;
    const fs::path images = folder / bench::kImages256;

    Register(
        "Form_Load (1000 image files)", [&f] { f.Form_Load(); }, "open+read 1052 bytes x 1000",
        [] { bench::ReadFilePrefixes(imageFiles, 1052); }, 2,
        [&f] {
            // The lists as the window starts: empty.
            f.Combo3->Clear();
            f.Combo4->Clear();
            f.Combo5->Clear();
        });

    Register(
        "ReadBoardSet (100 boards)",
        [&f] {
            f.BoardSetFile = bench::kBoardSet;
            f.ReadBoardSet();
        },
        "read set, bricks, headers; copy",
        [=, headers = bench::RecordOffsets(backs)] {
            bench::ReadFiles({bds, bricks});
            bench::ReadBlocksAt(backs, headers, 1100);
            bench::ReadFilePrefixes({backs}, 16384);
            CopyPixels(kBoardBytes + kPaletteBytes + kTileBytes);
        },
        2);

    const BoardSetContent content = f.CurrentBoardSet();
    const auto bytes = EncodeBoardSet(content);
    Register(
        "board set writer (100 boards)",
        [=] { WriteFileAtomically(folder / "Out.bds", EncodeBoardSet(content)); },
        "write+fsync same bytes", [=] { bench::WriteFileFlushed(folder / "Floor.bds", bytes); }, 2);
    // Save as the editor does it: the earlier KrelEdit.bds is kept among the backups first.
    bench::WriteFile(folder / "KrelEdit.bds", bytes);
    Register(
        "save with backup (100 boards)",
        [=] { ReplaceFile(folder / "KrelEdit.bds", bytes, "Save of Full.bds"); },
        "read old, write backup, write+fsync",
        [=] {
            bench::ReadFiles({folder / "KrelEdit.bds"});
            bench::WriteFile(folder / "user-data" / "Floor-backup.bds", bytes);
            bench::WriteFileFlushed(folder / "Floor.bds", bytes);
        },
        1.5);

    const auto repaintFloor = [=] {
        bench::ReadFilePrefixes({backs}, 16384);
        CopyPixels(kBoardBytes + kTileBytes);
    };
    // Moving to another board blacks the board out first, then paints it: the board's
    // pixels are written twice.
    Register(
        "Command2_Click (next board)", [&f] { f.Command2_Click(); }, "read tile, copy board twice",
        [=] {
            bench::ReadFilePrefixes({backs}, 16384);
            CopyPixels(2 * kBoardBytes + kTileBytes);
        },
        3);
    Register(
        "PaintBoard", [&f] { f.PaintBoard(); }, "read tile, copy board", repaintFloor, 3);
    Register(
        "mode change, 400 empty cells",
        [&f] {
            f.CurrentBoard = 3;  // an empty board
            const int mode = f.Option1->Selected() == 0 ? 1 : 0;
            f.Option1->Button(mode)->click();
        },
        "read tile, copy board", {}, 3);
    Register(
        "LoadBricks (119 bricks)", [&f] { f.LoadBricks(); }, "read bricks, copy palette",
        [=] {
            bench::ReadFiles({bricks});
            CopyPixels(kPaletteBytes + 90 * 45 * 4);
        },
        2);
    // The part of LoadBricks that reads the file and draws the sheet, without the editor's
    // clearing, list and repaint around it.
    Register(
        "DrawBrickSet (119 bricks)",
        [=, &f] {
            // The bytes' buffer kept between loads, as the look keeps it.
            static std::vector<std::uint8_t> buffer;
            FileSource file;
            file.open(bricks);
            benchmark::DoNotOptimize(render::DrawBrickSet(file, f.Picture2->image(), buffer));
        },
        "read bricks, copy palette", {}, 0);
    for (int mode : {0, 1, 2}) {
        Register(
            "LoadBackgr mode " + std::to_string(mode),
            [&f, mode] {
                f.Option1->Button(mode)->setChecked(true);
                f.Look->setMode(static_cast<render::BackgroundMode>(mode));
                f.LoadBackgr();
            },
            "read 128x128, copy tile",
            [=] {
                bench::ReadFilePrefixes({backs}, 16384);
                CopyPixels(kTileBytes);
            },
            2);
    }
    f.Option1->Button(0)->setChecked(true);
    f.Look->setMode(render::BackgroundMode::Textured);
    // Each press is a step: a brick placed, then removed again. The journal writes a record
    // of it before the press returns, with no flush.
    Register(
        "press on the board (journalled)",
        [&f] {
            static bool place = true;
            f.Picture1_MouseDown(place ? 1 : 2, 45.f, 20.f);
            place = !place;
        },
        "copy one cell, write one record",
        [] {
            CopyPixels(30 * 15 * 4);
            bench::AppendToFile(folder / "Floor.krj", 30);
        },
        0);
    // Undo and redo of Clear Board repaint the 400 cells it emptied; of the largest step, the
    // whole set, everything as reading the set does.
    Register(
        "undo Clear Board", [&f] { f.Document->undoStack()->undo(); }, "read tile, copy board",
        repaintFloor, 3,
        [&f] {
            f.CurrentBoard = 1;
            QUndoStack* stack = f.Document->undoStack();
            if (stack->canRedo() && stack->redoText() == "Clear Board") {
                stack->redo();
            } else {
                f.Document->setWhole(fullSet, "Restore");
                f.Command3_Click();
            }
        });
    Register(
        "redo Clear Board", [&f] { f.Document->undoStack()->redo(); }, "read tile, copy board", {},
        3,
        [&f] {
            f.CurrentBoard = 1;
            QUndoStack* stack = f.Document->undoStack();
            if (!stack->canUndo() || stack->undoText() != "Clear Board") {
                f.Document->setWhole(fullSet, "Restore");
                f.Command3_Click();
            }
            stack->undo();
        });
    Register(
        "redo whole-set step (100 boards)", [&f] { f.Document->undoStack()->redo(); },
        "read set, bricks, headers; copy", {}, 2,
        [&f] {
            QUndoStack* stack = f.Document->undoStack();
            if (stack->canUndo() && stack->undoText() == "Whole") {
                stack->undo();
            } else {
                BoardSetContent other = fullSet;
                other.boards[0].cells.fill(1);
                f.Document->setWhole(other, "Whole");
                stack->undo();
            }
        });
    // The painting tools: a brush event that crosses the whole board, a fill of 400 cells,
    // a board duplicated in a set of 99.
    // Lives as long as the editor, which the benchmark never closes.
    static BoardTools& tools = *new BoardTools(&f);
    Register(
        "brush stroke event across 20 cells", [] { tools.move(QPoint(19 * 30 + 15, 7)); },
        "copy board", {}, 0,
        [&f] {
            tools.release(QPoint(0, 0));
            tools.setTool(BoardTools::Tool::Brush);
            f.CurrentBoard = 3;
            static bool place = true;
            tools.press(place ? 1 : 2, QPoint(15, 7));
            place = !place;
        });
    Register(
        "fill of 400 cells",
        [&f] {
            static bool place = true;
            tools.press(place ? 1 : 2, QPoint(15, 7));
            place = !place;
        },
        "copy board", {}, 0,
        [&f] {
            tools.release(QPoint(0, 0));
            tools.setTool(BoardTools::Tool::Fill);
            f.CurrentBoard = 3;
        });
    Register(
        "duplicate a board in a 99-board set",
        [&f] { f.Document->insertBoard(2, f.Document->board(1), "Duplicate Board"); },
        "read tile, copy board", {}, 0,
        [&f] {
            tools.setTool(BoardTools::Tool::Press);
            while (f.Document->boardCount() >= 100) {
                if (f.Document->undoStack()->canUndo() &&
                    f.Document->undoStack()->undoText() == "Duplicate Board") {
                    f.Document->undoStack()->undo();
                } else {
                    f.Document->removeBoard(100);
                }
            }
        });
    // The board strip of all 100 boards drawn afresh after a change of look: the display mode,
    // which reads the tiles again.
    static BoardStrip* strip = new BoardStrip(&f, nullptr, nullptr);
    Register(
        "board strip: 100 thumbnails",
        [&f] {
            const bool textured = f.Look->mode() == render::BackgroundMode::Textured;
            f.Look->setMode(textured ? render::BackgroundMode::HalfBright
                                     : render::BackgroundMode::Textured);
            strip->refresh();
        },
        "copy 100 board pictures",
        [] {
            for (int b = 0; b < 100; ++b) {
                CopyPixels(kBoardBytes);
            }
        },
        0,
        [&f] {
            while (f.Document->boardCount() < 100) {
                f.Document->insertBoard(2, f.Document->board(1), "Duplicate Board");
            }
        });
    // What the user sees of it at once: the thumbnails in view of a strip as high as the
    // window, the others left to batches.
    strip->list->resize(render::kThumbnailWidth + 70, f.height());
    Register(
        "board strip: thumbnails in view",
        [&f] {
            const bool textured = f.Look->mode() == render::BackgroundMode::Textured;
            f.Look->setMode(textured ? render::BackgroundMode::HalfBright
                                     : render::BackgroundMode::Textured);
            strip->refreshVisible();
        },
        "copy 100 board pictures", {}, 0);
    Register(
        "press on the palette",
        [&f] {
            static int slot = 0;
            slot = (slot + 1) % 16;
            f.Picture2_MouseDown(1, static_cast<float>(slot * 35 + 10), 10.f);
        },
        "copy the enlarged brick", [] { CopyPixels(90 * 45 * 4); }, 0);
    Register(
        "hidden-brick toggle (400 hidden)",
        [&f] {
            f.CurrentBoard = 2;  // every cell the hidden brick
            f.Check1->click();
        },
        "copy board", [] { CopyPixels(kBoardBytes); }, 3);

    Register(
        "explorer activation (119 x 256x256)",
        [] {
            Shared().ExplorerFile = bench::kImages256;
            Shared().CurrentImage = 1;
            explorer->Form_Activate();
        },
        "list folder, read, copy",
        [=] {
            bench::ListFolder(folder);
            bench::ReadFilePrefixes({images}, 65536);
            CopyPixels(2 * kGridBytes);
        },
        0);
    struct Shown {
        const char* file;
        int w, h, scale;
    };
    for (const Shown& s :
         {Shown{bench::kBrickSet, 30, 15, 8}, Shown{bench::kImages256, 256, 256, 1},
          Shown{bench::kHugeImage, 1024, 1024, 1}}) {
        const std::string size = std::to_string(s.w) + "x" + std::to_string(s.h);
        const fs::path file = folder / s.file;
        const std::size_t out =
            static_cast<std::size_t>(s.w * s.scale) * (s.h * s.scale) * 4 + kGridBytes;
        const std::size_t in = static_cast<std::size_t>(s.w) * s.h;
        Register(
            "ShowImage " + size,
            [s] {
                if (Shared().ExplorerFile != s.file) {
                    ShowInExplorer(s.file);
                }
                explorer->ShowImage();
            },
            "read " + size + ", copy",
            [=] {
                bench::ReadFilePrefixes({file}, in);
                CopyPixels(out);
            },
            0);
    }
    const fs::path bitmap = folder / "Picture 1.bmp";
    const std::vector<std::uint8_t> bitmapBytes(1078 + 256 * 256, 7);
    Register(
        "export 256x256",
        [] {
            if (Shared().ExplorerFile != bench::kImages256) {
                ShowInExplorer(bench::kImages256);
                explorer->ShowImage();
            }
            explorer->Command1_Click();
        },
        "read pixels and old, backup, write+fsync",
        [=] {
            bench::ReadFilePrefixes({images}, 256 * 256);
            bench::ReadFiles({bitmap});
            bench::WriteFile(folder / "user-data" / "Floor-backup.bmp", bitmapBytes);
            bench::WriteFileFlushed(folder / "Floor.bmp", bitmapBytes);
        },
        1.5);
    const std::vector<std::uint8_t> imageBytes(fs::file_size(images), 7);
    Register(
        "import 256x256", [] { explorer->Command2_Click(); },
        "read both, write backup, write+fsync image",
        [=] {
            bench::ReadFiles({bitmap, images});
            bench::WriteFile(folder / "user-data" / "Floor-backup.img", imageBytes);
            bench::WriteFileFlushed(folder / "Floor.img", imageBytes);
        },
        1.5);
}

// Runs a program to its end and returns its exit status.
int RunProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

int Krellon(const QStringList& arguments) {
    QString out;
    QString err;
    QTextStream o(&out);
    QTextStream e(&err);
    return cli::Run(QStringList{"krellon"} + arguments, o, e);
}

QByteArray EncodeWithQt(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

// The command line's actions: rendering, exporting, and starting up.
// The board view beyond the original: a repaint of the whole board at 4x, and the keyboard's
// cursor moving one cell with the view repainted where it changed. A window of their own, so
// that the zoom leaves the other actions' window as it is.
void RegisterView() {
    auto* view = new Form1(new BoardSetDocument, new render::BoardLook);
    view->BoardSetFile = bench::kBoardSet;
    view->ReadBoardSet();
    view->SetZoom(4);
    auto* tools = new BoardTools(view);
    auto* keyboard = new BoardKeyboard(view, tools);
    view->Picture1->Overlay = [keyboard](QPainter& painter, int scale) {
        keyboard->drawCursor(painter, scale);
    };
    auto* zoomed = new QImage(2400, 1200, QImage::Format_RGB32);
    Register(
        "repaint the board at 4x",
        [view, zoomed] {
            QPainter painter(zoomed);
            view->Picture1->render(&painter);
        },
        "copy 2400 x 1200 pixels", [] { CopyPixels(kBoardBytes * 16); }, 0, {}, 4000);
    view->show();
    QApplication::processEvents();
    Register(
        "cursor move, view repainted (4x)",
        [view] {
            static int step = 0;
            QKeyEvent press(QEvent::KeyPress, ++step % 40 < 20 ? Qt::Key_Right : Qt::Key_Left,
                            Qt::NoModifier);
            QApplication::sendEvent(view->Picture1, &press);
            // The regions it marked are painted as the event loop paints them.
            QApplication::processEvents();
        },
        "copy two cells' pixels at 4x", [] { CopyPixels(2 * 30 * 15 * 16 * 4); }, 0, {}, 1000);
}

// Image files that grow: an image added to the 119-image file (its earlier version kept first,
// as every replacement), and the file packed from its 119 unpacked pictures.
void RegisterImageEdits() {
    const fs::path images = folder / bench::kImages256;
    const QString target = QString::fromStdString((folder / "AddTo.img").string());
    const QString picture = QString::fromStdString((folder / "Add.png").string());
    const QString unpacked = QString::fromStdString((folder / "unpacked").string());
    const QString packed = QString::fromStdString((folder / "Packed.img").string());
    fs::remove_all(unpacked.toStdString());
    Krellon({"unpack", QString::fromStdString(images.string()), "-o", unpacked});
    auto pngs = std::make_shared<std::vector<fs::path>>();
    for (const auto& entry : fs::directory_iterator(folder / "unpacked")) {
        if (entry.path().extension() == ".png") {
            pngs->push_back(entry.path());
        }
    }
    std::sort(pngs->begin(), pngs->end());
    fs::copy_file(pngs->front(), picture.toStdString(), fs::copy_options::overwrite_existing);
    const auto readAll = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    };
    const auto before = readAll(images);
    fs::copy_file(images, folder / "AddTo.img", fs::copy_options::overwrite_existing);
    Krellon({"add", target, picture});
    const auto after = readAll(folder / "AddTo.img");
    Register(
        "krellon add (to 119 images of 256 x 256)",
        [=] {
            Krellon({"add", target, picture});
        },
        "read old, write backup, write+fsync",
        [=] {
            bench::ReadFiles({folder / "AddTo.img"});
            bench::WriteFile(folder / "user-data" / "Floor-backup.img", before);
            bench::WriteFileFlushed(folder / "Floor.img", after);
        },
        1.5,
        [=] { fs::copy_file(images, target.toStdString(), fs::copy_options::overwrite_existing); },
        16000,
        [=] { fs::copy_file(images, folder / "AddTo.img", fs::copy_options::overwrite_existing); });
    Register(
        "krellon pack (119 pictures)",
        [=] {
            Krellon({"pack", unpacked, "-o", packed});
        },
        "PNG-decode 119 pictures, write+fsync",
        [=] {
            for (const fs::path& png : *pngs) {
                benchmark::DoNotOptimize(QImage(QString::fromStdString(png.string())));
            }
            bench::WriteFileFlushed(folder / "Floor.img", before);
        },
        1.5, [=] { fs::remove(packed.toStdString()); });
}

void RegisterCommandLine(const fs::path& programs) {
    const QString set = QString::fromStdString((folder / bench::kBoardSet).string());
    const QString renders = QString::fromStdString((folder / "renders").string());
    // The floor encodes the very pictures the editor shows for the 100 boards.
    auto pictures = std::make_shared<std::vector<QImage>>();
    for (int b = 1; b <= editor->BoardCount(); ++b) {
        editor->CurrentBoard = b;
        editor->PaintBoard();
        pictures->push_back(editor->Picture1->image().copy());
    }
    editor->CurrentBoard = 1;
    editor->PaintBoard();
    Register(
        "krellon render --all (100 boards)",
        [=] {
            Krellon({"render", set, "--all", "-o", renders});
        },
        "QImage PNG-encode 100 boards",
        [=] {
            for (const QImage& picture : *pictures) {
                benchmark::DoNotOptimize(EncodeWithQt(picture));
            }
        },
        1.3, [=] { fs::remove_all(renders.toStdString()); });

    const QString images = QString::fromStdString((folder / bench::kImages256).string());
    const QString exports = QString::fromStdString((folder / "exports").string());
    // What the floors write or encode: the 119 images as the export gives them.
    auto bitmaps = std::make_shared<std::vector<std::vector<std::uint8_t>>>();
    auto indexed = std::make_shared<std::vector<QImage>>();
    {
        FileSource file;
        file.open(folder / bench::kImages256);
        const auto index = IndexImageFile(file);
        for (const ImageRecord& record : index->records) {
            const auto pixels = ReadImagePixels(file, record);
            const Palette& palette = DrawnPalette(*index, record);
            bitmaps->push_back(EncodeBitmap(record.Width, record.Height, palette, *pixels));
            QImage image(record.Width, record.Height, QImage::Format_Indexed8);
            QList<QRgb> colours;
            for (const ColourValue c : palette) {
                colours << qRgb(RedOf(c), GreenOf(c), BlueOf(c));
            }
            image.setColorTable(colours);
            for (int y = 0; y < record.Height; ++y) {
                std::memcpy(image.scanLine(y), pixels->data() + y * record.Width, record.Width);
            }
            indexed->push_back(image);
        }
    }
    fs::create_directories(folder / "floor-exports");
    Register(
        "krellon export --all bmp (119 images)",
        [=] {
            Krellon({"export", images, "--all", "-o", exports});
        },
        "write the same 119 files + fsync",
        [=] {
            int n = 0;
            for (const auto& bytes : *bitmaps) {
                bench::WriteFileFlushed(folder / "floor-exports" / (std::to_string(++n) + ".bmp"),
                                        bytes);
            }
        },
        1.3,
        [=] {
            fs::remove_all(exports.toStdString());
            fs::remove_all(folder / "floor-exports");
            fs::create_directories(folder / "floor-exports");
        });
    Register(
        "krellon export --all png (119 images)",
        [=] {
            Krellon({"export", images, "--all", "-o", exports, "--format", "png"});
        },
        // The command must write what it encodes, as the bmp export's floor does: new files
        // into an empty folder, as the command writes them (overwriting files in place costs
        // more on this disk). The flush is left out: the floor is the stricter without it.
        "QImage PNG-encode, write the same 119 files",
        [=] {
            int n = 0;
            for (const QImage& image : *indexed) {
                const QByteArray png = EncodeWithQt(image);
                bench::WriteFile(folder / "floor-exports" / (std::to_string(++n) + ".png"),
                                 {png.begin(), png.end()});
            }
        },
        1.3, [=] { fs::remove_all(exports.toStdString()); }, 16000,
        [=] {
            fs::remove_all(folder / "floor-exports");
            fs::create_directories(folder / "floor-exports");
        });

    const std::string krellon = (programs / "krellon").string();
    const std::string empty = (programs / "bench" / "krellon-bench-start").string();
    Register(
        "krellon info (start to exit, 100 boards)",
        [=] {
            RunProgram({krellon, "info", set.toStdString()});
        },
        "start QCoreApplication and exit", [=] { RunProgram({empty}); }, 2);
}

// Collects the medians, keyed by benchmark name, in microseconds.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median") {
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

void PrintTable(const std::map<std::string, double>& medians) {
    std::printf("\n%-38s %12s  %-44s %10s %7s %7s\n", "action", "median", "floor", "", "ratio",
                "target");
    for (const Row& row : rows) {
        const double t = medians.count(row.action) ? medians.at(row.action) : 0;
        const double fl = medians.count(row.floor) ? medians.at(row.floor) : 0;
        const double ratio = fl > 0 ? t / fl : 0;
        char target[32];
        std::snprintf(target, sizeof target, "%g ms", row.limitUs / 1000);
        if (row.target > 0) {
            std::snprintf(target, sizeof target, "%gx", row.target);
        }
        // A command-line program has no frame to keep; its ratio alone counts.
        const bool command = row.action.rfind("krellon ", 0) == 0;
        const bool met = (command || t <= row.limitUs) && (row.target == 0 || ratio <= row.target);
        std::printf("%-38s %9.1f us  %-44s %7.1f us %6.2fx %7s %s\n", row.action.c_str(), t,
                    row.floor.c_str(), fl, ratio, target, met ? "" : "  MISSED");
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The build folder, where krellon and the start-up floor lie.
    const fs::path programs = fs::absolute(argv[0]).parent_path().parent_path();
    folder = fs::absolute(argc > 1 && argv[1][0] != '-' ? argv[1] : "bench-data");
    // The data is made in a child process, so that its buffers do not count in the memory
    // this process reports.
    if (!fs::exists(folder / bench::kHugeImage)) {
        const pid_t child = fork();
        if (child == 0) {
            bench::WriteBenchFolder(folder);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    fs::current_path(folder);
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".img") {
            imageFiles.push_back(entry.path());
        }
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The backups the timed actions keep go beside the data, not into the user's own store.
    fs::create_directories(folder / "user-data");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((folder / "user-data").string()));
    int appArgc = 1;
    QApplication app(appArgc, argv);
    editor = new Form1(new BoardSetDocument, new render::BoardLook);
    Shared().ExplorerFile = bench::kHugeImage;
    Shared().CurrentImage = 1;
    explorer = Form2::ShowExplorer();
    const long resident = bench::ResidentKilobytes();

    // The edit journal, as the program keeps it, under the benchmark's own data folder; what
    // an earlier run left there is not this run's.
    fs::remove_all(JournalFolder());
    EditJournalKeeper journal(editor->Document);
    journal.opened(folder, bench::kBoardSet);

    // A history of 10,000 steps: what it costs in memory, and its journal read back.
    const long beforeHistory = bench::ResidentKilobytes();
    for (int i = 0; i < 10000; ++i) {
        editor->Document->setCells(1, {{i % 20, (i / 20) % 20, 200 + i / 400}}, "Place Brick");
    }
    const long history = bench::ResidentKilobytes() - beforeHistory;
    journal.flush();
    const fs::path journal10k = folder / "Journal10k.krj";
    fs::copy_file(EditJournalKeeper::journals(folder, bench::kBoardSet).front(), journal10k,
                  fs::copy_options::overwrite_existing);
    editor->BoardSetFile = bench::kBoardSet;
    editor->ReadBoardSet();  // the set as read, with a new history
    Register(
        "restore a journal of 10,000 steps",
        [=] {
            FileSource file;
            file.open(journal10k);
            benchmark::DoNotOptimize(ReadJournal(file));
        },
        "read the journal", [=] { bench::ReadFiles({journal10k}); }, 0);

    RegisterActions();
    RegisterCommandLine(programs);
    RegisterView();
    RegisterImageEdits();
    benchmark::Initialize(&argc, argv);
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTable(reporter.medians);
    std::printf(
        "\nresident memory, editor and explorer on the 1024 x 1024 image: %.1f MB "
        "(target 80 MB)%s\n",
        resident / 1024.0, resident < 80 * 1024 ? "" : "  MISSED");
    std::printf("resident memory of a 10,000-step history: %.1f MB more (target 10 MB)%s\n",
                history / 1024.0, history < 10 * 1024 ? "" : "  MISSED");
    // The timed steps were never saved: their journal goes with the run.
    fs::remove_all(JournalFolder());
    return 0;
}
