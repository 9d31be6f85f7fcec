// Feeds arbitrary bytes to the image file readers: header, the walks, the probe and pixels.
#include <array>
#include <cstdint>
#include <cstdlib>

#include "formats/BufferedSource.h"
#include "formats/ImageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    krellon::MemorySource source({data, size});
    krellon::ProbeFirstImage(source);
    const auto header = krellon::ReadImageHeader(source);
    if (!header) {
        return 0;
    }
    for (const auto& record : krellon::WalkImageFile(source, *header)) {
        // The walk only returns records whose pixels lie inside the file.
        if (record.PixelOffset + record.pixelBytes() > size) {
            std::abort();
        }
        krellon::ReadPixel(source, record, record.Width - 1, record.Height - 1);
    }
    krellon::RecordWalk bricks;
    bricks.count = header->imageCount;
    bricks.limit = krellon::kMaxBricks;
    bricks.fixedPixelBytes = 450;
    krellon::WalkImageRecords(source, bricks);
    krellon::RecordWalk backgrounds;
    backgrounds.count = header->imageCount;
    backgrounds.limit = krellon::kMaxBackgrounds;
    const auto direct = krellon::WalkImageRecords(source, backgrounds);
    // Read through a small block buffer, the walk finds exactly the same records.
    const krellon::BufferedSource buffered(source, 37);
    const auto throughBuffer = krellon::WalkImageRecords(buffered, backgrounds);
    if (direct.size() != throughBuffer.size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < direct.size(); ++i) {
        if (direct[i].Name != throughBuffer[i].Name ||
            direct[i].PixelOffset != throughBuffer[i].PixelOffset ||
            direct[i].Palette != throughBuffer[i].Palette) {
            std::abort();
        }
    }
    // The probe gives the same answer from its first block as from the whole file.
    std::array<std::uint8_t, krellon::kProbeHeadBytes> head{};
    const std::size_t got = source.readAt(krellon::kFirstRecordOffset, head);
    std::optional<std::pair<std::int32_t, std::int32_t>> probed;
    if (got > 0 && krellon::ProbeFirstImageHead({head.data(), got}, probed) &&
        probed != krellon::ProbeFirstImage(source)) {
        std::abort();
    }
    return 0;
}
