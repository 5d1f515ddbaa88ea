// One decoded GIF frame: a palette-index image together with the bitmap
// header and colour table GDI needs, so that drawing it is a single call.
#pragma once

#include <cstdint>
#include <memory>

namespace mrwd {

class CRaster {
public:
    // Frames above this many pixels (stride included) are refused: the
    // program's pictures are 60 x 60, and a damaged size field must not make
    // it allocate gigabytes.
    static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 24;
    // The bitmap information header that precedes the colour table.
    static constexpr int kHeaderBytes = 40;
    // The colour table always has room for 256 entries, even for frames of
    // fewer bits: the header says 8 bits per pixel, and GDI then reads 256
    // entries. Entries the frame does not use stay black.
    static constexpr int kTableEntries = 256;

    CRaster() = default;
    virtual ~CRaster() = default;
    CRaster(const CRaster&) = delete;
    CRaster& operator=(const CRaster&) = delete;

    // Drops any previous buffers, then sets up a width x height frame with a
    // colour table of 2^bits entries. Every pixel starts as index 0, so the
    // parts that the image data does not reach are well defined. False (and
    // an empty frame) when a size is not positive, the frame is too large,
    // bits is outside 1..8 or memory runs out.
    bool Create(int width, int height, int bits);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Bits() const { return bits_; }
    // Bytes per pixel row: the width rounded up to a multiple of 4, as
    // device-independent bitmaps lay out their rows.
    int Stride() const { return stride_; }
    int Left() const { return left_; }
    int Top() const { return top_; }
    void SetPosition(int left, int top) {
        left_ = left;
        top_ = top;
    }

    // One palette index per pixel, rows top to bottom, Stride() bytes apart.
    std::uint8_t* Pixels() { return pixels_.get(); }
    const std::uint8_t* Pixels() const { return pixels_.get(); }

    // 4 bytes per entry (blue, green, red, 0), directly after the header.
    std::uint8_t* Palette() { return header_ ? header_.get() + kHeaderBytes : nullptr; }
    const std::uint8_t* Palette() const { return header_ ? header_.get() + kHeaderBytes : nullptr; }

    // The header and colour table together, laid out as a BITMAPINFO for a
    // top-down 8-bit image; null before a successful Create.
    const std::uint8_t* BitmapInfo() const { return header_.get(); }

private:
    void Reset();

    int width_ = 0;
    int height_ = 0;
    int bits_ = 0;
    int stride_ = 0;
    int left_ = 0;
    int top_ = 0;
    std::unique_ptr<std::uint8_t[]> pixels_;
    std::unique_ptr<std::uint8_t[]> header_;
};

}  // namespace mrwd
