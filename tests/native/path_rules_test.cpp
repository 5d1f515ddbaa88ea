#include "app/core/path_rules.h"

#include <gtest/gtest.h>

namespace mrwd {
namespace {

TEST(PathRules, AnyOfBackslashSlashAndColonSplits) {
    EXPECT_EQ(FileNamePart("C:\\Program Files\\App\\app.exe"), "app.exe");
    EXPECT_EQ(FolderPart("C:\\Program Files\\App\\app.exe"), "C:\\Program Files\\App\\");
    EXPECT_EQ(FileNamePart("d:/kiosk/app.exe"), "app.exe");
    EXPECT_EQ(FolderPart("d:/kiosk\\app.exe"), "d:/kiosk\\");
    EXPECT_EQ(FileNamePart("C:app.exe"), "app.exe");
    EXPECT_EQ(FolderPart("C:app.exe"), "C:");
}

TEST(PathRules, NoSeparatorAndTrailingSeparator) {
    EXPECT_EQ(FileNamePart("app.exe"), "app.exe");
    EXPECT_EQ(FolderPart("app.exe"), "");
    EXPECT_EQ(FileNamePart("C:\\dir\\"), "");
    EXPECT_EQ(FolderPart("C:\\dir\\"), "C:\\dir\\");
    EXPECT_EQ(FileNamePart(""), "");
}

}  // namespace
}  // namespace mrwd
