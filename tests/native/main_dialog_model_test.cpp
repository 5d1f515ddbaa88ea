#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ui/core/main_dialog_model.h"

namespace mrwd {
namespace {

// The registry as the model writes it.
class RecordedWrites : public SettingWrites {
public:
    void StoreDword(const char* name, std::uint32_t value) override { stored[name] = value; }
    std::map<std::string, std::uint32_t> stored;
};

// Every combination of the facts the rules read, against the rules as the
// operator's manual states them.
TEST(MainDialogEnableRules, FollowSupervisionControllerModemPortAndSelection) {
    using F = MainField;
    for (int bits = 0; bits < 16 * 3 * 8; ++bits) {
        Settings settings;
        settings.Controller = (bits & 2) ? 1 : 0;
        settings.ControlMdm = (bits & 4) ? 1 : 0;
        settings.CustomControllerPort = (bits & 8) ? 1 : 0;
        settings.Log = ((bits / 48) & 1) ? 1 : 0;
        RecordedWrites writes;
        MainDialogModel model(settings, writes, false);
        MainDialogSituation situation;
        situation.supervisionOn = bits & 1;
        situation.selectedRows = (bits >> 4) % 3;
        situation.anyAliveSeen = (bits / 48) & 2;
        situation.mainWindowExists = (bits / 48) & 4;
        model.See(situation);
        const bool off = !situation.supervisionOn;
        const bool card = (bits & 2) == 0;
        const int selected = situation.selectedRows;
        const struct {
            F field;
            bool enabled;
        } expected[] = {
            {F::Add, off},
            {F::Notification, off},
            {F::RebootTimeout, off},
            {F::Delete, off && selected == 1},
            {F::Parameters, off && selected == 1},
            {F::CloseProgram, selected > 0},
            {F::CustomControllerPort, off && card},
            {F::ControllerPort, off && card && (bits & 8) != 0},
            {F::HardRebootOnly, card},
            {F::ReportCardFailure, card},
            {F::WithoutModem, card},
            {F::ModemPort, off && card && (bits & 4) == 0},
            {F::ModemInterval, off && card && (bits & 4) == 0},
            {F::LogFolder, settings.Log != 0},
            {F::FloatWindow, situation.anyAliveSeen},
            {F::SupervisionIcon, situation.mainWindowExists},
            {F::SupervisionToggle, situation.mainWindowExists},
            {F::Unload, situation.mainWindowExists},
            {F::TrayIcon, true},
            {F::KeepLog, true},
        };
        for (const auto& e : expected) {
            EXPECT_EQ(model.Enabled(e.field), e.enabled)
                << "field " << static_cast<int>(e.field) << ", facts " << bits;
        }
        EXPECT_TRUE(writes.stored.empty()) << "asking writes nothing";
    }
}

// What each typed text keeps, stores and asks for; the modem's interval
// puts the value in force back, the others keep the last usable one.
TEST(MainDialogEdits, KeepOnlyWhatTheServerCanUse) {
    using F = MainField;
    struct Case {
        F field;
        const char* text;
        const char* name;  // the registry value; null: nothing kept
        std::uint32_t kept;
        MainRequest request;
        const char* shown;  // the edit's text afterwards
    };
    const Case cases[] = {
        {F::ModemPort, "3", "Modem", 3, MainRequest::RefreshModemStatus, "3"},
        {F::ModemPort, "", "Modem", 0, MainRequest::RefreshModemStatus, ""},
        {F::ModemPort, "3a", nullptr, 0, MainRequest::None, "3a"},
        {F::ModemInterval, "7", "MdmCheckTimeout", 7, MainRequest::None, "7"},
        {F::ModemInterval, "0", nullptr, 0, MainRequest::PutTextBack, "5"},
        {F::ModemInterval, "", nullptr, 0, MainRequest::PutTextBack, "5"},
        {F::RebootTimeout, "9", nullptr, 0, MainRequest::None, "9"},
        {F::RebootTimeout, "10", "RebootTimeout", 10, MainRequest::None, "10"},
        {F::RebootTimeout, "4294967296", nullptr, 0, MainRequest::None, "4294967296"},
        {F::RebootTimeout, "4294967295", "RebootTimeout", 4294967295u, MainRequest::None, "4294967295"},
        {F::ControllerPort, "255", "ControllerPort", 255, MainRequest::None, "255"},
        {F::ControllerPort, "256", nullptr, 0, MainRequest::None, "256"},
        {F::ControllerPort, "0", nullptr, 0, MainRequest::None, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " in field " + std::to_string(static_cast<int>(c.field)));
        Settings settings;
        settings.MdmCheckTimeout = 5;
        RecordedWrites writes;
        MainDialogModel model(settings, writes, false);
        EXPECT_EQ(model.Edit(c.field, c.text), c.request);
        EXPECT_EQ(model.Text(c.field), c.shown);
        if (c.name == nullptr) {
            EXPECT_TRUE(writes.stored.empty());
            continue;
        }
        ASSERT_EQ(writes.stored.size(), 1u);
        EXPECT_EQ(writes.stored.begin()->first, c.name);
        EXPECT_EQ(writes.stored.begin()->second, c.kept);
    }
}

TEST(MainDialogSwitches, EachClickIsKeptAndAsksWhatItNeeds) {
    using F = MainField;
    struct Case {
        F field;
        bool checked;
        bool mainWindow;
        const char* name;  // null: no setting of its own
        MainRequest request;
    };
    const Case cases[] = {
        {F::LoadActive, false, true, "Active", MainRequest::None},
        {F::CheckClock, false, true, "System", MainRequest::None},
        {F::HardRebootOnly, true, true, "HardReboot", MainRequest::None},
        {F::KeepLog, false, true, "Log", MainRequest::None},
        {F::CustomControllerPort, true, true, "CustomControllerPort", MainRequest::None},
        {F::WithoutController, true, true, "Controller", MainRequest::None},
        {F::ReportCardFailure, true, true, "CheckContr", MainRequest::SearchCard},
        {F::WithoutModem, false, true, "ControlMdm", MainRequest::RefreshModemStatus},
        {F::FloatWindow, true, true, "FloatWindow", MainRequest::ShowFloatWindow},
        {F::FloatWindow, false, true, "FloatWindow", MainRequest::HideFloatWindow},
        {F::TrayIcon, false, true, "Icon", MainRequest::RemoveTrayIcon},
        {F::TrayIcon, true, true, "Icon", MainRequest::None},  // shown already
        {F::TrayIcon, false, false, "Icon", MainRequest::None},  // no window to own it
        {F::Autostart, true, true, nullptr, MainRequest::AutostartOn},
        {F::Autostart, false, true, nullptr, MainRequest::AutostartOff},
        {F::Add, true, true, nullptr, MainRequest::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.field)) + (c.checked ? " checked" : " cleared"));
        Settings settings;  // Icon on by default
        RecordedWrites writes;
        MainDialogModel model(settings, writes, !c.checked);
        MainDialogSituation situation;
        situation.mainWindowExists = c.mainWindow;
        model.See(situation);
        EXPECT_EQ(model.Click(c.field, c.checked), c.request);
        if (c.name == nullptr) {
            EXPECT_TRUE(writes.stored.empty());
            if (c.field == F::Autostart) EXPECT_EQ(model.Checked(F::Autostart), c.checked);
            continue;
        }
        ASSERT_EQ(writes.stored.count(c.name), 1u);
        EXPECT_EQ(writes.stored[c.name], c.checked ? 1u : 0u);
        EXPECT_EQ(model.Checked(c.field), c.checked) << "the mark shows the setting";
    }
}

TEST(MainDialogSwitches, TheFloatWindowIsForcedOnUntilAProgramSpeaks) {
    Settings settings;
    settings.FloatWindow = 0;
    RecordedWrites writes;
    MainDialogModel model(settings, writes, false);
    EXPECT_TRUE(model.ForceFloatWindow());
    EXPECT_EQ(settings.FloatWindow, 1u);
    EXPECT_EQ(writes.stored, (std::map<std::string, std::uint32_t>{{"FloatWindow", 1}}));
    writes.stored.clear();
    EXPECT_TRUE(model.ForceFloatWindow()) << "still shown, not written again";
    EXPECT_TRUE(writes.stored.empty());

    MainDialogSituation spoken;
    spoken.anyAliveSeen = true;
    model.See(spoken);
    settings.FloatWindow = 0;
    EXPECT_FALSE(model.ForceFloatWindow());
    EXPECT_EQ(settings.FloatWindow, 0u);
}

TEST(MainDialogSwitches, TheControllerPortShowsEmptyUntilOneIsSet) {
    Settings settings;
    RecordedWrites writes;
    MainDialogModel model(settings, writes, false);
    EXPECT_EQ(model.Text(MainField::ControllerPort), "");
    EXPECT_FALSE(model.TakeControllerPort());
    settings.ControllerPort = 4;  // the controller found the card there
    EXPECT_TRUE(model.TakeControllerPort());
    EXPECT_EQ(model.Text(MainField::ControllerPort), "4");
    EXPECT_EQ(model.Text(MainField::RebootTimeout), "10");
}

void ThreePrograms(SupervisionState& state) {
    ModuleEntry on;
    on.CheckInterval = 10000;
    on.Copies = 3;
    ModuleEntry disarmed = on;
    disarmed.Armed = 0;  // announced its end: off, whatever its switch says
    state.modules.Add("C:\\Kiosk\\terminal.exe", on);
    state.modules.Add("C:\\Kiosk\\quiet.exe", disarmed);
    state.modules.Add("C:\\Kiosk\\idle.exe", on);
    // Two processes of the terminal, found by a path spelt another way.
    state.snapshot = {{10, "c:\\kiosk\\TERMINAL.EXE"}, {11, "C:\\Kiosk\\terminal.exe"}, {12, "C:\\other.exe"}};
    state.alive[10] = AliveEntry{1000, 50000, 10000, 0, "C:\\KIOSK\\terminal.exe", true};
    state.alive[11] = AliveEntry{3000, 40000, 10000, 0, "C:\\Kiosk\\terminal.exe", true};
}

TEST(MainDialogRows, AreTheListInItsOrderWithTheirProcesses) {
    SupervisionState state;
    ThreePrograms(state);
    const std::vector<ProgramRow> rows = TakeProgramRows(state);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].path, "C:\\Kiosk\\idle.exe");
    EXPECT_EQ(rows[1].path, "C:\\Kiosk\\quiet.exe");
    EXPECT_EQ(rows[2].path, "C:\\Kiosk\\terminal.exe");
    EXPECT_TRUE(rows[0].controlOn);
    EXPECT_FALSE(rows[1].controlOn);
    EXPECT_EQ(rows[2].running, 2);
    EXPECT_EQ(rows[2].smallestLastAlive, 40000u);
    EXPECT_EQ(rows[2].smallestStartTick, 1000u);
    EXPECT_EQ(rows[0].smallestLastAlive, 0xFFFFFFFFu);

    EXPECT_EQ(RunningCell(rows[2], true), "2/3");
    EXPECT_EQ(RunningCell(rows[0], true), "0/3");
    EXPECT_EQ(RunningCell(rows[2], false), "");
}

TEST(MainDialogRows, IntervalShowsTheSecondsSinceTheLastSignOfLife) {
    ProgramRow row;
    row.controlOn = true;
    row.checkInterval = 10000;
    row.smallestLastAlive = 100000;
    row.smallestStartTick = 90000;
    const struct {
        Tick now;
        bool supervisionOn, controlOn, failureAction;
        const char* text;
        IntervalColour colour;
    } cases[] = {
        {106000, true, true, false, "6/10", IntervalColour::Olive},
        {108000, true, true, false, "8/10", IntervalColour::Red},
        {105000, true, true, false, "5/10", IntervalColour::Green},
        {107999, true, true, false, "7/10", IntervalColour::Olive},
        // Below the last sign of life: counted from the start instead.
        {95000, true, true, false, "5/10", IntervalColour::Green},
        // Below both: nothing counted.
        {80000, true, true, false, "0/10", IntervalColour::Green},
        {108000, false, true, false, "0/10", IntervalColour::Green},
        {108000, true, false, false, "0/10", IntervalColour::Green},
        {108000, true, true, true, "0/10", IntervalColour::Green},
    };
    for (const auto& c : cases) {
        row.controlOn = c.controlOn;
        const std::string text = IntervalCell(row, c.supervisionOn, c.failureAction, c.now);
        EXPECT_EQ(text, c.text) << c.now;
        EXPECT_EQ(ColourOfIntervalText(text), c.colour) << text;
    }
    EXPECT_EQ(ColourOfIntervalText(""), IntervalColour::Green);
    EXPECT_EQ(ColourOfIntervalText("4/5"), IntervalColour::Red);
}

}  // namespace
}  // namespace mrwd
