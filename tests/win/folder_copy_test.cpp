// Restoring a program's files with the shell, under Wine: both modes, and the
// folder names that trip up a naive implementation.
#include "supervision/win/folder_copy.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "base/win/event_log.h"
#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {
namespace fs = std::filesystem;

// The log the copies write to: this test program's own, switched on.
std::atomic<std::uint32_t> logSwitch{1};
const EventLog log(logSwitch);

// Today's day file of that log, as bytes.
std::string TodaysLog() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    char day[32];
    std::snprintf(day, sizeof day, "\\%02d-%02d-%02d.txt", st.wDay, st.wMonth, st.wYear % 100);
    std::ifstream in(ProcessLogFolder() + day, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class FolderCopyTest : public ::testing::Test {
protected:
    void SetUp() override { root_ = testing::FreshTestFolder("copy-"); }
    std::string Path(const std::string& relative) const { return root_ + "\\" + relative; }
    void Write(const std::string& relative, const std::string& text) const {
        fs::create_directories(fs::path(Path(relative)).parent_path());
        std::ofstream(Path(relative), std::ios::binary) << text;
    }
    std::string Read(const std::string& relative) const {
        std::ifstream in(Path(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Exists(const std::string& relative) const { return fs::exists(Path(relative)); }

    std::string root_;
};

TEST_F(FolderCopyTest, FilesEqualComparesSizeAndBytes) {
    Write("a", "same bytes");
    Write("b", "same bytes");
    Write("c", "same bytez");
    Write("d", "same bytes!");
    Write("empty1", "");
    Write("empty2", "");
    EXPECT_TRUE(FilesEqual(Path("a"), Path("b")));
    EXPECT_FALSE(FilesEqual(Path("a"), Path("c")));
    EXPECT_FALSE(FilesEqual(Path("a"), Path("d")));
    EXPECT_FALSE(FilesEqual(Path("a"), Path("missing")));
    EXPECT_FALSE(FilesEqual(Path("empty1"), Path("empty2")));  // an empty file cannot be mapped
}

TEST_F(FolderCopyTest, OnlyDifferentCopiesWhatDiffersAndIsMissing) {
    Write("Backup\\same.txt", "same");
    Write("Backup\\changed.txt", "good");
    Write("Backup\\new.txt", "new");
    Write("Backup\\sub\\deep.txt", "deep");
    Write("Work\\same.txt", "same");
    Write("Work\\changed.txt", "damaged");
    Write("Work\\own.txt", "kept");

    CopyList list;
    BuildCopyList(Path("Backup"), Path("Work"), list, true);
    EXPECT_EQ(list.Entries().find(Path("Backup\\same.txt")), std::string::npos);
    EXPECT_NE(list.Entries().find(Path("Backup\\changed.txt")), std::string::npos);
    EXPECT_NE(list.Entries().find(Path("Backup\\sub\\deep.txt")), std::string::npos);

    CopyFolder(nullptr, Path("Backup") + "\\", Path("Work"), true, true, L"restoring", log, ShellErrors::Shown);
    EXPECT_EQ(Read("Work\\changed.txt"), "good");
    EXPECT_EQ(Read("Work\\new.txt"), "new");
    EXPECT_EQ(Read("Work\\sub\\deep.txt"), "deep");  // a missing subfolder is created
    EXPECT_EQ(Read("Work\\own.txt"), "kept");        // nothing is deleted
}

TEST_F(FolderCopyTest, IdenticalFoldersGiveAnEmptyList) {
    Write("A\\x.txt", "x");
    Write("A\\s\\y.txt", "y");
    Write("B\\x.txt", "x");
    Write("B\\s\\y.txt", "y");
    CopyList list;
    BuildCopyList(Path("A"), Path("B"), list, true);
    EXPECT_TRUE(list.Empty());
}

TEST_F(FolderCopyTest, DestinationWhoseNameStartsWithTheSourceName) {
    Write("Data\\a.txt", "a");
    CopyFolder(nullptr, Path("Data"), Path("Data2"), false, true, nullptr, log, ShellErrors::Shown);
    EXPECT_EQ(Read("Data2\\a.txt"), "a");
    EXPECT_FALSE(Exists("Data22"));
    EXPECT_FALSE(Exists("Data2\\2"));
}

TEST_F(FolderCopyTest, WithoutSubfoldersOnlyTheTopFilesAreCopied) {
    Write("Src\\top.txt", "top");
    Write("Src\\sub\\inner.txt", "inner");
    CopyFolder(nullptr, Path("Src"), Path("AllMode"), false, false, nullptr, log, ShellErrors::Shown);
    CopyFolder(nullptr, Path("Src"), Path("DiffMode"), false, true, nullptr, log, ShellErrors::Shown);
    for (const char* mode : {"AllMode", "DiffMode"}) {
        EXPECT_EQ(Read(std::string(mode) + "\\top.txt"), "top") << mode;
        EXPECT_FALSE(Exists(std::string(mode) + "\\sub\\inner.txt")) << mode;
    }
}

TEST_F(FolderCopyTest, DotFoldersAreSkippedOnlyWhenComparing) {
    Write("Src\\.cache\\c.txt", "c");
    Write("Src\\plain\\p.txt", "p");
    CopyFolder(nullptr, Path("Src"), Path("Diff"), true, true, nullptr, log, ShellErrors::Shown);
    EXPECT_EQ(Read("Diff\\plain\\p.txt"), "p");
    EXPECT_FALSE(Exists("Diff\\.cache"));

    CopyFolder(nullptr, Path("Src") + "\\", Path("All"), true, false, nullptr, log, ShellErrors::Shown);
    EXPECT_EQ(Read("All\\plain\\p.txt"), "p");
    EXPECT_EQ(Read("All\\.cache\\c.txt"), "c");
}

TEST_F(FolderCopyTest, CopyAllOverwritesEveryFile) {
    Write("Backup\\a.txt", "fresh");
    Write("Work\\a.txt", "stale");
    CopyFolder(nullptr, Path("Backup"), Path("Work") + "\\", true, false, nullptr, log, ShellErrors::Shown);
    EXPECT_EQ(Read("Work\\a.txt"), "fresh");
}

TEST_F(FolderCopyTest, MissingSourceCopiesNothing) {
    CopyFolder(nullptr, Path("Nowhere"), Path("Work"), true, true, nullptr, log, ShellErrors::Shown);
    CopyFolder(nullptr, Path("Nowhere"), Path("Work"), true, false, nullptr, log, ShellErrors::Shown);
    EXPECT_FALSE(Exists("Work\\Nowhere"));
}

TEST_F(FolderCopyTest, FolderTooLongForTheShellIsRefusedWithALogLine) {
    logSwitch = 1;
    Write("Short\\a.txt", "a");
    // Short enough for the file system, too long for the shell's 260-byte buffer with "\*.*".
    std::string longFolder = root_;
    while (longFolder.size() < 256) longFolder += "\\" + std::string(20, 'n');
    longFolder.resize(256);
    const std::string longerFolder = longFolder + "xyz";  // a destination leaves no room for two zeros
    CopyFolder(nullptr, longFolder, Path("Work"), true, false, nullptr, log, ShellErrors::Shown);
    CopyFolder(nullptr, Path("Short"), longerFolder, true, true, nullptr, log, ShellErrors::Shown);
    EXPECT_FALSE(Exists("Work"));
    EXPECT_FALSE(fs::exists(longerFolder));

    const std::string log = TodaysLog();
    const std::string refused = testing::Cp1251FromUtf8("Слишком длинный путь к папке, файлы не скопированы: ");
    EXPECT_NE(log.find(refused + longFolder + "\r\n"), std::string::npos);
    EXPECT_NE(log.find(refused + longerFolder + "\r\n"), std::string::npos);
}

// The killed program may still hold its files: the engine's restore must
// neither stop behind a shell error box nobody closes nor pass in silence.
TEST_F(FolderCopyTest, RestoreOverAFileStillInUseReturnsAndIsLogged) {
    logSwitch = 1;
    Write("Backup\\a.txt", "good");
    Write("Work\\a.txt", "damaged");
    UniqueFile held(::CreateFileA(Path("Work\\a.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.valid());
    auto done = std::make_shared<std::atomic<bool>>(false);
    const std::string backup = Path("Backup"), work = Path("Work");
    std::thread([=] {
        CopyFolder(nullptr, backup, work, true, true, L"restoring", log, ShellErrors::Logged);
        *done = true;
    }).detach();
    ASSERT_TRUE(testing::WaitUntil([&] { return done->load(); }, testing::kDeadlineMs))
        << "the copy waits for somebody to close an error box";
    held.reset();
    EXPECT_EQ(Read("Work\\a.txt"), "damaged");

    const std::string text = TodaysLog();
    const std::string failed = testing::Cp1251FromUtf8("Ошибка копирования файлов из папки ") + backup +
                               testing::Cp1251FromUtf8(" в папку ") + work;
    EXPECT_NE(text.find(failed), std::string::npos);
}

}  // namespace
}  // namespace mrwd
