#include "ui/core/version_info.h"

#include <gtest/gtest.h>

#include "ui/core/help_topic.h"

namespace mrwd {
namespace {

TEST(VersionInfo, StringTableKeysAreEightUpperCaseDigits) {
    const struct {
        std::uint32_t translation;
        const char* key;
    } cases[] = {
        {TranslationOf(0x0419, 1200), "041904B0"},  // the server's own: Russian, UTF-16
        {TranslationOf(0x0409, 1252), "040904E4"},
        {0, "040904E4"},  // no translation list: the US English table
        {TranslationOf(0x0007, 0x0001), "00070001"},
        {0xFFFFFFFF, "FFFFFFFF"},
    };
    for (const auto& c : cases) EXPECT_EQ(StringTableKey(c.translation), c.key) << std::hex << c.translation;
}

TEST(VersionInfo, StringsAreQueriedInTheirTable) {
    EXPECT_EQ(VersionStringQuery(0x041904B0, "FileVersion"), "\\StringFileInfo\\041904B0\\FileVersion");
    EXPECT_EQ(VersionStringQuery(0, "Comments"), "\\StringFileInfo\\040904E4\\Comments");
}

TEST(HelpTopic, TheStartPageOfTheHelpFileBesideTheProgram) {
    const struct {
        const char* folder;
        const char* path;
    } cases[] = {
        {"C:\\Kiosk\\", "C:\\Kiosk\\yrk.chm::/cover.htm"},
        {"C:\\Kiosk", "C:\\Kiosk\\yrk.chm::/cover.htm"},
        {"d:/tools/", "d:/tools/yrk.chm::/cover.htm"},
        {"\\\\server\\share\\", "\\\\server\\share\\yrk.chm::/cover.htm"},
        {"", ""},  // unknown folder: no help rather than a file elsewhere
    };
    for (const auto& c : cases) EXPECT_EQ(HelpTopicPath(c.folder), c.path) << c.folder;
}

}  // namespace
}  // namespace mrwd
