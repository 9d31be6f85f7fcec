// Feeds arbitrary bytes to the bitmap import checks and decoder, for the image size the
// bitmap itself claims (kept small) so that inputs get past the size checks.
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
        out.pixelsTopDown.size() !=
            static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        std::abort();
    }
    return 0;
}
