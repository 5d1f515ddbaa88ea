// Small GIF files put together byte by byte for the decoder's tests,
// including damaged ones that no encoder would write.
#pragma once

#include <cstdint>
#include <vector>

namespace mrwd::testing {

using Bytes = std::vector<std::uint8_t>;

// Packs LZW codes least significant bit first, each as wide as a decoder
// reads it: the table gains an entry with every code but the first after a
// clear, and codes widen by a bit once it has filled the current width.
Bytes PackCodes(int minCodeSize, const std::vector<int>& codes);

// A valid, uncompressed encoding of `pixels`: each one as its own code,
// with a clear code often enough that the table never fills, then the end.
std::vector<int> LiteralCodes(int minCodeSize, const Bytes& pixels);

// The colour tables of these files give entry i the colour
// (i, 255 - i, 7 * i mod 256), so that entries can be told apart.
std::uint8_t TestRed(int i);
std::uint8_t TestGreen(int i);
std::uint8_t TestBlue(int i);

struct TestFrame {
    int left = 0;
    int top = 0;
    int width = 1;
    int height = 1;
    int localBits = 0;  // 0: no local colour table
    bool interlaced = false;
    int minCodeSize = 8;
    Bytes data;  // the LZW data, split into sub-blocks when written
};

class GifBuilder {
public:
    // A screen of the given size with a global table of 2^globalBits
    // entries, or none when globalBits is 0.
    GifBuilder(int width, int height, int globalBits);

    GifBuilder& Extension(std::uint8_t label, const std::vector<Bytes>& subBlocks);
    GifBuilder& Raw(const Bytes& bytes);
    GifBuilder& Image(const TestFrame& frame);
    // The file so far plus the trailer.
    Bytes Finish() const;

    const Bytes& Written() const { return bytes_; }

private:
    void Word(int value);
    void ColourTable(int bits);

    Bytes bytes_;
};

}  // namespace mrwd::testing
