#include "supervision/core/module_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace mrwd {
namespace {

std::vector<std::string> Keys(const ModuleList& list) {
    std::vector<std::string> keys;
    for (const auto& item : list) keys.push_back(item.first);
    return keys;
}

TEST(ModuleList, PathsDifferingInCaseNameOneProgram) {
    ModuleList list;
    ModuleEntry first;
    first.Copies = 2;
    EXPECT_TRUE(list.Add("c:\\app.exe", first));
    EXPECT_FALSE(list.Add("C:\\APP.EXE", ModuleEntry()));  // refused, the first stays
    EXPECT_EQ(list.Size(), 1u);
    ASSERT_NE(list.Find("C:\\App.Exe"), nullptr);
    EXPECT_EQ(list.Find("C:\\App.Exe")->Copies, 2u);
    EXPECT_EQ(*list.KeyOf("C:\\APP.exe"), "c:\\app.exe");
    EXPECT_TRUE(list.SamePath("C:\\A\\B.EXE", "c:\\a\\b.exe"));
    EXPECT_EQ(list.Find("c:\\app2.exe"), nullptr);
}

TEST(ModuleList, IteratesInCaseInsensitiveOrder) {
    ModuleList list;
    list.Add("c:\\b.exe", ModuleEntry());
    list.Add("C:\\A.exe", ModuleEntry());
    list.Add("c:\\C.exe", ModuleEntry());
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"C:\\A.exe", "c:\\b.exe", "c:\\C.exe"}));
    EXPECT_EQ(list.After("C:\\a.EXE")->first, "c:\\b.exe");
    EXPECT_EQ(list.After("c:\\c.exe"), list.end());
}

TEST(ModuleList, ReplaceMovesTheEntryAndArmsIt) {
    ModuleList list;
    ModuleEntry entry;
    entry.Armed = 0;
    entry.Parameters = "-a";
    list.Add("C:\\old.exe", entry);
    entry.Parameters = "-b";
    list.Replace("C:\\old.exe", "C:\\new.exe", entry);
    EXPECT_EQ(Keys(list), std::vector<std::string>{"C:\\new.exe"});
    EXPECT_EQ(list.Find("C:\\new.exe")->Parameters, "-b");
    EXPECT_EQ(list.Find("C:\\new.exe")->Armed, 1);

    // Same program, new spelling.
    list.Replace("c:\\NEW.exe", "C:\\New.exe", *list.Find("C:\\new.exe"));
    EXPECT_EQ(Keys(list), std::vector<std::string>{"C:\\New.exe"});
}

TEST(ModuleList, RemoveAndAnyAliveSeen) {
    ModuleList list;
    EXPECT_FALSE(list.AnyAliveSeen());
    list.Add("C:\\a.exe", ModuleEntry());
    EXPECT_FALSE(list.AnyAliveSeen());
    ModuleEntry seen;
    seen.AliveSeen = 1;
    list.Add("C:\\b.exe", seen);
    EXPECT_TRUE(list.AnyAliveSeen());
    EXPECT_TRUE(list.Remove("c:\\B.EXE"));
    EXPECT_FALSE(list.Remove("c:\\B.EXE"));
    EXPECT_FALSE(list.AnyAliveSeen());
}

TEST(ModuleList, UsesTheComparisonItIsGiven) {
    // A comparison that orders by length first, to show the list follows it.
    ModuleList list([](const char* a, const char* b) {
        const std::string x(a), y(b);
        if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
        return CompareAsciiNoCase(a, b);
    });
    list.Add("C:\\long.exe", ModuleEntry());
    list.Add("C:\\a.exe", ModuleEntry());
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"C:\\a.exe", "C:\\long.exe"}));
}

}  // namespace
}  // namespace mrwd
