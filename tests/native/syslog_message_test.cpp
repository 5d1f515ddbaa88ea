#include "notify/core/syslog_message.h"

#include "base/core/cp1251.h"

#include <gtest/gtest.h>

#include <string>

namespace mrwd {
namespace {

SyslogFields Fields() {
    SyslogFields f;
    f.facility = 1;
    f.severity = SyslogSeverity::Warning;
    f.time.year = 2026;
    f.time.month = 3;
    f.time.day = 7;
    f.time.hour = 4;
    f.time.minute = 5;
    f.time.second = 6;
    f.time.milliseconds = 78;
    f.host = "KIOSK-01";
    f.appName = "mrwd";
    f.processId = 4242;
    f.msgId = "RESTART";
    // As the log has it: Windows-1251, CR LF line ends.
    f.text = Utf8FromCp1251("\xCF\xE5\xF0\xE5\xE7\xE0\xEF\xF3\xF1\xEA\r\n\xED\xEE\xEC\xE5\xF0 2");
    return f;
}

const std::string kBom = "\xEF\xBB\xBF";

TEST(SyslogMessage, LineIsByteExact) {
    const struct {
        void (*change)(SyslogFields&);
        std::string expected;
    } cases[] = {
        {[](SyslogFields&) {},
         "<12>1 2026-03-07T04:05:06.078Z KIOSK-01 mrwd 4242 RESTART - " + kBom + "Перезапуск\r\nномер 2"},
        {[](SyslogFields& f) { f.facility = 16; f.severity = SyslogSeverity::Error; },
         "<131>1 2026-03-07T04:05:06.078Z KIOSK-01 mrwd 4242 RESTART - " + kBom + "Перезапуск\r\nномер 2"},
        {[](SyslogFields& f) { f.facility = 24; f.severity = SyslogSeverity::Informational; f.text = "x"; },
         "<14>1 2026-03-07T04:05:06.078Z KIOSK-01 mrwd 4242 RESTART - " + kBom + "x"},
        // Empty fields and an unset time are nil; no text, no BOM.
        {[](SyslogFields& f) { f = SyslogFields(); f.severity = SyslogSeverity::Warning; }, "<12>1 - - - - - -"},
        {[](SyslogFields& f) { f.time.second = 60; f.text = "x"; },
         "<12>1 - KIOSK-01 mrwd 4242 RESTART - " + kBom + "x"},
        // Spaces, control and non-ASCII bytes in the header become '_'.
        {[](SyslogFields& f) { f.host = "my host\t"; f.appName = "\xCC\xD0"; f.msgId = "a=b}~"; f.text = "x"; },
         "<12>1 2026-03-07T04:05:06.078Z my_host_ __ 4242 a=b}~ - " + kBom + "x"},
        // Cut at 255, 48 and 32 characters.
        {[](SyslogFields& f) { f.host = std::string(300, 'h'); f.appName = std::string(49, 'a');
                               f.msgId = std::string(40, 'm'); f.text = "x"; },
         "<12>1 2026-03-07T04:05:06.078Z " + std::string(255, 'h') + " " + std::string(48, 'a') + " 4242 " +
             std::string(32, 'm') + " - " + kBom + "x"},
        // Windows-1251 bytes handed in by mistake never go out as such.
        {[](SyslogFields& f) { f.text = "ok \xCF\xF0"; },
         "<12>1 2026-03-07T04:05:06.078Z KIOSK-01 mrwd 4242 RESTART - " + kBom + "ok \xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        SyslogFields f = Fields();
        c.change(f);
        EXPECT_EQ(Rfc5424Message(f), c.expected);
    }
}

}  // namespace
}  // namespace mrwd
