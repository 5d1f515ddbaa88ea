#include "gif_builder.h"

#include <algorithm>

namespace mrwd::testing {

Bytes PackCodes(int minCodeSize, const std::vector<int>& codes) {
    const int clear = 1 << minCodeSize;
    int width = minCodeSize + 1;
    int entries = clear + 2;
    bool firstAfterClear = true;
    Bytes out;
    std::uint32_t pending = 0;
    int pendingBits = 0;
    for (int code : codes) {
        pending |= static_cast<std::uint32_t>(code) << pendingBits;
        for (pendingBits += width; pendingBits >= 8; pendingBits -= 8) {
            out.push_back(static_cast<std::uint8_t>(pending));
            pending >>= 8;
        }
        if (code == clear) {
            width = minCodeSize + 1;
            entries = clear + 2;
            firstAfterClear = true;
            continue;
        }
        if (!firstAfterClear && entries < 4096) ++entries;
        firstAfterClear = false;
        if (entries >= (1 << width) && width < 12) ++width;
    }
    if (pendingBits > 0) out.push_back(static_cast<std::uint8_t>(pending));
    return out;
}

std::vector<int> LiteralCodes(int minCodeSize, const Bytes& pixels) {
    const int clear = 1 << minCodeSize;
    std::vector<int> codes;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (i % 1000 == 0) codes.push_back(clear);
        codes.push_back(pixels[i]);
    }
    codes.push_back(clear + 1);
    return codes;
}

std::uint8_t TestRed(int i) { return static_cast<std::uint8_t>(i); }
std::uint8_t TestGreen(int i) { return static_cast<std::uint8_t>(255 - i); }
std::uint8_t TestBlue(int i) { return static_cast<std::uint8_t>(7 * i); }

GifBuilder::GifBuilder(int width, int height, int globalBits) {
    bytes_ = {'G', 'I', 'F', '8', '9', 'a'};
    Word(width);
    Word(height);
    bytes_.push_back(globalBits > 0 ? static_cast<std::uint8_t>(0xF0 | (globalBits - 1)) : 0);
    bytes_.push_back(0);  // background colour
    bytes_.push_back(0);  // aspect ratio
    if (globalBits > 0) ColourTable(globalBits);
}

GifBuilder& GifBuilder::Extension(std::uint8_t label, const std::vector<Bytes>& subBlocks) {
    bytes_.push_back(0x21);
    bytes_.push_back(label);
    for (const Bytes& block : subBlocks) {
        bytes_.push_back(static_cast<std::uint8_t>(block.size()));
        bytes_.insert(bytes_.end(), block.begin(), block.end());
    }
    bytes_.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::Raw(const Bytes& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

GifBuilder& GifBuilder::Image(const TestFrame& frame) {
    bytes_.push_back(0x2C);
    Word(frame.left);
    Word(frame.top);
    Word(frame.width);
    Word(frame.height);
    std::uint8_t packed = frame.interlaced ? 0x40 : 0;
    if (frame.localBits > 0) packed |= static_cast<std::uint8_t>(0x80 | (frame.localBits - 1));
    bytes_.push_back(packed);
    if (frame.localBits > 0) ColourTable(frame.localBits);
    bytes_.push_back(static_cast<std::uint8_t>(frame.minCodeSize));
    // Short sub-blocks, so that codes straddle block boundaries.
    for (std::size_t at = 0; at < frame.data.size(); at += 100) {
        const std::size_t length = std::min<std::size_t>(100, frame.data.size() - at);
        bytes_.push_back(static_cast<std::uint8_t>(length));
        bytes_.insert(bytes_.end(), frame.data.begin() + at, frame.data.begin() + at + length);
    }
    bytes_.push_back(0);
    return *this;
}

Bytes GifBuilder::Finish() const {
    Bytes file = bytes_;
    file.push_back(0x3B);
    return file;
}

void GifBuilder::Word(int value) {
    bytes_.push_back(static_cast<std::uint8_t>(value));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
}

void GifBuilder::ColourTable(int bits) {
    for (int i = 0; i < (1 << bits); ++i) {
        bytes_.push_back(TestRed(i));
        bytes_.push_back(TestGreen(i));
        bytes_.push_back(TestBlue(i));
    }
}

}  // namespace mrwd::testing
