// Drawing a decoded GIF frame onto a device context.
#pragma once

#include <windows.h>

#include "ui/core/raster.h"

namespace mrwd {

// Draws the whole frame with its top-left corner at (x, y). Returns the
// number of scan lines drawn, as SetDIBitsToDevice does; 0 for a frame
// that was never created or when drawing fails.
int Draw(const CRaster& raster, HDC dc, int x, int y);

}  // namespace mrwd
