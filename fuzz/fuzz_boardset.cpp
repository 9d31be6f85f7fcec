// Feeds arbitrary bytes to the board set reader; whatever it accepts must write back exactly.
#include <cstdint>
#include <cstdlib>

#include "formats/BoardSetFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    krellon::MemorySource source({data, size});
    const auto result = krellon::DecodeBoardSet(source);
    if (result.ok()) {
        // A set read back from its own bytes is the same set.
        const auto bytes = krellon::EncodeBoardSet(result.value());
        krellon::MemorySource again(bytes);
        const auto reread = krellon::DecodeBoardSet(again);
        if (!reread.ok() || !(reread.value() == result.value())) {
            std::abort();
        }
    }
    return 0;
}
