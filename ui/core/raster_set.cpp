#include "raster_set.h"

#include <cstring>

#include "ui/core/byte_reader.h"
#include "ui/core/lzw_decoder.h"

namespace mrwd {
namespace {

constexpr std::uint8_t kExtensionIntroducer = 0x21;
constexpr std::uint8_t kImageIntroducer = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr std::uint8_t kGraphicControlLabel = 0xF9;
constexpr std::uint8_t kColourTableFlag = 0x80;
constexpr std::uint8_t kInterlacedFlag = 0x40;
constexpr std::size_t kScreenDescriptorAt = 6;  // after "GIF" and the version

// A colour table as GIF stores it (red, green, blue) turned into the
// bitmap order GDI reads (blue, green, red, 0).
void ConvertColours(const std::uint8_t* rgb, int count, std::uint8_t* bgrx) {
    for (int i = 0; i < count; ++i, rgb += 3, bgrx += 4) {
        bgrx[0] = rgb[2];
        bgrx[1] = rgb[1];
        bgrx[2] = rgb[0];
        bgrx[3] = 0;
    }
}

// The colours a GIF without a table of its own is shown in.
void FillGreyRamp(std::uint8_t* bgrx) {
    for (int i = 0; i < CRaster::kTableEntries; ++i, bgrx += 4) {
        bgrx[0] = bgrx[1] = bgrx[2] = static_cast<std::uint8_t>(i);
        bgrx[3] = 0;
    }
}

// Steps over data sub-blocks (a length byte, then that many bytes) up to
// their empty terminator. False when the buffer ends first.
bool SkipSubBlocks(ByteReader& in) {
    for (;;) {
        std::uint8_t length = 0;
        if (!in.ReadByte(&length)) return false;
        if (length == 0) return true;
        if (!in.Skip(length)) return false;
    }
}

// Joins the image data sub-blocks into one buffer, followed by the slack
// bytes the decoder reads ahead into. False when the buffer ends first.
bool ReadImageData(ByteReader& in, std::vector<std::uint8_t>* joined) {
    joined->clear();
    for (;;) {
        std::uint8_t length = 0;
        const std::uint8_t* bytes = nullptr;
        if (!in.ReadByte(&length)) return false;
        if (length == 0) break;
        if (!in.Take(length, &bytes)) return false;
        joined->insert(joined->end(), bytes, bytes + length);
    }
    joined->resize(joined->size() + kLzwSlackBytes, 0);
    return true;
}

struct GlobalTable {
    int bits = 8;
    std::uint8_t bgrx[4 * CRaster::kTableEntries] = {};
};

enum class FrameResult { kDecoded, kDropped, kTruncated };

// Reads one image (descriptor, colour table, data) starting after its
// introducer. The frame is decoded only when its whole structure is inside
// the buffer, so even a frame that cannot be used is stepped over properly.
FrameResult ReadFrame(ByteReader& in, const GlobalTable& global, std::unique_ptr<CRaster>* frame) {
    int left = 0, top = 0, width = 0, height = 0;
    std::uint8_t packed = 0;
    if (!in.ReadWord(&left) || !in.ReadWord(&top) || !in.ReadWord(&width) || !in.ReadWord(&height) ||
        !in.ReadByte(&packed)) {
        return FrameResult::kTruncated;
    }
    const bool localTable = (packed & kColourTableFlag) != 0;
    const int bits = localTable ? (packed & 7) + 1 : global.bits;
    const int entries = 1 << bits;
    const std::uint8_t* localColours = nullptr;
    if (localTable && !in.Take(3 * static_cast<std::size_t>(entries), &localColours)) return FrameResult::kTruncated;

    std::uint8_t minCodeSize = 0;
    std::vector<std::uint8_t> data;
    if (!in.ReadByte(&minCodeSize) || !ReadImageData(in, &data)) return FrameResult::kTruncated;

    auto raster = std::make_unique<CRaster>();
    if (!raster->Create(width, height, bits)) return FrameResult::kDropped;
    raster->SetPosition(left, top);
    if (localTable) {
        ConvertColours(localColours, entries, raster->Palette());
    } else {
        std::memcpy(raster->Palette(), global.bgrx, 4 * static_cast<std::size_t>(entries));
    }
    if (DecodeLzw(data.data(), data.size() - kLzwSlackBytes, raster->Pixels(), minCodeSize, raster->Stride(),
                  width, height, (packed & kInterlacedFlag) != 0) == 0) {
        return FrameResult::kDropped;
    }
    *frame = std::move(raster);
    return FrameResult::kDecoded;
}

}  // namespace

void CRasterSet::Clear() {
    frames_.clear();
    width_ = height_ = 0;
}

const CRaster* CRasterSet::Frame(int index) const {
    if (index < 0 || index >= FrameCount()) return nullptr;
    return frames_[static_cast<std::size_t>(index)].get();
}

int CRasterSet::LoadGif(const std::uint8_t* data, std::size_t size) {
    Clear();
    if (data == nullptr || size < 3 || std::memcmp(data, "GIF", 3) != 0) return 0;

    ByteReader in(data, size);
    std::uint8_t screenPacked = 0;
    int width = 0, height = 0;
    if (!in.Skip(kScreenDescriptorAt) || !in.ReadWord(&width) || !in.ReadWord(&height) ||
        !in.ReadByte(&screenPacked) || !in.Skip(2)) {
        return 0;
    }
    width_ = width;
    height_ = height;

    GlobalTable global;
    if (screenPacked & kColourTableFlag) {
        global.bits = (screenPacked & 7) + 1;
        const std::uint8_t* colours = nullptr;
        if (!in.Take(3 * (std::size_t{1} << global.bits), &colours)) return 0;
        ConvertColours(colours, 1 << global.bits, global.bgrx);
    } else {
        // Without a table the size bits mean nothing; frames without a
        // local table get the whole ramp.
        FillGreyRamp(global.bgrx);
    }

    while (!in.AtEnd()) {
        std::uint8_t introducer = 0;
        in.ReadByte(&introducer);
        if (introducer == kTrailer) break;
        if (introducer == kExtensionIntroducer) {
            std::uint8_t label = 0;
            if (!in.ReadByte(&label)) break;
            if (label == kGraphicControlLabel) {
                in.SkipAtMost(6);  // size byte, 4 data bytes, terminator
            } else if (!SkipSubBlocks(in)) {
                break;
            }
        } else if (introducer == kImageIntroducer) {
            std::unique_ptr<CRaster> frame;
            const FrameResult result = ReadFrame(in, global, &frame);
            if (result == FrameResult::kTruncated) break;
            if (result == FrameResult::kDecoded) frames_.push_back(std::move(frame));
        }
        // Any other byte is not a block start; step over it.
    }
    return FrameCount();
}

}  // namespace mrwd
