#include "base/win/event_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

#include "base/win/handles.h"
#include "base/win/mapped_file.h"
#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {
namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    EXPECT_EQ(start, text.size()) << "the file does not end with CR LF";
    return lines;
}

bool HasStamp(const std::string& line) {
    return line.size() >= 13 && line[2] == ':' && line[5] == ':' && line[8] == '.' && line[12] == ' ';
}

std::string TodayFile() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    char name[32];
    std::snprintf(name, sizeof name, "%02d-%02d-%02d.txt", st.wDay, st.wMonth, st.wYear % 100);
    return name;
}

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testing::FreshTestFolder("event-log-");
        fs::remove_all(folder_);  // the log creates its folder itself
    }
    std::string folder_;
};

TEST_F(EventLogTest, EightThreadsLoseNoLineAndNeverInterleave) {
    constexpr int kThreads = 8;
    constexpr int kLines = 500;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([this, t] {
            for (int i = 0; i < kLines; ++i) {
                // Long lines make a torn write visible.
                std::ostringstream line;
                line << "12:00:00.000 writer " << t << " line " << i << ' ' << std::string(200, 'a' + t) << "\r\n";
                AppendLogLine(folder_, "day.txt", line.str());
            }
        });
    }
    for (std::thread& w : writers) w.join();

    const std::vector<std::string> lines = SplitLines(ReadAll(folder_ + "\\day.txt"));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "12:00:00.000 writer %d line %d", &t, &i), 2) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(i, next[t]++) << "lines of one writer out of order or missing";
        EXPECT_EQ(line.substr(line.size() - 200), std::string(200, 'a' + t)) << "interleaved: " << line;
    }
}

TEST_F(EventLogTest, WaitsBrieflyForAnotherWriterToLetGo) {
    fs::create_directories(folder_);
    const std::string path = folder_ + "\\day.txt";
    // Another writer (a second start, "/k") has the file open the way the log opens it.
    UniqueFile other(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(other.valid());
    std::thread release([&] {
        ::Sleep(60);
        other.reset();
    });
    EXPECT_TRUE(AppendLogLine(folder_, "day.txt", "after the other writer\r\n"));
    release.join();
    EXPECT_EQ(ReadAll(path), "after the other writer\r\n");
}

// A mail's attachment read and the log's writes never lock each other out,
// however long the read takes.
TEST_F(EventLogTest, TheLogAttachedToAMailIsReadWhileLinesGoOnBeingWritten) {
    ASSERT_TRUE(AppendLogLine(folder_, "day.txt", "before the mail\r\n"));
    const std::string path = folder_ + "\\day.txt";
    {
        const MappedFile attachment(path);
        ASSERT_TRUE(attachment.Mapped());
        EXPECT_TRUE(AppendLogLine(folder_, "day.txt", "while the mail reads it\r\n"));
    }
    UniqueFile writer(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.valid());
    EXPECT_TRUE(MappedFile(path).Mapped()) << "a line being written made the attachment fail";
    writer.reset();
    EXPECT_EQ(ReadAll(path), "before the mail\r\nwhile the mail reads it\r\n");
}

TEST_F(EventLogTest, GivesUpOnAFileHeldForLong) {
    fs::create_directories(folder_);
    const std::string path = folder_ + "\\day.txt";
    UniqueFile other(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(other.valid());
    EXPECT_FALSE(AppendLogLine(folder_, "day.txt", "dropped\r\n"));
    other.reset();
    EXPECT_EQ(ReadAll(path), "");
}

TEST_F(EventLogTest, RecreatesAFolderDeletedWhileRunning) {
    ASSERT_TRUE(AppendLogLine(folder_, "day.txt", "one\r\n"));
    fs::remove_all(folder_);
    ASSERT_TRUE(AppendLogLine(folder_, "day.txt", "two\r\n"));
    EXPECT_EQ(ReadAll(folder_ + "\\day.txt"), "two\r\n");
}

// WriteLog itself writes beside this test program, into today's file.
TEST(WriteLog, MultiLineMessageIsStampedOnItsFirstLineOnly) {
    const std::atomic<std::uint32_t> logSwitch{1};
    const EventLog log(logSwitch);
    const std::string marker = "marker " + std::to_string(::GetTickCount64());
    log.WriteLog("%s\r\n\r\n\tsecond line %d\r\n--", marker.c_str(), 7);

    const std::string text = ReadAll(ProcessLogFolder() + "\\" + TodayFile());
    const size_t at = text.find(marker);
    ASSERT_NE(at, std::string::npos);
    const size_t lineStart = text.rfind("\r\n", at);
    const std::string entry = text.substr(lineStart == std::string::npos ? 0 : lineStart + 2);
    const std::vector<std::string> lines = SplitLines(entry.substr(0, entry.find("--\r\n") + 4));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(HasStamp(lines[0]));
    EXPECT_EQ(lines[0].substr(13), marker);
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "\tsecond line 7");
    EXPECT_EQ(lines[3], "--");
}

TEST(WriteLog, NothingIsWrittenWhileTheLogIsOff) {
    const std::string marker = "silent " + std::to_string(::GetTickCount64());
    std::atomic<std::uint32_t> logSwitch{0};
    const EventLog log(logSwitch);
    log.WriteLog("%s", marker.c_str());
    logSwitch = 1;
    log.WriteLog(nullptr);  // a null format writes nothing either
    const std::string text = ReadAll(ProcessLogFolder() + "\\" + TodayFile());
    EXPECT_EQ(text.find(marker), std::string::npos);
}

}  // namespace
}  // namespace mrwd
