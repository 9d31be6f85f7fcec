#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace krellon {

// Replaces the file at path with exactly these bytes, all or nothing: the bytes go to a new
// file beside it, which is flushed to disk and then renamed over the target. Returns an empty
// text on success, else the reason; on failure the target is left as it was and no temporary
// file remains.
std::string WriteFileAtomically(const std::filesystem::path& path,
                                std::span<const std::uint8_t> bytes);

// Test seam: while set, every atomic write stops with a failure after this many bytes have
// reached the temporary file, as a full or failing disk would.
void SetWriteFailureAfterBytesForTesting(std::optional<std::uint64_t> bytes);

}  // namespace krellon
