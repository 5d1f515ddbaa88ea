// The main dialog of the real mrwd.exe, opened as an operator opens it (a
// second start) and driven from this program in the same Wine prefix: its
// list read across the process boundary, its buttons clicked, its status
// lines following the simulated card and modem.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
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

// The server's main dialog, found by its class and owner process.
HWND FindMainDialog(DWORD serverId) {
    struct Search {
        DWORD id;
        HWND found;
    } search{serverId, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM lParam) {
            auto* s = reinterpret_cast<Search*>(lParam);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            wchar_t name[16] = {};
            ::GetClassNameW(window, name, 16);
            if (owner != s->id || std::wstring(name) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
            if (::GetDlgItem(window, IDC_PROGRAM_LIST) == nullptr) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring TextOf(HWND dialog, int id) {
    wchar_t text[512] = {};
    ::GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

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

}  // namespace
}  // namespace mrwd::testing
