// krellon through its command line: the bytes it writes against layouts built here by hand,
// and every refusal with its reason and no output left behind.
#include <gtest/gtest.h>
#include <png.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "CliRun.h"
#include "DemoData.h"
#include "ImageFileBuilder.h"
#include "TestBytes.h"
#include "formats/BoardSetFile.h"
#include "storage/FileNames.h"
#include "storage/PathBytes.h"

using namespace krellon;

namespace {

class CliTest : public ::testing::Test {
protected:
    CliTest() {
        std::filesystem::current_path(folder.path());
        UseDataFolder(data.path());
    }
    ~CliTest() override { std::filesystem::current_path(previous_); }

    bool Exists(const std::string& name) const { return std::filesystem::exists(folder / name); }

    const std::filesystem::path previous_ = std::filesystem::current_path();
    TempFolder folder;
    TempFolder data;
};

// A counted text with the byte that ends it.
Bytes& Text(Bytes& b, std::string_view text, std::uint8_t end = 0) {
    return b.i32(static_cast<std::int32_t>(text.size() + 1)).raw(text).u8(end);
}

// A board record: background, then cells column by column, cell (c, r) = code(c, r).
template <typename Code>
Bytes& Record(Bytes& b, std::int32_t background, Code code) {
    b.i32(background);
    for (int c = 0; c < 20; ++c) {
        for (int r = 0; r < 20; ++r) {
            b.i32(code(c, r));
        }
    }
    return b;
}

// The header and texts of a set of count boards as the writer stores them; records follow.
Bytes SetHead(std::int32_t count, const std::string& bricks = "images.img",
              const std::string& backs = "images.img", std::string_view name = "One",
              std::string_view author = "Me") {
    Bytes b;
    b.raw("BDST").i32(2).i32(count);
    for (const std::string& text :
         {"X:\\Krellon\\Boards\\" + bricks, "X:\\Krellon\\Boards\\" + backs, std::string(name),
          std::string(author), std::string()}) {
        Text(b, text);
    }
    return b;
}

// A set of one board over images.img.
std::vector<std::uint8_t> OneBoardSet() {
    Bytes b = SetHead(1);
    return Record(b, 0, [](int c, int r) { return (c + r) % 3; }).data;
}

std::string AsText(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

// A program's exit status, standard output and diagnostics.
struct Ran {
    int status;
    std::string out;
    std::string err;
    bool operator==(const Ran&) const = default;
    friend std::ostream& operator<<(std::ostream& o, const Ran& r) {
        return o << "status " << r.status << ", out \"" << r.out << "\", err \"" << r.err << "\"";
    }
};

// Runs a built program with arguments given as bytes (UTF-8 on Windows); its output and
// diagnostics are caught whole.
#ifdef _WIN32
Ran RunProgram(const char* program, const std::vector<std::string>& arguments) {
    // The command line is UTF-16 on Windows: every name reaches the program as it is.
    QStringList words;
    for (const std::string& argument : arguments) {
        words << QString::fromStdString(argument);
    }
    QProcess child;
    child.start(QString::fromLocal8Bit(program), words);
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit) {
        return {-1, "", child.errorString().toStdString()};
    }
    return {child.exitCode(), child.readAllStandardOutput().toStdString(),
            child.readAllStandardError().toStdString()};
}
#else
Ran RunProgram(const char* program, std::vector<std::string> arguments) {
    TempFolder caught;
    const std::string outFile = (caught / "out").string();
    const std::string errFile = (caught / "err").string();
    std::vector<char*> argv{const_cast<char*>(program)};
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        ::execv(program, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, AsText(caught.read("out")),
            AsText(caught.read("err"))};
}
#endif

// krellon in this process, caught as RunProgram catches the program.
Ran Cli(const QStringList& arguments) {
    QString out;
    QString err;
    const int status = Krellon(arguments, &out, &err);
    return {status, out.toStdString(), err.toStdString()};
}

// What a command that writes only files tells when it has written them.
const Ran kDone{0, "", ""};

// A palette of 256 distinct colours, seeded.
std::vector<ColourValue> Colours(int seed) {
    std::vector<ColourValue> palette;
    for (int p = 0; p < 256; ++p) {
        palette.push_back(MakeColour((p * 7 + seed) % 256, (p * 13 + 2 * seed) % 256, 255 - p));
    }
    return palette;
}

ImageSpec Image(const std::string& name, int w, int h, int seed, bool ownPalette = true) {
    ImageSpec image{name, w, h, ownPalette ? Colours(seed) : std::vector<ColourValue>{}, {}};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.pixels.push_back(static_cast<std::uint8_t>((x * 3 + y * 5 + seed) % 256));
        }
    }
    return image;
}

// A palette PNG of bitDepth bits per pixel and paletteSize entries (k: 10 + k, 20 + k, 30 + k),
// written with libpng.
std::vector<std::uint8_t> LowDepthPng(int w, int h, int bitDepth, int paletteSize,
                                      const std::vector<std::uint8_t>& indices) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* o = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, w, h, bitDepth, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (int k = 0; k < paletteSize; ++k) {
        palette.push_back({png_byte(10 + k), png_byte(20 + k), png_byte(30 + k)});
    }
    png_set_PLTE(png, info, palette.data(), paletteSize);
    // Chunks that other programs write (ImageMagick: gamma, background, text) change nothing.
    png_set_gAMA(png, info, 0.45455);
    png_color_16 background{};
    png_set_bKGD(png, info, &background);
    png_text text{};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>("Comment");
    text.text = const_cast<char*>("not an image");
    png_set_text(png, info, &text, 1);
    png_write_info(png, info);
    png_set_packing(png);
    for (int y = 0; y < h; ++y) {
        png_write_row(png, const_cast<png_bytep>(indices.data() + y * w));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace

TEST_F(CliTest, DumpAndBuildGiveBackEveryByteUpToTheLastBoard) {
    // Another signature and header word, texts ended by bytes other than 0, a long spare text,
    // bytes of the code page's whole range, odd codes, and bytes after the last board.
    Bytes file;
    file.raw("XY\x01Z").i32(7).i32(3);
    Text(file, "C:\\Games\\KRELLON\\Bricks.IMG", 9);
    Text(file, "backs.img");
    Text(file, std::string("Caf\xe9 \x81\x8d\x80 ") + std::string(1, '\0') + "end", 255);
    Text(file, "\"Quote\" \\ slash\t\n", 1);
    Text(file, "spare\x02\x03", 4);
    Record(file, 0, [](int c, int r) { return c * 20 + r; });
    Record(file, -5, [](int c, int r) { return c == r ? -2147483647 - 1 : 2147483647; });
    Record(file, 68, [](int, int) { return 0; });
    const std::size_t end = file.size();
    file.raw("trailing bytes no reader looks at");
    folder.write("odd.bds", file.data);

    ASSERT_EQ(Cli({"dump", "odd.bds", "-o", "odd.json"}), kDone);
    ASSERT_EQ(Cli({"build", "odd.json", "-o", "built.bds"}), kDone);
    EXPECT_EQ(folder.read("built.bds"), std::vector(file.data.begin(), file.data.begin() + end));

    // A set as the writer stores it: the dump has no text ends, writes rows top first one to
    // a line, and builds the same bytes.
    Bytes plain = SetHead(100, "bricks.img", "backs.img", "Name", "");
    for (int b = 0; b < 100; ++b) {
        Record(plain, b % 69, [b](int c, int r) { return (b + c + 2 * r) % 120; });
    }
    folder.write("plain.bds", plain.data);
    QString json;
    ASSERT_EQ(Krellon({"dump", "plain.bds"}, &json), 0);
    EXPECT_FALSE(json.contains("textEnds"));
    EXPECT_TRUE(json.contains("\"name\": \"Name\""));
    EXPECT_TRUE(json.contains(
        "{\"background\": 0, \"rows\": [\n"
        "      [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19],\n"
        "      [2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21],\n"))
        << json.toStdString();
    folder.write("plain.json", Bytes().raw(json.toStdString()).data);
    ASSERT_EQ(Cli({"build", "plain.json", "-o", "plain2.bds"}), kDone);
    EXPECT_EQ(folder.read("plain2.bds"), plain.data);
}

TEST_F(CliTest, BuildRefusesTextABoardSetFileCannotHold) {
    QString row20 = "[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0]";
    QString rows = "[" + QStringList(20, row20).join(",") + "]";
    QString board = "{\"background\":0,\"rows\":" + rows + "}";
    const auto set = [&](const QString& fields, const QString& boards) {
        return "{" + fields + (fields.isEmpty() ? "" : ",") + "\"boards\":[" + boards + "]}";
    };
    const QString row21 = "[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0]";
    const QString board21 =
        "{\"background\":0,\"rows\":[" + row21 + "," + QStringList(19, row20).join(",") + "]}";
    const struct {
        QString json;
        const char* reason;
    } cases[] = {
        {"not json at all", "is not JSON"},
        {"[1,2,3]", "not a board set object"},
        {set("", ""), "1 to 100 boards, not 0"},
        {set("", QStringList(101, board).join(",")), "1 to 100 boards, not 101"},
        {set("", board21), "board 1: a board has 20 rows of 20 brick codes"},
        {set("", "{\"background\":\"3\",\"rows\":" + rows + "}"), "background is not a whole"},
        {set("", "{\"background\":1.5,\"rows\":" + rows + "}"), "background is not a whole"},
        {set("", "{\"background\":3000000000,\"rows\":" + rows + "}"), "background is not a whole"},
        {set("\"name\":\"\u540d\"", board), "Windows-1252 cannot store"},
        {set("\"author\":7", board), "\"author\" is not a text"},
        {set("\"signature\":\"BDS\"", board), "signature is not 4 characters"},
        {set("\"nmae\":\"x\"", board), "no field \"nmae\""},
        {set("\"textEnds\":[0,0,0,0,256]", board), "not a byte"},
        {"{\"boards\":\"none\"}", "a list of boards"},
        // A key given twice is refused, not the last taken; an escape spells the same key.
        {set("\"name\":\"a\",\n\"author\":\"b\",\n\"n\\u0061me\":\"c\"", board),
         "\"name\" is given twice in one object (line 3)"},
        {set("", board + ",\n{\"background\":0,\"rows\":" + rows + ",\"rows\":" + rows + "}"),
         "\"rows\" is given twice in one object (line 2)"},
        // 100 MB of text is refused unread.
        {"", "larger than 32 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json.left(120).toStdString());
        folder.write("in.json", Bytes().raw(c.json.toStdString()).data);
        if (c.json.isEmpty()) {
            ResizeSparse(folder / "in.json", 100 << 20);
        }
        const Ran ran = Cli({"build", "in.json", "-o", "out.bds"});
        EXPECT_EQ(ran.status, 1);
        EXPECT_TRUE(ran.err.starts_with("in.json: ") && ran.err.find(c.reason) != std::string::npos)
            << ran.err;
        EXPECT_FALSE(Exists("out.bds"));
    }
}

TEST_F(CliTest, ExportAllThenImportAllGivesBackTheImageFileAndChecksEveryFileFirst) {
    // A grey file palette: a PNG writer that looks at colours alone would store a grey image.
    std::vector<ColourValue> grey;
    QList<QRgb> greyTable;
    for (int p = 0; p < 256; ++p) {
        grey.push_back(MakeColour(p, p, p));
        greyTable << qRgb(p, p, p);
    }
    const std::vector<ImageSpec> images{Image("Stone", 64, 64, 1), Image("odd/na:me", 45, 23, 2),
                                        Image("File palette", 30, 15, 3, false),
                                        Image("Tall", 7, 129, 4)};
    const auto bytes = BuildImageFile(images, grey);
    folder.write("images.img", bytes);
    for (const std::string ext : {"bmp", "png"}) {
        SCOPED_TRACE(ext);
        const QString dir = QString::fromStdString("all-" + ext);
        ASSERT_EQ(Cli({"export", "images.img", "--all", "-o", dir, "--format", ext.c_str()}),
                  kDone);
        for (const char* name : {"001-Stone.", "002-odd_na_me.", "004-Tall."}) {
            EXPECT_TRUE(Exists(dir.toStdString() + "/" + name + ext)) << name;
        }
        ASSERT_EQ(Cli({"import", "images.img", "--all", dir}), kDone);
        EXPECT_EQ(folder.read("images.img"), bytes);
    }
    // The PNG holds the indices and all 256 entries of the palette the image is drawn with.
    const auto png = folder.read("all-png/003-File palette.png");
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png[24], 8);  // bits per pixel
    EXPECT_EQ(png[25], 3);  // colour type: palette
    const QImage read("all-png/003-File palette.png");
    ASSERT_EQ(read.format(), QImage::Format_Indexed8);
    EXPECT_EQ(read.colorTable(), greyTable);
    std::vector<std::uint8_t> indices;
    for (int k = 0; k < 30 * 15; ++k) {
        indices.push_back(static_cast<std::uint8_t>(read.pixelIndex(k % 30, k / 30)));
    }
    EXPECT_EQ(indices, images[2].pixels);
    // New pixels for image 1, then image 4's file broken: nothing is imported.
    folder.write("one.img", BuildImageFile({Image("Stone", 64, 64, 77)}, grey));
    ASSERT_EQ(Cli({"export", "one.img", "-o", "all-bmp/001-Stone.bmp"}), kDone);
    folder.write("all-bmp/004-Tall.bmp", Bytes().raw("BM").fill(10, 0).data);
    Ran ran = Cli({"import", "images.img", "--all", "all-bmp"});
    // The folder and the file as the system joins them.
    const std::string tall = PathBytes(std::filesystem::path("all-bmp") / "004-Tall.bmp");
    EXPECT_TRUE(ran.status == 1 && ran.err.starts_with(tall + ": ")) << ran;
    EXPECT_EQ(folder.read("images.img"), bytes);
    // A file for an image the file does not have refuses the whole import too.
    std::filesystem::remove(folder / "all-bmp/004-Tall.bmp");
    std::filesystem::copy_file(folder / "all-bmp/003-File palette.bmp",
                               folder / "all-bmp/009-x.bmp");
    ran = Cli({"import", "images.img", "--all", "all-bmp"});
    EXPECT_TRUE(ran.status == 1 && ran.err.find("there is no image 9") != std::string::npos) << ran;
    EXPECT_EQ(folder.read("images.img"), bytes);
}

TEST_F(CliTest, PalettePngsOfEveryDepthImportWithTheirIndices) {
    const auto original = BuildImageFile({Image("pic", 13, 6, 7)}, Colours(1));
    for (const int depth : {1, 2, 4, 8}) {
        SCOPED_TRACE(depth);
        const int entries = std::min(1 << depth, 200);
        folder.write("images.img", original);
        std::vector<std::uint8_t> indices;
        for (int i = 0; i < 13 * 6; ++i) {
            indices.push_back(static_cast<std::uint8_t>((i * 5) % entries));
        }
        folder.write("pic.png", LowDepthPng(13, 6, depth, entries, indices));
        ASSERT_EQ(Cli({"import", "images.img", "pic.png"}), kDone);
        // Record layout: name length, name and terminator, five numbers, palette, pixels.
        const std::size_t palette = 16 + 1024 + 4 + 4 + 20;
        const std::size_t pixels = palette + 1024;
        // The PNG's entries get its colours, their fourth byte stays; entries the PNG does
        // not have keep the image's colours.
        std::vector<std::uint8_t> expected = original;
        for (int k = 0; k < entries; ++k) {
            for (int i = 0; i < 3; ++i) {
                expected[palette + 4 * k + i] = static_cast<std::uint8_t>(10 * (i + 1) + k);
            }
        }
        std::copy(indices.begin(), indices.end(), expected.begin() + pixels);
        EXPECT_EQ(folder.read("images.img"), expected);
    }
}

TEST_F(CliTest, TrueColourImportIsRefusedUnlessMappedToTheNearestColours) {
    const auto original = BuildImageFile({Image("pic", 4, 2, 7)}, Colours(1));
    folder.write("images.img", original);
    // Each pixel one green step off a palette colour: entry 9 twice, so 7 colours are missing.
    const std::vector<ColourValue> palette = Colours(7);
    const std::vector<std::uint8_t> picks = {0, 9, 40, 41, 100, 200, 254, 9};
    QImage picture(4, 2, QImage::Format_RGB32);
    for (int i = 0; i < 8; ++i) {
        const ColourValue c = palette[picks[static_cast<std::size_t>(i)]];
        picture.setPixel(i % 4, i / 4, qRgb(RedOf(c), GreenOf(c) ^ 1, BlueOf(c)));
    }
    ASSERT_TRUE(picture.save("pic.png"));
    EXPECT_EQ(Cli({"import", "images.img", "pic.png"}),
              (Ran{1, "",
                   "pic.png: 7 colours of the picture are not in the image's palette, the first "
                   "at pixel (0, 0); map them to the nearest colours (a Map to Nearest Colours "
                   "entry, or --nearest) to take it.\n"}));
    EXPECT_EQ(folder.read("images.img"), original);
    // Mapped, the pixels are the entries picked and the palette stays.
    ASSERT_EQ(Cli({"import", "images.img", "pic.png", "--nearest"}), kDone);
    std::vector<std::uint8_t> expected = original;
    std::copy(picks.begin(), picks.end(), expected.begin() + 16 + 1024 + 4 + 4 + 20 + 1024);
    EXPECT_EQ(folder.read("images.img"), expected);

    // Replace and add take it the same way: replaced, the image keeps its palette as stored;
    // added, the new image takes the palette of the image it follows.
    folder.write("images.img", original);
    EXPECT_EQ(Cli({"replace", "images.img", "--image", "1", "pic.png"}).status, 1);
    EXPECT_EQ(Cli({"add", "images.img", "pic.png"}).status, 1);
    EXPECT_EQ(folder.read("images.img"), original);
    ASSERT_EQ(Cli({"replace", "images.img", "--image", "1", "pic.png", "--nearest"}), kDone);
    EXPECT_EQ(folder.read("images.img"), expected);
    ASSERT_EQ(Cli({"add", "images.img", "pic.png", "--nearest", "--name", "two"}), kDone);
    ImageSpec mapped{"pic", 4, 2, palette, picks};
    ImageSpec two = mapped;
    two.name = "two";
    EXPECT_EQ(folder.read("images.img"), BuildImageFile({mapped, two}, Colours(1)));
    // Only a file of no images and no file palette has none to give.
    folder.write("empty.img", BuildImageFile({}, {}));
    EXPECT_EQ(Cli({"add", "empty.img", "pic.png", "--nearest"}),
              (Ran{1, "",
                   "pic.png: A true-colour picture takes the palette of an image; there is none "
                   "to take it from (give an 8-bit BMP or a palette PNG).\n"}));
}

TEST_F(CliTest, HostileFilesFailWithAReasonAndLeaveNoOutput) {
    // Cuts of a board set and of an image file all through them (counts past their limits are
    // the format tests'), and bytes that are neither under names that do not say which.
    Bytes set = SetHead(2, "images.img", "images.img", "n", "a");
    Record(set, 0, [](int c, int) { return c % 3; });
    Record(set, 1, [](int, int r) { return r % 3; });
    const auto images = BuildImageFile({Image("a", 30, 15, 1), Image("b", 64, 64, 2)}, Colours(3));
    folder.write("images.img", images);
    ASSERT_EQ(Krellon({"export", "images.img", "-o", "pic.bmp"}), 0);
    std::vector<std::uint8_t> noise(3000);
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<std::uint8_t>(i * 151 + 17);
    }
    std::vector<std::pair<QString, std::vector<std::uint8_t>>> files{
        {"noise.img", noise},
        {"text.json", Bytes().raw("{\"boards\": [], \"name\": \"not images\"}").data},
        {"pic.png", LowDepthPng(4, 4, 8, 4, std::vector<std::uint8_t>(16, 1))}};
    for (const auto& [name, bytes, step] :
         {std::tuple{"cut.bds", set.data, 97}, std::tuple{"cut.img", images, 211}}) {
        for (std::size_t n = 0; n < bytes.size(); n += step) {
            files.emplace_back(name, std::vector(bytes.begin(), bytes.begin() + long(n)));
        }
    }
    for (const auto& [file, bytes] : files) {
        SCOPED_TRACE(file.toStdString() + " of " + std::to_string(bytes.size()) + " bytes");
        folder.write(file.toStdString(), bytes);
        const std::string prefix = file.toStdString() + ": ";
        // Only a cut image file may hold something to tell; a refusal is what check tells.
        const Ran info = Cli({"info", file});
        EXPECT_TRUE(info.status == 1 || (info.status == 0 && file == "cut.img")) << info;
        if (info.status != 0) {
            EXPECT_TRUE(info.out.empty() && info.err.starts_with(prefix)) << info;
            EXPECT_EQ(Cli({"check", file}), (Ran{1, info.err, ""}));
        }
        for (const QStringList& run : QList<QStringList>{{"check", file},
                                                         {"dump", file, "-o", "out"},
                                                         {"render", file, "-o", "out.png"},
                                                         {"render", file, "--all", "-o", "out"},
                                                         {"export", file, "-o", "out.bmp"},
                                                         {"export", file, "--all", "-o", "out"},
                                                         {"import", file, "pic.bmp"}}) {
            SCOPED_TRACE(run.join(" ").toStdString());
            const Ran ran = Cli(run);
            ASSERT_TRUE(ran.status == 0 || ran.status == 1) << ran;
            // check tells the problems it finds as its output.
            EXPECT_TRUE(ran.status == 0 ||
                        (run[0] == "check" ? ran.out : ran.err).starts_with(prefix))
                << ran;
            EXPECT_TRUE(ran.status == 0 || run[0] == "check" ||
                        !(Exists("out") || Exists("out.bmp") || Exists("out.png")));
            std::filesystem::remove_all(folder / "out");
            std::filesystem::remove(folder / "out.bmp");
            std::filesystem::remove(folder / "out.png");
        }
        std::filesystem::remove(folder / file.toStdString());
    }
}

TEST_F(CliTest, RefusalsExitWithTheirStatusAndReasonAndChangeNothing) {
    namespace fs = std::filesystem;
    folder.write("set.bds", OneBoardSet());
    folder.write("images.img", BuildImageFile({Image("a", 16, 8, 3)}, Colours(2)));
    ASSERT_EQ(Krellon({"dump", "set.bds", "-o", "set.json"}), 0);
    // PNGs an import refuses (ExplorerPngTest has the explorer refuse others by the same
    // checks).
    folder.write("high.png", LowDepthPng(16, 9, 8, 4, std::vector<std::uint8_t>(16 * 9, 1)));
    folder.write("text.png", Bytes().raw("just some text, no image").data);
    auto damaged = LowDepthPng(16, 8, 8, 4, std::vector<std::uint8_t>(16 * 8, 2));
    damaged.resize(damaged.size() - 20);
    folder.write("cut.png", damaged);
#ifdef _WIN32
    // Devices named like data files (console input would wait for a typist), and folders:
    // refused without waiting.
    const QString pipeBds = "NUL.bds", pipeImg = "CON.img", pipePng = "NUL.png";
#else
    // Pipes and folders named like data files: refused without waiting for a writer.
    const QString pipeBds = "pipe.bds", pipeImg = "pipe.img", pipePng = "pipe.png";
    for (const QString& pipe : {pipeBds, pipeImg, pipePng}) {
        ASSERT_EQ(::mkfifo((folder / pipe.toStdString()).c_str(), 0600), 0);
    }
#endif
    fs::create_directory(folder / "dir.bds");
    fs::create_directory(folder / "dir.img");
    // Outputs that are their own input, by another name or a link (on Windows, where links
    // take a privilege, hard links).
    const auto link = [&](const std::string& target, const std::string& name) {
#ifdef _WIN32
        fs::create_hard_link(folder / target, folder / name);
#else
        fs::create_symlink(fs::relative(folder / target, (folder / name).parent_path()),
                           folder / name);
#endif
    };
    link("set.bds", "link.png");
    link("images.img", "link.bmp");
    fs::create_hard_link(folder / "set.json", folder / "hard.json");
    fs::create_directories(folder / "renders");
    link("set.bds", "renders/board-001.png");
    fs::create_directories(folder / "exports");
    link("images.img", "exports/001-a.png");
    const auto before = folder.snapshot();
    const QString itself = ": the output is also the input\n";
    const QString usage = "Usage:";
    const struct {
        QStringList run;
        int status;
        QString reason;  // the whole diagnostic, or what it must contain
    } cases[] = {
        {{"import", "images.img", "high.png"}, 1, "high.png: Wrong image height.\n"},
        {{"import", "images.img", "text.png"}, 1, "text.png: File is not a PNG image.\n"},
        {{"import", "images.img", "cut.png"}, 1, "cut.png: PNG image is damaged.\n"},
        {{"info", pipeBds, "dir.bds", pipeImg, "dir.img"}, 1, pipeBds + ": "},
        {{"dump", "dir.bds"}, 1, "dir.bds: "},
        {{"build", pipeBds, "-o", "out.bds"}, 1, pipeBds + ": "},
        {{"import", "dir.img", pipePng}, 1, "dir.img: "},
        {{"import", "images.img", pipePng}, 1, pipePng + ": "},
        {{"dump", "set.bds", "-o", "link.png"}, 1, itself},
        {{"render", "set.bds", "-o", "link.png"}, 1, itself},
        {{"render", "set.bds", "--all", "-o", "renders"}, 1, itself},
        {{"build", "set.json", "-o", "hard.json"}, 1, itself},
        {{"export", "images.img", "-o", "link.bmp"}, 1, itself},
        {{"export", "images.img", "--all", "--format", "png", "-o", "exports"}, 1, itself},
        // render writes PNG: another name is a usage error.
        {{"render", "set.bds", "-o", "out.txt"}, 2, "the output ends in .png"},
        {{}, 2, usage},
        {{"frobnicate"}, 2, usage},
        {{"render", "x.bds"}, 2, usage},
        {{"render", "x.bds", "-o", "o.png", "--mode", "sepia"}, 2, usage},
        {{"render", "x.bds", "-o", "o.png", "--board", "0"}, 2, usage},
        {{"export", "images.img", "-o", "o.gif"}, 2, usage},
        {{"export", "images.img", "--all", "-o", "d", "--format", "tiff"}, 2, usage},
        {{"import", "images.img"}, 2, usage},
        {{"build", "x.json"}, 2, usage},
        {{"info", "--no-such-option", "x"}, 2, "Options:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.run.join(" ").toStdString());
        QString err;
        EXPECT_EQ(Krellon(c.run, nullptr, &err), c.status);
        EXPECT_TRUE(err.contains(c.reason) && (!c.reason.endsWith("\n") || err.endsWith(c.reason)))
            << err.toStdString();
    }
    EXPECT_TRUE(folder.snapshot() == before);
#ifdef _WIN32
    EXPECT_EQ(folder.read("link.png"), folder.read("set.bds"));
    EXPECT_EQ(folder.read("link.bmp"), folder.read("images.img"));
#else
    EXPECT_TRUE(fs::is_symlink(folder / "link.png") && fs::is_symlink(folder / "link.bmp"));
#endif
    // Letter case aside, a PNG name is taken.
    EXPECT_EQ(Krellon({"render", "set.bds", "-o", "OUT.PNG"}), 0);
    QString out;
    EXPECT_EQ(Krellon({"render", "--help"}, &out), 0);
    EXPECT_TRUE(out.contains("--hide-hidden"));
    EXPECT_EQ(Krellon({"--version"}, &out), 0);
    EXPECT_TRUE(out.startsWith("krellon "));
}

TEST_F(CliTest, InfoAndCheckTellWhatAFileHoldsAndWhatIsWrong) {
    folder.write("bricks.img",
                 BuildImageFile({Image("a", 30, 15, 1), Image("b", 30, 15, 2)}, Colours(3)));
    folder.write("backs.img", BuildImageFile({Image("s", 64, 64, 1)}, Colours(3)));
    Bytes set = SetHead(2, "BRICKS.img", "backs.img", "Set");
    Record(set, 0, [](int c, int r) { return c < 2 && r == 0 ? 2 : 0; });
    Record(set, 0, [](int, int) { return 0; });
    folder.write("good.bds", set.data);
    QString out;
    EXPECT_EQ(Krellon({"check", "good.bds", "bricks.img", "backs.img"}, &out), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(Krellon({"info", "--json", "good.bds", "bricks.img"}, &out), 0);
    const QJsonArray info = QJsonDocument::fromJson(out.toUtf8()).array();
    ASSERT_EQ(info.size(), 2);
    EXPECT_EQ(info[0]["boardCount"].toInt(), 2);
    EXPECT_EQ(info[0]["boards"][0]["bricks"].toInt(), 2);
    EXPECT_EQ(info[1]["images"].toArray().size(), 2);

    Bytes bad = SetHead(1, "bricks.img", "gone.img", "Set");
    Record(bad, 70,
           [](int c, int r) { return c == 4 && r == 2 ? 120 : (c == 5 && r == 2 ? 3 : 0); });
    folder.write("bad.bds", bad.data);
    EXPECT_EQ(Krellon({"check", "bad.bds"}, &out), 1);
    EXPECT_EQ(out.split('\n', Qt::SkipEmptyParts),
              QStringList({"bad.bds: the background set file gone.img is not in the set's folder",
                           "bad.bds: board 1: background number 70 is outside 0 to 68",
                           "bad.bds: board 1, row 3, column 5: brick code 120 is outside 0 to 119",
                           "bad.bds: board 1, row 3, column 6: brick code 3, but bricks.img has 2 "
                           "bricks"}));
}

TEST_F(CliTest, BackupsListsKeptVersionsAndRestorePutsOneBack) {
    folder.write("images.img",
                 BuildImageFile({Image("a", 30, 15, 1), Image("b", 30, 15, 2)}, Colours(3)));
    folder.write("pic.bmp", Bytes().raw("the first content").data);
    ASSERT_EQ(Krellon({"export", "images.img", "-o", "pic.bmp"}), 0);
    const auto first = folder.read("pic.bmp");
    ASSERT_EQ(Krellon({"export", "images.img", "--image", "2", "-o", "pic.bmp"}), 0);
    QString out;
    ASSERT_EQ(Krellon({"backups"}, &out), 0);
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("pic.bmp\t1\t"));
    EXPECT_TRUE(lines[0].endsWith("Export of image 2 of images.img"));
    EXPECT_TRUE(lines[1].startsWith("pic.bmp\t2\t"));
    ASSERT_EQ(Krellon({"restore", "pic.bmp"}, &out), 0);
    EXPECT_EQ(folder.read("pic.bmp"), first);
    ASSERT_EQ(Krellon({"restore", "pic.bmp", "--version", "3"}, &out), 0);
    EXPECT_EQ(folder.read("pic.bmp"), Bytes().raw("the first content").data);
    QString err;
    EXPECT_EQ(Krellon({"restore", "pic.bmp", "--version", "99"}, nullptr, &err), 1);
    EXPECT_TRUE(err.contains("there is no version 99"));
}

TEST_F(CliTest, OutputsToFilesPipesAndStandardOutputAreTheSameBytesUnderNamesTakenByteForByte) {
#ifdef _WIN32
    // Names of no one code page (UTF-8 here): the UTF-16 command line carries them whole.
    const std::string set = "S\xc3\xa9t\xce\xa9.bds", images = "Im\xc3\xa1ges\xe2\x98\xba.img";
    const std::string odd = "\xe2\x98\xba", odder = "\xce\xa9";
    const std::string shownOdd = odd;
    // A device takes the place of a pipe: written as a stream, never replaced.
    const std::string stream = "NUL";
#else
    // Names that are not UTF-8: argv's bytes as they are.
    const std::string set = "S\xe9t.bds", images = "Im\xe1ges.img";
    const std::string odd = "\xff", odder = "\xfe";
    const std::string shownOdd = "\xef\xbf\xbd";  // the replacement character
    const std::string stream = "out.fifo";
    ASSERT_EQ(::mkfifo((folder / stream).c_str(), 0600), 0);
#endif
    folder.write(set, OneBoardSet());
    folder.write(images, BuildImageFile({Image("a", 30, 15, 1)}, Colours(3)));
    // Each output goes from the program, its names as argv's bytes, to a file; in this process
    // to a pipe with a reader, whose name need not end as a file's would and which stays a
    // pipe; and from the program to its standard output.
    const std::pair<std::vector<std::string>, std::string> runs[] = {
        {{"dump", set, "-o"}, "d" + odd + ".json"},
        {{"build", "d" + odd + ".json", "-o"}, "b" + odder + ".bds"},
        {{"render", set, "-o"}, "r" + odd + ".png"},
        {{"export", images, "-o"}, "e" + odd + ".bmp"},
        {{"export", images, "--format", "png", "-o"}, "e" + odd + ".png"},
    };
    for (const auto& [run, file] : runs) {
        SCOPED_TRACE(run[0] + " to " + file);
        std::vector<std::string> toFile = run;
        toFile.push_back(file);
        ASSERT_EQ(RunProgram(KRELLON_BINARY, toFile), kDone);
        const auto bytes = folder.read(file);
        QStringList toStream;
        for (const std::string& argument : run) {
            toStream << NameFromPath(PathOfBytes(argument));
        }
#ifdef _WIN32
        EXPECT_EQ(Cli(toStream << NameFromBytes(stream)), kDone);
#else
        PipeReader reader(folder / stream);
        EXPECT_EQ(Cli(toStream << NameFromBytes(stream)), kDone);
        EXPECT_EQ(reader.finish(), bytes);
        EXPECT_TRUE(std::filesystem::is_fifo(folder / stream));
#endif
        toFile.back() = "-";
        EXPECT_EQ(RunProgram(KRELLON_BINARY, toFile), (Ran{0, AsText(bytes), ""}));
    }
    EXPECT_EQ(folder.read("b" + odder + ".bds"), OneBoardSet());
    EXPECT_EQ(Cli({"backups"}), kDone) << "nothing that is no file is kept as a version";
    // A name shown in a message: a stray byte as the replacement character.
    EXPECT_EQ(RunProgram(KRELLON_BINARY, {"info", "gone" + odd + ".bds"}),
              (Ran{1, "", "gone" + shownOdd + ".bds: the file cannot be opened\n"}));

    // The demo writer tells its usage, and never takes an option for a folder.
    const Ran help = RunProgram(KRELLON_DEMO_BINARY, {"--help"});
    EXPECT_TRUE(help.status == 0 && help.out.starts_with("usage: krellon-demo FOLDER")) << help;
    EXPECT_EQ(RunProgram(KRELLON_DEMO_BINARY, {"--bogus"}),
              (Ran{2, "", "krellon-demo: unknown option --bogus\n" + help.out}));
    EXPECT_FALSE(Exists("--help") || Exists("--bogus"));
}

TEST_F(CliTest, ImageEditsReshapeAnImageFileAndRefuseWithoutWriting) {
    const ImageSpec a = Image("a", 30, 15, 1);
    const ImageSpec b = Image("b", 4, 3, 2, false);
    const auto expect = [&](const std::vector<ImageSpec>& images) {
        EXPECT_EQ(folder.read("images.img"), BuildImageFile(images, Colours(9)));
    };
    folder.write("images.img", BuildImageFile({a, b}, Colours(9)));
    folder.write("from.img",
                 BuildImageFile({Image("p", 5, 2, 3), Image("q", 7, 3, 4)}, Colours(5)));
    ASSERT_EQ(Cli({"export", "from.img", "-o", "Star.png"}), kDone);
    ASSERT_EQ(Cli({"export", "from.img", "--image", "2", "-o", "q.bmp"}), kDone);
    ImageSpec star = Image("Star", 5, 2, 3);
    ImageSpec q = Image("Caf\xE9", 7, 3, 4);
    ASSERT_EQ(Cli({"add", "images.img", "Star.png"}), kDone);
    expect({a, b, star});
    ASSERT_EQ(Cli({"add", "images.img", "q.bmp", "--at", "1", "--name", "Café"}), kDone);
    expect({q, a, b, star});
    ASSERT_EQ(Cli({"replace", "images.img", "--image", "3", "Star.png"}), kDone);
    ImageSpec b2 = star;
    b2.name = "b";
    ASSERT_EQ(Cli({"rename", "images.img", "--image", "4", "--name", "Étoile"}), kDone);
    star.name = "\xC9toile";
    ASSERT_EQ(Cli({"move", "images.img", "--image", "1", "--to", "4"}), kDone);
    expect({a, b2, star, q});

    // Refusals: the status, the reason, and nothing written.
    const auto before = folder.snapshot();
    folder.write("huge.png",
                 Bytes()
                     .raw("\x89PNG\r\n\x1A\n")
                     .raw(std::string("\0\0\0\x0DIHDR\0\1\0\0\0\1\0\0\x08\x03\0\0\0", 21))
                     .raw(std::string(4, '\0'))  // the chunk's check sum, not read
                     .data);
    const std::pair<QStringList, Ran> refusals[] = {
        {{"move", "images.img", "--image", "1", "--to", "9"},
         {1, "", "images.img: image 1 can move to 1 to 4, not 9\n"}},
        {{"remove", "images.img", "--image", "5"},
         {1, "", "images.img: there is no image 5; the file has 4\n"}},
        {{"add", "images.img", "Star.png", "--at", "6"},
         {1, "", "images.img: an image is inserted as image 1 to 5, not 6\n"}},
        {{"rename", "images.img", "--image", "1", "--name", ""},
         {1, "", "images.img: an image name has 1 to 80 characters; this one has 0\n"}},
        {{"rename", "images.img", "--image", "1", "--name", QString(300, 'x')},
         {1, "", "images.img: an image name has 1 to 80 characters; this one has 300\n"}},
        {{"rename", "images.img", "--image", "1", "--name", "日本"},
         {1, "", "images.img: the name \"日本\" has a character Windows-1252 cannot store\n"}},
        {{"add", "images.img", "huge.png"},
         {1, "", "huge.png: the picture is 65536 x 65536; an image is 1 x 1 to 4096 x 4096\n"}},
        {{"add", "images.img", "none.png"}, {1, "", "none.png: File not found.\n"}},
    };
    for (const auto& [arguments, ran] : refusals) {
        EXPECT_EQ(Cli(arguments), ran) << arguments.join(' ').toStdString();
    }
    for (const QStringList& usage :
         {QStringList{"add", "images.img", "Star.png", "--at", "0"},
          QStringList{"remove", "images.img"}, QStringList{"move", "images.img", "--image", "1"}}) {
        EXPECT_EQ(Cli(usage).status, 2) << usage.join(' ').toStdString();
    }
    std::filesystem::remove(folder / "huge.png");
    EXPECT_EQ(folder.snapshot(), before);

    // The last image may go; every version replaced is kept.
    for (int n = 4; n >= 1; --n) {
        ASSERT_EQ(Cli({"remove", "images.img", "--image", QString::number(n)}), kDone);
    }
    expect({});
    QString out;
    ASSERT_EQ(Krellon({"backups"}, &out), 0);
    EXPECT_EQ(out.count("images.img\t"), 9) << out.toStdString();
    EXPECT_TRUE(out.contains("images.img\t1\t") && out.contains("krellon remove: image 1\n"));

    // Among bricks, an image of another size is made, with a note, and check finds it.
    folder.write("bricks.img", BuildImageFile({a, Image("b", 30, 15, 2)}, Colours(9)));
    EXPECT_EQ(Cli({"add", "bricks.img", "Star.png", "--at", "2"}),
              (Ran{0, "",
                   "note: bricks.img: image 2 is not 30 x 15 in a brick set; every brick from it "
                   "on is read out of step\n"}));
    EXPECT_EQ(Cli({"check", "bricks.img"}),
              (Ran{1,
                   "bricks.img: image 2: 5 x 2 in a brick set of 30 x 15 images; every brick "
                   "from it on is read out of step\n",
                   ""}));
}

TEST_F(CliTest, UnpackThenPackGivesBackEveryByteAndRefusesAFolderThatDoesNotMatch) {
    // An odd head and odd record fields: a name ended by 7, spare numbers, fourth bytes, an
    // image without a palette, one of no pixels, bytes after the last record.
    const auto odd = [](bool swapped) {
        Bytes b;
        b.raw("ABCD").i32(-5).i32(3).i32(2).i32(0x01020304).i32(0x05060708);
        Bytes one;
        one.i32(4).raw("One").u8(7).i32(2).i32(1).i32(-1).i32(99).i32(1).i32(0x7F102030);
        one.u8(0).u8(5);
        Bytes two;
        two.i32(4).raw("Two").u8(0).i32(3).i32(1).i32(0).i32(0).i32(0).u8(1).u8(0).u8(1);
        for (const Bytes* r : {swapped ? &two : &one, swapped ? &one : &two}) {
            b.data.insert(b.data.end(), r->data.begin(), r->data.end());
        }
        return b.i32(5)
            .raw("None")
            .u8(0)
            .i32(0)
            .i32(9)
            .i32(0)
            .i32(0)
            .i32(1)
            .i32(0xAABBCC)
            .raw("t")
            .data;
    };
    const std::pair<std::string, std::vector<std::uint8_t>> files[] = {
        {"odd.img", odd(false)},
        {"bricks.img", DemoBrickSetFile()},
        {"title.img", DemoTitleFile()},
        {"backs.img", DemoBackgroundFile(128)}};
    for (const auto& [name, bytes] : files) {
        folder.write(name, bytes);
        const QString dir = QString::fromStdString(name + "-dir");
        ASSERT_EQ(Cli({"unpack", QString::fromStdString(name), "-o", dir}), kDone) << name;
        ASSERT_EQ(Cli({"pack", dir, "-o", "packed.img"}), kDone) << name;
        EXPECT_EQ(folder.read("packed.img"), bytes) << name;
    }
    EXPECT_TRUE(Exists("odd.img-dir/001-One.png") && Exists("odd.img-dir/002-Two.png") &&
                !Exists("odd.img-dir/003-None.png"));

    // Two entries of images.json swapped swap the images.
    const auto index = folder.read("odd.img-dir/images.json");
    QJsonObject json =
        QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(index.data()),
                                           static_cast<qsizetype>(index.size())))
            .object();
    QJsonArray images = json["images"].toArray();
    const QJsonValue first = images[0];
    images[0] = images[1];
    images[1] = first;
    const auto write = [&](const QJsonArray& entries) {
        json["images"] = entries;
        const QByteArray text = QJsonDocument(json).toJson();
        folder.write("odd.img-dir/images.json", {text.begin(), text.end()});
    };
    write(images);
    ASSERT_EQ(Cli({"pack", "odd.img-dir", "-o", "packed.img"}), kDone);
    EXPECT_EQ(folder.read("packed.img"), odd(true));

    // Refusals: nothing written.
    const auto refuse = [&](const std::string& why) {
        const Ran ran = Cli({"pack", "odd.img-dir", "-o", "refused.img"});
        EXPECT_TRUE(ran.status == 1 && ran.err.find(why) != std::string::npos) << ran;
        EXPECT_FALSE(Exists("refused.img"));
    };
    std::filesystem::rename(folder / "odd.img-dir/002-Two.png", folder / "odd.img-dir/009-Two.png");
    refuse("002-Two.png: File not found.");
    std::filesystem::copy_file(folder / "odd.img-dir/001-One.png",
                               folder / "odd.img-dir/002-Two.png");
    refuse("009-Two.png: images.json names no such picture");
    std::filesystem::remove(folder / "odd.img-dir/009-Two.png");
    QJsonObject misnumbered = images[0].toObject();
    misnumbered["picture"] = "001-One.png";
    images[0] = misnumbered;
    write(images);
    refuse("image 2: \"001-One.png\" is not a picture NNN-name.png of a number no other");
    folder.write("odd.img-dir/images.json", {index.begin(), index.begin() + 40});
    refuse("images.json: not JSON");
}
