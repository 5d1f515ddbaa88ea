#include <gtest/gtest.h>

#include "app/core/service_setup.h"
#include "app/core/service_status.h"

namespace mrwd {
namespace {

constexpr std::uint32_t kStopAndShutdown = kAcceptStop | kAcceptShutdown;

TEST(ServiceStatus, ReportsTheStartRunAndStopAsTheManagerExpects) {
    struct Step {
        ServiceState state;
        std::uint32_t waitHint;
        std::uint32_t checkPoint;
        std::uint32_t accepted;
    };
    // The check-point counts every pending report of the process, across
    // states; RUNNING and STOPPED carry none.
    const Step steps[] = {
        {ServiceState::StartPending, 15000, 1, 0},
        {ServiceState::Running, 0, 0, kStopAndShutdown},
        {ServiceState::StopPending, 0, 2, kStopAndShutdown},
        {ServiceState::StopPending, 0, 3, kStopAndShutdown},
        {ServiceState::Stopped, 0, 0, kStopAndShutdown},
    };
    ServiceStatusBook book;
    for (const Step& step : steps) {
        const ServiceStatusReport report = book.Report(step.state, 0, step.waitHint);
        EXPECT_EQ(report.serviceType, 0x130u);
        EXPECT_EQ(report.currentState, static_cast<std::uint32_t>(step.state));
        EXPECT_EQ(report.checkPoint, step.checkPoint) << report.currentState;
        EXPECT_EQ(report.controlsAccepted, step.accepted) << report.currentState;
        EXPECT_EQ(report.waitHint, step.waitHint);
        EXPECT_EQ(report.serviceSpecificExitCode, 0u);
        EXPECT_EQ(book.Current(), step.state);
    }
    EXPECT_EQ(book.Report(ServiceState::Stopped, 1066, 0).win32ExitCode, 1066u);

    // Where the system sends it (Vista on), the pre-shutdown control is taken too.
    ServiceStatusBook vista;
    vista.OfferPreshutdown(true);
    EXPECT_EQ(vista.Report(ServiceState::StartPending, 0, 0).controlsAccepted, 0u);
    EXPECT_EQ(vista.Report(ServiceState::Running, 0, 0).controlsAccepted, kStopAndShutdown | kAcceptPreshutdown);
}

TEST(ServiceStatus, AnswersEachControlWithTheTrueState) {
    struct Case {
        ServiceState current;
        std::uint32_t control;
        bool supervisionOff;  // and the reboot marker deleted first
        bool endServer;
        ServiceState report;
    };
    const Case cases[] = {
        {ServiceState::Running, kControlStop, false, true, ServiceState::StopPending},
        {ServiceState::Running, kControlShutdown, true, true, ServiceState::StopPending},
        {ServiceState::Running, kControlPreshutdown, true, true, ServiceState::StopPending},
        {ServiceState::Running, kControlInterrogate, false, false, ServiceState::Running},
        {ServiceState::Running, 0x80, false, false, ServiceState::Running},
        // An interrogation during a stop must not pretend the server runs.
        {ServiceState::StopPending, kControlInterrogate, false, false, ServiceState::StopPending},
        // A second stop, or one that arrives after the end, changes nothing.
        {ServiceState::StopPending, kControlStop, false, false, ServiceState::StopPending},
        {ServiceState::StopPending, kControlShutdown, false, false, ServiceState::StopPending},
        {ServiceState::Stopped, kControlStop, false, false, ServiceState::Stopped},
        {ServiceState::Stopped, kControlShutdown, false, false, ServiceState::Stopped},
        {ServiceState::StartPending, kControlStop, false, false, ServiceState::StartPending},
    };
    for (const Case& c : cases) {
        ServiceStatusBook book;
        book.Report(c.current, 0, 0);
        const ControlAnswer answer = book.Answer(c.control);
        SCOPED_TRACE(testing::Message() << "state " << static_cast<int>(c.current) << " control " << c.control);
        EXPECT_EQ(answer.switchSupervisionOff, c.supervisionOff);
        EXPECT_EQ(answer.deleteRebootMarker, c.supervisionOff);
        EXPECT_EQ(answer.endServer, c.endServer);
        EXPECT_EQ(answer.report, c.report);
    }
}

TEST(ServiceSetup, CommandLineQuotesThePathAlways) {
    EXPECT_EQ(ServiceCommandLine("C:\\Program Files\\Watch\\mrwd.exe"), "\"C:\\Program Files\\Watch\\mrwd.exe\" -srv");
    EXPECT_EQ(ServiceCommandLine("C:\\mrwd.exe"), "\"C:\\mrwd.exe\" -srv");
    EXPECT_EQ(ServiceCommandLine(""), "");
}

TEST(ServiceSetup, RecoveryRestartsSoonAndForgetsAfterADay) {
    const ServiceRecovery recovery = WatchdogServiceRecovery();
    EXPECT_EQ(recovery.resetPeriodSeconds, 86400u);
    ASSERT_FALSE(recovery.restartDelaysMs.empty());
    EXPECT_LE(recovery.restartDelaysMs.front(), 10000u);
    for (std::size_t i = 1; i < recovery.restartDelaysMs.size(); ++i) {
        EXPECT_GE(recovery.restartDelaysMs[i], recovery.restartDelaysMs[i - 1]);
    }
}

TEST(ServiceSetup, AutostartValueIsNamedByTheFileName) {
    struct Case {
        const char* path;
        const char* arguments;
        const char* valueName;
        const char* command;
        const char* unquoted;
    };
    const Case cases[] = {
        {"C:\\Kiosk\\mrwd.exe", "", "mrwd.exe", "\"C:\\Kiosk\\mrwd.exe\"", "C:\\Kiosk\\mrwd.exe"},
        {"C:/Kiosk/MRWD.EXE", "", "MRWD.EXE", "\"C:/Kiosk/MRWD.EXE\"", "C:/Kiosk/MRWD.EXE"},
        {"D:mrwd.exe", "", "mrwd.exe", "\"D:mrwd.exe\"", "D:mrwd.exe"},
        {"C:\\Kiosk\\mrwd.exe", "/a", "mrwd.exe/a", "\"C:\\Kiosk\\mrwd.exe\" /a", "C:\\Kiosk\\mrwd.exe /a"},
        // Blanks in the path: unquoted, Windows would try "C:\Program.exe" first.
        {"C:\\Program Files\\Marotel\\mrwd.exe", "", "mrwd.exe", "\"C:\\Program Files\\Marotel\\mrwd.exe\"",
         "C:\\Program Files\\Marotel\\mrwd.exe"},
    };
    for (const Case& c : cases) {
        const AutostartEntry entry = MakeAutostartEntry(c.path, c.arguments);
        EXPECT_EQ(entry.valueName, c.valueName) << c.path;
        EXPECT_EQ(entry.command, c.command) << c.path;
        EXPECT_EQ(entry.unquotedCommand, c.unquoted) << c.path;
    }
}

}  // namespace
}  // namespace mrwd
