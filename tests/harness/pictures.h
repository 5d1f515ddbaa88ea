// The float window's pictures as the tests expect to see them on the screen:
// decoded frames turned into colours, and what a device context shows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/core/raster_set.h"

namespace mrwd::testing {

// One 0x00RRGGBB value per pixel, rows top to bottom.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> values;
};

// The colours of a decoded frame, placed at its offset in a width x height
// picture (parts the frame does not cover are 0).
Pixels PixelsOfFrame(const CRaster& frame, int width, int height);

// What `dc` shows in the width x height rectangle at (x, y).
Pixels ReadPixels(HDC dc, int x, int y, int width, int height);
// What the screen shows where `window` is.
Pixels ReadWindowFromScreen(HWND window);

// Whether `shown` is exactly `frame`.
bool ShowsFrame(const CRaster& frame, const Pixels& shown);
// The indexes of the frames of `picture` that `shown` equals (an animation
// may show the same picture twice in its turn); empty when none.
std::vector<int> MatchingFrames(const CRasterSet& picture, const Pixels& shown);

// The three pictures (on, reboot, off) as loaded from a module's resources.
struct FloatPictures {
    CRasterSet on;
    CRasterSet reboot;
    CRasterSet off;
};
// From this program's own resources (null) or from the executable at `path`.
bool LoadFloatPictures(FloatPictures& pictures, const std::string& path = std::string());

}  // namespace mrwd::testing
