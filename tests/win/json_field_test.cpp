// The JSON member reader the fleet tests read rsyslog's lines with: it needs
// no peers, so it runs with the other units.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/harness/fleet_peers.h"

namespace mrwd::testing {
namespace {

TEST(JsonField, ReadsTheStringMembersOfOneObject) {
    const std::string line =
        R"({"msgid":"RESTART", "msg":"\ufeff\u041f\u0443\u0441\u043a \"a\"\tb\\c\/", "n":5, )"
        R"("o":{"msgid":"inner","l":[1,"]"]}, "fake":"\"e\":\"no\"", "e":"", "s":"\ud83d\ude00", "u":"Сервер"})";
    struct Case {
        const char* name;
        std::optional<std::string> value;
    } cases[] = {
        {"msgid", std::string("RESTART")},
        {"msg", std::string("\xEF\xBB\xBF\xD0\x9F\xD1\x83\xD1\x81\xD0\xBA \"a\"\tb\\c/")},
        {"n", std::nullopt},  // a number, not a string
        {"o", std::nullopt},
        {"l", std::nullopt},  // only inside "o"
        {"e", std::string()},  // found after a value that looks like its member
        {"s", std::string("\xF0\x9F\x98\x80")},  // a surrogate pair
        {"u", std::string("Сервер")},            // UTF-8 as it is
        {"missing", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JsonField(line, c.name), c.value) << c.name;
    }
    EXPECT_EQ(JsonField(R"({"msgid":"REST)", "msgid"), std::nullopt) << "cut short";
    EXPECT_EQ(JsonField(R"(["msgid","x"])", "msgid"), std::nullopt) << "not an object";
    EXPECT_EQ(JsonField(R"({"a":1 "msgid":"x"})", "msgid"), std::nullopt) << "no comma";
}

}  // namespace
}  // namespace mrwd::testing
