#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "resources/resource_ids.h"
#include "supervision/core/program_edits.h"
#include "ui/core/program_model.h"

namespace mrwd {
namespace {

using F = ProgramField;

class TablePaths : public PathProbe {
public:
    explicit TablePaths(std::set<std::string> existing) : existing_(std::move(existing)) {}
    bool Exists(const std::string& path) const override { return existing_.count(path) != 0; }
    bool Same(const std::string& a, const std::string& b) const override {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
               });
    }

private:
    std::set<std::string> existing_;
};

ModuleEntry Stored() {
    ModuleEntry e;
    e.CheckInterval = 5000;  // below the floor, as an old record may hold
    e.StartDelay = 30000;
    e.RunPath = "C:\\Tools\\fix.bat";
    e.RunAfter = -1;
    return e;
}

TEST(ProgramModel, ShowsTheRecordInSecondsAndSwitches) {
    ProgramModel model("C:\\Kiosk\\app.exe", Stored(), true);
    EXPECT_EQ(model.Text(F::StartDelay), "30");
    EXPECT_EQ(model.Text(F::CheckInterval), "10") << "stored 5000 ms shows as the 10-second floor";
    EXPECT_EQ(model.Text(F::RunPath), "") << "shown only with the action on";
    EXPECT_FALSE(model.Checked(F::RunProgram));
    EXPECT_EQ(model.Text(F::NotifyAfter), "1");
}

TEST(ProgramModel, EnableRulesFollowTheirSwitches) {
    const struct {
        F sw;
        std::vector<F> governed;
    } groups[] = {
        {F::NoAliveSupport, {F::CheckInterval}},
        {F::Reboot, {F::RebootAfter}},
        {F::RunProgram, {F::RunPath, F::RunAfter}},
        {F::CopyFiles,
         {F::BackupFolder, F::RestoreFolder, F::CopyAfter, F::CopyBeforeStart, F::CopyOnlyDifferent, F::CopySubfolders,
          F::MakeCopies}},
    };
    ModuleEntry none = Stored();
    none.NoAliveSupport = 0;
    for (const auto& group : groups) {
        ProgramModel model("C:\\a.exe", none, true);
        for (F f : group.governed) EXPECT_FALSE(model.Enabled(f)) << static_cast<int>(f);
        model.Click(group.sw, true);
        for (F f : group.governed) EXPECT_TRUE(model.Enabled(f)) << static_cast<int>(f);
        model.Click(group.sw, false);
        for (F f : group.governed) EXPECT_FALSE(model.Enabled(f)) << static_cast<int>(f);
    }
    // Notification needs mail set up, and its count needs the switch too.
    for (bool mail : {false, true}) {
        for (bool notify : {false, true}) {
            ModuleEntry e = Stored();
            e.Notify = notify;
            ProgramModel model("C:\\a.exe", e, mail);
            EXPECT_EQ(model.Enabled(F::Notify), mail);
            EXPECT_EQ(model.Enabled(F::NotifyAfter), mail && notify);
        }
    }
}

TEST(ProgramModel, SwitchesFillTheirFields) {
    ModuleEntry e = Stored();
    e.NoAliveSupport = 0;
    e.Armed = 0;
    ProgramModel model("C:\\Kiosk\\app.exe", e, true);
    EXPECT_EQ(model.Text(F::CheckInterval), "");
    model.Click(F::NoAliveSupport, true);
    EXPECT_EQ(model.Text(F::CheckInterval), "10");
    EXPECT_EQ(model.Result().Armed, 1) << "clicking 1030 arms the program";
    model.Click(F::Reboot, true);
    EXPECT_EQ(model.Text(F::RebootAfter), "1");
    model.SetText(F::RebootAfter, "0");
    model.OnRebootCountEdited();
    EXPECT_EQ(model.Text(F::RebootAfter), "1");
    model.SetText(F::RestoreFolder, "D:\\Elsewhere");
    model.Click(F::CopyFiles, true);
    EXPECT_EQ(model.Text(F::RestoreFolder), "C:\\Kiosk") << "the program's own folder, whatever was there";

    EXPECT_FALSE(model.ChooseProgram("C:\\DrWeb\\drweb32w.exe", {"drweb32w.exe"}));
    EXPECT_EQ(model.Text(F::Path), "C:\\Kiosk\\app.exe");
    EXPECT_TRUE(model.ChooseProgram("C:\\Other\\b.exe", {"drweb32w.exe"}));
    EXPECT_EQ(model.Text(F::RestoreFolder), "C:\\Other");
}

TEST(ProgramModel, OkChecksInOrderAndTheFirstFailureWins) {
    const TablePaths probe({"C:\\Kiosk\\app.exe", "C:\\Kiosk", "C:\\Backup", "C:\\Tools\\fix.bat"});
    const struct {
        const char* path;
        bool run;
        const char* runPath;
        bool copy;
        const char* restore;
        const char* backup;
        unsigned warning;  // 0: none
    } cases[] = {
        {"C:\\Kiosk\\app.exe", false, "", false, "", "", 0},
        {"C:\\Kiosk\\gone.exe", true, "", true, "", "", IDS_PROGRAM_NOT_FOUND},
        {"", false, "", false, "", "", IDS_PROGRAM_NOT_FOUND},
        {"C:\\Kiosk\\app.exe", true, "", true, "", "", IDS_RUN_PROGRAM_NOT_FOUND},
        {"C:\\Kiosk\\app.exe", true, "C:\\Tools\\fix.bat", true, "C:\\Nowhere", "", IDS_RESTORE_FOLDER_NOT_FOUND},
        {"C:\\Kiosk\\app.exe", false, "", true, "C:\\Kiosk", "", IDS_BACKUP_FOLDER_NOT_FOUND},
        {"C:\\Kiosk\\app.exe", false, "", true, "C:\\Kiosk", "c:\\kiosk", IDS_BACKUP_FOLDER_NOT_FOUND},
        {"C:\\Kiosk\\app.exe", false, "", true, "C:\\Kiosk", "C:\\Kiosk", IDS_CHOOSE_OTHER_BACKUP_FOLDER},
        {"C:\\Kiosk\\app.exe", true, "C:\\Tools\\fix.bat", true, "C:\\Kiosk", "C:\\Backup", 0},
    };
    for (const auto& c : cases) {
        ProgramModel model(c.path, Stored(), true);
        model.Click(F::RunProgram, c.run);
        model.SetText(F::RunPath, c.runPath);
        model.Click(F::CopyFiles, c.copy);
        model.SetText(F::RestoreFolder, c.restore);
        model.SetText(F::BackupFolder, c.backup);
        const auto warning = model.Validate(probe);
        EXPECT_EQ(warning ? warning->stringId : 0u, c.warning) << c.path << " " << c.restore << " " << c.backup;
    }
    EXPECT_EQ(CheckMakeCopies("", "", probe)->stringId, static_cast<unsigned>(IDS_CHOOSE_RESTORE_FOLDER));
    EXPECT_EQ(CheckMakeCopies("C:\\New", "", probe)->stringId, static_cast<unsigned>(IDS_CHOOSE_BACKUP_FOLDER));
    EXPECT_EQ(CheckMakeCopies("C:\\New", "c:\\NEW", probe)->stringId, static_cast<unsigned>(IDS_CHOOSE_OTHER_BACKUP_FOLDER));
    EXPECT_FALSE(CheckMakeCopies("C:\\New", "C:\\NewBackup", probe)) << "the folders need not exist yet";
}

TEST(ProgramModel, StoresSecondsAsMillisecondsAndOffActionsAsTheirMarks) {
    ProgramModel model("C:\\Kiosk\\app.exe", Stored(), true);
    model.SetText(F::CheckInterval, "3");
    model.SetText(F::StartDelay, "1");
    ModuleEntry e = model.Result();
    EXPECT_EQ(e.CheckInterval, 10000u) << "3 s is below the floor";
    EXPECT_EQ(e.StartDelay, 1000u);
    EXPECT_EQ(e.RunAfter, -1);
    EXPECT_EQ(e.RunPath, "C:\\Tools\\fix.bat") << "the old text stays in the record";
    EXPECT_EQ(e.NotifyAfter, 1u);

    // Without 1030 the interval stays as stored.
    model.Click(F::NoAliveSupport, false);
    EXPECT_EQ(model.Result().CheckInterval, 5000u);

    // Numbers at and beyond 32 bits are cut, never wrapped into -1 or a small count.
    model.Click(F::RunProgram, true);
    model.Click(F::CopyFiles, true);
    model.Click(F::Reboot, true);
    model.SetText(F::RunAfter, "4294967295");
    model.SetText(F::CopyAfter, "99999999999999999999");
    model.SetText(F::RebootAfter, "4294967296");
    model.SetText(F::Copies, "4294967296");
    model.SetText(F::StartDelay, "4294967");
    e = model.Result();
    EXPECT_EQ(e.RunAfter, 2147483647);
    EXPECT_EQ(e.CopyAfter, 2147483647);
    EXPECT_EQ(e.RebootAfter, 2147483647u);
    EXPECT_EQ(e.Copies, 4294967295u);
    EXPECT_EQ(e.StartDelay, 4294967000u);
    EXPECT_EQ(ParseCount("12x", 100), std::nullopt);
}

// The dialog ran on a copy; the engine went on with the record meanwhile.
TEST(ProgramModel, AnEditTakesOnlyTheDialogsFieldsIntoTheRecordAsItIsNow) {
    ModuleEntry before = Stored();
    before.Armed = 0;
    ModuleEntry current = before;
    current.AliveSeen = 1;          // a registration
    current.IconIndex = 6;          // its icon, added to the list
    current.CheckInterval = 45000;  // announced by a heartbeat
    current.Armed = 1;              // registered again
    struct Case {
        const char* what;
        bool noAliveSupport;
        std::uint32_t interval;
        std::int32_t armed;
    };
    const Case cases[] = {
        {"no interval stored without its switch; the click arms", false, 45000, 1},
        {"the interval stored under its switch; arming left as it is now", true, 20000, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramModel model("C:\\Kiosk\\app.exe", before, true);
        if (model.Checked(F::NoAliveSupport) != c.noAliveSupport) model.Click(F::NoAliveSupport, c.noAliveSupport);
        model.SetText(F::CheckInterval, "20");
        model.SetText(F::Parameters, "--edited");
        ModuleEntry result = current;
        ApplyProgramEdit(before, model.Result(), result);
        EXPECT_EQ(result.Parameters, "--edited");
        EXPECT_EQ(result.AliveSeen, 1);
        EXPECT_EQ(result.IconIndex, 6);
        EXPECT_EQ(result.CheckInterval, c.interval);
        EXPECT_EQ(result.Armed, c.armed);
        EXPECT_EQ(result.RunPath, "C:\\Tools\\fix.bat");
    }
    // Disarmed meanwhile, armed again by a click in the dialog.
    current.Armed = 0;
    ProgramModel model("C:\\Kiosk\\app.exe", before, true);
    model.Click(F::ControlEnabled, true);
    ModuleEntry result = current;
    ApplyProgramEdit(before, model.Result(), result);
    EXPECT_EQ(result.Armed, 1);
    EXPECT_EQ(result.ControlEnabled, 1);
}

}  // namespace
}  // namespace mrwd
