// The decoder against giflib, on the program's pictures and on files
// written by ImageMagick: every frame's place, size, colours and pixels.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "tests/gif/gif_files.h"
#include "ui/core/raster_set.h"

namespace mrwd {
namespace {

using testing::ReadBytes;

struct GiflibFile {
    explicit GiflibFile(const std::string& path) {
        int error = 0;
        gif = DGifOpenFileName(path.c_str(), &error);
        if (gif != nullptr && DGifSlurp(gif) != GIF_OK) Close();
    }
    ~GiflibFile() { Close(); }
    void Close() {
        if (gif != nullptr) DGifCloseFile(gif, nullptr);
        gif = nullptr;
    }
    GifFileType* gif = nullptr;
};

// What the files exercised, so that a generator that quietly writes less fails the test.
struct Seen {
    std::set<int> bits;
    int interlaced = 0;
    int localTables = 0;
    int transparent = 0;
    int offsets = 0;
    int mostFrames = 0;
};

void CompareWithGiflib(const std::filesystem::path& path, Seen* seen) {
    SCOPED_TRACE(path.filename().string());
    GiflibFile reference(path.string());
    ASSERT_NE(reference.gif, nullptr);
    const GifFileType& gif = *reference.gif;
    const std::vector<std::uint8_t> bytes = ReadBytes(path);

    CRasterSet set;
    ASSERT_EQ(set.LoadGif(bytes.data(), bytes.size()), gif.ImageCount);
    EXPECT_EQ(set.Width(), gif.SWidth);
    EXPECT_EQ(set.Height(), gif.SHeight);
    seen->mostFrames = std::max(seen->mostFrames, gif.ImageCount);

    for (int i = 0; i < gif.ImageCount; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const SavedImage& image = gif.SavedImages[i];
        const GifImageDesc& desc = image.ImageDesc;
        const CRaster& frame = *set.Frame(i);
        EXPECT_EQ(frame.Left(), desc.Left);
        EXPECT_EQ(frame.Top(), desc.Top);
        ASSERT_EQ(frame.Width(), desc.Width);
        ASSERT_EQ(frame.Height(), desc.Height);

        const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif.SColorMap;
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(frame.Bits(), map->BitsPerPixel);
        for (int c = 0; c < map->ColorCount; ++c) {
            const std::uint8_t* entry = frame.Palette() + 4 * c;
            const GifColorType& colour = map->Colors[c];
            EXPECT_TRUE(entry[0] == colour.Blue && entry[1] == colour.Green && entry[2] == colour.Red && entry[3] == 0)
                << "colour " << c;
        }
        for (int y = 0; y < desc.Height; ++y) {
            ASSERT_EQ(0, std::memcmp(frame.Pixels() + y * frame.Stride(), image.RasterBits + y * desc.Width,
                                     static_cast<std::size_t>(desc.Width)))
                << "row " << y;
        }

        seen->bits.insert(map->BitsPerPixel);
        seen->interlaced += desc.Interlace ? 1 : 0;
        seen->localTables += desc.ColorMap != nullptr ? 1 : 0;
        seen->offsets += desc.Left != 0 || desc.Top != 0 ? 1 : 0;
        GraphicsControlBlock control;
        if (DGifSavedExtensionToGCB(reference.gif, i, &control) == GIF_OK && control.TransparentColor >= 0)
            ++seen->transparent;
    }
}

TEST(GifReference, ProgramPicturesDecodeAsGiflibDecodesThem) {
    Seen seen;
    const auto files = testing::PictureFiles();
    ASSERT_EQ(files.size(), 3u);
    for (const auto& path : files) CompareWithGiflib(path, &seen);
    EXPECT_EQ(seen.bits, std::set<int>{8});
    EXPECT_EQ(seen.mostFrames, 8);
}

TEST(GifReference, ImageMagickFilesDecodeAsGiflibDecodesThem) {
    Seen seen;
    const auto files = testing::ReferenceFiles();
    ASSERT_EQ(files.size(), static_cast<std::size_t>(MRWD_REFERENCE_COUNT));
    for (const auto& path : files) CompareWithGiflib(path, &seen);
    EXPECT_EQ(seen.bits, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_GE(seen.interlaced, 2);
    EXPECT_GE(seen.localTables, 3);
    EXPECT_GE(seen.transparent, 1);
    EXPECT_GE(seen.offsets, 2);
    EXPECT_GE(seen.mostFrames, 40);
}

}  // namespace
}  // namespace mrwd
