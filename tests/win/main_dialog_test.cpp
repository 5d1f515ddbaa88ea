// The main dialog from its real template, in this process under Wine, on a
// list of three programs; driven by the messages a user's clicks and typing
// produce, with the settings, the registry and the host's calls read back.
#include "ui/win/main_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>

#include <optional>
#include <vector>

#include "base/win/texts.h"
#include "resources/resource_ids.h"
#include "supervision/win/module_store.h"
#include "tests/harness/modal_dialog.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

class RecordingFloatWindow : public FloatWindowControl {
public:
    void Show() override { calls.push_back("show"); }
    void Hide() override { calls.push_back("hide"); }
    void SetState(FloatState state) override { calls.push_back("state " + std::to_string(static_cast<int>(state))); }
    std::vector<std::string> calls;
};

class RecordingHost : public MainDialogHost {
public:
    explicit RecordingHost(std::atomic<bool>& supervisionOn) : supervisionOn_(supervisionOn) {
        controller.Publish(LoadText(IDS_CONTROLLER_DEAD), kFault);
        modem.Publish(LoadText(IDS_MODEM_CONTROL_OFF), kNeutral);
    }
    HWND MainWindow() override { return ::GetDesktopWindow(); }
    // As the server's owner of the switch does: the open dialog shows it.
    void SwitchSupervision(bool on) override {
        switches.push_back(on);
        supervisionOn_ = on;
        RefreshMainDialog();
    }
    void UpdateTrayIcon(DWORD operation) override { trayOperations.push_back(operation); }
    bool IsAutostart() override { return autostart; }
    bool SetAutostart(bool enable) override {
        if (!autostartWritable) return false;
        autostart = enable;
        return true;
    }
    FloatWindowControl* FloatWindow() override { return &floatWindow; }
    const StatusLine* ControllerStatus() override { return &controller; }
    const StatusLine* ModemStatus() override { return &modem; }
    void RequestModemStatusRefresh() override { ++modemRefreshes; }
    void RequestCardSearch() override { ++cardSearches; }
    HWND ShowHelp(HWND) override { return nullptr; }
    void EditNotificationSettings(HWND) override { ++notificationDialogs; }
    // The program parameters dialog, answered as a user would: with `edited`
    // (path and changes) or a Cancel.
    bool EditProgram(HWND, std::string& path, ModuleEntry& entry) override {
        seenPaths.push_back(path);
        if (whileOpen) whileOpen();
        if (!confirmWith) return false;
        path = confirmWith->first;
        entry.Parameters = confirmWith->second;
        return true;
    }
    std::optional<std::pair<std::string, std::string>> confirmWith;
    // What other threads do while the dialog is open.
    std::function<void()> whileOpen;
    std::vector<std::string> seenPaths;

    std::vector<bool> switches;
    std::vector<DWORD> trayOperations;
    bool autostart = false;
    bool autostartWritable = true;
    RecordingFloatWindow floatWindow;
    StatusLine controller;
    StatusLine modem;
    int modemRefreshes = 0;
    int cardSearches = 0;
    int notificationDialogs = 0;

private:
    std::atomic<bool>& supervisionOn_;
};

class RecordingPrompts : public DialogPrompts {
public:
    void Warn(HWND, UINT id) override { shown.push_back(id); }
    void Inform(HWND, UINT id) override { shown.push_back(id); }
    std::optional<std::string> ChooseFile(HWND, UINT, const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseFolder(HWND, UINT) override { return std::nullopt; }
    std::vector<UINT> shown;
};

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest() {
        ModuleEntry seen;
        seen.AliveSeen = 1;
        seen.CheckInterval = 10000;
        ModuleEntry disarmed = seen;
        disarmed.Armed = 0;
        AddProgram("C:\\Kiosk\\alpha.exe", seen);
        AddProgram("C:\\Kiosk\\beta.exe", disarmed);
        AddProgram("C:\\Kiosk\\gamma.exe", seen);
        settings_.Log = 1;
    }
    void AddProgram(const std::string& path, const ModuleEntry& entry) {
        supervision_.modules.Add(path, entry);
        ModuleStore(HKEY_CURRENT_USER).Store(path, entry);
    }
    MainDialogContext Context() {
        return MainDialogContext{::GetModuleHandleW(nullptr), settings_, SettingsStore(false), supervisionOn_,
                                 supervision_, host_, prompts_, std::wstring()};
    }
    std::wstring Cell(HWND list, int row, int column) {
        wchar_t text[300] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 300;
        ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }
    void Select(HWND list, int row) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    void DoubleClick(HWND dialog, HWND list, int row) {
        Select(list, row);
        NMITEMACTIVATE activate{};
        activate.hdr.hwndFrom = list;
        activate.hdr.idFrom = IDC_PROGRAM_LIST;
        activate.hdr.code = NM_DBLCLK;
        activate.iItem = row;
        ::SendMessageW(dialog, WM_NOTIFY, IDC_PROGRAM_LIST, reinterpret_cast<LPARAM>(&activate));
    }
    DWORD Stored(const char* name) {
        DWORD value = 0xDEAD;
        RegistryReadDword(HKEY_CURRENT_USER, name, &value);
        return value;
    }

    CleanSettings clean_;
    Settings settings_;
    std::atomic<bool> supervisionOn_{false};
    SupervisionState supervision_;
    RecordingHost host_{supervisionOn_};
    RecordingPrompts prompts_;
};

class OpenMainDialog : public ModalDialog {
public:
    explicit OpenMainDialog(MainDialogContext& context)
        : ModalDialog([&context] {
              ShowMainDialog(nullptr, context);
              return INT_PTR{IDCANCEL};
          }) {}
};

TEST_F(MainDialogTest, ShowsTheProgramsAndTheirStateInFiveColumns) {
    supervisionOn_ = true;
    supervision_.snapshot[41] = "c:\\kiosk\\ALPHA.exe";
    MainDialogContext context = Context();
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    HWND list = dialog.Control(IDC_PROGRAM_LIST);
    ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(Cell(list, 0, 0), L"alpha.exe");
    EXPECT_EQ(Cell(list, 0, 1), L"вкл.");
    EXPECT_EQ(Cell(list, 1, 1), L"выкл.") << "not armed: off whatever its switch says";
    EXPECT_EQ(Cell(list, 0, 2), L"1/1");
    EXPECT_EQ(Cell(list, 2, 2), L"0/1");
    EXPECT_EQ(Cell(list, 2, 3), L"0/10");
    EXPECT_EQ(Cell(list, 1, 4), L"C:\\Kiosk\\beta.exe");
    EXPECT_EQ(dialog.Text(IDC_SUPERVISION_TOGGLE), L"Отключить");
    EXPECT_FALSE(dialog.Enabled(IDC_ADD_BUTTON));
    EXPECT_FALSE(dialog.Enabled(IDC_CLOSE_PROGRAM_BUTTON));
    Select(list, 0);
    EXPECT_TRUE(dialog.Enabled(IDC_CLOSE_PROGRAM_BUTTON));
    EXPECT_FALSE(dialog.Enabled(IDC_DELETE_BUTTON)) << "no deleting under a running watch";

    EXPECT_EQ(MainDialogWindow(), dialog.Window());
}

TEST_F(MainDialogTest, PathsAtTheLimitShowWholeAndAreCutToTheListsBuffer) {
    const std::string longest = "C:\\" + std::string(252, 'x') + ".exe";
    ASSERT_EQ(longest.size(), 259u);
    supervision_.modules.Add(longest, ModuleEntry{});
    MainDialogContext context = Context();
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    HWND list = dialog.Control(IDC_PROGRAM_LIST);
    EXPECT_EQ(Cell(list, 3, 4), std::wstring(longest.begin(), longest.end()));
    // A buffer shorter than the text: cut, with its zero, and nothing written past it.
    wchar_t small[12];
    std::fill(std::begin(small), std::end(small), L'#');
    LVITEMW item{};
    item.iSubItem = 4;
    item.pszText = small;
    item.cchTextMax = 8;
    ::SendMessageW(list, LVM_GETITEMTEXTW, 3, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(small), L"C:\\xxxx");
    EXPECT_EQ(small[8], L'#');
}

TEST_F(MainDialogTest, EachSwitchTakesEffectAndIsStoredAtOnce) {
    MainDialogContext context = Context();
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    const struct {
        int id;
        const char* value;
        std::atomic<std::uint32_t>* setting;
    } boxes[] = {
        {IDC_LOAD_ACTIVE, "Active", &settings_.Active},
        {IDC_CHECK_CLOCK, "System", &settings_.System},
        {IDC_KEEP_LOG, "Log", &settings_.Log},
        {IDC_HARD_REBOOT_ONLY, "HardReboot", &settings_.HardReboot},
        {IDC_CUSTOM_CONTROLLER_PORT, "CustomControllerPort", &settings_.CustomControllerPort},
        {IDC_REPORT_CARD_FAILURE, "CheckContr", &settings_.CheckContr},
        {IDC_WITHOUT_MODEM, "ControlMdm", &settings_.ControlMdm},
        {IDC_FLOAT_WINDOW, "FloatWindow", &settings_.FloatWindow},
        {IDC_TRAY_ICON, "Icon", &settings_.Icon},
        {IDC_WITHOUT_CONTROLLER, "Controller", &settings_.Controller},
    };
    for (const auto& box : boxes) {
        const bool before = dialog.Checked(box.id);
        dialog.Click(box.id);
        EXPECT_EQ(*box.setting, before ? 0u : 1u) << box.value;
        EXPECT_EQ(Stored(box.value), before ? 0u : 1u) << box.value;
    }
    // The log folder button follows the log; the controller's own switches
    // follow "work without the controller".
    EXPECT_EQ(dialog.Enabled(IDC_LOG_FOLDER_BUTTON), settings_.Log != 0);
    EXPECT_FALSE(dialog.Enabled(IDC_HARD_REBOOT_ONLY));
    EXPECT_FALSE(dialog.Enabled(IDC_MODEM_PORT));
    EXPECT_EQ(host_.cardSearches, 1);
    EXPECT_EQ(host_.modemRefreshes, 1);
    EXPECT_EQ(host_.trayOperations, std::vector<DWORD>{NIM_DELETE});
    EXPECT_EQ(host_.floatWindow.calls.back(), "show");

    dialog.Click(IDC_AUTOSTART);
    EXPECT_TRUE(host_.autostart);
    // A Run key that cannot be written: the box goes back to what it says.
    host_.autostartWritable = false;
    dialog.Click(IDC_AUTOSTART);
    EXPECT_TRUE(host_.autostart);
    EXPECT_TRUE(dialog.Checked(IDC_AUTOSTART));
    dialog.Click(IDC_HELP_BUTTON);
    EXPECT_EQ(prompts_.shown, std::vector<UINT>{IDS_USAGE}) << "no help viewer: the usage text";
}

TEST_F(MainDialogTest, EditsTakeOnlyWhatTheServerCanUse) {
    settings_.ControllerPort = 3;
    settings_.CustomControllerPort = 1;
    settings_.MdmCheckTimeout = 7;
    settings_.ControlMdm = 0;
    MainDialogContext context = Context();
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    EXPECT_EQ(dialog.Text(IDC_CONTROLLER_PORT), L"3");
    EXPECT_EQ(Stored("ControllerPort"), 0xDEADu) << "opening the dialog stores nothing";

    dialog.Type(IDC_CONTROLLER_PORT, L"256");
    EXPECT_EQ(settings_.ControllerPort, 3u);
    dialog.Type(IDC_CONTROLLER_PORT, L"12");
    EXPECT_EQ(settings_.ControllerPort, 12u);
    EXPECT_EQ(Stored("ControllerPort"), 12u);

    dialog.Type(IDC_MODEM_INTERVAL, L"");
    EXPECT_EQ(dialog.Text(IDC_MODEM_INTERVAL), L"7");
    dialog.Type(IDC_MODEM_INTERVAL, L"0");
    EXPECT_EQ(dialog.Text(IDC_MODEM_INTERVAL), L"7");
    dialog.Type(IDC_MODEM_INTERVAL, L"15");
    EXPECT_EQ(Stored("MdmCheckTimeout"), 15u);

    // Below the card's minimum (as while typing "25"): not taken.
    dialog.Type(IDC_REBOOT_TIMEOUT, L"2");
    EXPECT_EQ(settings_.RebootTimeout, 10u);
    dialog.Type(IDC_REBOOT_TIMEOUT, L"25");
    EXPECT_EQ(Stored("RebootTimeout"), 25u);

    dialog.Type(IDC_MODEM_PORT, L"4");
    dialog.Type(IDC_MODEM_PORT, L"");
    EXPECT_EQ(settings_.Modem, 0u);
    EXPECT_EQ(Stored("Modem"), 0u);
    EXPECT_EQ(host_.modemRefreshes, 2);
}

TEST_F(MainDialogTest, ToggleSwitchesSupervisionAndLocksTheEditing) {
    MainDialogContext context = Context();
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    EXPECT_EQ(dialog.Text(IDC_SUPERVISION_TOGGLE), L"Включить");
    EXPECT_TRUE(dialog.Enabled(IDC_ADD_BUTTON));
    const LRESULT iconOff = ::SendMessageW(dialog.Control(IDC_SUPERVISION_ICON), STM_GETICON, 0, 0);

    dialog.Click(IDC_SUPERVISION_TOGGLE);
    EXPECT_TRUE(supervisionOn_);
    EXPECT_EQ(dialog.Text(IDC_SUPERVISION_TOGGLE), L"Отключить");
    EXPECT_NE(::SendMessageW(dialog.Control(IDC_SUPERVISION_ICON), STM_GETICON, 0, 0), iconOff);
    for (int id : {IDC_ADD_BUTTON, IDC_NOTIFICATION_BUTTON, IDC_REBOOT_TIMEOUT, IDC_CUSTOM_CONTROLLER_PORT}) {
        EXPECT_FALSE(dialog.Enabled(id)) << id;
    }
    // The server's owner of the switch has the tray icon and the float window follow.
    EXPECT_EQ(host_.switches, std::vector<bool>{true});

    dialog.Click(IDC_SUPERVISION_TOGGLE);
    EXPECT_FALSE(supervisionOn_);
    EXPECT_TRUE(dialog.Enabled(IDC_NOTIFICATION_BUTTON));
    EXPECT_EQ(host_.switches, (std::vector<bool>{true, false}));
    dialog.Click(IDC_NOTIFICATION_BUTTON);
    EXPECT_EQ(host_.notificationDialogs, 1);
}

TEST_F(MainDialogTest, DoubleClickArmsOrTogglesAndDeleteRemovesTheProgram) {
    MainDialogContext context = Context();
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    HWND list = dialog.Control(IDC_PROGRAM_LIST);
    ModuleStore store(HKEY_CURRENT_USER);

    // beta is not armed: one double click arms it and switches control on.
    DoubleClick(dialog.Window(), list, 1);
    EXPECT_EQ(Cell(list, 1, 1), L"вкл.");
    ModuleList stored;
    store.Load(stored);
    ASSERT_NE(stored.Find("C:\\Kiosk\\beta.exe"), nullptr);
    EXPECT_EQ(stored.Find("C:\\Kiosk\\beta.exe")->Armed, 1);
    EXPECT_EQ(stored.Find("C:\\Kiosk\\beta.exe")->ControlEnabled, 1);
    // Armed: the next one switches control off.
    DoubleClick(dialog.Window(), list, 1);
    EXPECT_EQ(Cell(list, 1, 1), L"выкл.");

    Select(list, 1);
    EXPECT_TRUE(dialog.Enabled(IDC_DELETE_BUTTON));
    dialog.Click(IDC_DELETE_BUTTON);
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
    stored.Clear();
    store.Load(stored);
    EXPECT_EQ(stored.Find("C:\\Kiosk\\beta.exe"), nullptr);
    EXPECT_NE(stored.Find("C:\\Kiosk\\gamma.exe"), nullptr);

    // Deleting the last programs that ever spoke the protocol forces the float window on.
    for (int i = 0; i < 2; ++i) {
        Select(list, 0);
        dialog.Click(IDC_DELETE_BUTTON);
    }
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(settings_.FloatWindow, 1u);
    EXPECT_EQ(Stored("FloatWindow"), 1u);
    EXPECT_TRUE(dialog.Checked(IDC_FLOAT_WINDOW));
    EXPECT_FALSE(dialog.Enabled(IDC_FLOAT_WINDOW));
}

TEST_F(MainDialogTest, AddRefusesAListedPathAndStoresANewOne) {
    MainDialogContext context = Context();
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    HWND list = dialog.Control(IDC_PROGRAM_LIST);
    ModuleStore store(HKEY_CURRENT_USER);

    host_.confirmWith.emplace("c:\\KIOSK\\alpha.exe", "--twice");
    dialog.Click(IDC_ADD_BUTTON);
    EXPECT_EQ(prompts_.shown, std::vector<UINT>{IDS_PROGRAM_ALREADY_LISTED});
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);

    host_.confirmWith.emplace("C:\\Kiosk\\delta.exe", "--new");
    dialog.Click(IDC_ADD_BUTTON);
    EXPECT_EQ(host_.seenPaths.back(), "") << "a new program starts with an empty path";
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 4);
    ModuleList stored;
    store.Load(stored);
    ASSERT_NE(stored.Find("C:\\Kiosk\\delta.exe"), nullptr);
    EXPECT_EQ(stored.Find("C:\\Kiosk\\delta.exe")->Parameters, "--new");
    EXPECT_EQ(stored.Find("C:\\Kiosk\\delta.exe")->StartDelay, 30000u) << "the defaults of a program added by hand";
}

TEST_F(MainDialogTest, ParametersMoveTheProgramToItsNewPathArmed) {
    MainDialogContext context = Context();
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    HWND list = dialog.Control(IDC_PROGRAM_LIST);
    Select(list, 1);  // beta, not armed
    host_.confirmWith.emplace("C:\\Kiosk\\beta2.exe", "--moved");
    dialog.Click(IDC_PARAMETERS_BUTTON);
    EXPECT_EQ(host_.seenPaths.back(), "C:\\Kiosk\\beta.exe");
    ModuleList stored;
    ModuleStore(HKEY_CURRENT_USER).Load(stored);
    EXPECT_EQ(stored.Find("C:\\Kiosk\\beta.exe"), nullptr);
    ASSERT_NE(stored.Find("C:\\Kiosk\\beta2.exe"), nullptr);
    EXPECT_EQ(stored.Find("C:\\Kiosk\\beta2.exe")->Armed, 1);
    EXPECT_EQ(stored.Find("C:\\Kiosk\\beta2.exe")->Parameters, "--moved");

    // Onto another listed program: refused, both keep their records.
    const int row = Cell(list, 1, 0) == L"beta2.exe" ? 1 : 2;
    Select(list, row);
    host_.confirmWith.emplace("C:\\Kiosk\\gamma.exe", "--clash");
    dialog.Click(IDC_PARAMETERS_BUTTON);
    EXPECT_EQ(prompts_.shown, std::vector<UINT>{IDS_PROGRAM_ALREADY_LISTED});
    stored.Clear();
    ModuleStore(HKEY_CURRENT_USER).Load(stored);
    ASSERT_NE(stored.Find("C:\\Kiosk\\beta2.exe"), nullptr);
    EXPECT_EQ(stored.Find("C:\\Kiosk\\gamma.exe")->Parameters, "");
}

TEST_F(MainDialogTest, ParametersKeepWhatTheEngineChangedWhileTheDialogWasOpen) {
    const std::string alpha = "C:\\Kiosk\\alpha.exe";
    supervision_.modules.Find(alpha)->AliveSeen = 0;
    MainDialogContext context = Context();
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    HWND list = dialog.Control(IDC_PROGRAM_LIST);
    for (int row = 0; row < 3; ++row) {
        if (Cell(list, row, 0) == L"alpha.exe") Select(list, row);
    }
    // The program registers while the user edits its parameters.
    host_.whileOpen = [&] {
        std::lock_guard<std::mutex> guard(supervision_.lock);
        supervision_.modules.Find(alpha)->AliveSeen = 1;
    };
    host_.confirmWith.emplace(alpha, "--edited");
    dialog.Click(IDC_PARAMETERS_BUTTON);
    ASSERT_EQ(host_.seenPaths.back(), alpha);
    {
        std::lock_guard<std::mutex> guard(supervision_.lock);
        EXPECT_EQ(supervision_.modules.Find(alpha)->AliveSeen, 1);
        EXPECT_EQ(supervision_.modules.Find(alpha)->Parameters, "--edited");
    }
    ModuleList stored;
    ModuleStore(HKEY_CURRENT_USER).Load(stored);
    ASSERT_NE(stored.Find(alpha), nullptr);
    EXPECT_EQ(stored.Find(alpha)->AliveSeen, 1);
    EXPECT_EQ(stored.Find(alpha)->Parameters, "--edited");
}

TEST_F(MainDialogTest, CloseProgramEndsEveryProcessOfTheSelectedProgram) {
    ServerSandbox sandbox("MainDialogCloseProgram");
    const std::string app = sandbox.AddProgram("closes.exe");
    ChildProcess& first = sandbox.StartProgram(app, "--no-alive");
    ChildProcess& second = sandbox.StartProgram(app, "--no-alive");
    ModuleEntry entry;
    supervision_.modules.Add(app, entry);
    supervision_.alive[first.Id()] = AliveEntry{0, 0, 10000, 0, app, false};
    supervision_.alive[second.Id()] = AliveEntry{0, 0, 10000, 0, app, false};
    MainDialogContext context = Context();
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    HWND list = dialog.Control(IDC_PROGRAM_LIST);
    const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        if (Cell(list, row, 0) == L"closes.exe") Select(list, row);
    }
    ASSERT_TRUE(dialog.Enabled(IDC_CLOSE_PROGRAM_BUTTON));
    dialog.Click(IDC_CLOSE_PROGRAM_BUTTON);
    DWORD code = 1;
    EXPECT_TRUE(first.WaitForExit(kDeadlineMs, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(second.WaitForExit(kDeadlineMs, &code));
}

TEST_F(MainDialogTest, GrowsOnlyTallerAndMovesTheLowerGroupsDown) {
    MainDialogContext context = Context();
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    RECT before, listBefore, modemBefore, after, listAfter, modemAfter;
    ::GetWindowRect(dialog.Window(), &before);
    ::GetWindowRect(dialog.Control(IDC_PROGRAM_LIST), &listBefore);
    ::GetWindowRect(dialog.Control(IDC_MODEM_GROUP), &modemBefore);
    ::SendMessageW(dialog.Window(), WM_NULL, 0, 0);
    ::SetWindowPos(dialog.Window(), nullptr, 0, 0, (before.right - before.left) + 200,
                   (before.bottom - before.top) + 120, SWP_NOMOVE | SWP_NOZORDER);
    ::GetWindowRect(dialog.Window(), &after);
    ::GetWindowRect(dialog.Control(IDC_PROGRAM_LIST), &listAfter);
    ::GetWindowRect(dialog.Control(IDC_MODEM_GROUP), &modemAfter);
    EXPECT_EQ(after.right - after.left, before.right - before.left) << "the width is fixed";
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + 120);
    const int moved = modemAfter.top - modemBefore.top;
    EXPECT_NEAR(moved, 120, 2);
    EXPECT_EQ(listAfter.bottom - listAfter.top, listBefore.bottom - listBefore.top + moved);
    EXPECT_EQ(listAfter.top, listBefore.top);
}

// Also run under code page 1252.
TEST(MainDialogTexts, ReadRightInAnyCodePage) {
    CleanSettings clean;
    Settings settings;
    std::atomic<bool> on{false};
    SupervisionState supervision;
    RecordingHost host(on);
    RecordingPrompts prompts;
    MainDialogContext context{::GetModuleHandleW(nullptr), settings, SettingsStore(false), on,
                              supervision,                 host,     prompts,              std::wstring()};
    OpenMainDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    HWND header = reinterpret_cast<HWND>(::SendMessageW(dialog.Control(IDC_PROGRAM_LIST), LVM_GETHEADER, 0, 0));
    const wchar_t* titles[] = {L"Программа", L"Контроль", L"Запущено", L"Интервал", L"Полный путь к программе"};
    for (int i = 0; i < 5; ++i) {
        wchar_t text[64] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        ::SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(text, titles[i]);
    }
    // The status lines are painted from the controller's texts.
    ::RedrawWindow(dialog.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_TRUE(WaitUntil([&] { return dialog.Text(IDC_CONTROLLER_STATUS_TEXT) == L" Контроллер не подключен или не работает!"; },
                          kDeadlineMs))
        << "shown: " << Utf8FromCp1251(NarrowText(dialog.Text(IDC_CONTROLLER_STATUS_TEXT), 1251));
    EXPECT_EQ(dialog.Text(IDC_MODEM_STATUS_TEXT), L" Контроль модема отключён.");
    EXPECT_EQ(dialog.Text(IDC_SUPERVISION_TOGGLE), L"Включить");
}

}  // namespace
}  // namespace mrwd::testing
