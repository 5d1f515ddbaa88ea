#include "base64.h"

namespace mrwd {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::size_t Base64Size(std::size_t length, std::size_t groupsPerLine) {
    std::size_t size = 4 * (length / 3) + (length % 3 != 0 ? 4 : 0);
    if (groupsPerLine != 0) size += 2 * (size / (4 * groupsPerLine));
    return size + 1;
}

std::size_t Base64Encode(const unsigned char* bytes, std::size_t length, char* output, std::size_t groupsPerLine) {
    std::size_t written = 0;
    std::size_t groups = 0;
    for (std::size_t i = 0; i < length; i += 3) {
        const std::size_t left = length - i;
        const unsigned b0 = bytes[i];
        const unsigned b1 = left > 1 ? bytes[i + 1] : 0;
        const unsigned b2 = left > 2 ? bytes[i + 2] : 0;
        output[written++] = kAlphabet[b0 >> 2];
        output[written++] = kAlphabet[((b0 & 0x03) << 4) | (b1 >> 4)];
        output[written++] = left > 1 ? kAlphabet[((b1 & 0x0F) << 2) | (b2 >> 6)] : '=';
        output[written++] = left > 2 ? kAlphabet[b2 & 0x3F] : '=';
        // The line break follows complete groups only.
        if (left >= 3 && groupsPerLine != 0 && ++groups == groupsPerLine) {
            output[written++] = '\r';
            output[written++] = '\n';
            groups = 0;
        }
    }
    return written;
}

std::string Base64(const std::string& bytes, std::size_t groupsPerLine) {
    std::string text(Base64Size(bytes.size(), groupsPerLine), '\0');
    text.resize(Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &text[0],
                             groupsPerLine));
    return text;
}

}  // namespace mrwd
