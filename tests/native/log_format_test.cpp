#include "base/core/log_format.h"

#include <gtest/gtest.h>

#include <string>

namespace mrwd {
namespace {

std::string Compose(const LocalTime& t, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string line = ComposeLogLine(t, format, args);
    va_end(args);
    return line;
}

LocalTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
    LocalTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    t.milliseconds = ms;
    return t;
}

TEST(LogFormat, StampIsThirteenCharactersWithMilliseconds) {
    EXPECT_EQ(LogStamp(At(2008, 3, 7, 9, 5, 3, 7)), "09:05:03.007 ");
    EXPECT_EQ(LogStamp(At(2008, 3, 7, 23, 59, 59, 999)), "23:59:59.999 ");
    EXPECT_EQ(LogStamp(At(2008, 3, 7)).size(), 13u);
}

TEST(LogFormat, DayFileIsDayMonthTwoDigitYear) {
    EXPECT_EQ(DayFileName(At(2008, 3, 7)), "07-03-08.txt");
    EXPECT_EQ(DayFileName(At(2010, 12, 31)), "31-12-10.txt");
    EXPECT_EQ(DayFileName(At(2000, 1, 1)), "01-01-00.txt");
    EXPECT_EQ(DayFileName(At(2026, 11, 9)), "09-11-26.txt");
}

TEST(LogFormat, LogFolderSitsBesideTheExecutable) {
    EXPECT_EQ(LogFolderOf("C:\\Watch\\mrwd.exe"), "C:\\Watch\\Logs");
    EXPECT_EQ(LogFolderOf("D:/kiosk/bin/mrwd.exe"), "D:/kiosk/bin/Logs");
    EXPECT_EQ(LogFolderOf("C:mrwd.exe"), "C:Logs");
}

TEST(LogFormat, LineIsStampTextAndCrLf) {
    const LocalTime t = At(2008, 3, 7, 13, 1, 2, 30);
    EXPECT_EQ(Compose(t, "Restart %0ld of %s.", 12L, "C:\\app.exe"), "13:01:02.030 Restart 12 of C:\\app.exe.\r\n");
    // The zero flag without a width prints no leading zeros.
    EXPECT_EQ(Compose(t, "COM%0d!", 5), "13:01:02.030 COM5!\r\n");
}

TEST(LogFormat, MultiLineMessageHasOneStamp) {
    const std::string line = Compose(At(2008, 3, 7, 1, 2, 3, 4), "first\r\n\r\n\tsecond: %s", "x");
    EXPECT_EQ(line, "01:02:03.004 first\r\n\r\n\tsecond: x\r\n");
}

TEST(LogFormat, OverlongTextIsCutToTheLineBuffer) {
    const std::string text(5000, 'a');
    const std::string line = Compose(At(2008, 3, 7), "%s", text.c_str());
    EXPECT_EQ(line.size(), kLogLineSize);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    EXPECT_EQ(line.find_first_not_of('a', 13), line.size() - 2);

    // Exactly as long as the room left: nothing is cut.
    const std::string fits(kLogLineSize - 13 - 2, 'b');
    EXPECT_EQ(Compose(At(2008, 3, 7), "%s", fits.c_str()).size(), kLogLineSize);
    const std::string shorter(kLogLineSize - 13 - 3, 'b');
    EXPECT_EQ(Compose(At(2008, 3, 7), "%s", shorter.c_str()).size(), kLogLineSize - 1);
}

TEST(LogFormat, WindowsCodePageBytesPassThroughUnchanged) {
    // Windows-1251 "Журнал" stays byte for byte.
    const char text[] = "\xC6\xF3\xF0\xED\xE0\xEB";
    EXPECT_EQ(Compose(At(2008, 3, 7), text), std::string("00:00:00.000 ") + text + "\r\n");
}

}  // namespace
}  // namespace mrwd
