#include "base/core/log_events.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "base/core/log_format.h"

#if !defined(_WIN32)
#include <filesystem>
#endif

namespace mrwd {
namespace {

std::vector<std::string> Arguments(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::vector<std::string> arguments = FormatArguments(format, args);
    va_end(args);
    return arguments;
}

TEST(LogEvents, EveryKindHasItsOwnIdAndASyslogMsgid) {
    std::set<unsigned> ids;
    std::set<std::string> msgIds;
    for (const LogEventKind& kind : LogEventKinds()) {
        const std::string msgId = kind.msgId;
        EXPECT_NE(kind.id, kUntypedLogEvent);
        EXPECT_TRUE(ids.insert(kind.id).second) << "twice: " << kind.id;
        EXPECT_TRUE(msgIds.insert(msgId).second) << "twice: " << msgId;
        EXPECT_TRUE(std::regex_match(msgId, std::regex("[A-Z][A-Z_]{0,31}"))) << msgId;
        EXPECT_EQ(&LogEventKindOf(kind.id), &kind);
    }
    EXPECT_EQ(&LogEventKindOf(9999), &kUntypedLogEventKind);
}

// Every line the product logs names its kind in the call, so the table can
// be checked against the sources: a kind logged but missing would reach the
// event log without its text and syslog without its MSGID.
TEST(LogEvents, TheTableHoldsExactlyTheKindsTheProductLogs) {
#if defined(_WIN32)
    GTEST_SKIP() << "reads the source tree: native build only";
#else
    const std::regex logCall(R"((WriteLogString|WriteLogKind|\bLog|LogOutcome|kLogLines)\b.*)");
    const std::regex name(R"(\bIDS_[A-Z0-9_]+)");
    std::set<std::string> logged;
    for (const char* folder : {"base", "supervision", "hardware", "notify", "ui", "app"}) {
        for (const auto& file : std::filesystem::recursive_directory_iterator(std::string(MRWD_SOURCE_DIR) + "/" + folder)) {
            if (file.path().extension() != ".cpp") continue;
            std::ifstream in(file.path());
            for (std::string line; std::getline(in, line);) {
                if (line.find("IDS_") == std::string::npos) continue;
                std::smatch call;
                if (!std::regex_search(line, call, logCall)) continue;
                const std::string rest = call[0];
                for (std::sregex_iterator it(rest.begin(), rest.end(), name), end; it != end; ++it) logged.insert(it->str());
            }
        }
    }
    std::ifstream table(std::string(MRWD_SOURCE_DIR) + "/base/core/log_event_table.inc");
    std::stringstream text;
    text << table.rdbuf();
    const std::string tableText = text.str();
    std::set<std::string> listed;
    const std::regex entry(R"(LOG_EVENT\((IDS_[A-Z0-9_]+),)");
    for (std::sregex_iterator it(tableText.begin(), tableText.end(), entry), end; it != end; ++it) listed.insert((*it)[1]);

    ASSERT_GT(logged.size(), 40u);  // the scan itself found the calls
    for (const std::string& id : logged) EXPECT_TRUE(listed.count(id)) << id << " is logged but has no kind";
    for (const std::string& id : listed) EXPECT_TRUE(logged.count(id)) << id << " has a kind but is never logged";
    EXPECT_EQ(listed.size(), LogEventKinds().size());
#endif
}

TEST(LogEvents, EachConversionIsRenderedAloneAsTheWholeLineRendersIt) {
    EXPECT_EQ(Arguments("Перезапуск номер %0ld, программы %s.", 3L, "C:\\kiosk.exe"),
              (std::vector<std::string>{"3", "C:\\kiosk.exe"}));
    EXPECT_EQ(Arguments("COM%0d!", 5), (std::vector<std::string>{"5"}));
    EXPECT_EQ(Arguments("100%% done, code %lu, %u s", 4294967295UL, 7u), (std::vector<std::string>{"4294967295", "7"}));
    EXPECT_EQ(Arguments("no conversion"), std::vector<std::string>{});
    EXPECT_EQ(Arguments("%s and %s", "a%sb", ""), (std::vector<std::string>{"a%sb", ""}));
    EXPECT_EQ(Arguments(nullptr), std::vector<std::string>{});
    // A format ending in a lone '%' takes nothing more.
    EXPECT_EQ(Arguments("%s %", "x"), std::vector<std::string>{"x"});
}

}  // namespace
}  // namespace mrwd
