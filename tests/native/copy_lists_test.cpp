#include "supervision/core/copy_lists.h"

#include <gtest/gtest.h>

namespace mrwd {
namespace {

// A literal with embedded zeros, as many bytes as it is written with.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

TEST(CopyLists, OneTrailingBackslashIsDropped) {
    EXPECT_EQ(WithoutTrailingBackslash("C:\\Backup\\"), "C:\\Backup");
    EXPECT_EQ(WithoutTrailingBackslash("C:\\Backup"), "C:\\Backup");
    EXPECT_EQ(WithoutTrailingBackslash("C:\\Backup\\\\"), "C:\\Backup\\");
    EXPECT_EQ(WithoutTrailingBackslash(""), "");
    EXPECT_EQ(CopyAllPattern(WithoutTrailingBackslash("C:\\Backup\\")), "C:\\Backup\\*.*");
}

TEST(CopyLists, ShellListsAreDoubleZeroTerminated) {
    CopyList list;
    EXPECT_TRUE(list.Empty());
    list.Append("C:\\Data\\a.txt");
    list.Append("C:\\Data\\sub\\b.txt");
    EXPECT_EQ(list.Entries(), std::string("C:\\Data\\a.txt\x01" "C:\\Data\\sub\\b.txt\x01"));
    EXPECT_EQ(list.ShellSources(), Bytes("C:\\Data\\a.txt\0C:\\Data\\sub\\b.txt\0\0"));
}

TEST(CopyLists, DestinationReplacesTheSourceFolderOnce) {
    CopyList list;
    list.Append("C:\\Data\\a.txt");
    list.Append("C:\\Data\\C:\\Data\\odd.txt");  // the folder name again inside the path
    const std::string destinations = list.ShellDestinations("C:\\Data", "C:\\Data2");
    EXPECT_EQ(destinations, Bytes("C:\\Data2\\a.txt\0C:\\Data2\\C:\\Data\\odd.txt\0\0"));

    // The destination name beginning with the source name maps once, not again.
    CopyList back;
    back.Append("C:\\Data2\\x.txt");
    EXPECT_EQ(back.ShellDestinations("C:\\Data2", "C:\\Data"), Bytes("C:\\Data\\x.txt\0\0"));
}

TEST(CopyLists, ShellBufferLimit) {
    EXPECT_TRUE(FitsShellBuffer(std::string(258, 'x')));
    EXPECT_FALSE(FitsShellBuffer(std::string(259, 'x')));
    // A folder of 254 characters still fits with "\*.*"; 255 does not.
    EXPECT_TRUE(FitsShellBuffer(CopyAllPattern(std::string(254, 'f'))));
    EXPECT_FALSE(FitsShellBuffer(CopyAllPattern(std::string(255, 'f'))));
}

}  // namespace
}  // namespace mrwd
