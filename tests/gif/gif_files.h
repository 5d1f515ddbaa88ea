// The GIF files the native tests read: the program's own pictures and the
// ones ImageMagick writes at build time (make_reference_gifs.sh).
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace mrwd::testing {

inline std::vector<std::filesystem::path> GifFilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".gif") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

inline std::vector<std::filesystem::path> PictureFiles() { return GifFilesIn(MRWD_PICTURES_DIR); }
inline std::vector<std::filesystem::path> ReferenceFiles() { return GifFilesIn(MRWD_REFERENCE_DIR); }

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace mrwd::testing
