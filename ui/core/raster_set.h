// All frames of one GIF picture, read from a byte buffer. Only what the
// program's pictures need is read: the colour tables and the images (LZW,
// interlaced or not); extensions such as frame delays and looping are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "ui/core/raster.h"

namespace mrwd {

class CRasterSet {
public:
    CRasterSet() = default;
    virtual ~CRasterSet() = default;
    CRasterSet(const CRasterSet&) = delete;
    CRasterSet& operator=(const CRasterSet&) = delete;

    // Replaces the set's contents with the frames of the GIF in `data` and
    // returns how many it now holds. A buffer that does not start with "GIF"
    // or is cut short before its colour table loads nothing. A frame that
    // cannot be decoded is left out; the frames before and after it stay.
    int LoadGif(const std::uint8_t* data, std::size_t size);

    void Clear();

    // The logical screen size from the GIF's header.
    int Width() const { return width_; }
    int Height() const { return height_; }

    int FrameCount() const { return static_cast<int>(frames_.size()); }
    // The frame at `index` in file order, or null when there is none.
    const CRaster* Frame(int index) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::unique_ptr<CRaster>> frames_;
};

}  // namespace mrwd
