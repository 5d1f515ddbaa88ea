// GIF's variable-length LZW decoder (codes packed least significant bit
// first), writing palette indices straight into a frame's pixel rows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mrwd {

// Readable bytes that must follow the data handed to DecodeLzw: codes are
// fetched as 32-bit words, and one that starts near the end reaches past it.
// Their contents never end up in the picture.
constexpr std::size_t kLzwSlackBytes = 4;

// Decodes one frame's image data (its sub-block payloads joined, `size`
// bytes, followed by kLzwSlackBytes more) into `pixels`: width x height
// indices in rows `stride` bytes apart, in interlaced row order when asked.
// Stops with success at the end code or once the frame is full; pixels an
// early end code leaves out keep what they held. Returns the number of bits
// consumed, or 0 when the frame cannot be decoded: the data runs out first,
// a code names a table entry that is not defined yet, or the minimum code
// size is outside 0..8 (each pixel is one byte).
std::size_t DecodeLzw(const std::uint8_t* data, std::size_t size, std::uint8_t* pixels, int minCodeSize,
                      int stride, int width, int height, bool interlaced);

}  // namespace mrwd
