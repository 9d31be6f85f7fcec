// Feeds arbitrary bytes to the edit journal's reader: whatever it reads back is a set the
// board set writer can store, and reading it again gives the same.
#include <cstdint>
#include <cstdlib>

#include "formats/EditJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const krellon::MemorySource source({data, size});
    const auto content = krellon::ReadJournal(source);
    if (!content) {
        return 0;
    }
    if (content->set.boards.empty() || content->set.boards.size() > krellon::kMaxBoards) {
        std::abort();
    }
    const auto bytes = krellon::EncodeBoardSet(content->set);
    const krellon::MemorySource again(bytes);
    const auto decoded = krellon::DecodeBoardSet(again);
    if (!decoded.ok() || !(decoded.value() == content->set)) {
        std::abort();
    }
    return 0;
}
