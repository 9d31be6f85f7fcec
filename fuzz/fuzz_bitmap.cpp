// Feeds arbitrary bytes to the bitmap import checks, decoder and bounded reader, for the image size
// the bitmap itself claims (kept small) so that inputs get past the size checks.
#include <cstdint>
#include <cstdlib>

#include "formats/Bitmap.h"
#include "formats/ByteReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::int32_t width = 30;
    std::int32_t height = 15;
    if (size >= 26) {
        width = krellon::DecodeInt32(data + 18);
        height = krellon::DecodeInt32(data + 22);
        if (width < 0 || height < 0 || width > 512 || height > 512) {
            width = 30;
            height = 15;
        }
    }
    krellon::DecodedBitmap out;
    const auto status = krellon::DecodeBitmap({data, size}, width, height, out);
    if (status == krellon::BitmapStatus::Ok &&
        out.pixelsTopDown.size() + out.colourPixels.size() !=
            static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        std::abort();
    }
    // The bounded read sees part of the same bytes: what it accepts, the whole file gives
    // alike.
    krellon::DecodedBitmap bounded;
    const krellon::MemorySource source({data, size});
    if (krellon::ReadBitmap(source, width, height, bounded) == krellon::BitmapStatus::Ok &&
        (status != krellon::BitmapStatus::Ok || bounded.pixelsTopDown != out.pixelsTopDown ||
         bounded.colourPixels != out.colourPixels || bounded.colours != out.colours ||
         bounded.colourCount != out.colourCount)) {
        std::abort();
    }
    return 0;
}
