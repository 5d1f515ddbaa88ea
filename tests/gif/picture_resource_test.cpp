// The pictures as the program loads them from its own resources, and
// frames drawn with GDI into a memory bitmap.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "resources/resource_ids.h"
#include "tests/gif/gif_builder.h"
#include "ui/win/raster_draw.h"
#include "ui/win/raster_resource.h"

namespace mrwd {
namespace {

// Colours resources/draw_pictures.py draws the frame with.
constexpr COLORREF kBorder = RGB(0xC8, 0x1E, 0x1E);
constexpr COLORREF kBackground = RGB(0xF2, 0xF3, 0xEE);
constexpr COLORREF kUntouched = RGB(1, 2, 3);

// A 32-bit top-down memory bitmap, filled with kUntouched.
class Canvas {
public:
    Canvas(int width, int height) : width_(width) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = ::CreateCompatibleDC(nullptr);
        bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = ::SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i) bits_[i] = 0x010203;
    }
    ~Canvas() {
        ::SelectObject(dc_, old_);
        ::DeleteObject(bitmap_);
        ::DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Valid() const { return dc_ != nullptr && bits_ != nullptr; }
    HDC Dc() const { return dc_; }
    COLORREF At(int x, int y) const {
        ::GdiFlush();
        const DWORD pixel = bits_[y * width_ + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }

private:
    int width_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

// The colour the frame's own table gives the pixel at (x, y).
COLORREF DecodedColour(const CRaster& frame, int x, int y) {
    const std::uint8_t* entry = frame.Palette() + 4 * frame.Pixels()[y * frame.Stride() + x];
    return RGB(entry[2], entry[1], entry[0]);
}

TEST(GifPictures, TheProgramsResourcesHoldTheThreePictures) {
    const HMODULE self = ::GetModuleHandleA(nullptr);
    const struct {
        int id;
        int frames;
    } pictures[] = {{IDG_PICTURE_ON, 8}, {IDG_PICTURE_REBOOT, 1}, {IDG_PICTURE_OFF, 1}};
    for (const auto& picture : pictures) {
        CRasterSet set;
        ASSERT_EQ(LoadGif(set, self, "GIF", picture.id), picture.frames) << picture.id;
        EXPECT_EQ(set.Width(), 60);
        EXPECT_EQ(set.Height(), 60);
        for (int i = 0; i < set.FrameCount(); ++i) {
            const CRaster& frame = *set.Frame(i);
            EXPECT_TRUE(frame.Width() == 60 && frame.Height() == 60 && frame.Left() == 0 && frame.Top() == 0 &&
                        frame.Bits() == 8)
                << picture.id << " frame " << i;
        }
    }

    // The camera turns: the frames at the two far sides differ.
    CRasterSet on;
    ASSERT_EQ(LoadGif(on, self, "GIF", IDG_PICTURE_ON), 8);
    EXPECT_NE(std::memcmp(on.Frame(2)->Pixels(), on.Frame(6)->Pixels(), 60 * 60), 0);

    EXPECT_EQ(LoadGif(on, self, "GIF", IDG_PICTURE_OFF + 1), 0);
    EXPECT_EQ(on.FrameCount(), 0);
    EXPECT_EQ(LoadGif(on, self, "PNG", IDG_PICTURE_ON), 0);
}

TEST(GifPictures, DrawPutsEveryPixelOfTheFrameInPlace) {
    for (int id : {IDG_PICTURE_ON, IDG_PICTURE_REBOOT, IDG_PICTURE_OFF}) {
        SCOPED_TRACE(id);
        CRasterSet set;
        ASSERT_GE(LoadGif(set, ::GetModuleHandleA(nullptr), "GIF", id), 1);
        const CRaster& frame = *set.Frame(0);
        Canvas canvas(80, 70);
        ASSERT_TRUE(canvas.Valid());
        const int left = 7, top = 5;
        EXPECT_EQ(Draw(frame, canvas.Dc(), left, top), 60);

        int wrong = 0;
        for (int y = 0; y < 70; ++y) {
            for (int x = 0; x < 80; ++x) {
                const bool inside = x >= left && x < left + 60 && y >= top && y < top + 60;
                const COLORREF expected = inside ? DecodedColour(frame, x - left, y - top) : kUntouched;
                wrong += canvas.At(x, y) != expected;
            }
        }
        EXPECT_EQ(wrong, 0);
        // What the picture script drew: the red border, the light inside.
        EXPECT_EQ(canvas.At(left, top), kBorder);
        EXPECT_EQ(canvas.At(left + 59, top + 59), kBorder);
        EXPECT_EQ(canvas.At(left + 3, top + 3), kBackground);
    }
}

TEST(GifPictures, AFrameOfFewColoursDrawsWithItsOwnTableAndBlackBeyondIt) {
    // A 1-bit local table, and an index (200) that the table does not have.
    testing::TestFrame small;
    small.width = 4;
    small.localBits = 1;
    small.data = testing::PackCodes(8, testing::LiteralCodes(8, {0, 1, 200, 1}));
    const testing::Bytes file = testing::GifBuilder(4, 1, 0).Image(small).Finish();
    CRasterSet set;
    ASSERT_EQ(set.LoadGif(file.data(), file.size()), 1);

    Canvas canvas(4, 1);
    ASSERT_TRUE(canvas.Valid());
    EXPECT_EQ(Draw(*set.Frame(0), canvas.Dc(), 0, 0), 1);
    const COLORREF zero = RGB(testing::TestRed(0), testing::TestGreen(0), testing::TestBlue(0));
    const COLORREF one = RGB(testing::TestRed(1), testing::TestGreen(1), testing::TestBlue(1));
    EXPECT_EQ(canvas.At(0, 0), zero);
    EXPECT_EQ(canvas.At(1, 0), one);
    EXPECT_EQ(canvas.At(2, 0), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(3, 0), one);

    EXPECT_EQ(Draw(CRaster(), canvas.Dc(), 0, 0), 0);
}

}  // namespace
}  // namespace mrwd
