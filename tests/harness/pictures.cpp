#include "pictures.h"

#include "base/win/handles.h"
#include "resources/resource_ids.h"
#include "ui/win/raster_resource.h"

namespace mrwd::testing {

Pixels PixelsOfFrame(const CRaster& frame, int width, int height) {
    Pixels p{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, 0)};
    const std::uint8_t* palette = frame.Palette();
    for (int row = 0; row < frame.Height(); ++row) {
        for (int column = 0; column < frame.Width(); ++column) {
            const int x = frame.Left() + column;
            const int y = frame.Top() + row;
            if (x < 0 || y < 0 || x >= width || y >= height) continue;
            const std::uint8_t index = frame.Pixels()[row * frame.Stride() + column];
            const std::uint8_t* entry = palette + 4 * index;  // blue, green, red, 0
            p.values[static_cast<std::size_t>(y) * width + x] =
                (std::uint32_t{entry[2]} << 16) | (std::uint32_t{entry[1]} << 8) | entry[0];
        }
    }
    return p;
}

Pixels ReadPixels(HDC dc, int x, int y, int width, int height) {
    Pixels p{width, height, {}};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject bitmap(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    if (!bitmap || !memory) return p;
    HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
    const bool copied = ::BitBlt(memory.get(), 0, 0, width, height, dc, x, y, SRCCOPY) != FALSE;
    ::GdiFlush();
    if (copied) {
        const auto* values = static_cast<const std::uint32_t*>(bits);
        p.values.reserve(static_cast<std::size_t>(width) * height);
        for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
            p.values.push_back(values[i] & 0x00FFFFFF);
        }
    }
    ::SelectObject(memory.get(), old);
    return p;
}

Pixels ReadWindowFromScreen(HWND window) {
    RECT rect;
    if (!::GetWindowRect(window, &rect)) return Pixels{};
    WindowDc screen;
    return ReadPixels(screen.get(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

bool ShowsFrame(const CRaster& frame, const Pixels& shown) {
    return !shown.values.empty() && PixelsOfFrame(frame, shown.width, shown.height).values == shown.values;
}

std::vector<int> MatchingFrames(const CRasterSet& picture, const Pixels& shown) {
    std::vector<int> matching;
    for (int i = 0; i < picture.FrameCount(); ++i) {
        if (ShowsFrame(*picture.Frame(i), shown)) matching.push_back(i);
    }
    return matching;
}

bool LoadFloatPictures(FloatPictures& pictures, const std::string& path) {
    UniqueModule module;
    HMODULE from = nullptr;
    if (!path.empty()) {
        module.reset(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!module) return false;
        from = module.get();
    } else {
        from = ::GetModuleHandleA(nullptr);
    }
    return LoadGif(pictures.on, from, "GIF", IDG_PICTURE_ON) > 0 &&
           LoadGif(pictures.reboot, from, "GIF", IDG_PICTURE_REBOOT) > 0 &&
           LoadGif(pictures.off, from, "GIF", IDG_PICTURE_OFF) > 0;
}

}  // namespace mrwd::testing
