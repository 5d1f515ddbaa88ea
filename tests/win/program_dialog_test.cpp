// The program parameters dialog from its real template, in this process
// under Wine, on a buffer; its choosers answered by the test.
#include "ui/win/program_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "base/win/texts.h"
#include "resources/resource_ids.h"
#include "tests/harness/modal_dialog.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

namespace fs = std::filesystem;

class AnsweringPrompts : public DialogPrompts {
public:
    void Warn(HWND, UINT id) override { shown.push_back(id); }
    void Inform(HWND, UINT id) override { shown.push_back(id); }
    std::optional<std::string> ChooseFile(HWND, UINT, const std::string&) override { return file; }
    std::optional<std::string> ChooseFolder(HWND, UINT) override { return folder; }
    std::vector<UINT> shown;
    std::optional<std::string> file;
    std::optional<std::string> folder;
};

class ProgramDialog : public ::testing::Test {
protected:
    ProgramDialog() : folder_(FreshTestFolder("ProgramDialog")) {
        program_ = folder_ + "\\app.exe";
        std::ofstream(program_) << "stand-in";
        fs::create_directories(folder_ + "\\data\\sub");
        std::ofstream(folder_ + "\\data\\settings.ini") << "a=1";
        std::ofstream(folder_ + "\\data\\sub\\more.ini") << "b=2";
    }
    INT_PTR Run(const std::function<void(ModalDialog&)>& act) {
        ProgramDialogContext context{path_, entry_, true, excluded_, prompts_, log_};
        ModalDialog dialog([&] { return RunProgramDialog(::GetModuleHandleW(nullptr), nullptr, context); });
        EXPECT_NE(dialog.Window(), nullptr);
        act(dialog);
        return dialog.Result();
    }

    std::string folder_;
    std::string program_;
    std::string path_;
    ModuleEntry entry_ = UserAddedEntry();
    std::set<std::string> excluded_{"drweb32w.exe"};
    AnsweringPrompts prompts_;
    std::atomic<std::uint32_t> logOn_{0};
    EventLog log_{logOn_};
};

TEST_F(ProgramDialog, EachMissingPieceIsReportedInItsTurn) {
    const INT_PTR result = Run([&](ModalDialog& d) {
        d.Click(IDOK);
        d.Type(IDC_PROGRAM_PATH, WidenText(program_, CP_ACP).c_str());
        d.Click(IDC_RUN_PROGRAM);
        d.Click(IDOK);
        d.Type(IDC_RUN_PATH, WidenText(program_, CP_ACP).c_str());
        d.Click(IDC_COPY_FILES);
        EXPECT_EQ(d.Text(IDC_RESTORE_FOLDER), WidenText(folder_, CP_ACP)) << "the program's own folder";
        d.Type(IDC_RESTORE_FOLDER, L"Z:\\nowhere at all");
        d.Click(IDOK);
        d.Type(IDC_RESTORE_FOLDER, WidenText(folder_ + "\\data", CP_ACP).c_str());
        d.Click(IDOK);
        d.Type(IDC_BACKUP_FOLDER, WidenText(folder_ + "\\DATA", CP_ACP).c_str());
        d.Click(IDOK);
        EXPECT_TRUE(::IsWindow(d.Window()));
        fs::create_directories(folder_ + "\\backup");
        d.Type(IDC_BACKUP_FOLDER, WidenText(folder_ + "\\backup", CP_ACP).c_str());
        d.Type(IDC_RUN_AFTER, L"2");
        d.Type(IDC_COPY_AFTER, L"1");
        d.Click(IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(prompts_.shown, (std::vector<UINT>{IDS_PROGRAM_NOT_FOUND, IDS_RUN_PROGRAM_NOT_FOUND,
                                                 IDS_RESTORE_FOLDER_NOT_FOUND, IDS_BACKUP_FOLDER_NOT_FOUND,
                                                 IDS_CHOOSE_OTHER_BACKUP_FOLDER}));
    EXPECT_EQ(path_, program_);
    EXPECT_EQ(entry_.RunAfter, 2);
    EXPECT_EQ(entry_.RunPath, program_);
    EXPECT_EQ(entry_.CopyAfter, 1);
    EXPECT_EQ(entry_.RestoreFolder, folder_ + "\\data");
    EXPECT_EQ(entry_.BackupFolder, folder_ + "\\backup");
}

TEST_F(ProgramDialog, ChoosersFillTheirFieldsAndRefuseWhatTheyMust) {
    path_ = program_;
    const INT_PTR result = Run([&](ModalDialog& d) {
        // A program that may not be supervised: refused, the path stays.
        prompts_.file = "C:\\DrWeb\\drweb32w.exe";
        d.Click(IDC_CHOOSE_PROGRAM);
        EXPECT_EQ(d.Text(IDC_PROGRAM_PATH), WidenText(program_, CP_ACP));
        prompts_.file = "C:\\Other\\b.exe";
        d.Click(IDC_CHOOSE_PROGRAM);
        EXPECT_EQ(d.Text(IDC_PROGRAM_PATH), L"C:\\Other\\b.exe");
        EXPECT_EQ(d.Text(IDC_RESTORE_FOLDER), L"C:\\Other");
        // The backup folder may not be the folder it restores.
        d.Click(IDC_COPY_FILES);
        EXPECT_TRUE(d.Enabled(IDC_CHOOSE_BACKUP_FOLDER));
        prompts_.folder = "c:\\other";
        d.Click(IDC_CHOOSE_BACKUP_FOLDER);
        EXPECT_EQ(d.Text(IDC_BACKUP_FOLDER), L"");
        prompts_.folder = "C:\\Backup";
        d.Click(IDC_CHOOSE_BACKUP_FOLDER);
        EXPECT_EQ(d.Text(IDC_BACKUP_FOLDER), L"C:\\Backup");
        d.Click(IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(prompts_.shown, (std::vector<UINT>{IDS_CANNOT_CONTROL, IDS_CHOOSE_OTHER_BACKUP_FOLDER}));
    EXPECT_EQ(path_, program_) << "Cancel leaves the buffer";
}

TEST_F(ProgramDialog, MakeCopiesFillsABackupFolderThatDoesNotExistYet) {
    path_ = program_;
    const std::string backup = folder_ + "\\new backup\\level";
    Run([&](ModalDialog& d) {
        d.Click(IDC_COPY_FILES);
        d.Type(IDC_RESTORE_FOLDER, WidenText(folder_ + "\\data", CP_ACP).c_str());
        d.Click(IDC_MAKE_COPIES);
        d.Type(IDC_BACKUP_FOLDER, WidenText(backup, CP_ACP).c_str());
        d.Click(IDC_COPY_SUBFOLDERS);
        d.Click(IDC_MAKE_COPIES);
        d.Click(IDCANCEL);
    });
    EXPECT_EQ(prompts_.shown, (std::vector<UINT>{IDS_CHOOSE_BACKUP_FOLDER, IDS_COPY_FINISHED}));
    EXPECT_EQ(ReadWholeFile(backup + "\\settings.ini"), "a=1");
    EXPECT_EQ(ReadWholeFile(backup + "\\sub\\more.ini"), "b=2");
}

TEST_F(ProgramDialog, MakeCopiesThatCopiedNothingWarnsInsteadOfReportingSuccess) {
    path_ = program_;
    // A file stands where the backup folder would be made: the shell cannot copy into it.
    const std::string occupied = folder_ + "\\occupied";
    std::ofstream(occupied) << "a file, not a folder";
    Run([&](ModalDialog& d) {
        d.Click(IDC_COPY_FILES);
        d.Type(IDC_RESTORE_FOLDER, WidenText(folder_ + "\\data", CP_ACP).c_str());
        d.Type(IDC_BACKUP_FOLDER, WidenText(occupied, CP_ACP).c_str());
        d.Click(IDC_MAKE_COPIES);
        d.Click(IDCANCEL);
    });
    EXPECT_EQ(prompts_.shown, (std::vector<UINT>{IDS_MAKE_COPIES_FAILED}));
    EXPECT_EQ(ReadWholeFile(occupied), "a file, not a folder");
}

}  // namespace
}  // namespace mrwd::testing
