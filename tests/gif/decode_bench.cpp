// Measures how long the decoder takes for the program's animated picture
// and for a large animation, beside giflib decoding the same bytes from
// memory into the same result (every frame's pixels and colour table): the
// median of many runs each, in microseconds, and their ratio.
//   gif_decode_bench [--machine] [RUNS]
// --machine also prints "result gif-<ours|giflib|ratio>-<file> <value> <unit>"
// lines for bench/report.
#include <gif_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/gif/gif_files.h"
#include "ui/core/raster_set.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Each run is timed from the start of decoding to the release of what it
// decoded, for both decoders alike.
template <typename Decode>
double MedianMicroseconds(int runs, Decode decode) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        decode();
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct MemoryReader {
    const Bytes* bytes;
    std::size_t offset;
};

int ReadFromMemory(GifFileType* gif, GifByteType* into, int wanted) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(wanted), reader->bytes->size() - reader->offset);
    std::memcpy(into, reader->bytes->data() + reader->offset, n);
    reader->offset += n;
    return static_cast<int>(n);
}

// Frames giflib decoded, or -1.
int GiflibDecode(const Bytes& bytes) {
    MemoryReader reader{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
    if (gif == nullptr) return -1;
    const int frames = DGifSlurp(gif) == GIF_OK ? gif->ImageCount : -1;
    DGifCloseFile(gif, &error);
    return frames;
}

}  // namespace

int main(int argc, char** argv) {
    bool machine = false;
    int runs = 501;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--machine") == 0) machine = true;
        else runs = std::max(1, std::atoi(argv[i]));
    }
    const std::filesystem::path files[] = {std::filesystem::path(MRWD_PICTURES_DIR) / "camera_on.gif",
                                           std::filesystem::path(MRWD_REFERENCE_DIR) / "large-animation.gif"};
    for (const auto& path : files) {
        const Bytes bytes = mrwd::testing::ReadBytes(path);
        int frames = 0;
        const double ours = MedianMicroseconds(runs, [&] {
            mrwd::CRasterSet set;
            frames = set.LoadGif(bytes.data(), bytes.size());
        });
        int giflibFrames = 0;
        const double giflib = MedianMicroseconds(runs, [&] { giflibFrames = GiflibDecode(bytes); });
        if (giflibFrames != frames) {
            std::fprintf(stderr, "%s: giflib decoded %d frames, ours %d: not the same work\n",
                         path.filename().string().c_str(), giflibFrames, frames);
            return 1;
        }
        const double ratio = giflib > 0 ? ours / giflib : 0.0;
        std::printf("%s: %zu bytes, %d frames, median over %d runs: ours %.1f us, giflib %.1f us, ours / giflib %.2f\n",
                    path.filename().string().c_str(), bytes.size(), frames, runs, ours, giflib, ratio);
        if (machine) {
            const std::string name = path.stem().string();
            std::printf("result gif-ours-%s %.1f us\n", name.c_str(), ours);
            std::printf("result gif-giflib-%s %.1f us\n", name.c_str(), giflib);
            std::printf("result gif-ratio-%s %.3f x\n", name.c_str(), ratio);
        }
    }
    return 0;
}
