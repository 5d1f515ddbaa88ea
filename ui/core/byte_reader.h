// A cursor over a byte buffer that never moves or reads past its end, so
// a truncated or damaged file ends the parse instead of reading beyond it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mrwd {

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Position() const { return at_; }
    std::size_t Remaining() const { return size_ - at_; }
    bool AtEnd() const { return at_ >= size_; }

    // Each of these fails, leaving the cursor where it was, when fewer than
    // the bytes it needs are left.
    bool ReadByte(std::uint8_t* value) {
        if (Remaining() < 1) return false;
        *value = data_[at_++];
        return true;
    }
    bool ReadWord(int* value) {  // 16-bit little-endian
        if (Remaining() < 2) return false;
        *value = data_[at_] | (data_[at_ + 1] << 8);
        at_ += 2;
        return true;
    }
    // Points *bytes at the next `count` bytes and steps over them.
    bool Take(std::size_t count, const std::uint8_t** bytes) {
        if (Remaining() < count) return false;
        *bytes = data_ + at_;
        at_ += count;
        return true;
    }
    bool Skip(std::size_t count) {
        const std::uint8_t* ignored;
        return Take(count, &ignored);
    }
    // Steps over as much as there is, up to `count` bytes.
    void SkipAtMost(std::size_t count) { at_ += count < Remaining() ? count : Remaining(); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace mrwd
