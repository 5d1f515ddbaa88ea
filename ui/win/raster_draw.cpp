#include "raster_draw.h"

namespace mrwd {

int Draw(const CRaster& raster, HDC dc, int x, int y) {
    if (raster.Pixels() == nullptr || raster.BitmapInfo() == nullptr) return 0;
    // The header block is laid out as a BITMAPINFO: the header, then a full
    // 256-entry colour table.
    const auto* info = reinterpret_cast<const BITMAPINFO*>(raster.BitmapInfo());
    const auto lines = static_cast<UINT>(raster.Height());
    return ::SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(raster.Width()), lines, 0, 0, 0, lines,
                               raster.Pixels(), info, DIB_RGB_COLORS);
}

}  // namespace mrwd
