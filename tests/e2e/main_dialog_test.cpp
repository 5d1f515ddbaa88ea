// The main dialog of the real mrwd.exe, opened as an operator opens it (a
// second start) and driven from this program in the same Wine prefix: its
// list read across the process boundary, its buttons clicked, its status
// lines following the simulated card and modem.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <fstream>

#include "resources/resource_ids.h"
#include "supervision/win/module_store.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// Memory in the server's process, for the list view messages whose
// arguments are pointers.
class RemoteBuffer {
public:
    RemoteBuffer(DWORD processId, size_t size)
        : process_(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId)),
          size_(size) {
        if (process_) address_ = ::VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address_ != nullptr) ::VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
    }
    void* Address() const { return address_; }
    bool Write(const void* data, size_t size, size_t offset = 0) {
        return ::WriteProcessMemory(process_.get(), static_cast<char*>(address_) + offset, data, size, nullptr);
    }
    bool Read(void* data, size_t size, size_t offset = 0) {
        return ::ReadProcessMemory(process_.get(), static_cast<char*>(address_) + offset, data, size, nullptr);
    }

private:
    UniqueHandle process_;
    size_t size_;
    void* address_ = nullptr;
};

// The server's main dialog, found by its class and its program list.
HWND FindMainDialog(DWORD serverId) {
    return FindWindowOfProcess(serverId, [](HWND window) {
        wchar_t name[16] = {};
        ::GetClassNameW(window, name, 16);
        return std::wstring(name) == L"#32770" && ::IsWindowVisible(window) &&
               ::GetDlgItem(window, IDC_PROGRAM_LIST) != nullptr;
    });
}

std::wstring TextOf(HWND dialog, int id) {
    wchar_t text[512] = {};
    ::GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

// The program parameters dialog over the main dialog, in the server.
HWND FindProgramDialog(DWORD serverId) {
    return FindWindowOfProcess(serverId, [](HWND window) {
        return ::IsWindowVisible(window) && ::GetDlgItem(window, IDC_NO_ALIVE_SUPPORT) != nullptr;
    });
}

void TypeInto(HWND dialog, int id, const std::string& text) {
    const std::wstring wide(text.begin(), text.end());
    ::SendMessageW(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void ClickIn(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

class MainDialogE2e : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Available()) << "run through tests/harness/with-cardsim";
        ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "CheckContr", 1));
        ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "Modem", static_cast<DWORD>(sim_.ModemPort())));
        ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "ControlMdm", 0));
    }
    std::wstring Cell(int row, int column) {
        RemoteBuffer remote(server_->Id(), sizeof(LVITEMW) + 600);
        LVITEMW item{};
        item.iSubItem = column;
        item.cchTextMax = 300;
        item.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote.Address()) + sizeof(LVITEMW));
        remote.Write(&item, sizeof item);
        const LRESULT length = ::SendMessageW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.Address()));
        std::wstring text(static_cast<size_t>(length > 0 ? length : 0), L'\0');
        if (length > 0) remote.Read(&text[0], static_cast<size_t>(length) * sizeof(wchar_t), sizeof(LVITEMW));
        return text;
    }
    void Select(int row) {
        RemoteBuffer remote(server_->Id(), sizeof(LVITEMW));
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        remote.Write(&item, sizeof item);
        ::SendMessageW(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote.Address()));
    }
    // The first number of the interval column ("elapsed/interval").
    int Elapsed() { return _wtoi(Cell(0, 3).c_str()); }

    CleanSettings clean_;
    ServerSandbox sandbox_{TestName()};
    CardSimulator sim_;
    ChildProcess* server_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(MainDialogE2e, ShowsTheLiveListAndStatusAndActsOnTheSelectedProgram) {
    server_ = &sandbox_.Start("");
    ASSERT_TRUE(sandbox_.WaitForLog("Watchdog сервер загружен."));
    const std::string app = sandbox_.AddProgram("beats.exe");
    // A beat every 6 s against an interval of 25 s: the elapsed time climbs between beats.
    ChildProcess& program = sandbox_.StartProgram(app, "--interval 25 --beat 6000");
    ASSERT_TRUE(sandbox_.WaitForLog("Зарегистрировался для контроля процесс " + std::to_string(program.Id())));

    // A second start brings the dialog up in the running server.
    EXPECT_EQ(sandbox_.Run(""), 0u);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindMainDialog(server_->Id())) != nullptr; }, kDeadlineMs));
    wchar_t title[128] = {};
    ::GetWindowTextW(dialog, title, 128);
    EXPECT_STREQ(title, L"Marotel ZedevUdo Server (ЮРК) версия 2.96 build 681");
    list_ = ::GetDlgItem(dialog, IDC_PROGRAM_LIST);

    ASSERT_TRUE(WaitUntil([&] { return ::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0) == 1; }, kDeadlineMs));
    EXPECT_EQ(Cell(0, 0), L"beats.exe");
    EXPECT_EQ(Cell(0, 1), L"вкл.");
    EXPECT_TRUE(WaitUntil([&] { return Cell(0, 2) == L"1/1"; }, kDeadlineMs)) << "running: " << Cell(0, 2).size();
    // The engine's refreshes move the interval column on.
    int highest = 0;
    EXPECT_TRUE(WaitUntil([&] {
        highest = std::max(highest, Elapsed());
        return highest >= 3;
    }, kDeadlineMs));
    EXPECT_EQ(Cell(0, 3).substr(Cell(0, 3).find(L'/')), L"/25");

    // The card works on the simulator's port; the modem line follows the modem.
    const std::wstring port = L"№ " + std::to_wstring(sim_.CardPort());
    EXPECT_TRUE(WaitUntil([&] { return TextOf(dialog, IDC_CONTROLLER_STATUS_TEXT).find(port) != std::wstring::npos; },
                          kDeadlineMs));
    std::wstring modemBefore;
    ASSERT_TRUE(WaitUntil([&] {
        modemBefore = TextOf(dialog, IDC_MODEM_STATUS_TEXT);
        return modemBefore.find(L"№ " + std::to_wstring(sim_.ModemPort())) != std::wstring::npos;
    }, 40000));
    sim_.Control("modem hang on");
    EXPECT_TRUE(WaitUntil([&] { return TextOf(dialog, IDC_MODEM_STATUS_TEXT) != modemBefore; }, 40000));
    sim_.Control("modem hang off");

    // Supervision off through the toggle; then the program is closed from the list.
    EXPECT_EQ(TextOf(dialog, IDC_SUPERVISION_TOGGLE), L"Отключить");
    ::SendMessageW(::GetDlgItem(dialog, IDC_SUPERVISION_TOGGLE), BM_CLICK, 0, 0);
    EXPECT_EQ(TextOf(dialog, IDC_SUPERVISION_TOGGLE), L"Включить");
    Select(0);
    ::SendMessageW(::GetDlgItem(dialog, IDC_CLOSE_PROGRAM_BUTTON), BM_CLICK, 0, 0);
    DWORD code = 1;
    EXPECT_TRUE(program.WaitForExit(kDeadlineMs, &code));
    EXPECT_EQ(code, 0u);

    ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }, kDeadlineMs));
    EXPECT_EQ(sandbox_.Run("/k"), 0u);
    EXPECT_TRUE(server_->WaitForExit(kDeadlineMs));
}

// Everything an operator does to put a program under supervision, through the
// dialogs only: the program is added with a recovery program and a backup of
// its files, moved to another path, and then watched: when it hangs it is
// killed, the recovery program runs, its files come back, and it starts again.
TEST_F(MainDialogE2e, AProgramAddedAndMovedInTheDialogsIsSupervisedWithItsFailureActions) {
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "Active", 0));
    const std::string folder = sandbox_.Folder();
    ::CreateDirectoryA((folder + "app").c_str(), nullptr);
    ::CreateDirectoryA((folder + "backup").c_str(), nullptr);
    const std::string first = sandbox_.AddProgram("app\\first.exe");
    const std::string watched = sandbox_.AddProgram("app\\watched.exe");
    const std::string fix = sandbox_.AddProgram("fix.exe");
    std::ofstream(folder + "backup\\config.ini") << "good";
    std::ofstream(folder + "app\\config.ini") << "damaged";
    // The recovery program is started without arguments: a stand-in then takes
    // them from here, records its start and ends at once.
    const std::string fixRecord = folder + "fix-record.txt";
    ::SetEnvironmentVariableA("MRWD_STANDIN_ARGS", ("--no-alive --exit-after 200 --exit silent --record " + fixRecord).c_str());

    server_ = &sandbox_.Start("");
    ::SetEnvironmentVariableA("MRWD_STANDIN_ARGS", nullptr);
    ASSERT_TRUE(sandbox_.WaitForLog("Watchdog сервер загружен."));
    EXPECT_EQ(sandbox_.Run(""), 0u);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindMainDialog(server_->Id())) != nullptr; }, kDeadlineMs));
    list_ = ::GetDlgItem(dialog, IDC_PROGRAM_LIST);

    // Add: typed as an operator types, every failure action set.
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_ADD_BUTTON, BN_CLICKED), 0);
    HWND program = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (program = FindProgramDialog(server_->Id())) != nullptr; }, kDeadlineMs));
    TypeInto(program, IDC_PROGRAM_PATH, first);
    TypeInto(program, IDC_PARAMETERS, "--window --freeze-after 3000");
    TypeInto(program, IDC_COPIES, "1");
    TypeInto(program, IDC_START_DELAY, "1");
    TypeInto(program, IDC_CHECK_INTERVAL, "10");
    ClickIn(program, IDC_RUN_PROGRAM);
    TypeInto(program, IDC_RUN_PATH, fix);
    TypeInto(program, IDC_RUN_AFTER, "1");
    ClickIn(program, IDC_COPY_FILES);
    TypeInto(program, IDC_BACKUP_FOLDER, folder + "backup");
    TypeInto(program, IDC_COPY_AFTER, "1");
    ClickIn(program, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(program); }, kDeadlineMs));
    ModuleStore store(HKEY_CURRENT_USER);
    ModuleList stored;
    ASSERT_TRUE(WaitUntil([&] {
        stored.Clear();
        store.Load(stored);
        return stored.Find(first) != nullptr;
    }, kDeadlineMs));
    const ModuleEntry added = *stored.Find(first);
    EXPECT_EQ(added.Parameters, "--window --freeze-after 3000");
    EXPECT_EQ(added.Copies, 1u);
    EXPECT_EQ(added.StartDelay, 1000u);
    EXPECT_EQ(added.CheckInterval, 10000u);
    EXPECT_EQ(added.NoAliveSupport, 1);
    EXPECT_EQ(added.RunAfter, 1);
    EXPECT_EQ(added.RunPath, fix);
    EXPECT_EQ(added.CopyAfter, 1);
    EXPECT_EQ(added.BackupFolder, folder + "backup");
    EXPECT_EQ(added.RestoreFolder, folder + "app");

    // Parameters: moved to another program file.
    Select(0);
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PARAMETERS_BUTTON, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return (program = FindProgramDialog(server_->Id())) != nullptr; }, kDeadlineMs));
    TypeInto(program, IDC_PROGRAM_PATH, watched);
    ClickIn(program, IDOK);
    ASSERT_TRUE(WaitUntil([&] {
        stored.Clear();
        store.Load(stored);
        return stored.Find(watched) != nullptr;
    }, kDeadlineMs));
    EXPECT_EQ(stored.Find(first), nullptr);
    EXPECT_EQ(stored.Find(watched)->RunPath, fix);

    // Supervision on: the engine starts it; it freezes; the actions follow.
    ClickIn(dialog, IDC_SUPERVISION_TOGGLE);
    EXPECT_TRUE(WaitUntil([&] { return ServerSandbox::CountProcesses(watched) == 1; }, kDeadlineMs));
    const std::string restart = "Перезапуск номер 1, программы " + Utf8FromCp1251(watched) + ".";
    EXPECT_TRUE(sandbox_.WaitForLog(restart, 1, 60000)) << sandbox_.Log();
    // The restart is logged before the actions run.
    EXPECT_TRUE(WaitUntil([&] { return ReadWholeFile(fixRecord).find("started") != std::string::npos; }, kDeadlineMs))
        << "the recovery program ran";
    EXPECT_TRUE(WaitUntil([&] { return ReadWholeFile(folder + "app\\config.ini") == "good"; }, kDeadlineMs))
        << "the files came back from the backup";
    EXPECT_TRUE(WaitUntil([&] { return ServerSandbox::CountProcesses(watched) == 1; }, kDeadlineMs));

    ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(sandbox_.Run("/k"), 0u);
    EXPECT_TRUE(server_->WaitForExit(kDeadlineMs));
}

}  // namespace
}  // namespace mrwd::testing
