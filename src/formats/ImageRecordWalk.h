#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "ByteReader.h"
#include "ImageFile.h"
#include "Result.h"
#include "SpanReader.h"

namespace krellon {

// One record as the walk passes it: where its parts lie. palette points at its paletteCount
// 4-byte entries (red, green, blue, unused) for as long as the visit lasts.
struct RecordHead {
    std::string name;  // without its terminator
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t paletteCount = 0;
    const std::uint8_t* palette = nullptr;
    std::uint64_t paletteOffset = 0;
    std::uint64_t pixelOffset = 0;
};

namespace detail {

inline const std::uint8_t* TakeBytes(SpanReader& in, std::span<std::uint8_t> scratch) {
    return in.take(scratch.size());
}
inline const std::uint8_t* TakeBytes(ByteReader& in, std::span<std::uint8_t> scratch) {
    return in.readInto(scratch) ? scratch.data() : nullptr;
}

}  // namespace detail

// The rules of the record walk, once, over a ByteReader (a file, read as it goes) or a
// SpanReader (a file in memory, read in place). Starting at in's position, visits up to
// min(walk.count, walk.limit) records in file order; visit(const RecordHead&) returns false to
// stop there. The walk ends before a record that is not wholly inside the file: a name length
// below 1, a negative width or height, a palette count outside 0 to 256, or palette or pixels
// past the end. The failure says which record it ended before, and why.
template <typename Reader, typename Visit>
Status WalkRecordHeads(Reader& in, const RecordWalk& walk, Visit&& visit) {
    const std::int32_t count = std::clamp(walk.count, 0, std::max(walk.limit, 0));
    std::array<std::uint8_t, 4 * kPaletteSize> scratch;
    RecordHead head;
    for (std::int32_t i = 0; i < count && in.ok(); ++i) {
        const auto stop = [i](const std::string& why) {
            return Status::failure("image " + std::to_string(i + 1) + ": " + why);
        };
        if (in.remaining() < 4) {
            return stop("the file ends before it");
        }
        const std::int32_t nameLength = in.readInt32();
        // The name, its terminator and the five numbers after it must all be there.
        if (nameLength < 1) {
            return stop("its name length is " + std::to_string(nameLength));
        }
        if (static_cast<std::uint64_t>(nameLength) + 20 > in.remaining()) {
            return stop("the file ends inside its name or size");
        }
        head.name = in.readBytes(static_cast<std::uint64_t>(nameLength) - 1);
        in.skip(1);
        head.width = in.readInt32();
        head.height = in.readInt32();
        in.skip(8);  // two numbers not interpreted
        head.paletteCount = in.readInt32();
        if (head.paletteCount < 0 || head.paletteCount > kPaletteSize) {
            return stop("its palette count " + std::to_string(head.paletteCount) +
                        " is outside 0 to 256");
        }
        head.paletteOffset = in.position();
        head.palette = detail::TakeBytes(
            in, std::span(scratch).first(4 * static_cast<std::size_t>(head.paletteCount)));
        if (head.palette == nullptr) {
            return stop("the file ends inside its palette");
        }
        head.pixelOffset = in.position();
        std::uint64_t pixels = 0;
        if (walk.fixedPixelBytes) {
            pixels = *walk.fixedPixelBytes;
        } else {
            if (head.width < 0 || head.height < 0) {
                return stop("its size " + std::to_string(head.width) + " x " +
                            std::to_string(head.height) + " is negative");
            }
            pixels =
                static_cast<std::uint64_t>(head.width) * static_cast<std::uint64_t>(head.height);
        }
        if (pixels > in.remaining()) {
            return stop("the file ends inside its pixels");
        }
        in.skip(pixels);
        if (!visit(static_cast<const RecordHead&>(head))) {
            break;
        }
    }
    return Status::success();
}

}  // namespace krellon
