#include "raster.h"

#include <algorithm>
#include <new>

namespace mrwd {
namespace {

void PutLittleEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

void CRaster::Reset() {
    pixels_.reset();
    header_.reset();
    width_ = height_ = bits_ = stride_ = left_ = top_ = 0;
}

bool CRaster::Create(int width, int height, int bits) {
    Reset();
    if (width <= 0 || height <= 0 || bits < 1 || bits > 8) return false;
    const int stride = (width + 3) & ~3;
    const std::int64_t pixelBytes = std::int64_t{stride} * height;
    if (pixelBytes > kMaxPixels) return false;

    // Value-initialised: cleared pixels and a colour table that starts black.
    pixels_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(pixelBytes)]());
    header_.reset(new (std::nothrow) std::uint8_t[kHeaderBytes + 4 * kTableEntries]());
    if (!pixels_ || !header_) {
        Reset();
        return false;
    }
    width_ = width;
    height_ = height;
    bits_ = bits;
    stride_ = stride;

    // BITMAPINFOHEADER, written byte by byte so the core needs no Windows
    // headers: a negative height stores the rows top-down, as GIF has them.
    std::uint8_t* h = header_.get();
    PutLittleEndian(h + 0, kHeaderBytes, 4);                        // size
    PutLittleEndian(h + 4, static_cast<std::uint32_t>(width), 4);   // width
    PutLittleEndian(h + 8, static_cast<std::uint32_t>(-height), 4); // height
    PutLittleEndian(h + 12, 1, 2);                                  // planes
    PutLittleEndian(h + 14, static_cast<std::uint32_t>(std::max(bits, 8)), 2);  // bit count
    // Compression (none) and the remaining fields stay 0.
    return true;
}

}  // namespace mrwd
