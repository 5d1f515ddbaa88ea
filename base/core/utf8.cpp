#include "base/core/utf8.h"

#include <cstddef>

namespace mrwd {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

// The number of continuation bytes a lead byte announces, with the range its
// first continuation byte must lie in (which rules out overlong forms,
// surrogates and values past U+10FFFF); -1 for a byte that cannot lead.
int Continuations(unsigned char lead, unsigned char& low, unsigned char& high) {
    low = 0x80;
    high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead == 0xE0) { low = 0xA0; return 2; }
    if (lead == 0xED) { high = 0x9F; return 2; }
    if (lead >= 0xE1 && lead <= 0xEF) return 2;
    if (lead == 0xF0) { low = 0x90; return 3; }
    if (lead >= 0xF1 && lead <= 0xF3) return 3;
    if (lead == 0xF4) { high = 0x8F; return 3; }
    return -1;
}

}  // namespace

std::string ValidUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += text[i++];
            continue;
        }
        unsigned char low, high;
        int need = Continuations(lead, low, high);
        std::size_t j = i + 1;
        int got = 0;
        while (need > 0 && got < need && j < text.size()) {
            unsigned char c = static_cast<unsigned char>(text[j]);
            if (c < low || c > high) break;
            low = 0x80;
            high = 0xBF;
            ++j;
            ++got;
        }
        if (need > 0 && got == need) {
            out.append(text, i, j - i);
        } else {
            out += kReplacement;  // the lead and the continuations that fitted
        }
        i = j;
    }
    return out;
}

void AppendUtf8(std::uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace mrwd
