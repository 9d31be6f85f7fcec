// krellon through its command line: the bytes it writes against layouts built here by hand,
// and every refusal with its reason and no output left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include "CliRun.h"
#include "ImageFileBuilder.h"
#include "TestBytes.h"
#include "formats/BoardSetFile.h"
#include "storage/FileNames.h"

using namespace krellon;

namespace {

class CliTest : public ::testing::Test {
protected:
    CliTest() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder.path());
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.path().string()));
    }
    ~CliTest() override { std::filesystem::current_path(previous_); }

    bool Exists(const std::string& name) const { return std::filesystem::exists(folder / name); }

    TempFolder folder;
    TempFolder data;

private:
    std::filesystem::path previous_;
};

// A counted text with the byte that ends it.
Bytes& Text(Bytes& b, std::string_view text, std::uint8_t end = 0) {
    b.i32(static_cast<std::int32_t>(text.size() + 1)).raw(text);
    return b.u8(end);
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

// A set of one board as the writer stores it, naming images.img for its bricks and backgrounds.
std::vector<std::uint8_t> OneBoardSet() {
    Bytes b;
    b.raw("BDST").i32(2).i32(1);
    Text(b, "X:\\Krellon\\Boards\\images.img");
    Text(b, "X:\\Krellon\\Boards\\images.img");
    Text(b, "One");
    Text(b, "Me");
    Text(b, "");
    Record(b, 0, [](int c, int r) { return (c + r) % 3; });
    return b.data;
}

std::string AsText(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

// Runs a built program with arguments given as bytes; its output and diagnostics are caught
// whole. Returns its exit status.
int RunProgram(const char* program, const std::vector<std::string>& arguments,
               std::string* out = nullptr, std::string* err = nullptr) {
    TempFolder caught;
    const std::string outFile = (caught / "out").string();
    const std::string errFile = (caught / "err").string();
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int o = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(o, 1);
        ::dup2(e, 2);
        ::execv(program, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (out != nullptr) {
        *out = AsText(caught.read("out"));
    }
    if (err != nullptr) {
        *err = AsText(caught.read("err"));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::uint8_t> Head(const std::vector<std::uint8_t>& bytes, std::size_t n) {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(n, bytes.size()))};
}

const std::vector<std::uint8_t> kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

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

std::vector<ImageSpec> SomeImages() {
    return {Image("Stone", 64, 64, 1), Image("odd/na:me", 45, 23, 2),
            Image("File palette", 30, 15, 3, false), Image("Tall", 7, 129, 4)};
}

// A palette PNG of bitDepth bits per pixel and paletteSize entries, written with libpng.
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
        palette.push_back({static_cast<png_byte>(10 + k), static_cast<png_byte>(20 + k),
                           static_cast<png_byte>(30 + k)});
    }
    png_set_PLTE(png, info, palette.data(), paletteSize);
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

    QString err;
    ASSERT_EQ(Krellon({"dump", "odd.bds", "-o", "odd.json"}, nullptr, &err), 0)
        << err.toStdString();
    ASSERT_EQ(Krellon({"build", "odd.json", "-o", "built.bds"}, nullptr, &err), 0)
        << err.toStdString();
    const auto built = folder.read("built.bds");
    EXPECT_EQ(built, std::vector<std::uint8_t>(file.data.begin(), file.data.begin() + end));

    // A set as the writer stores it: the dump has no text ends, and builds the same bytes.
    Bytes plain;
    plain.raw("BDST").i32(2).i32(100);
    Text(plain, "X:\\Krellon\\Boards\\bricks.img");
    Text(plain, "X:\\Krellon\\Boards\\backs.img");
    Text(plain, "");
    Text(plain, "");
    Text(plain, "");
    for (int b = 0; b < 100; ++b) {
        Record(plain, b % 69, [b](int c, int r) { return (b + c + r) % 120; });
    }
    folder.write("plain.bds", plain.data);
    QString json;
    ASSERT_EQ(Krellon({"dump", "plain.bds"}, &json), 0);
    EXPECT_FALSE(json.contains("textEnds"));
    QFile text("plain.json");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(json.toUtf8());
    text.close();
    ASSERT_EQ(Krellon({"build", "plain.json", "-o", "plain2.bds"}), 0);
    EXPECT_EQ(folder.read("plain2.bds"), plain.data);
}

TEST_F(CliTest, DumpWritesRowsTopFirstOneToALine) {
    Bytes file;
    file.raw("BDST").i32(2).i32(1);
    Text(file, "X:\\Krellon\\Boards\\b.img");
    Text(file, "X:\\Krellon\\Boards\\g.img");
    Text(file, "Name");
    Text(file, "Author");
    Text(file, "");
    // Column 1 of row 0 and column 0 of row 1.
    Record(file, 3, [](int c, int r) { return c == 1 && r == 0 ? 5 : (c == 0 && r == 1 ? 7 : 0); });
    folder.write("one.bds", file.data);
    QString json;
    ASSERT_EQ(Krellon({"dump", "one.bds"}, &json), 0);
    EXPECT_TRUE(
        json.contains("{\"background\": 3, \"rows\": [\n"
                      "      [0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0],\n"
                      "      [7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0],\n"))
        << json.toStdString();
    EXPECT_TRUE(json.contains("\"name\": \"Name\""));
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json.left(120).toStdString());
        QFile file("in.json");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.json.toUtf8());
        file.close();
        QString err;
        EXPECT_EQ(Krellon({"build", "in.json", "-o", "out.bds"}, nullptr, &err), 1);
        EXPECT_TRUE(err.startsWith("in.json: ")) << err.toStdString();
        EXPECT_TRUE(err.contains(c.reason)) << err.toStdString();
        EXPECT_FALSE(Exists("out.bds"));
    }
    // 100 MB of text is refused unread.
    {
        QFile file("huge.json");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(100 << 20));
    }
    QString err;
    EXPECT_EQ(Krellon({"build", "huge.json", "-o", "out.bds"}, nullptr, &err), 1);
    EXPECT_TRUE(err.contains("larger than 32 MiB")) << err.toStdString();
    EXPECT_FALSE(Exists("out.bds"));
}

TEST_F(CliTest, ExportAllThenImportAllLeavesTheImageFileByteIdentical) {
    const auto bytes = BuildImageFile(SomeImages(), Colours(9));
    folder.write("images.img", bytes);
    for (const char* format : {"bmp", "png"}) {
        SCOPED_TRACE(format);
        const QString dir = QString("out-") + format;
        ASSERT_EQ(Krellon({"export", "images.img", "--all", "-o", dir, "--format", format}), 0);
        const std::string ext = format;
        EXPECT_TRUE(Exists(dir.toStdString() + "/001-Stone." + ext));
        EXPECT_TRUE(Exists(dir.toStdString() + "/002-odd_na_me." + ext));
        EXPECT_TRUE(Exists(dir.toStdString() + "/004-Tall." + ext));
        QString err;
        ASSERT_EQ(Krellon({"import", "images.img", "--all", dir}, nullptr, &err), 0)
            << err.toStdString();
        EXPECT_EQ(folder.read("images.img"), bytes);
    }
}

TEST_F(CliTest, PngExportHoldsTheIndicesAndTheDrawnPalette) {
    // A grey palette: a PNG writer that looks at colours alone would store a grey image.
    std::vector<ColourValue> grey;
    for (int p = 0; p < 256; ++p) {
        grey.push_back(MakeColour(p, p, p));
    }
    ImageSpec own = Image("own", 20, 10, 5);
    folder.write("images.img", BuildImageFile({Image("grey", 33, 17, 1, false), own}, grey));
    ASSERT_EQ(Krellon({"export", "images.img", "-o", "grey.png"}), 0);
    ASSERT_EQ(Krellon({"export", "images.img", "--image", "2", "-o", "own.png"}), 0);
    const auto png = folder.read("grey.png");
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png[24], 8);  // bits per pixel
    EXPECT_EQ(png[25], 3);  // colour type: palette
    for (const auto& [name, image, palette] :
         {std::tuple{"grey.png", Image("grey", 33, 17, 1, false), grey},
          std::tuple{"own.png", own, own.palette}}) {
        const QImage read(name);
        ASSERT_EQ(read.format(), QImage::Format_Indexed8) << name;
        ASSERT_EQ(read.colorCount(), 256);
        for (int p = 0; p < 256; ++p) {
            EXPECT_EQ(read.color(p) & 0xFFFFFF,
                      static_cast<QRgb>((RedOf(palette[p]) << 16) | (GreenOf(palette[p]) << 8) |
                                        BlueOf(palette[p])));
        }
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                ASSERT_EQ(read.pixelIndex(x, y), image.pixels[y * image.width + x]);
            }
        }
    }
}

TEST_F(CliTest, PalettePngsOfEveryDepthImportWithTheirIndices) {
    for (const int depth : {1, 2, 4, 8}) {
        SCOPED_TRACE(depth);
        const int entries = std::min(1 << depth, 200);
        const auto original = BuildImageFile({Image("pic", 13, 6, 7)}, Colours(1));
        folder.write("images.img", original);
        std::vector<std::uint8_t> indices;
        for (int i = 0; i < 13 * 6; ++i) {
            indices.push_back(static_cast<std::uint8_t>((i * 5) % entries));
        }
        folder.write("pic.png", LowDepthPng(13, 6, depth, entries, indices));
        QString err;
        ASSERT_EQ(Krellon({"import", "images.img", "pic.png"}, nullptr, &err), 0)
            << err.toStdString();
        // Record layout: name length, name and terminator, five numbers, palette, pixels.
        const std::size_t record = 16 + 1024;
        const std::size_t palette = record + 4 + 4 + 20;
        const std::size_t pixels = palette + 1024;
        const auto now = folder.read("images.img");
        ASSERT_EQ(now.size(), original.size());
        EXPECT_EQ(std::vector<std::uint8_t>(now.begin() + pixels, now.end()), indices);
        for (int k = 0; k < 256; ++k) {
            const std::size_t at = palette + 4 * k;
            if (k < entries) {
                EXPECT_EQ(now[at], 10 + k);
                EXPECT_EQ(now[at + 1], 20 + k);
                EXPECT_EQ(now[at + 2], 30 + k);
            } else {
                // Entries the PNG does not have keep the image's colours.
                EXPECT_EQ(
                    std::vector<std::uint8_t>(now.begin() + at, now.begin() + at + 4),
                    std::vector<std::uint8_t>(original.begin() + at, original.begin() + at + 4));
            }
            EXPECT_EQ(now[at + 3], original[at + 3]);
        }
    }
}

TEST_F(CliTest, ImageMagickPalettePngImportsWithItsIndices) {
    const QString convert = QStandardPaths::findExecutable("convert");
    if (convert.isEmpty()) {
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    }
    const auto bytes = BuildImageFile({Image("pic", 40, 20, 3)}, Colours(2));
    folder.write("images.img", bytes);
    ASSERT_EQ(Krellon({"export", "images.img", "-o", "pic.bmp"}), 0);
    ASSERT_EQ(QProcess::execute(convert, {"pic.bmp", "pic.png"}), 0);
    // ImageMagick keeps a palette of the colours used, in an order of its own: the import
    // takes the PNG's indices and its palette's colours as they are.
    const QImage png("pic.png");
    ASSERT_EQ(png.format(), QImage::Format_Indexed8);
    QString err;
    ASSERT_EQ(Krellon({"import", "images.img", "pic.png"}, nullptr, &err), 0) << err.toStdString();
    const auto now = folder.read("images.img");
    const std::size_t palette = 16 + 1024 + 4 + 4 + 20;
    const std::size_t pixels = palette + 1024;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            const int index = png.pixelIndex(x, y);
            ASSERT_EQ(now[pixels + y * 40 + x], index);
            const QRgb colour = png.color(index);
            EXPECT_EQ(now[palette + 4 * index], qRed(colour));
            EXPECT_EQ(now[palette + 4 * index + 1], qGreen(colour));
            EXPECT_EQ(now[palette + 4 * index + 2], qBlue(colour));
        }
    }
    // Shown through its new palette, the image is the one exported.
    ASSERT_EQ(Krellon({"export", "images.img", "-o", "again.png"}), 0);
    EXPECT_TRUE(QImage("again.png").convertToFormat(QImage::Format_RGB32) ==
                QImage("pic.bmp").convertToFormat(QImage::Format_RGB32));
}

TEST_F(CliTest, ImportRefusalsNameWhatIsWrongAndChangeNothing) {
    const auto bytes = BuildImageFile({Image("pic", 16, 8, 3)}, Colours(2));
    folder.write("images.img", bytes);
    QImage rgb(16, 8, QImage::Format_RGB32);
    rgb.fill(Qt::red);
    rgb.save("rgb.png");
    const std::vector<std::uint8_t> indices(17 * 8, 1);
    folder.write("wide.png", LowDepthPng(17, 8, 8, 4, indices));
    folder.write("high.png", LowDepthPng(16, 9, 8, 4, std::vector<std::uint8_t>(16 * 9, 1)));
    folder.write("text.png", Bytes().raw("just some text, no image").data);
    auto cut = LowDepthPng(16, 8, 8, 4, std::vector<std::uint8_t>(16 * 8, 2));
    cut.resize(cut.size() - 20);
    folder.write("cut.png", cut);
    const struct {
        const char* file;
        const char* message;
    } cases[] = {
        {"rgb.png", "PNG is not a palette image."}, {"wide.png", "Wrong image width."},
        {"high.png", "Wrong image height."},        {"missing.png", "File not found."},
        {"text.png", "File is not a PNG image."},   {"cut.png", "PNG image is damaged."},
    };
    for (const auto& c : cases) {
        QString err;
        EXPECT_EQ(Krellon({"import", "images.img", c.file}, nullptr, &err), 1);
        EXPECT_EQ(err, QString(c.file) + ": " + c.message + "\n");
        EXPECT_EQ(folder.read("images.img"), bytes);
    }
}

TEST_F(CliTest, ImportAllChecksEveryFileBeforeChangingAnything) {
    const auto bytes = BuildImageFile(SomeImages(), Colours(9));
    folder.write("images.img", bytes);
    ASSERT_EQ(Krellon({"export", "images.img", "--all", "-o", "all"}), 0);
    // New pixels for image 1; image 4's file is then broken.
    auto changed = BuildImageFile({Image("Stone", 64, 64, 77)}, Colours(9));
    folder.write("one.img", changed);
    ASSERT_EQ(Krellon({"export", "one.img", "-o", "all/001-Stone.bmp"}), 0);
    folder.write("all/004-Tall.bmp", Bytes().raw("BM").fill(10, 0).data);
    QString err;
    EXPECT_EQ(Krellon({"import", "images.img", "--all", "all"}, nullptr, &err), 1);
    EXPECT_TRUE(err.startsWith("all/004-Tall.bmp: ")) << err.toStdString();
    EXPECT_EQ(folder.read("images.img"), bytes);
    // A file for an image the file does not have refuses the whole import too.
    std::filesystem::remove(folder / "all/004-Tall.bmp");
    std::filesystem::copy_file(folder / "all/003-File palette.bmp", folder / "all/009-x.bmp");
    EXPECT_EQ(Krellon({"import", "images.img", "--all", "all"}, nullptr, &err), 1);
    EXPECT_TRUE(err.contains("there is no image 9")) << err.toStdString();
    EXPECT_EQ(folder.read("images.img"), bytes);
}

TEST_F(CliTest, HostileFilesFailWithAReasonAndLeaveNoOutput) {
    // Every cut of a board set and of an image file, and counts past their limits.
    Bytes set;
    set.raw("BDST").i32(2).i32(2);
    Text(set, "X:\\Krellon\\Boards\\images.img");
    Text(set, "X:\\Krellon\\Boards\\images.img");
    Text(set, "n");
    Text(set, "a");
    Text(set, "");
    Record(set, 0, [](int c, int) { return c % 3; });
    Record(set, 1, [](int, int r) { return r % 3; });
    const auto images = BuildImageFile({Image("a", 30, 15, 1), Image("b", 64, 64, 2)}, Colours(3));
    folder.write("images.img", images);
    ASSERT_EQ(Krellon({"export", "images.img", "-o", "pic.bmp"}), 0);
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    for (std::size_t n = 0; n < set.size(); n += 97) {
        files.emplace_back("cut.bds",
                           std::vector<std::uint8_t>(set.data.begin(), set.data.begin() + n));
    }
    for (std::size_t n = 0; n < images.size(); n += 211) {
        files.emplace_back("cut.img",
                           std::vector<std::uint8_t>(images.begin(), images.begin() + n));
    }
    auto counts = set.data;
    counts[8] = 101;
    files.emplace_back("count.bds", counts);
    auto imageCount = images;
    imageCount[8] = 0xFF;  // a negative image count
    files.emplace_back("count.img", imageCount);
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name + " of " + std::to_string(bytes.size()) + " bytes");
        folder.write(name, bytes);
        const QString file = QString::fromStdString(name);
        const bool isSet = name.ends_with(".bds");
        const QList<QStringList> runs =
            isSet ? QList<QStringList>{{"info", file},
                                       {"check", file},
                                       {"dump", file, "-o", "out"},
                                       {"render", file, "-o", "out.png"},
                                       {"render", file, "--all", "-o", "out"}}
                  : QList<QStringList>{{"info", file},
                                       {"check", file},
                                       {"export", file, "-o", "out.bmp"},
                                       {"export", file, "--all", "-o", "out"},
                                       {"import", file, "pic.bmp"}};
        for (const QStringList& run : runs) {
            QString out;
            QString err;
            const int status = Krellon(run, &out, &err);
            ASSERT_TRUE(status == 0 || status == 1) << run.join(" ").toStdString();
            if (status == 1) {
                // check tells the problems it finds as its output.
                EXPECT_TRUE((run[0] == "check" ? out : err).startsWith(file + ": "))
                    << run.join(" ").toStdString() << ": " << (out + err).toStdString();
                if (run[0] != "check") {
                    EXPECT_FALSE(Exists("out") || Exists("out.bmp") || Exists("out.png"))
                        << run.join(" ").toStdString();
                }
            }
            std::filesystem::remove_all(folder / "out");
            std::filesystem::remove(folder / "out.bmp");
            std::filesystem::remove(folder / "out.png");
        }
        std::filesystem::remove(folder / name);
    }
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndTheUsage) {
    folder.write("images.img", BuildImageFile({Image("a", 30, 15, 1)}, Colours(3)));
    const QList<QStringList> runs = {
        {},
        {"frobnicate"},
        {"render", "x.bds"},
        {"render", "x.bds", "-o", "o.png", "--mode", "sepia"},
        {"render", "x.bds", "-o", "o.png", "--board", "0"},
        {"export", "images.img", "-o", "o.gif"},
        {"export", "images.img", "--all", "-o", "d", "--format", "tiff"},
        {"import", "images.img"},
        {"build", "x.json"},
        {"info", "--no-such-option", "x"},
    };
    for (const QStringList& run : runs) {
        QString err;
        EXPECT_EQ(Krellon(run, nullptr, &err), 2) << run.join(" ").toStdString();
        EXPECT_TRUE(err.contains("Usage:") || err.contains("Options:")) << err.toStdString();
    }
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
    Bytes set;
    set.raw("BDST").i32(2).i32(2);
    Text(set, "X:\\Krellon\\Boards\\BRICKS.img");
    Text(set, "X:\\Krellon\\Boards\\backs.img");
    Text(set, "Set");
    Text(set, "Me");
    Text(set, "");
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

    // Bytes that are neither a board set nor an image file are refused with check's reasons.
    std::vector<std::uint8_t> noise(3000);
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<std::uint8_t>(i * 151 + 17);
    }
    folder.write("noise.img", noise);
    folder.write("text.json", Bytes().raw("{\"boards\": [], \"name\": \"not images\"}").data);
    folder.write("pic.png", LowDepthPng(4, 4, 8, 4, std::vector<std::uint8_t>(16, 1)));
    for (const QString file : {"noise.img", "text.json", "pic.png"}) {
        QString err;
        QString problems;
        EXPECT_EQ(Krellon({"info", file}, &out, &err), 1) << file.toStdString();
        EXPECT_EQ(out.toStdString(), "");
        EXPECT_EQ(Krellon({"check", file}, &problems), 1);
        EXPECT_TRUE(err.startsWith(file + ": ")) << err.toStdString();
        EXPECT_EQ(err.toStdString(), problems.toStdString());
    }

    Bytes bad;
    bad.raw("BDST").i32(2).i32(1);
    Text(bad, "X:\\Krellon\\Boards\\bricks.img");
    Text(bad, "X:\\Krellon\\Boards\\gone.img");
    Text(bad, "Set");
    Text(bad, "Me");
    Text(bad, "");
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

TEST_F(CliTest, PipesAndFoldersNamedLikeDataFilesAreRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo((folder / "pipe.bds").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((folder / "pipe.img").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((folder / "pipe.png").c_str(), 0600), 0);
    std::filesystem::create_directory(folder / "dir.bds");
    std::filesystem::create_directory(folder / "dir.img");
    folder.write("images.img", BuildImageFile({Image("a", 30, 15, 1)}, Colours(3)));
    const QList<QStringList> runs = {
        {"info", "pipe.bds", "dir.bds", "pipe.img", "dir.img"},
        {"check", "pipe.bds", "dir.img"},
        {"render", "pipe.bds", "-o", "out.png"},
        {"dump", "dir.bds"},
        {"build", "pipe.bds", "-o", "out.bds"},
        {"export", "pipe.img", "-o", "out.png"},
        {"import", "dir.img", "pipe.png"},
        {"import", "images.img", "pipe.png"},
    };
    for (const QStringList& run : runs) {
        QString err;
        EXPECT_EQ(Krellon(run, nullptr, &err), 1) << run.join(" ").toStdString();
        EXPECT_FALSE(err.isEmpty());
    }
    EXPECT_FALSE(Exists("out.png") || Exists("out.bds"));
}

TEST_F(CliTest, OutputsOntoPipesAndDevicesAreStreamedAndOtherKindsAreRefused) {
    folder.write("set.bds", OneBoardSet());
    folder.write("images.img", BuildImageFile({Image("a", 30, 15, 1)}, Colours(3)));
    ASSERT_EQ(Krellon({"dump", "set.bds", "-o", "set.json"}), 0);
    ASSERT_EQ(Krellon({"export", "images.img", "-o", "a.bmp"}), 0);
    ASSERT_EQ(::mkfifo((folder / "out.fifo").c_str(), 0600), 0);
    // A pipe with a reader gets the bytes a file would, and stays a pipe; its name need not
    // end as a file's would.
    const struct {
        QStringList run;
        std::vector<std::uint8_t> head;
    } streams[] = {
        {{"dump", "set.bds", "-o", "out.fifo"}, folder.read("set.json")},
        {{"render", "set.bds", "-o", "out.fifo"}, kPngSignature},
        {{"export", "images.img", "-o", "out.fifo"}, folder.read("a.bmp")},
        {{"export", "images.img", "-o", "out.fifo", "--format", "png"}, kPngSignature},
    };
    for (const auto& c : streams) {
        PipeReader reader(folder / "out.fifo");
        QString err;
        EXPECT_EQ(Krellon(c.run, nullptr, &err), 0)
            << c.run.join(" ").toStdString() << ": " << err.toStdString();
        EXPECT_EQ(Head(reader.finish(), c.head.size()), c.head) << c.run.join(" ").toStdString();
        EXPECT_TRUE(std::filesystem::is_fifo(folder / "out.fifo"));
    }
    QString kept;
    ASSERT_EQ(Krellon({"backups"}, &kept), 0);
    EXPECT_EQ(kept, "") << "nothing that is no file is kept as a version";

    // A socket or a folder is refused, and stays as it was.
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "out.sock");
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_directory(folder / "dir.png");
    std::vector<std::pair<QStringList, QString>> refusals = {
        {{"dump", "set.bds", "-o", "out.sock"}, "out.sock: a socket of that name is in the way\n"},
        {{"render", "set.bds", "-o", "dir.png"}, "dir.png: a folder of that name is in the way\n"},
    };
    // As root, devices made here: one that is always full, one that takes everything, a
    // block device that is never written.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::mknod((folder / "full").c_str(), S_IFCHR | 0600, ::makedev(1, 7)), 0);
        ASSERT_EQ(::mknod((folder / "null").c_str(), S_IFCHR | 0600, ::makedev(1, 3)), 0);
        ASSERT_EQ(::mknod((folder / "disk.png").c_str(), S_IFBLK | 0600, ::makedev(7, 0)), 0);
        refusals.push_back({{"dump", "set.bds", "-o", "full"}, "full: No space left on device\n"});
        refusals.push_back(
            {{"render", "set.bds", "-o", "full"}, "full: No space left on device\n"});
        refusals.push_back({{"render", "set.bds", "-o", "disk.png"},
                            "disk.png: a block device of that name is in the way\n"});
        EXPECT_EQ(Krellon({"render", "set.bds", "-o", "null"}), 0);
        EXPECT_EQ(Krellon({"build", "set.json", "-o", "null"}), 0);
    }
    for (const auto& [run, reason] : refusals) {
        QString err;
        EXPECT_EQ(Krellon(run, nullptr, &err), 1) << run.join(" ").toStdString();
        EXPECT_EQ(err.toStdString(), reason.toStdString());
    }
    ::close(sock);
    EXPECT_EQ(std::filesystem::status(folder / "out.sock").type(),
              std::filesystem::file_type::socket);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "dir.png"));
    if (!root) {
        GTEST_SKIP() << "devices are made only as root; pipes, sockets and folders were checked";
    }
    EXPECT_TRUE(std::filesystem::is_character_file(folder / "full"));
    EXPECT_TRUE(std::filesystem::is_character_file(folder / "null"));
    EXPECT_TRUE(std::filesystem::is_block_file(folder / "disk.png"));
}

TEST_F(CliTest, AnOutputThatIsItsOwnInputIsRefused) {
    folder.write("set.bds", OneBoardSet());
    folder.write("images.img", BuildImageFile({Image("a", 30, 15, 1)}, Colours(3)));
    ASSERT_EQ(Krellon({"dump", "set.bds", "-o", "set.json"}), 0);
    const auto snapshot = folder.snapshot();
    namespace fs = std::filesystem;
    fs::create_symlink("set.bds", folder / "link.png");
    fs::create_symlink("images.img", folder / "link.bmp");
    fs::create_hard_link(folder / "set.json", folder / "hard.json");
    fs::create_directories(folder / "renders");
    fs::create_symlink("../set.bds", folder / "renders/board-001.png");
    fs::create_directories(folder / "exports");
    fs::create_symlink("../images.img", folder / "exports/001-a.png");
    const QList<QStringList> runs = {
        {"dump", "set.bds", "-o", "set.bds"},
        {"dump", "set.bds", "-o", "link.png"},
        {"render", "set.bds", "-o", "set.bds"},
        {"render", "set.bds", "-o", "link.png"},
        {"render", "set.bds", "--all", "-o", "renders"},
        {"build", "set.json", "-o", "set.json"},
        {"build", "set.json", "-o", "hard.json"},
        {"export", "images.img", "-o", "link.bmp"},
        {"export", "images.img", "--all", "--format", "png", "-o", "exports"},
    };
    for (const QStringList& run : runs) {
        QString err;
        EXPECT_EQ(Krellon(run, nullptr, &err), 1) << run.join(" ").toStdString();
        EXPECT_TRUE(err.endsWith(": the output is also the input\n")) << err.toStdString();
    }
    for (const auto& [name, bytes] : snapshot) {
        EXPECT_EQ(folder.read(name), bytes) << name;
    }
    EXPECT_TRUE(fs::is_symlink(folder / "link.png") && fs::is_symlink(folder / "link.bmp"));
    // render writes PNG: another name is refused, whatever its letter case.
    QString err;
    EXPECT_EQ(Krellon({"render", "set.bds", "-o", "out.txt"}, nullptr, &err), 2);
    EXPECT_TRUE(err.contains("the output ends in .png")) << err.toStdString();
    EXPECT_FALSE(Exists("out.txt"));
    EXPECT_EQ(Krellon({"render", "set.bds", "-o", "OUT.PNG"}), 0);
}

TEST_F(CliTest, TheProgramsTakeFileNamesByteForByteAndWriteToStandardOutput) {
    const auto set = OneBoardSet();
    folder.write("S\xe9t.bds", set);
    // In-process, names as the program's main hands them over.
    ASSERT_EQ(Krellon({"dump", NameFromBytes("S\xe9t.bds"), "-o", NameFromBytes("out\xff.json")}),
              0);
    const auto json = folder.read("out\xff.json");
    // The programs themselves, from their argv.
    std::string out;
    std::string err;
    EXPECT_EQ(RunProgram(KRELLON_BINARY, {"dump", "S\xe9t.bds", "-o", "raw\xfe.json"}, &out, &err),
              0)
        << err;
    EXPECT_EQ(folder.read("raw\xfe.json"), json);
    EXPECT_EQ(RunProgram(KRELLON_BINARY, {"build", "raw\xfe.json", "-o", "-"}, &out), 0);
    EXPECT_EQ(out, AsText(set));
    EXPECT_EQ(RunProgram(KRELLON_BINARY, {"render", "S\xe9t.bds", "-o", "-"}, &out), 0);
    ASSERT_EQ(Krellon({"render", NameFromBytes("S\xe9t.bds"), "-o", "board.png"}), 0);
    EXPECT_EQ(out, AsText(folder.read("board.png")));
    folder.write("Im\xe1ges.img", BuildImageFile({Image("a", 30, 15, 1)}, Colours(3)));
    EXPECT_EQ(RunProgram(KRELLON_BINARY, {"export", "Im\xe1ges.img", "-o", "a\xff.png"}), 0);
    EXPECT_EQ(
        RunProgram(KRELLON_BINARY, {"export", "Im\xe1ges.img", "-o", "-", "--format", "png"}, &out),
        0);
    EXPECT_EQ(out, AsText(folder.read("a\xff.png")));
    // A name shown in a message has its stray byte as the replacement character.
    EXPECT_EQ(RunProgram(KRELLON_BINARY, {"info", "gone\xff.bds"}, &out, &err), 1);
    EXPECT_EQ(err, "gone\xef\xbf\xbd.bds: the file cannot be opened\n");

    // The demo writer tells its usage, and never takes an option for a folder.
    EXPECT_EQ(RunProgram(KRELLON_DEMO_BINARY, {"--help"}, &out), 0);
    EXPECT_TRUE(out.starts_with("usage: krellon-demo FOLDER")) << out;
    EXPECT_EQ(RunProgram(KRELLON_DEMO_BINARY, {"--bogus"}, &out, &err), 2);
    EXPECT_TRUE(err.starts_with("krellon-demo: unknown option --bogus")) << err;
    EXPECT_FALSE(Exists("--help") || Exists("--bogus"));
}
