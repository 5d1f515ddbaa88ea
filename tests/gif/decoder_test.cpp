// The GIF decoder on files built byte by byte: layouts the program's own
// pictures do not use, and damaged data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "tests/gif/gif_builder.h"
#include "ui/core/raster_set.h"

namespace mrwd {
namespace {

using testing::Bytes;
using testing::GifBuilder;
using testing::LiteralCodes;
using testing::PackCodes;
using testing::TestFrame;

// Loads from an allocation of exactly the file's size, so that the
// sanitizer sees any read past the end.
int LoadExact(CRasterSet& set, const Bytes& file) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[file.size()]);
    if (!file.empty()) std::memcpy(copy.get(), file.data(), file.size());
    return set.LoadGif(copy.get(), file.size());
}

TestFrame Literal(int width, int height, const Bytes& pixelsInFileOrder, int minCodeSize = 8) {
    TestFrame frame;
    frame.width = width;
    frame.height = height;
    frame.minCodeSize = minCodeSize;
    frame.data = PackCodes(minCodeSize, LiteralCodes(minCodeSize, pixelsInFileOrder));
    return frame;
}

// The rows of an interlaced frame in the order the file holds them.
std::vector<int> InterlacedRows(int height) {
    std::vector<int> rows;
    const int passes[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    for (const auto& pass : passes)
        for (int y = pass[0]; y < height; y += pass[1]) rows.push_back(y);
    return rows;
}

Bytes Row(const CRaster& frame, int y) {
    const std::uint8_t* row = frame.Pixels() + y * frame.Stride();
    return Bytes(row, row + frame.Width());
}

std::uint32_t Entry(const CRaster& frame, int index) {
    std::uint32_t value;
    std::memcpy(&value, frame.Palette() + 4 * index, 4);
    return value;
}

std::uint32_t TestEntry(int i) {  // blue, green, red, 0 as a little-endian word
    return testing::TestBlue(i) | (testing::TestGreen(i) << 8) | (testing::TestRed(i) << 16);
}

TEST(GifDecoder, InterlacedFramesOfEveryShortHeightLandInTheirRows) {
    for (int height = 1; height <= 17; ++height) {
        const int width = 3;
        Bytes pixels;
        for (int y : InterlacedRows(height))
            for (int x = 0; x < width; ++x) pixels.push_back(static_cast<std::uint8_t>(y * 10 + x));
        TestFrame frame = Literal(width, height, pixels);
        frame.interlaced = true;
        CRasterSet set;
        ASSERT_EQ(LoadExact(set, GifBuilder(width, height, 8).Image(frame).Finish()), 1) << "height " << height;
        for (int y = 0; y < height; ++y) {
            const Bytes expected = {std::uint8_t(y * 10), std::uint8_t(y * 10 + 1), std::uint8_t(y * 10 + 2)};
            EXPECT_EQ(Row(*set.Frame(0), y), expected) << "height " << height << " row " << y;
        }
    }
}

TEST(GifDecoder, LocalTableWithFewBitsGivesAFrameReadyToDraw) {
    Bytes pixels;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 5; ++x) pixels.push_back(static_cast<std::uint8_t>((x + 3 * y) % 4));
    TestFrame frame = Literal(5, 6, pixels, 2);
    frame.left = 2;
    frame.top = 3;
    frame.localBits = 2;
    CRasterSet set;
    ASSERT_EQ(LoadExact(set, GifBuilder(9, 10, 8).Image(frame).Finish()), 1);
    EXPECT_EQ(set.Width(), 9);
    EXPECT_EQ(set.Height(), 10);

    const CRaster& raster = *set.Frame(0);
    EXPECT_EQ(raster.Width(), 5);
    EXPECT_EQ(raster.Height(), 6);
    EXPECT_EQ(raster.Bits(), 2);
    EXPECT_EQ(raster.Stride(), 8);
    EXPECT_EQ(raster.Left(), 2);
    EXPECT_EQ(raster.Top(), 3);
    for (int y = 0; y < 6; ++y) EXPECT_EQ(Row(raster, y), Bytes(pixels.begin() + 5 * y, pixels.begin() + 5 * y + 5));

    // Header of a top-down 8-bit bitmap; the table's unused entries stay black.
    const std::uint8_t* h = raster.BitmapInfo();
    const Bytes header(h, h + 16);
    EXPECT_EQ(header, (Bytes{40, 0, 0, 0, 5, 0, 0, 0, 0xFA, 0xFF, 0xFF, 0xFF, 1, 0, 8, 0}));
    EXPECT_EQ(Bytes(h + 16, h + 40), Bytes(24, 0));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Entry(raster, i), TestEntry(i));
    for (int i = 4; i < 256; ++i) EXPECT_EQ(Entry(raster, i), 0u) << i;
}

TEST(GifDecoder, CodeNotYetInTheTableIsThePreviousStringPlusItsFirstByte) {
    // Minimum size 2: clear 4, end 5, entries from 6. After 1, 2 and 6
    // ("1 2"), code 8 arrives while it is the entry about to be defined.
    TestFrame frame;
    frame.width = 8;
    frame.minCodeSize = 2;
    frame.data = PackCodes(2, {4, 1, 2, 6, 8, 5});
    CRasterSet set;
    ASSERT_EQ(LoadExact(set, GifBuilder(8, 1, 2).Image(frame).Finish()), 1);
    // The end code leaves the last pixel as it was created: cleared.
    EXPECT_EQ(Row(*set.Frame(0), 0), (Bytes{1, 2, 1, 2, 1, 2, 1, 0}));
}

TEST(GifDecoder, DecodingStopsAtTheEndCodeOrOnceTheFrameIsFull) {
    TestFrame early;  // the end code after 2 of 6 pixels
    early.width = 3;
    early.height = 2;
    early.data = PackCodes(8, {256, 7, 9, 257});
    TestFrame extra;  // codes beyond the last pixel, and no end code at all
    extra.width = 2;
    extra.data = PackCodes(8, {256, 1, 2, 3, 3, 3, 3});
    CRasterSet set;
    ASSERT_EQ(LoadExact(set, GifBuilder(3, 2, 8).Image(early).Image(extra).Finish()), 2);
    EXPECT_EQ(Row(*set.Frame(0), 0), (Bytes{7, 9, 0}));
    EXPECT_EQ(Row(*set.Frame(0), 1), (Bytes{0, 0, 0}));
    EXPECT_EQ(Row(*set.Frame(1), 0), (Bytes{1, 2}));
}

TEST(GifDecoder, AFullTableIsUsedAsItStandsUntilTheNextClear) {
    // 5000 pixels sent one code each and never cleared: the table fills at
    // 4096 entries and 12-bit codes go on. Entry 258 + j holds pixels j and
    // j + 1, so after the table is full 4095 and 300 name those pairs.
    std::mt19937 random(7);
    Bytes pixels(5000);
    for (auto& pixel : pixels) pixel = static_cast<std::uint8_t>(random());
    std::vector<int> codes = {256};
    codes.insert(codes.end(), pixels.begin(), pixels.end());
    codes.insert(codes.end(), {4095, 300, 257});
    TestFrame frame;
    frame.width = 4;
    frame.height = 1251;
    frame.data = PackCodes(8, codes);
    CRasterSet set;
    ASSERT_EQ(LoadExact(set, GifBuilder(4, 1251, 8).Image(frame).Finish()), 1);

    Bytes expected = pixels;
    expected.insert(expected.end(), {pixels[3837], pixels[3838], pixels[42], pixels[43]});
    for (int y = 0; y < 1251; ++y)
        ASSERT_EQ(Row(*set.Frame(0), y), Bytes(expected.begin() + 4 * y, expected.begin() + 4 * y + 4)) << y;
}

TEST(GifDecoder, ColourTablesGlobalLocalOrTheGreyRamp) {
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    CRasterSet grey;
    ASSERT_EQ(LoadExact(grey, GifBuilder(16, 16, 0).Image(Literal(16, 16, all)).Finish()), 1);
    EXPECT_EQ(grey.Frame(0)->Bits(), 8);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(Entry(*grey.Frame(0), i), i * 0x010101u) << i;

    CRasterSet small;
    ASSERT_EQ(LoadExact(small, GifBuilder(2, 1, 3).Image(Literal(2, 1, {5, 7}, 3)).Finish()), 1);
    EXPECT_EQ(small.Frame(0)->Bits(), 3);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Entry(*small.Frame(0), i), TestEntry(i));
    EXPECT_EQ(Entry(*small.Frame(0), 8), 0u);
}

TEST(GifDecoder, ExtensionsAndStrayBytesAreSteppedOver) {
    const TestFrame frame = Literal(4, 2, {1, 2, 3, 4, 5, 6, 7, 8});
    const Bytes looping = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    const Bytes decorated = GifBuilder(4, 2, 8)
                                .Extension(0xFF, {looping, {1, 0, 0}})
                                .Extension(0xF9, {{0, 50, 0, 0}})  // graphic control: delay 500 ms
                                .Extension(0xFE, {Bytes(255, 'c'), Bytes(3, 'c')})  // comment
                                .Raw({0x00, 0x17, 0x99})  // not block introducers
                                .Image(frame)
                                .Extension(0x01, {Bytes(12, 0), Bytes(5, 't')})  // plain text
                                .Image(frame)
                                .Finish();
    CRasterSet plain, set;
    ASSERT_EQ(LoadExact(plain, GifBuilder(4, 2, 8).Image(frame).Finish()), 1);
    ASSERT_EQ(LoadExact(set, decorated), 2);
    for (int i = 0; i < 2; ++i)
        for (int y = 0; y < 2; ++y) EXPECT_EQ(Row(*set.Frame(i), y), Row(*plain.Frame(0), y));
}

TEST(GifDecoder, FramesThatCannotBeDecodedAreLeftOutAndTheOthersKept) {
    std::vector<TestFrame> broken(6);
    broken[0] = Literal(0, 1, {});  // no pixels
    broken[1].width = 2;
    broken[1].data = PackCodes(8, {256, 1, 300, 257});  // 300 is not defined yet
    broken[2].width = 2;
    broken[2].data = PackCodes(8, {256, 258, 257});  // nothing to extend after a clear
    broken[3].width = 4;
    broken[3].data = PackCodes(8, {256, 1, 2});  // the data ends after 2 of 4 pixels
    broken[4] = Literal(2, 1, {1, 2});
    broken[4].minCodeSize = 9;  // pixels are bytes
    broken[5] = Literal(1, 1, {1});
    broken[5].width = broken[5].height = 65535;  // too large to hold

    GifBuilder file(4, 2, 8);
    file.Image(Literal(2, 1, {1, 2}));
    for (const TestFrame& frame : broken) file.Image(frame);
    file.Image(Literal(1, 2, {3, 4}));
    CRasterSet set;
    ASSERT_EQ(LoadExact(set, file.Finish()), 2);
    EXPECT_EQ(Row(*set.Frame(0), 0), (Bytes{1, 2}));
    EXPECT_EQ(Row(*set.Frame(1), 1), (Bytes{4}));
}

TEST(GifDecoder, ACutShortFileKeepsTheFramesThatEndBeforeTheCut) {
    Bytes first(24), second(35);
    for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<std::uint8_t>(i * 5);
    for (std::size_t i = 0; i < second.size(); ++i) second[i] = static_cast<std::uint8_t>(i % 8);
    TestFrame local = Literal(5, 7, second, 3);
    local.localBits = 3;
    local.interlaced = true;
    GifBuilder builder(6, 7, 8);
    builder.Image(Literal(6, 4, first));
    const std::size_t firstEnds = builder.Written().size();
    builder.Extension(0xF9, {{0, 50, 0, 0}}).Image(local);
    const std::size_t secondEnds = builder.Written().size();
    const Bytes file = builder.Finish();

    const std::size_t tablesEnd = 13 + 3 * 256;
    for (std::size_t length = 0; length <= file.size(); ++length) {
        CRasterSet set;
        const int expected = length < tablesEnd ? 0 : (length >= firstEnds) + (length >= secondEnds);
        EXPECT_EQ(LoadExact(set, Bytes(file.begin(), file.begin() + length)), expected) << length;
    }
    CRasterSet set;
    ASSERT_EQ(LoadExact(set, file), 2);
    Bytes notGif = file;
    notGif[1] = 'J';
    EXPECT_EQ(LoadExact(set, notGif), 0);
    EXPECT_EQ(set.FrameCount(), 0);
}

}  // namespace
}  // namespace mrwd
