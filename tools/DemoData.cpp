#include "DemoData.h"

#include <cmath>
#include <fstream>
#include <stdexcept>

#include "DemoArt.h"
#include "ImageFileBuilder.h"
#include "formats/Bitmap.h"
#include "formats/EditJournal.h"
#include "storage/AtomicFile.h"

namespace krellon {

namespace {

constexpr int kHidden = 81;
constexpr int kSteel = 82;
constexpr int kGold = 83;
constexpr int kSilver = 84;

int Code(int style, int colour) {
    return style * 16 + colour + 1;
}

Board RainbowRows() {
    Board b;
    b.background = 0;
    for (int r = 2; r < 10; ++r) {
        for (int c = 1; c < 19; ++c) {
            b.cell(c, r) = Code(r == 2 || r == 9 ? 4 : 0, (r - 2) * 2);
        }
    }
    return b;
}

Board Pyramid() {
    Board b;
    b.background = 5;
    for (int r = 2; r < 12; ++r) {
        const int half = r - 1;
        for (int c = 10 - half; c < 10 + half; ++c) {
            b.cell(c, r) = r == 11 ? kGold : Code(2, (r + 3) % 16);
        }
    }
    return b;
}

Board Heart() {
    Board b;
    b.background = 9;
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 20; ++c) {
            const double x = (c - 9.5) / 6.5;
            const double y = (7.0 - r) / 6.0;
            const double f = std::pow(x * x + y * y - 1, 3) - x * x * y * y * y;
            if (f <= 0) {
                b.cell(c, r) = (c + r) % 5 == 0 ? kHidden : Code((c + r) % 2 ? 0 : 3, 0);
            } else if (f < 0.25 && r < 14) {
                b.cell(c, r) = Code(0, 15);
            }
        }
    }
    return b;
}

Board MetalChecker() {
    Board b;
    b.background = 4;
    for (int r = 1; r < 13; ++r) {
        for (int c = 0; c < 20; ++c) {
            if (r == 1 || r == 12 || c == 0 || c == 19) {
                b.cell(c, r) = (c + r) % 2 ? kGold : kSilver;
            } else if ((c + r) % 2 == 0) {
                b.cell(c, r) = Code(4, (c * 3 + r) % 16);
            } else if (r % 4 == 0) {
                b.cell(c, r) = kSteel;
            }
        }
    }
    return b;
}

// A board whose background number the set lacks, with one brick code above the brick count.
Board MissingPieces() {
    Board b;
    b.background = 40;
    for (int r = 3; r < 8; ++r) {
        for (int c = 3; c < 17; ++c) {
            b.cell(c, r) = Code(1, (c + 8) % 16);
        }
    }
    b.cell(9, 5) = 100;
    b.cell(10, 5) = 100;
    return b;
}

Board Diamonds() {
    Board b;
    b.background = 11;
    for (int r = 0; r < 14; ++r) {
        for (int c = 0; c < 20; ++c) {
            const int d = std::abs(c % 10 - 4) + std::abs(r % 7 - 3);
            if (d <= 3) {
                b.cell(c, r) = d == 3 ? kSteel : Code(3, (c / 10) * 8 + r / 7 * 4 + d);
            }
        }
    }
    return b;
}

Board Skyline(int seed) {
    Board b;
    b.background = seed % 6;
    for (int c = 0; c < 20; ++c) {
        const int top = 3 + (c * 7 + seed * 5) % 8;
        for (int r = top; r < 13; ++r) {
            b.cell(c, r) = r == top ? Code(4, (c + seed) % 16) : Code(0, (c / 4 + seed * 3) % 16);
        }
    }
    return b;
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    const Status status = WriteFileAtomically(path, bytes);
    if (!status.ok()) {
        throw std::runtime_error("cannot write " + path.string() + ": " + status.error());
    }
}

}  // namespace

BoardSetContent DemoBoardSet() {
    BoardSetContent set;
    set.brickSetFile = kDemoBrickSet;
    set.backgroundSetFile = kDemoBackgrounds64;
    set.boardSetName = "Krellon Demo";
    set.authorName = "The Krellon Team";
    set.boards = {RainbowRows(), Pyramid(), Heart(), MetalChecker(), MissingPieces(), Diamonds()};
    return set;
}

BoardSetContent DemoSecondBoardSet() {
    BoardSetContent set;
    set.brickSetFile = kDemoBrickSet;
    set.backgroundSetFile = kDemoBackgrounds128;
    set.boardSetName = "Night Flight";
    set.authorName = "A. Modder";
    set.boards = {Skyline(0), Skyline(1), Skyline(2)};
    return set;
}

std::vector<std::uint8_t> DemoBrickSetFile() {
    return BuildImageFile(DemoBricks(), GreyPalette());
}

std::vector<std::uint8_t> DemoBackgroundFile(int size) {
    return BuildImageFile(DemoBackgrounds(size), GreyPalette());
}

std::vector<std::uint8_t> DemoTitleFile() {
    return BuildImageFile(DemoTitleImages(), GreyPalette());
}

std::vector<std::string> WriteDemoFolder(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    std::vector<std::string> written;
    const auto put = [&](const char* name, auto make) {
        std::error_code ec;
        if (std::filesystem::exists(dir / name, ec)) {
            return;
        }
        WriteBytes(dir / name, make());
        written.emplace_back(name);
    };
    put(kDemoBrickSet, [] { return DemoBrickSetFile(); });
    put(kDemoBackgrounds64, [] { return DemoBackgroundFile(64); });
    put(kDemoBackgrounds128, [] { return DemoBackgroundFile(128); });
    put(kDemoTitle, [] { return DemoTitleFile(); });
    put(kDemoBoardSet, [] { return EncodeBoardSet(DemoBoardSet()); });
    put(kDemoSecondBoardSet, [] { return EncodeBoardSet(DemoSecondBoardSet()); });
    return written;
}

void WriteSeedCorpora(const std::filesystem::path& dir) {
    const auto boardsets = dir / "boardset";
    const auto imagefiles = dir / "imagefile";
    const auto bitmaps = dir / "bitmap";
    const auto loaders = dir / "loaders";
    const auto journals = dir / "journal";
    for (const auto& d : {boardsets, imagefiles, bitmaps, loaders, journals}) {
        std::filesystem::create_directories(d);
    }
    WriteBytes(boardsets / "demo.bds", EncodeBoardSet(DemoBoardSet()));
    BoardSetContent small = DemoSecondBoardSet();
    small.boards.resize(1);
    WriteBytes(boardsets / "one-board.bds", EncodeBoardSet(small));

    // Image files are kept small so that the fuzzer mutates structure, not pixels.
    auto bricks = DemoBricks();
    bricks.resize(3);
    WriteBytes(imagefiles / "bricks.img", BuildImageFile(bricks, GreyPalette()));
    auto titles = DemoTitleImages();
    titles.erase(titles.begin());
    WriteBytes(imagefiles / "no-own-palette.img", BuildImageFile(titles, GreyPalette()));
    WriteBytes(imagefiles / "short-file-palette.img",
               BuildImageFile(bricks, {MakeColour(1, 2, 3)}));

    const ImageSpec& brick = bricks.front();
    Palette colours{};
    std::copy(brick.palette.begin(), brick.palette.end(), colours.begin());
    WriteBytes(bitmaps / "brick.bmp",
               EncodeBitmap(brick.width, brick.height, colours, brick.pixels));
    const ImageSpec& ball = titles.back();
    WriteBytes(bitmaps / "ball.bmp", EncodeBitmap(ball.width, ball.height, colours, ball.pixels));

    // The window loaders take a first byte that says what the rest is: even a board set
    // file, odd an image file (3: and run the start-up scans with it).
    const auto prefixed = [](std::uint8_t kind, const std::vector<std::uint8_t>& bytes) {
        // Sized first: GCC 12 warns falsely on an insert after a single byte.
        std::vector<std::uint8_t> out(bytes.size() + 1);
        out[0] = kind;
        std::copy(bytes.begin(), bytes.end(), out.begin() + 1);
        return out;
    };
    WriteBytes(loaders / "one-board.bds", prefixed(0, EncodeBoardSet(small)));
    WriteBytes(loaders / "bricks.img", prefixed(1, BuildImageFile(bricks, GreyPalette())));
    WriteBytes(loaders / "no-own-palette.img", prefixed(3, BuildImageFile(titles, GreyPalette())));

    // A journal of one record of each kind.
    std::vector<std::uint8_t> journal = EncodeJournalStart(1, "/demo/one-board.bds", 0, small);
    std::vector<JournalRecord> records(7);
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].kind = static_cast<JournalRecord::Kind>(i + 1);
        records[i].number = static_cast<std::uint32_t>(i + 1);
        records[i].timeNs = 2 + static_cast<std::int64_t>(i);
        records[i].board = 1;
    }
    records[0].cells = {{0, 1}, {21, 5}};
    records[1].value = 2;
    records[2].text = "Renamed";
    records[6].whole = small;
    for (const JournalRecord& record : records) {
        const auto frame = EncodeJournalRecord(record);
        journal.insert(journal.end(), frame.begin(), frame.end());
    }
    WriteBytes(journals / "all-kinds.krj", journal);
}

}  // namespace krellon
