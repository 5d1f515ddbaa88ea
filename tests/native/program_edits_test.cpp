#include "supervision/core/program_edits.h"

#include <gtest/gtest.h>

namespace mrwd {
namespace {

ModuleList TwoPrograms() {
    ModuleList list;
    ModuleEntry alpha;
    alpha.AliveSeen = 1;  // the engine's, never the dialog's
    alpha.Armed = 0;
    list.Add("C:\\Kiosk\\alpha.exe", alpha);
    list.Add("C:\\Kiosk\\gamma.exe", ModuleEntry());
    return list;
}

// The dialog's edit of alpha against the list as it is when OK comes.
TEST(ProgramEdits, AMoveIsRefusedOntoAnotherProgramAndLostWhenTheProgramWent) {
    struct Case {
        const char* what;
        const char* newPath;
        bool removedMeanwhile;
        EditOutcome outcome;
        const char* listedAfter;  // where alpha's record is then
    };
    const Case cases[] = {
        {"kept path", "C:\\Kiosk\\alpha.exe", false, EditOutcome::Done, "C:\\Kiosk\\alpha.exe"},
        {"only the case changes: no clash with itself", "c:\\kiosk\\ALPHA.EXE", false, EditOutcome::Done,
         "c:\\kiosk\\ALPHA.EXE"},
        {"moved to a free path", "C:\\Kiosk\\beta.exe", false, EditOutcome::Done, "C:\\Kiosk\\beta.exe"},
        {"onto gamma, spelt otherwise", "c:\\KIOSK\\gamma.exe", false, EditOutcome::AlreadyListed,
         "C:\\Kiosk\\alpha.exe"},
        {"deleted while the dialog was open", "C:\\Kiosk\\beta.exe", true, EditOutcome::Gone, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModuleList list = TwoPrograms();
        if (c.removedMeanwhile) list.Remove("C:\\Kiosk\\alpha.exe");
        ProgramEdit edit{"C:\\Kiosk\\alpha.exe", ModuleEntry(), c.newPath, ModuleEntry()};
        edit.before.Armed = 0;
        edit.edited.Armed = 0;
        edit.edited.Parameters = "--edited";
        ModuleEntry stored;
        EXPECT_EQ(ApplyEditToList(list, edit, &stored), c.outcome);
        EXPECT_EQ(list.Size(), c.removedMeanwhile ? 1u : 2u);
        EXPECT_EQ(list.Find("C:\\Kiosk\\gamma.exe")->Parameters, "") << "the other program is never touched";
        if (c.outcome != EditOutcome::Done) {
            if (c.listedAfter != nullptr) EXPECT_EQ(list.Find(c.listedAfter)->Parameters, "");
            continue;
        }
        EXPECT_EQ(*list.KeyOf(c.newPath), c.listedAfter);
        const ModuleEntry& moved = *list.Find(c.newPath);
        EXPECT_EQ(moved.Parameters, "--edited");
        EXPECT_EQ(moved.AliveSeen, 1) << "what the engine changed stays";
        EXPECT_EQ(moved.Armed, 1) << "a program given its parameters is expected to run";
        EXPECT_EQ(stored.Parameters, moved.Parameters);
        EXPECT_EQ(stored.Armed, moved.Armed);
    }
}

TEST(ProgramEdits, DoubleClickArmsFirstThenSwitchesTheControl) {
    ModuleList list = TwoPrograms();
    list.Find("C:\\Kiosk\\alpha.exe")->ControlEnabled = 0;
    struct Step {
        int armed;
        int controlEnabled;
    };
    const Step steps[] = {{1, 1}, {1, 0}, {1, 1}};
    for (const Step& step : steps) {
        ModuleEntry changed;
        ASSERT_TRUE(ToggleProgramControl(list, "c:\\kiosk\\alpha.exe", &changed));
        const ModuleEntry& now = *list.Find("C:\\Kiosk\\alpha.exe");
        EXPECT_EQ(now.Armed, step.armed);
        EXPECT_EQ(now.ControlEnabled, step.controlEnabled);
        EXPECT_EQ(changed.ControlEnabled, now.ControlEnabled);
    }
    ModuleEntry untouched;
    EXPECT_FALSE(ToggleProgramControl(list, "C:\\Kiosk\\beta.exe", &untouched));
}

}  // namespace
}  // namespace mrwd
