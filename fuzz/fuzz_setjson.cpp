// Feeds arbitrary text to the board set text reader that krellon build uses: whatever it
// accepts is a set the file can hold, and its file dumps and builds back to the same bytes.
#include <cstdint>
#include <cstdlib>

#include "document/BoardSetJson.h"
#include "formats/ByteSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto set = krellon::BoardSetFromJson(text);
    if (!set.ok()) {
        if (set.error().empty()) {
            std::abort();
        }
        return 0;
    }
    if (set.value().boards.empty() || set.value().boards.size() > krellon::kMaxBoards ||
        set.value().signature.size() != 4) {
        std::abort();
    }
    const auto bytes = krellon::EncodeStoredBoardSet(set.value());
    const krellon::MemorySource source(bytes);
    const auto decoded = krellon::DecodeStoredBoardSet(source);
    if (!decoded.ok() || !(decoded.value() == set.value())) {
        std::abort();
    }
    const auto again = krellon::BoardSetFromJson(krellon::BoardSetToJson(decoded.value()));
    if (!again.ok() || !(again.value() == set.value())) {
        std::abort();
    }
    return 0;
}
