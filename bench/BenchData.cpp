#include "BenchData.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "ImageFileBuilder.h"
#include "formats/BoardSetFile.h"
#include "formats/ImageFile.h"
#include "storage/FileSource.h"

namespace krellon::bench {

namespace {

void Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::vector<ColourValue> Palette(int seed) {
    std::vector<ColourValue> palette(256);
    for (int p = 0; p < 256; ++p) {
        palette[static_cast<std::size_t>(p)] =
            MakeColour((p * 5 + seed) % 256, (p * 3 + seed * 7) % 256, (255 - p + seed) % 256);
    }
    return palette;
}

ImageSpec Image(const std::string& name, int w, int h, int seed) {
    ImageSpec image{name, w, h, Palette(seed),
                    std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h)};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.pixels[static_cast<std::size_t>(y) * w + x] =
                static_cast<std::uint8_t>((x * 3 + y * 5 + seed) % 256);
        }
    }
    return image;
}

std::vector<ImageSpec> Images(const std::string& stem, int count, int w, int h) {
    std::vector<ImageSpec> images;
    for (int i = 1; i <= count; ++i) {
        images.push_back(Image(stem + " " + std::to_string(i), w, h, i));
    }
    return images;
}

}  // namespace

void WriteBenchFolder(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    std::vector<ImageSpec> bricks = Images("Brick", 119, 30, 15);
    bricks[80].name = "Hidden";  // code 81
    Write(dir / kBrickSet, BuildImageFile(bricks, GreyPalette()));
    Write(dir / kBackgrounds128, BuildImageFile(Images("Back", 69, 128, 128), GreyPalette()));
    Write(dir / kBackgrounds64, BuildImageFile(Images("Back", 69, 64, 64), GreyPalette()));
    Write(dir / kImages256, BuildImageFile(Images("Picture", 119, 256, 256), GreyPalette()));
    Write(dir / kHugeImage, BuildImageFile({Image("Huge", 1024, 1024, 3)}, GreyPalette()));

    BoardSetContent set;
    set.brickSetFile = kBrickSet;
    set.backgroundSetFile = kBackgrounds128;
    set.boardSetName = "Benchmark";
    set.authorName = "Krellon";
    set.boards.resize(kMaxBoards);
    for (int b = 0; b < kMaxBoards; ++b) {
        set.boards[static_cast<std::size_t>(b)].background = b % 69;
        for (int i = 0; i < kBoardColumns * kBoardRows; ++i) {
            set.boards[static_cast<std::size_t>(b)].cells[static_cast<std::size_t>(i)] =
                b == 1   ? 81
                : b == 2 ? 0
                         : (i + b) % 119 + 1;
        }
    }
    const auto setBytes = EncodeBoardSet(set);
    Write(dir / kBoardSet, setBytes);
    for (int i = 1; i < kBoardSetFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Copy%03d.bds", i);
        Write(dir / name, setBytes);
    }

    // The rest of the image files: small brick sets and background sets.
    const auto smallBricks = BuildImageFile(Images("Small", 3, 30, 15), GreyPalette());
    const auto smallBacks = BuildImageFile(Images("Small", 2, 64, 64), GreyPalette());
    for (int i = 5; i < kImageFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Extra%04d.img", i);
        Write(dir / name, i % 2 == 0 ? smallBricks : smallBacks);
    }
}

std::uint64_t ReadFiles(const std::vector<std::filesystem::path>& files) {
    std::uint64_t total = 0;
    std::vector<char> buffer;
    for (const auto& path : files) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        const off_t size = ::lseek(fd, 0, SEEK_END);
        buffer.resize(static_cast<std::size_t>(size));
        total += static_cast<std::uint64_t>(::pread(fd, buffer.data(), buffer.size(), 0));
        ::close(fd);
    }
    return total;
}

std::uint64_t ReadFilePrefixes(const std::vector<std::filesystem::path>& files, std::size_t bytes) {
    std::uint64_t total = 0;
    std::vector<char> buffer(bytes);
    for (const auto& path : files) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        total += static_cast<std::uint64_t>(::read(fd, buffer.data(), bytes));
        ::close(fd);
    }
    return total;
}

std::uint64_t ReadBlocksAt(const std::filesystem::path& file,
                           const std::vector<std::uint64_t>& offsets, std::size_t bytes) {
    std::uint64_t total = 0;
    std::vector<char> buffer(bytes);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    for (const std::uint64_t offset : offsets) {
        total += static_cast<std::uint64_t>(
            ::pread(fd, buffer.data(), bytes, static_cast<off_t>(offset)));
    }
    ::close(fd);
    return total;
}

std::vector<std::uint64_t> RecordOffsets(const std::filesystem::path& file) {
    std::vector<std::uint64_t> offsets;
    FileSource source;
    if (!source.open(file)) {
        return offsets;
    }
    const auto header = ReadImageHeader(source);
    if (!header) {
        return offsets;
    }
    for (const ImageRecord& record : WalkImageFile(source, *header, kMaxBackgrounds)) {
        offsets.push_back(record.PaletteOffset - 24 - record.Name.size() - 1);
    }
    return offsets;
}

void WriteFileFlushed(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                      bool flush) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot create " + path.string());
    }
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        throw std::runtime_error("cannot write " + path.string());
    }
    if (flush) {
        ::fsync(fd);
    }
    ::close(fd);
}

void AppendToFile(const std::filesystem::path& path, std::size_t bytes) {
    static const std::vector<std::uint8_t> zeros(4096, 0);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot open " + path.string());
    }
    if (::write(fd, zeros.data(), std::min(bytes, zeros.size())) < 0) {
        throw std::runtime_error("cannot write " + path.string());
    }
    ::close(fd);
}

std::size_t ListFolder(const std::filesystem::path& dir) {
    std::size_t count = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (::readdir(d) != nullptr) {
            ++count;
        }
        ::closedir(d);
    }
    return count;
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

}  // namespace krellon::bench
