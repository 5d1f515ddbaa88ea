#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "ui/core/main_dialog_model.h"

namespace mrwd {
namespace {

// Every combination of the facts the rules read, against the rules as the
// operator's manual states them.
TEST(MainDialogEnableRules, FollowSupervisionControllerModemPortAndSelection) {
    for (int bits = 0; bits < 16 * 3 * 8; ++bits) {
        EnableFacts f;
        f.supervisionOn = bits & 1;
        f.withoutController = bits & 2;
        f.withoutModemControl = bits & 4;
        f.customControllerPort = bits & 8;
        f.selectedRows = (bits >> 4) % 3;
        f.logOn = (bits / 48) & 1;
        f.anyAliveSeen = (bits / 48) & 2;
        f.mainWindowExists = (bits / 48) & 4;
        const bool off = !f.supervisionOn;
        const bool card = !f.withoutController;
        const struct {
            int id;
            bool enabled;
        } expected[] = {
            {IDC_ADD_BUTTON, off},
            {IDC_NOTIFICATION_BUTTON, off},
            {IDC_REBOOT_TIMEOUT, off},
            {IDC_DELETE_BUTTON, off && f.selectedRows == 1},
            {IDC_PARAMETERS_BUTTON, off && f.selectedRows == 1},
            {IDC_CLOSE_PROGRAM_BUTTON, f.selectedRows > 0},
            {IDC_CUSTOM_CONTROLLER_PORT, off && card},
            {IDC_CONTROLLER_PORT, off && card && f.customControllerPort},
            {IDC_HARD_REBOOT_ONLY, card},
            {IDC_REPORT_CARD_FAILURE, card},
            {IDC_WITHOUT_MODEM, card},
            {IDC_MODEM_PORT, off && card && !f.withoutModemControl},
            {IDC_MODEM_INTERVAL, off && card && !f.withoutModemControl},
            {IDC_LOG_FOLDER_BUTTON, f.logOn},
            {IDC_FLOAT_WINDOW, f.anyAliveSeen},
            {IDC_SUPERVISION_ICON, f.mainWindowExists},
            {IDC_SUPERVISION_TOGGLE, f.mainWindowExists},
            {IDC_UNLOAD_BUTTON, f.mainWindowExists},
            {IDC_TRAY_ICON, true},
        };
        for (const auto& e : expected) {
            EXPECT_EQ(MainDialogControlEnabled(e.id, f), e.enabled) << "control " << e.id << ", facts " << bits;
        }
    }
    EXPECT_EQ(MainDialogRuledControls().size(), 18u);
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
