// Measures how long the decoder takes for the program's animated picture
// and for a large animation: the median of many runs, in microseconds.
//   gif_decode_bench [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/gif/gif_files.h"
#include "ui/core/raster_set.h"

namespace {

double MedianMicroseconds(const std::vector<std::uint8_t>& bytes, int runs, int* frames) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        mrwd::CRasterSet set;
        const auto start = std::chrono::steady_clock::now();
        *frames = set.LoadGif(bytes.data(), bytes.size());
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 501;
    const std::filesystem::path files[] = {std::filesystem::path(MRWD_PICTURES_DIR) / "camera_on.gif",
                                           std::filesystem::path(MRWD_REFERENCE_DIR) / "large-animation.gif"};
    for (const auto& path : files) {
        const auto bytes = mrwd::testing::ReadBytes(path);
        int frames = 0;
        const double median = MedianMicroseconds(bytes, runs, &frames);
        std::printf("%s: %zu bytes, %d frames, median %.1f us over %d runs\n", path.filename().string().c_str(),
                    bytes.size(), frames, median, runs);
    }
    return 0;
}
