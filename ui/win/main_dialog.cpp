#include "main_dialog.h"

#include <shellapi.h>

#include <memory>
#include <optional>

#include "base/win/center_window.h"
#include "base/win/executable_path.h"
#include "base/win/texts.h"
#include "resources/resource_ids.h"
#include "supervision/win/module_store.h"
#include "ui/core/program_model.h"
#include "ui/win/dialog_state.h"
#include "ui/win/main_dialog_state.h"

namespace mrwd {
namespace {

// The open dialog: other windows of this thread test it before touching it.
HWND openDialog = nullptr;

MainDialogState* StateOf(HWND dialog) { return DialogStateOf<MainDialogState>(dialog); }

// An edit's text as a number: empty gives nothing, and so does anything that
// is not a plain number of at most 32 bits (pasted text, say).
std::optional<std::uint32_t> NumberIn(HWND dialog, int id, bool* empty) {
    wchar_t text[32] = {};
    const int length = ::GetDlgItemTextW(dialog, id, text, 32);
    *empty = length == 0;
    if (length == 0 || length > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (int i = 0; i < length; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - L'0');
    }
    if (value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

void PutNumber(HWND dialog, MainDialogState& state, int id, std::uint32_t value) {
    state.settingTexts = true;
    ::SetDlgItemInt(dialog, id, value, FALSE);
    state.settingTexts = false;
}

bool IsChecked(HWND dialog, int id) { return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Check(HWND dialog, int id, bool checked) {
    ::CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

// Every switch takes effect in memory first; a registry that cannot be
// written leaves the new value in force.
void Keep(MainDialogState& state, std::atomic<std::uint32_t>& setting, const char* name, std::uint32_t value) {
    setting = value;
    state.context.store.StoreDword(name, value);
}

bool AnyAliveSeen(MainDialogState& state) {
    std::lock_guard<std::mutex> guard(state.context.supervision.lock);
    return state.context.supervision.modules.AnyAliveSeen();
}

EnableFacts FactsOf(HWND dialog, MainDialogState& state) {
    const Settings& s = state.context.settings;
    EnableFacts facts;
    facts.logOn = s.Log != 0;
    facts.supervisionOn = state.context.supervisionOn;
    facts.withoutController = s.Controller != 0;
    facts.withoutModemControl = s.ControlMdm != 0;
    facts.customControllerPort = s.CustomControllerPort != 0;
    facts.anyAliveSeen = AnyAliveSeen(state);
    facts.mainWindowExists = state.context.host.MainWindow() != nullptr;
    facts.selectedRows = SelectedRowCount(dialog);
    return facts;
}

void ApplyEnableRules(HWND dialog, MainDialogState& state) {
    const EnableFacts facts = FactsOf(dialog, state);
    for (int id : MainDialogRuledControls()) {
        ::EnableWindow(::GetDlgItem(dialog, id), MainDialogControlEnabled(id, facts) ? TRUE : FALSE);
    }
}

void ShowSupervisionState(HWND dialog, MainDialogState& state, bool on) {
    ::SetDlgItemTextW(dialog, IDC_SUPERVISION_TOGGLE, LoadWideText(on ? IDS_SWITCH_OFF : IDS_SWITCH_ON).c_str());
    HICON icon = ::LoadIconW(state.context.instance, MAKEINTRESOURCEW(on ? IDI_SUPERVISION_ON : IDI_SUPERVISION_OFF));
    ::SendDlgItemMessageW(dialog, IDC_SUPERVISION_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

// No program has ever spoken the alive protocol: nothing else would tell the
// user that the server runs, so the float window is forced on.
void ApplyFloatWindowRule(HWND dialog, MainDialogState& state) {
    if (AnyAliveSeen(state)) return;
    if (state.context.settings.FloatWindow != 1) Keep(state, state.context.settings.FloatWindow, "FloatWindow", 1);
    if (FloatWindowControl* floatWindow = state.context.host.FloatWindow()) floatWindow->Show();
    Check(dialog, IDC_FLOAT_WINDOW, true);
}

void ShowStatusText(HWND dialog, int textId, const StatusLine* line, std::wstring* shown) {
    const std::wstring text = line != nullptr ? WidenText(line->Text(), 1251) : std::wstring();
    if (text == *shown) return;
    *shown = text;
    ::SetDlgItemTextW(dialog, textId, text.c_str());
}

void Refresh(HWND dialog, MainDialogState& state) {
    if (state.icons) state.icons->TakeFetched();
    ReloadProgramList(dialog, state);
    // The switch may have moved without the dialog (the end of the session, a reboot that failed).
    ShowSupervisionState(dialog, state, state.context.supervisionOn);
    const Settings& s = state.context.settings;
    if (s.ControllerPort != 0) PutNumber(dialog, state, IDC_CONTROLLER_PORT, s.ControllerPort);
    Check(dialog, IDC_CUSTOM_CONTROLLER_PORT, s.CustomControllerPort != 0);
    ApplyFloatWindowRule(dialog, state);
    ApplyEnableRules(dialog, state);
    ::InvalidateRect(::GetDlgItem(dialog, IDC_CONTROLLER_STATUS_BOX), nullptr, TRUE);
    ::InvalidateRect(::GetDlgItem(dialog, IDC_MODEM_STATUS_BOX), nullptr, TRUE);
}

void OnInit(HWND dialog, MainDialogState& state) {
    MainDialogContext& c = state.context;
    const Settings& s = c.settings;
    CenterWindow(dialog, nullptr);
    ::GetWindowRect(dialog, &state.initialRect);
    state.greenBrush.reset(::CreateSolidBrush(RGB(0, 128, 0)));
    state.redBrush.reset(::CreateSolidBrush(RGB(255, 0, 0)));
    ::SendMessageW(dialog, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(::LoadIconW(c.instance, MAKEINTRESOURCEW(IDI_SUPERVISION_ON))));
    if (!c.title.empty()) ::SetWindowTextW(dialog, c.title.c_str());

    if (s.ControllerPort != 0) PutNumber(dialog, state, IDC_CONTROLLER_PORT, s.ControllerPort);
    PutNumber(dialog, state, IDC_REBOOT_TIMEOUT, s.RebootTimeout);
    PutNumber(dialog, state, IDC_MODEM_PORT, s.Modem);
    PutNumber(dialog, state, IDC_MODEM_INTERVAL, s.MdmCheckTimeout);

    Check(dialog, IDC_REPORT_CARD_FAILURE, s.CheckContr != 0);
    Check(dialog, IDC_CUSTOM_CONTROLLER_PORT, s.CustomControllerPort != 0);
    Check(dialog, IDC_HARD_REBOOT_ONLY, s.HardReboot != 0);
    Check(dialog, IDC_AUTOSTART, c.host.IsAutostart());
    Check(dialog, IDC_TRAY_ICON, s.Icon != 0);
    Check(dialog, IDC_LOAD_ACTIVE, s.Active != 0);
    Check(dialog, IDC_CHECK_CLOCK, s.System != 0);
    Check(dialog, IDC_WITHOUT_CONTROLLER, s.Controller != 0);
    Check(dialog, IDC_KEEP_LOG, s.Log != 0);
    Check(dialog, IDC_FLOAT_WINDOW, s.FloatWindow != 0);
    Check(dialog, IDC_WITHOUT_MODEM, s.ControlMdm != 0);

    SetUpProgramList(dialog, state);
    Refresh(dialog, state);
}

void ToggleSupervision(HWND dialog, MainDialogState& state) {
    MainDialogContext& c = state.context;
    const bool on = !c.supervisionOn;
    c.host.SwitchSupervision(on);
    ShowSupervisionState(dialog, state, on);
    ApplyEnableRules(dialog, state);
    if (FloatWindowControl* floatWindow = c.host.FloatWindow()) {
        floatWindow->SetState(on ? FloatState::On : FloatState::Off);
    }
    if (c.host.MainWindow() != nullptr && c.settings.Icon != 0) c.host.UpdateTrayIcon(NIM_MODIFY);
    Refresh(dialog, state);
}

void OpenLogFolder() {
    const std::wstring folder = WidenText(ThisExecutableFolder() + "Logs", CP_ACP);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::ShellExecuteW(nullptr, nullptr, folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Every process of the selected program ends at once, without a question.
void CloseSelectedProgram(HWND dialog, MainDialogState& state) {
    const ProgramRow* row = SelectedRow(dialog, state);
    if (row == nullptr) return;
    std::vector<std::uint32_t> processes;
    {
        std::lock_guard<std::mutex> guard(state.context.supervision.lock);
        for (const auto& alive : state.context.supervision.alive) {
            if (::lstrcmpiA(alive.second.ExePath.c_str(), row->path.c_str()) == 0) processes.push_back(alive.first);
        }
    }
    for (std::uint32_t id : processes) {
        UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, id));
        if (process) ::TerminateProcess(process.get(), 0);
    }
}

void DeleteSelectedProgram(HWND dialog, MainDialogState& state) {
    const ProgramRow* row = SelectedRow(dialog, state);
    if (row == nullptr) return;
    const std::string path = row->path;
    ModuleStore(state.context.store.Root()).Delete(path);
    {
        std::lock_guard<std::mutex> guard(state.context.supervision.lock);
        state.context.supervision.modules.Remove(path);
    }
    Refresh(dialog, state);
}

// A double click arms a program that is not expected to run, or switches the
// control of one that is.
void ToggleSelectedProgram(HWND dialog, MainDialogState& state) {
    if (state.context.supervisionOn) return;
    const ProgramRow* row = SelectedRow(dialog, state);
    if (row == nullptr) return;
    const std::string path = row->path;
    ModuleEntry changed;
    {
        std::lock_guard<std::mutex> guard(state.context.supervision.lock);
        ModuleEntry* entry = state.context.supervision.modules.Find(path);
        if (entry == nullptr) return;
        if (entry->Armed != 0) {
            entry->ControlEnabled = entry->ControlEnabled != 0 ? 0 : 1;
        } else {
            entry->ControlEnabled = 1;
            entry->Armed = 1;
        }
        changed = *entry;
    }
    ModuleStore(state.context.store.Root()).Store(path, changed);
    Refresh(dialog, state);
}

// A new program, with the defaults of one added by hand.
void AddProgram(HWND dialog, MainDialogState& state) {
    if (state.context.supervisionOn) return;
    std::string path;
    ModuleEntry entry = UserAddedEntry();
    if (!state.context.host.EditProgram(dialog, path, entry)) return;
    bool listed = false;
    {
        std::lock_guard<std::mutex> guard(state.context.supervision.lock);
        listed = state.context.supervision.modules.Find(path) != nullptr;
    }
    if (listed) {
        state.context.prompts.Inform(dialog, IDS_PROGRAM_ALREADY_LISTED);
        ApplyEnableRules(dialog, state);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(state.context.supervision.lock);
        state.context.supervision.modules.Add(path, entry);
    }
    ModuleStore(state.context.store.Root()).Store(path, entry);
    Refresh(dialog, state);
}

// The selected program's record, edited; it may move to another path.
void EditSelectedProgram(HWND dialog, MainDialogState& state) {
    if (state.context.supervisionOn) return;
    const ProgramRow* row = SelectedRow(dialog, state);
    if (row == nullptr) return;
    const std::string oldPath = row->path;
    ModuleEntry before;
    {
        std::lock_guard<std::mutex> guard(state.context.supervision.lock);
        const ModuleEntry* listed = state.context.supervision.modules.Find(oldPath);
        if (listed == nullptr) return;
        before = *listed;
    }
    std::string path = oldPath;
    ModuleEntry edited = before;
    if (!state.context.host.EditProgram(dialog, path, edited)) return;
    bool taken = false;
    bool gone = false;
    ModuleEntry entry;
    {
        std::lock_guard<std::mutex> guard(state.context.supervision.lock);
        ModuleList& modules = state.context.supervision.modules;
        // Moving onto another listed program would lose this one's record.
        taken = !modules.SamePath(path, oldPath) && modules.Find(path) != nullptr;
        // The engine went on while the dialog was open: only the dialog's
        // own fields go into the record as it is now.
        const ModuleEntry* current = modules.Find(oldPath);
        gone = current == nullptr;
        if (!taken && !gone) {
            entry = *current;
            ApplyProgramEdit(before, edited, entry);
            modules.Replace(oldPath, path, entry);
            entry = *modules.Find(path);
        }
    }
    if (gone) return;
    if (taken) {
        state.context.prompts.Inform(dialog, IDS_PROGRAM_ALREADY_LISTED);
        return;
    }
    const ModuleStore store(state.context.store.Root());
    store.Delete(oldPath);
    store.Store(path, entry);
    Refresh(dialog, state);
}

void OnEditUpdate(HWND dialog, MainDialogState& state, int id) {
    Settings& s = state.context.settings;
    bool empty = false;
    const std::optional<std::uint32_t> value = NumberIn(dialog, id, &empty);
    switch (id) {
        case IDC_MODEM_PORT:
            if (!empty && !value) return;
            Keep(state, s.Modem, "Modem", empty ? 0 : *value);
            state.context.host.RequestModemStatusRefresh();
            return;
        case IDC_MODEM_INTERVAL:
            if (value && *value > 0) {
                Keep(state, s.MdmCheckTimeout, "MdmCheckTimeout", *value);
            } else {
                PutNumber(dialog, state, IDC_MODEM_INTERVAL, s.MdmCheckTimeout);
            }
            return;
        case IDC_REBOOT_TIMEOUT:
            // The card resets the computer this many seconds after the last
            // heartbeat: a value below the minimum, as while the user types,
            // would have it reset a healthy computer.
            if (value && *value >= kMinimumRebootTimeout) Keep(state, s.RebootTimeout, "RebootTimeout", *value);
            return;
        case IDC_CONTROLLER_PORT:
            if (value && *value >= 1 && *value <= 255) Keep(state, s.ControllerPort, "ControllerPort", *value);
            return;
        default:
            return;
    }
}

void OnCheckBox(HWND dialog, MainDialogState& state, int id) {
    MainDialogContext& c = state.context;
    Settings& s = c.settings;
    const bool checked = IsChecked(dialog, id);
    switch (id) {
        case IDC_LOAD_ACTIVE: Keep(state, s.Active, "Active", checked); break;
        case IDC_CHECK_CLOCK: Keep(state, s.System, "System", checked); break;
        case IDC_HARD_REBOOT_ONLY: Keep(state, s.HardReboot, "HardReboot", checked); break;
        case IDC_KEEP_LOG: Keep(state, s.Log, "Log", checked); break;
        case IDC_CUSTOM_CONTROLLER_PORT: Keep(state, s.CustomControllerPort, "CustomControllerPort", checked); break;
        case IDC_WITHOUT_CONTROLLER: Keep(state, s.Controller, "Controller", checked); break;
        case IDC_TRAY_ICON:
            if (c.host.MainWindow() != nullptr) {
                if (!checked && s.Icon != 0) c.host.UpdateTrayIcon(NIM_DELETE);
                if (checked && s.Icon == 0) c.host.UpdateTrayIcon(NIM_ADD);
            }
            Keep(state, s.Icon, "Icon", checked);
            break;
        case IDC_FLOAT_WINDOW:
            Keep(state, s.FloatWindow, "FloatWindow", checked);
            if (FloatWindowControl* floatWindow = c.host.FloatWindow()) {
                if (checked) {
                    floatWindow->Show();
                } else {
                    floatWindow->Hide();
                }
            }
            break;
        case IDC_AUTOSTART:
            c.host.SetAutostart(checked);
            break;
        case IDC_REPORT_CARD_FAILURE:
            Keep(state, s.CheckContr, "CheckContr", checked);
            c.host.RequestCardSearch();
            break;
        case IDC_WITHOUT_MODEM:
            Keep(state, s.ControlMdm, "ControlMdm", checked);
            c.host.RequestModemStatusRefresh();
            break;
        default:
            return;
    }
    ApplyEnableRules(dialog, state);
}

void OnCommand(HWND dialog, MainDialogState& state, int id, int notification) {
    MainDialogContext& c = state.context;
    if (notification == EN_UPDATE) {
        if (!state.settingTexts) OnEditUpdate(dialog, state, id);
        return;
    }
    if (notification != BN_CLICKED) return;
    switch (id) {
        case IDCANCEL:
            ::EndDialog(dialog, IDCANCEL);
            return;
        case IDC_SUPERVISION_TOGGLE:
            ToggleSupervision(dialog, state);
            return;
        case IDC_UNLOAD_BUTTON:
            if (HWND main = c.host.MainWindow()) ::PostMessageW(main, WM_QUIT, 0, 0);
            return;
        case IDC_LOG_FOLDER_BUTTON:
            OpenLogFolder();
            return;
        case IDC_NOTIFICATION_BUTTON:
            c.host.EditNotificationSettings(dialog);
            return;
        case IDC_HELP_BUTTON:
            if (c.host.ShowHelp(dialog) == nullptr) c.prompts.Inform(dialog, IDS_USAGE);
            return;
        case IDC_DELETE_BUTTON:
            DeleteSelectedProgram(dialog, state);
            return;
        case IDC_CLOSE_PROGRAM_BUTTON:
            CloseSelectedProgram(dialog, state);
            return;
        case IDC_ADD_BUTTON:
            AddProgram(dialog, state);
            return;
        case IDC_PARAMETERS_BUTTON:
            EditSelectedProgram(dialog, state);
            return;
        default:
            OnCheckBox(dialog, state, id);
            return;
    }
}

// The status boxes: the text beside each is brought up to date as the box
// is painted, and the box takes the line's colour.
HBRUSH StatusBrush(HWND dialog, MainDialogState& state, int boxId) {
    const bool controller = boxId == IDC_CONTROLLER_STATUS_BOX;
    const StatusLine* line = controller ? state.context.host.ControllerStatus() : state.context.host.ModemStatus();
    ShowStatusText(dialog, controller ? IDC_CONTROLLER_STATUS_TEXT : IDC_MODEM_STATUS_TEXT, line,
                   controller ? &state.shownControllerText : &state.shownModemText);
    switch (line != nullptr ? line->Colour() : kNeutral) {
        case kFault: return static_cast<HBRUSH>(state.redBrush.get());
        case kWorking: return static_cast<HBRUSH>(state.greenBrush.get());
        default: return ::GetSysColorBrush(COLOR_BTNFACE);
    }
}

// Only taller: the block from "&Добавить..." down moves with the bottom edge,
// and the list grows.
void OnSize(HWND dialog, int clientHeight) {
    RECT group;
    ::GetWindowRect(::GetDlgItem(dialog, IDC_MODEM_GROUP), &group);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&group), 2);
    const int delta = GrowthOfMainDialog(clientHeight, group.bottom, group.left);
    if (delta == 0) return;
    for (HWND control = ::GetDlgItem(dialog, IDC_ADD_BUTTON);
         control != nullptr && ::GetDlgCtrlID(control) != IDC_COMMAND_GROUP;
         control = ::GetWindow(control, GW_HWNDNEXT)) {
        RECT r;
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        ::SetWindowPos(control, nullptr, r.left, r.top + delta, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (int id : {IDC_PROGRAMS_GROUP, IDC_PROGRAM_LIST}) {
        HWND control = ::GetDlgItem(dialog, id);
        RECT r;
        ::GetWindowRect(control, &r);
        ::SetWindowPos(control, nullptr, 0, 0, r.right - r.left, r.bottom - r.top + delta,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::InvalidateRect(dialog, nullptr, TRUE);
}

INT_PTR Answer(HWND dialog, LRESULT result) {
    ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    MainDialogState* state = StateOf(dialog);
    switch (message) {
        case WM_INITDIALOG: {
            state = &AttachDialogState(
                dialog, std::make_unique<MainDialogState>(*reinterpret_cast<MainDialogContext*>(lParam)));
            openDialog = dialog;
            OnInit(dialog, *state);
            return TRUE;
        }
        case WM_COMMAND:
            if (state != nullptr) OnCommand(dialog, *state, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY: {
            if (state == nullptr) return FALSE;
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            LRESULT result = 0;
            if (OnProgramListNotify(dialog, *state, header, &result)) return Answer(dialog, result);
            if (header->idFrom == IDC_PROGRAM_LIST) {
                if (header->code == LVN_ITEMCHANGED) ApplyEnableRules(dialog, *state);
                if (header->code == NM_DBLCLK) {
                    ApplyEnableRules(dialog, *state);
                    ToggleSelectedProgram(dialog, *state);
                }
            }
            return FALSE;
        }
        case WM_CTLCOLORSTATIC: {
            if (state == nullptr) return FALSE;
            const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            if (id == IDC_CONTROLLER_STATUS_BOX || id == IDC_MODEM_STATUS_BOX) {
                return reinterpret_cast<INT_PTR>(StatusBrush(dialog, *state, id));
            }
            if (id == IDC_CONTROLLER_STATUS_TEXT || id == IDC_MODEM_STATUS_TEXT) {
                ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_WINDOW));
                return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_WINDOW));
            }
            return FALSE;
        }
        case WM_GETMINMAXINFO: {
            if (state == nullptr) return FALSE;
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            const LONG width = state->initialRect.right - state->initialRect.left;
            limits->ptMinTrackSize.x = width;
            limits->ptMinTrackSize.y = state->initialRect.bottom - state->initialRect.top;
            limits->ptMaxTrackSize.x = width;
            limits->ptMaxSize.x = width;
            return TRUE;
        }
        case WM_SIZE:
            if (state != nullptr) OnSize(dialog, HIWORD(lParam));
            return TRUE;
        case WM_HELP:
            ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_HELP_BUTTON, BN_CLICKED), 0);
            return TRUE;
        case WM_NCDESTROY:
            if (openDialog == dialog) openDialog = nullptr;
            ReleaseDialogState<MainDialogState>(dialog);
            return FALSE;
        default:
            return FALSE;
    }
}

void ShowMainDialog(HWND owner, MainDialogContext& context) {
    ::DialogBoxParamW(context.instance, MAKEINTRESOURCEW(IDD_MAIN_DIALOG), owner, MainDialogProc,
                      reinterpret_cast<LPARAM>(&context));
}

HWND MainDialogWindow() { return openDialog; }

void RefreshMainDialog() {
    if (openDialog == nullptr) return;
    if (MainDialogState* state = StateOf(openDialog)) Refresh(openDialog, *state);
}

void ShowControllerStatus() {
    if (openDialog != nullptr) ::InvalidateRect(::GetDlgItem(openDialog, IDC_CONTROLLER_STATUS_BOX), nullptr, TRUE);
}

void ShowModemStatus() {
    if (openDialog != nullptr) ::InvalidateRect(::GetDlgItem(openDialog, IDC_MODEM_STATUS_BOX), nullptr, TRUE);
}

}  // namespace mrwd
