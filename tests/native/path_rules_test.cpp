#include "base/core/path_rules.h"

#include <gtest/gtest.h>

namespace mrwd {
namespace {

TEST(PathRules, AnyOfBackslashSlashAndColonSplits) {
    EXPECT_EQ(FileNamePart("C:\\Program Files\\App\\app.exe"), "app.exe");
    EXPECT_EQ(FolderPrefix("C:\\Program Files\\App\\app.exe"), "C:\\Program Files\\App\\");
    EXPECT_EQ(FileNamePart("d:/kiosk/app.exe"), "app.exe");
    EXPECT_EQ(FolderPrefix("d:/kiosk\\app.exe"), "d:/kiosk\\");
    EXPECT_EQ(FileNamePart("C:app.exe"), "app.exe");
    EXPECT_EQ(FolderPrefix("C:app.exe"), "C:");
}

TEST(PathRules, NoSeparatorAndTrailingSeparator) {
    EXPECT_EQ(FileNamePart("app.exe"), "app.exe");
    EXPECT_EQ(FolderPrefix("app.exe"), "");
    EXPECT_EQ(FileNamePart("C:\\dir\\"), "");
    EXPECT_EQ(FolderPrefix("C:\\dir\\"), "C:\\dir\\");
    EXPECT_EQ(FileNamePart(""), "");
}

TEST(PathRules, StartFolderIsCutAtTheLastBackslash) {
    EXPECT_EQ(FolderPart("C:\\App.exe"), "C:");
    EXPECT_EQ(FolderPart("App.exe"), "App.exe");
    EXPECT_EQ(FolderPart("C:\\Program Files\\Kiosk\\kiosk.exe"), "C:\\Program Files\\Kiosk");
    EXPECT_EQ(FolderPart("d:/kiosk/app.exe"), "d:/kiosk/app.exe");  // only a backslash cuts
    // Only the first 260 characters count.
    const std::string longPath = "C:\\kiosk\\" + std::string(260, 'a') + "\\x.exe";
    EXPECT_EQ(FolderPart(longPath), "C:\\kiosk");
}

}  // namespace
}  // namespace mrwd
