#pragma once

#include <algorithm>
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

// A run of another source's bytes, from offset on, size bytes long at most; the other source
// must outlive it.
class SliceSource final : public ByteSource {
public:
    SliceSource(const ByteSource& base, std::uint64_t offset, std::uint64_t size)
        : base_(base),
          offset_(offset),
          size_(offset <= base.size() ? std::min(size, base.size() - offset) : 0) {}

    std::uint64_t size() const override { return size_; }
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> dst) const override {
        if (offset >= size_) {
            return 0;
        }
        return base_.readAt(offset_ + offset,
                            dst.first(static_cast<std::size_t>(
                                std::min<std::uint64_t>(dst.size(), size_ - offset))));
    }

private:
    const ByteSource& base_;
    std::uint64_t offset_;
    std::uint64_t size_;
};

}  // namespace krellon
