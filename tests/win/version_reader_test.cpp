// The version resource as the main dialog reads it: the server's own, one
// without a translation list, and files without any.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>

#include "base/win/texts.h"
#include "notify/core/support_address.h"
#include "tests/harness/win_harness.h"
#include "ui/win/version_reader.h"

namespace mrwd {
namespace {

using testing::TestProgramFolder;

std::wstring FromUtf8(const std::string& text) { return WidenText(text, CP_UTF8); }

std::wstring SystemLanguageName(WORD language) {
    wchar_t name[256] = {};
    const DWORD length = ::VerLanguageNameW(language, name, 256);
    return std::wstring(name, length);
}

TEST(ReadVersionInfo, TheServerGivesItsFieldsAndTheDialogTitle) {
    VersionInfo info;
    ASSERT_TRUE(ReadVersionInfo(info, (TestProgramFolder() + "mrwd.exe").c_str()));
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.translation, 0x041904B0u);
    // The Russian language of the first translation, not the code page's nor US English.
    EXPECT_FALSE(info.languageName.empty());
    EXPECT_EQ(info.languageName, SystemLanguageName(0x0419));
    EXPECT_NE(info.languageName, SystemLanguageName(0x0409));

    const struct {
        const char* name;
        const std::wstring& actual;
        std::wstring expected;
    } fields[] = {
        // The mails name the same support address as the version resource.
        {"Comments", info.comments, FromUtf8(kSupportAddress)},
        {"CompanyName", info.companyName, L"Marotel"},
        {"FileDescription", info.fileDescription, L"Marotel ZedevUdo Server"},
        {"FileVersion", info.fileVersion, L"2.96 build 681"},
        {"LegalCopyright", info.legalNotice, L"Copyright (C) Marotel"},
        {"OriginalFilename", info.buildFileName, L"mrwd.exe"},
        {"ProductName", info.productName, L"Marotel ZedevUdo Server"},
        {"ProductVersion", info.productVersion, L"2.96"},
    };
    for (const auto& field : fields) EXPECT_EQ(field.actual, field.expected) << field.name;

    EXPECT_EQ(VersionTitle(info), FromUtf8("Marotel ZedevUdo Server (ЮРК) версия 2.96 build 681"));
}

TEST(ReadVersionInfo, WithoutAPathTheRunningProgramIsRead) {
    // This test program carries the server's resources, version included.
    VersionInfo info;
    ASSERT_TRUE(ReadVersionInfo(info));
    EXPECT_EQ(info.fileVersion, L"2.96 build 681");
    EXPECT_EQ(info.translation, 0x041904B0u);
}

TEST(ReadVersionInfo, WithoutATranslationListTheUsEnglishTableIsRead) {
    VersionInfo info;
    info.languageName = L"left over";
    ASSERT_TRUE(ReadVersionInfo(info, (TestProgramFolder() + "version_probe.dll").c_str()));
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.translation, 0u);
    EXPECT_EQ(info.languageName, L"");
    EXPECT_EQ(info.fileVersion, L"1.0 probe");
    EXPECT_EQ(info.productName, L"Version probe");
    EXPECT_EQ(info.companyName, L"Probe Makers");
    // Strings the table lacks stay empty.
    EXPECT_EQ(info.comments, L"");
    EXPECT_EQ(info.productVersion, L"");
    EXPECT_EQ(VersionTitle(info), FromUtf8("Marotel ZedevUdo Server (ЮРК) версия 1.0 probe"));
}

TEST(ReadVersionInfo, FilesWithoutAVersionResourceGiveFalseAndAResetRecord) {
    const std::string folder = testing::FreshTestFolder("version-");
    const std::string text = folder + "\\notes.txt";
    std::ofstream(text) << "not a program\r\n";

    const struct {
        const char* what;
        std::string path;
    } cases[] = {
        {"a program without a version resource", TestProgramFolder() + "alive_example.exe"},
        {"a text file", text},
        {"a missing file", folder + "\\missing.exe"},
    };
    for (const auto& file : cases) {
        VersionInfo info;
        ASSERT_TRUE(ReadVersionInfo(info, (TestProgramFolder() + "mrwd.exe").c_str()));
        EXPECT_FALSE(ReadVersionInfo(info, file.path.c_str())) << file.what;
        EXPECT_FALSE(info.valid) << file.what;
        EXPECT_EQ(info.translation, 0u) << file.what;
        EXPECT_EQ(info.languageName, L"") << file.what;
        EXPECT_EQ(info.fileVersion, L"") << file.what;
        EXPECT_EQ(info.comments, L"") << file.what;
        EXPECT_EQ(VersionTitle(info), L"") << file.what;
    }
}

}  // namespace
}  // namespace mrwd
