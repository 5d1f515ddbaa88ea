#include "base/core/cp1251.h"
#include "base/core/utf8.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace mrwd {
namespace {

TEST(TextEncoding, Cp1251BecomesUtf8) {
    const struct {
        std::string cp1251;
        std::string utf8;
    } cases[] = {
        {"\xCF\xF0\xE8\xE2\xE5\xF2, \xDF\xFF", "Привет, Яя"},          // the contiguous alphabet
        {"\xA8\xB8\xB9", "Ёё№"},                                        // letters outside it
        {"\x98", "\xEF\xBF\xBD"},                                       // unassigned
        {std::string("a\0b", 3), std::string("a\0b", 3)},              // ASCII as is
        {"\x88\x96\xA0", "\xE2\x82\xAC\xE2\x80\x93\xC2\xA0"},          // euro, dash, no-break space
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8FromCp1251(c.cp1251), c.utf8);
}

TEST(TextEncoding, EveryCp1251ByteIsOneDistinctValidCharacter) {
    std::set<std::string> seen;
    for (int b = 0; b < 256; ++b) {
        const std::string u = Utf8FromCp1251(std::string(1, static_cast<char>(b)));
        EXPECT_EQ(ValidUtf8(u), u) << b;
        EXPECT_TRUE(seen.insert(u).second) << "byte " << b << " repeats an earlier character";
    }
}

TEST(TextEncoding, IllFormedUtf8IsReplaced) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"ok Ёж \xF0\x9F\x98\x80", "ok Ёж \xF0\x9F\x98\x80"},  // valid, four bytes included
        {"a\x80z", "a" + r + "z"},                              // stray continuation
        {"a\xD0", "a" + r},                                     // cut at the end
        {"\xE2\x82z", r + "z"},                                 // cut inside: one replacement
        {"\xC0\xAF", r + r},                                    // overlong
        {"\xED\xA0\x80", r + r + r},                            // surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},                    // past U+10FFFF
        {"\xCF\xF0\xE8", r + r + r},                            // Windows-1251 sent as it is
    };
    for (const auto& c : cases) EXPECT_EQ(ValidUtf8(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace mrwd
