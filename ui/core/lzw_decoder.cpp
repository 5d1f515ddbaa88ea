#include "lzw_decoder.h"

#include <array>

#include "row_order.h"

namespace mrwd {
namespace {

constexpr int kMaxCodes = 4096;  // 12-bit codes
constexpr int kMaxCodeBits = 12;
constexpr int kMaxString = 4096;

// Hands out codes of a given width, never reading a bit past the data.
class CodeReader {
public:
    CodeReader(const std::uint8_t* data, std::size_t size) : data_(data), bits_(size * 8) {}

    bool Read(int width, int* code) {
        if (bits_ - position_ < static_cast<std::size_t>(width)) return false;
        // The word may reach into the slack after the data; the mask keeps
        // only bits that lie inside it.
        const std::uint8_t* at = data_ + position_ / 8;
        const std::uint32_t word = at[0] | (at[1] << 8) | (at[2] << 16) | (std::uint32_t{at[3]} << 24);
        *code = static_cast<int>((word >> (position_ % 8)) & ((1u << width) - 1));
        position_ += static_cast<std::size_t>(width);
        return true;
    }
    std::size_t Consumed() const { return position_; }

private:
    const std::uint8_t* data_;
    std::size_t bits_;
    std::size_t position_ = 0;
};

// Places decoded indices left to right, row after row in the frame's order.
class PixelSink {
public:
    PixelSink(std::uint8_t* pixels, int stride, int width, int height, bool interlaced)
        : pixels_(pixels), stride_(stride), width_(width), rows_(height, interlaced) {}

    bool Full() const { return rows_.Row() < 0; }
    void Put(std::uint8_t index) {
        pixels_[static_cast<std::size_t>(rows_.Row()) * static_cast<std::size_t>(stride_) + column_] = index;
        if (++column_ == width_) {
            column_ = 0;
            rows_.Advance();
        }
    }

private:
    std::uint8_t* pixels_;
    int stride_;
    int width_;
    int column_ = 0;
    RowOrder rows_;
};

// The string table: each entry is an earlier code (its prefix) plus one byte.
struct StringTable {
    std::array<std::uint16_t, kMaxCodes> prefix{};
    std::array<std::uint8_t, kMaxCodes> suffix{};
    std::array<std::uint8_t, kMaxString + 1> stack{};  // one string, last byte first
};

}  // namespace

std::size_t DecodeLzw(const std::uint8_t* data, std::size_t size, std::uint8_t* pixels, int minCodeSize,
                      int stride, int width, int height, bool interlaced) {
    if (width <= 0 || height <= 0 || stride < width || minCodeSize < 0 || minCodeSize > 8) return 0;

    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    const int firstFree = clear + 2;
    StringTable table;
    CodeReader reader(data, size);
    PixelSink sink(pixels, stride, width, height, interlaced);

    int codeBits = minCodeSize + 1;
    int nextFree = firstFree;
    int previous = clear;  // no entry is added after the first code
    std::uint8_t previousFirst = 0;  // first byte of the previous code's string

    while (!sink.Full()) {
        int code = 0;
        if (!reader.Read(codeBits, &code)) return 0;
        if (code == end) break;
        if (code == clear) {
            codeBits = minCodeSize + 1;
            nextFree = firstFree;
            previous = clear;
            continue;
        }

        // Build the code's string on the stack, last byte first.
        int length = 0;
        int walk = code;
        if (code >= nextFree) {
            // Only the entry about to be defined may be used before it is,
            // and only when there is a previous string to extend: its string
            // is the previous one plus that string's own first byte.
            if (code > nextFree || previous == clear) return 0;
            table.stack[length++] = previousFirst;
            walk = previous;
        }
        while (walk >= firstFree) {
            if (length >= kMaxString) return 0;
            table.stack[length++] = table.suffix[walk];
            walk = table.prefix[walk];
        }
        if (length >= kMaxString) return 0;
        const auto first = static_cast<std::uint8_t>(walk);
        table.stack[length++] = first;

        // A full table is used as it stands until the encoder clears it;
        // encoders may go on sending 12-bit codes without adding entries.
        if (previous != clear && nextFree < kMaxCodes) {
            table.prefix[nextFree] = static_cast<std::uint16_t>(previous);
            table.suffix[nextFree] = first;
            ++nextFree;
        }
        if (nextFree >= (1 << codeBits) && codeBits < kMaxCodeBits) ++codeBits;
        previous = code;
        previousFirst = first;

        // Bytes beyond the frame's last pixel are dropped.
        while (length > 0 && !sink.Full()) sink.Put(table.stack[--length]);
    }
    return reader.Consumed();
}

}  // namespace mrwd
