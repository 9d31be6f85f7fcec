// Feeds arbitrary bytes to the image file readers: header, the walks, the probe and pixels.
#include <cstdint>
#include <cstdlib>

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
        if (record.pixelOffset + record.pixelBytes() > size) {
            std::abort();
        }
        krellon::ReadPixel(source, record, record.width - 1, record.height - 1);
    }
    krellon::RecordWalk bricks;
    bricks.count = header->imageCount;
    bricks.limit = krellon::kMaxBricks;
    bricks.fixedPixelBytes = 450;
    krellon::WalkImageRecords(source, bricks);
    krellon::RecordWalk backgrounds;
    backgrounds.count = header->imageCount;
    backgrounds.limit = krellon::kMaxBackgrounds;
    krellon::WalkImageRecords(source, backgrounds);
    return 0;
}
