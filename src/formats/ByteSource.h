#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace krellon {

// Random access to a run of bytes: a file on disk or a buffer in memory. Readers take a source
// so that the same parsing code serves files, tests and fuzzing.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Number of bytes the source holds.
    virtual std::uint64_t size() const = 0;

    // Copies up to dst.size() bytes starting at offset into dst; returns how many were copied
    // (fewer at the end of the source, 0 past it).
    virtual std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> dst) const = 0;
};

// A source over bytes in memory; the bytes must outlive it.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint64_t size() const override { return bytes_.size(); }
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> dst) const override;

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace krellon
