// A short, repeatable fuzzing pass: damaged copies of valid GIF files must
// load without crashing or reading outside the buffer (the sanitizers
// watch every read) and give only well-formed frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <random>

#include "tests/gif/gif_files.h"
#include "ui/core/raster_set.h"

namespace mrwd {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Enough to find the shallow faults again on every run while keeping the
// pass to a few seconds under the sanitizers; the seed makes it repeatable.
constexpr int kMutantsPerFile = 600;
constexpr std::uint32_t kSeed = 20240607;
// Large animations would only slow the pass down without reaching more code.
constexpr std::size_t kLargestSeedFile = 20000;

Bytes Mutate(const Bytes& original, std::mt19937& random) {
    Bytes bytes = original;
    const int steps = 1 + static_cast<int>(random() % 3);
    for (int step = 0; step < steps && !bytes.empty(); ++step) {
        const std::size_t at = random() % bytes.size();
        switch (random() % 5) {
            case 0:  // a random byte
                bytes[at] = static_cast<std::uint8_t>(random());
                break;
            case 1: {  // a byte the parser gives a meaning to
                const std::uint8_t telling[] = {0x00, 0xFF, 0x21, 0x2C, 0x3B, 0xF9, 0x80, 0x40, 0x07, 0x0C};
                bytes[at] = telling[random() % sizeof telling];
                break;
            }
            case 2:  // flipped bits
                bytes[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
                break;
            case 3:  // cut short
                bytes.resize(at);
                break;
            default: {  // a stretch removed or repeated
                const std::size_t length = std::min<std::size_t>(1 + random() % 64, bytes.size() - at);
                if (random() % 2) {
                    bytes.erase(bytes.begin() + at, bytes.begin() + at + length);
                } else {
                    const Bytes copy(bytes.begin() + at, bytes.begin() + at + length);
                    bytes.insert(bytes.begin() + random() % bytes.size(), copy.begin(), copy.end());
                }
            }
        }
    }
    return bytes;
}

void ExpectWellFormed(const CRasterSet& set, const Bytes& bytes) {
    // Every frame needs an image introducer of its own.
    ASSERT_LE(set.FrameCount(), std::count(bytes.begin(), bytes.end(), 0x2C));
    for (int i = 0; i < set.FrameCount(); ++i) {
        const CRaster& frame = *set.Frame(i);
        ASSERT_GE(frame.Width(), 1);
        ASSERT_GE(frame.Height(), 1);
        ASSERT_TRUE(frame.Bits() >= 1 && frame.Bits() <= 8);
        ASSERT_EQ(frame.Stride() % 4, 0);
        ASSERT_LT(frame.Stride() - frame.Width(), 4);
        ASSERT_LE(std::int64_t{frame.Stride()} * frame.Height(), CRaster::kMaxPixels);
    }
}

TEST(GifFuzz, DamagedFilesNeverCrashOrReadOutsideTheBuffer) {
    std::vector<Bytes> seeds;
    for (const auto& files : {testing::PictureFiles(), testing::ReferenceFiles()})
        for (const auto& path : files) {
            Bytes bytes = testing::ReadBytes(path);
            if (bytes.size() <= kLargestSeedFile) seeds.push_back(std::move(bytes));
        }
    ASSERT_GE(seeds.size(), 10u);

    std::mt19937 random(kSeed);
    int executions = 0;
    const auto started = std::chrono::steady_clock::now();
    for (std::size_t s = 0; s < seeds.size(); ++s) {
        for (int n = 0; n < kMutantsPerFile; ++n) {
            const Bytes& seed = seeds[s];
            const Bytes mutant = Mutate(seed, random);
            // An allocation of exactly the mutant's size: the sanitizer
            // reports any read past it.
            std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[mutant.size()]);
            if (!mutant.empty()) std::memcpy(exact.get(), mutant.data(), mutant.size());
            CRasterSet set;
            set.LoadGif(exact.get(), mutant.size());
            ++executions;
            ExpectWellFormed(set, mutant);
            if (::testing::Test::HasFatalFailure()) {
                ADD_FAILURE() << "valid file " << s << ", damaged copy " << n;
                return;
            }
        }
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    std::cout << "fuzzing: " << executions << " damaged files from " << seeds.size() << " valid ones in "
              << ms.count() << " ms\n";
    RecordProperty("executions", executions);
}

}  // namespace
}  // namespace mrwd
