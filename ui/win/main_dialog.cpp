#include "main_dialog.h"

#include <shellapi.h>

#include <memory>
#include <optional>

#include "base/win/center_window.h"
#include "base/win/executable_path.h"
#include "base/win/texts.h"
#include "resources/resource_ids.h"
#include "supervision/win/module_store.h"
#include "supervision/win/program_list.h"
#include "ui/win/dialog_binding.h"
#include "ui/win/dialog_state.h"
#include "ui/win/main_dialog_state.h"

namespace mrwd {
namespace {

// The open dialog: other windows of this thread test it before touching it.
HWND openDialog = nullptr;

using F = MainField;

constexpr ControlBinding<MainField> kBindings[] = {
    {F::ControllerPort, IDC_CONTROLLER_PORT, ControlKind::Edit},
    {F::RebootTimeout, IDC_REBOOT_TIMEOUT, ControlKind::Edit},
    {F::ModemPort, IDC_MODEM_PORT, ControlKind::Edit},
    {F::ModemInterval, IDC_MODEM_INTERVAL, ControlKind::Edit},
    {F::ReportCardFailure, IDC_REPORT_CARD_FAILURE, ControlKind::CheckBox},
    {F::CustomControllerPort, IDC_CUSTOM_CONTROLLER_PORT, ControlKind::CheckBox},
    {F::HardRebootOnly, IDC_HARD_REBOOT_ONLY, ControlKind::CheckBox},
    {F::Autostart, IDC_AUTOSTART, ControlKind::CheckBox},
    {F::TrayIcon, IDC_TRAY_ICON, ControlKind::CheckBox},
    {F::LoadActive, IDC_LOAD_ACTIVE, ControlKind::CheckBox},
    {F::CheckClock, IDC_CHECK_CLOCK, ControlKind::CheckBox},
    {F::WithoutController, IDC_WITHOUT_CONTROLLER, ControlKind::CheckBox},
    {F::KeepLog, IDC_KEEP_LOG, ControlKind::CheckBox},
    {F::FloatWindow, IDC_FLOAT_WINDOW, ControlKind::CheckBox},
    {F::WithoutModem, IDC_WITHOUT_MODEM, ControlKind::CheckBox},
    {F::Add, IDC_ADD_BUTTON, ControlKind::Button},
    {F::Notification, IDC_NOTIFICATION_BUTTON, ControlKind::Button},
    {F::Delete, IDC_DELETE_BUTTON, ControlKind::Button},
    {F::Parameters, IDC_PARAMETERS_BUTTON, ControlKind::Button},
    {F::CloseProgram, IDC_CLOSE_PROGRAM_BUTTON, ControlKind::Button},
    {F::LogFolder, IDC_LOG_FOLDER_BUTTON, ControlKind::Button},
    {F::SupervisionIcon, IDC_SUPERVISION_ICON, ControlKind::Button},
    {F::SupervisionToggle, IDC_SUPERVISION_TOGGLE, ControlKind::Button},
    {F::Unload, IDC_UNLOAD_BUTTON, ControlKind::Button},
};

MainDialogState* StateOf(HWND dialog) { return DialogStateOf<MainDialogState>(dialog); }

bool AnyAliveSeen(MainDialogState& state) {
    std::lock_guard<std::mutex> guard(state.context.supervision.lock);
    return state.context.supervision.modules.AnyAliveSeen();
}

// The model learns what its rules read besides the settings.
void See(HWND dialog, MainDialogState& state) {
    MainDialogSituation situation;
    situation.supervisionOn = state.context.supervisionOn;
    situation.anyAliveSeen = AnyAliveSeen(state);
    situation.mainWindowExists = state.context.host.MainWindow() != nullptr;
    situation.selectedRows = SelectedRowCount(dialog);
    state.model.See(situation);
}

// The edits' texts only with `texts` (re-setting one while the user types
// would move the caret); every check mark and enabled state always.
void Show(HWND dialog, MainDialogState& state, bool texts) {
    See(dialog, state);
    state.settingTexts = true;
    PushModel(dialog, state.model, kBindings, texts);
    state.settingTexts = false;
}

void ShowText(HWND dialog, MainDialogState& state, int controlId, MainField field) {
    state.settingTexts = true;
    SetControlText(dialog, controlId, state.model.Text(field));
    state.settingTexts = false;
}

void ShowSupervisionState(HWND dialog, MainDialogState& state, bool on) {
    ::SetDlgItemTextW(dialog, IDC_SUPERVISION_TOGGLE, LoadWideText(on ? IDS_SWITCH_OFF : IDS_SWITCH_ON).c_str());
    HICON icon = ::LoadIconW(state.context.instance, MAKEINTRESOURCEW(on ? IDI_SUPERVISION_ON : IDI_SUPERVISION_OFF));
    ::SendDlgItemMessageW(dialog, IDC_SUPERVISION_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

void Refresh(HWND dialog, MainDialogState& state) {
    if (state.icons) state.icons->TakeFetched();
    ReloadProgramList(dialog, state);
    // The switch may have moved without the dialog (the end of the session, a reboot that failed).
    ShowSupervisionState(dialog, state, state.context.supervisionOn);
    if (state.model.TakeControllerPort()) ShowText(dialog, state, IDC_CONTROLLER_PORT, F::ControllerPort);
    See(dialog, state);
    if (state.model.ForceFloatWindow()) {
        if (FloatWindowControl* floatWindow = state.context.host.FloatWindow()) floatWindow->Show();
    }
    Show(dialog, state, false);
    ::InvalidateRect(::GetDlgItem(dialog, IDC_CONTROLLER_STATUS_BOX), nullptr, TRUE);
    ::InvalidateRect(::GetDlgItem(dialog, IDC_MODEM_STATUS_BOX), nullptr, TRUE);
}

void OnInit(HWND dialog, MainDialogState& state) {
    MainDialogContext& c = state.context;
    CenterWindow(dialog, nullptr);
    ::GetWindowRect(dialog, &state.initialRect);
    state.greenBrush.reset(::CreateSolidBrush(RGB(0, 128, 0)));
    state.redBrush.reset(::CreateSolidBrush(RGB(255, 0, 0)));
    ::SendMessageW(dialog, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(::LoadIconW(c.instance, MAKEINTRESOURCEW(IDI_SUPERVISION_ON))));
    if (!c.title.empty()) ::SetWindowTextW(dialog, c.title.c_str());
    Show(dialog, state, true);
    SetUpProgramList(dialog, state);
    Refresh(dialog, state);
}

// What a change of the model asks of the server, carried out.
void CarryOut(HWND dialog, MainDialogState& state, int controlId, MainField field, MainRequest request) {
    MainDialogHost& host = state.context.host;
    FloatWindowControl* floatWindow = host.FloatWindow();
    switch (request) {
        case MainRequest::RefreshModemStatus: host.RequestModemStatusRefresh(); break;
        case MainRequest::SearchCard: host.RequestCardSearch(); break;
        case MainRequest::AddTrayIcon: host.UpdateTrayIcon(NIM_ADD); break;
        case MainRequest::RemoveTrayIcon: host.UpdateTrayIcon(NIM_DELETE); break;
        case MainRequest::ShowFloatWindow:
            if (floatWindow != nullptr) floatWindow->Show();
            break;
        case MainRequest::HideFloatWindow:
            if (floatWindow != nullptr) floatWindow->Hide();
            break;
        case MainRequest::AutostartOn:
        case MainRequest::AutostartOff:
            // A Run key that could not be written: the box shows what Windows will do.
            if (!host.SetAutostart(request == MainRequest::AutostartOn)) {
                state.model.SeeAutostart(host.IsAutostart());
                Show(dialog, state, false);
            }
            break;
        case MainRequest::PutTextBack: ShowText(dialog, state, controlId, field); break;
        case MainRequest::None: break;
    }
}

// The server's one owner of the switch has every window show it, this one too.
void ToggleSupervision(MainDialogState& state) { state.context.host.SwitchSupervision(!state.context.supervisionOn); }

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

ModuleStore ProgramStore(const MainDialogState& state) { return ModuleStore(state.context.store.Root()); }

void DeleteSelectedProgram(HWND dialog, MainDialogState& state) {
    const ProgramRow* row = SelectedRow(dialog, state);
    if (row == nullptr) return;
    const std::string path = row->path;
    RemoveProgram(state.context.supervision, ProgramStore(state), path);
    Refresh(dialog, state);
}

// A double click arms a program that is not expected to run, or switches the
// control of one that is.
void ToggleSelectedProgram(HWND dialog, MainDialogState& state) {
    if (state.context.supervisionOn) return;
    const ProgramRow* row = SelectedRow(dialog, state);
    if (row == nullptr) return;
    const std::string path = row->path;
    if (ToggleProgram(state.context.supervision, ProgramStore(state), path)) Refresh(dialog, state);
}

// A new program, with the defaults of one added by hand.
void AddNewProgram(HWND dialog, MainDialogState& state) {
    if (state.context.supervisionOn) return;
    std::string path;
    ModuleEntry entry = UserAddedEntry();
    if (!state.context.host.EditProgram(dialog, path, entry)) return;
    if (!AddProgram(state.context.supervision, ProgramStore(state), path, entry)) {
        state.context.prompts.Inform(dialog, IDS_PROGRAM_ALREADY_LISTED);
        Show(dialog, state, false);
        return;
    }
    Refresh(dialog, state);
}

// The selected program's record, edited; it may move to another path.
void EditSelectedProgram(HWND dialog, MainDialogState& state) {
    if (state.context.supervisionOn) return;
    const ProgramRow* row = SelectedRow(dialog, state);
    if (row == nullptr) return;
    ProgramEdit edit;
    edit.oldPath = row->path;
    const std::optional<ModuleEntry> listed = ListedProgram(state.context.supervision, edit.oldPath);
    if (!listed) return;
    edit.before = *listed;
    edit.newPath = edit.oldPath;
    edit.edited = edit.before;
    if (!state.context.host.EditProgram(dialog, edit.newPath, edit.edited)) return;
    // The engine went on while the dialog was open: only the dialog's own
    // fields go into the record as it is now.
    switch (EditProgram(state.context.supervision, ProgramStore(state), edit)) {
        case EditOutcome::Gone: return;
        case EditOutcome::AlreadyListed: state.context.prompts.Inform(dialog, IDS_PROGRAM_ALREADY_LISTED); return;
        case EditOutcome::Done: Refresh(dialog, state); return;
    }
}

// A bound edit or check box changed: the model decides, the dialog carries out.
void OnBoundChange(HWND dialog, MainDialogState& state, int id, int notification) {
    const ControlBinding<MainField>* row = FindBinding(kBindings, id);
    if (row == nullptr) return;
    if (notification == EN_UPDATE && row->kind == ControlKind::Edit && !state.settingTexts) {
        CarryOut(dialog, state, id, row->field, state.model.Edit(row->field, ControlText(dialog, id)));
        return;
    }
    if (notification != BN_CLICKED || row->kind != ControlKind::CheckBox) return;
    const MainRequest request = state.model.Click(row->field, ::IsDlgButtonChecked(dialog, id) == BST_CHECKED);
    CarryOut(dialog, state, id, row->field, request);
    Show(dialog, state, false);
}

void OnCommand(HWND dialog, MainDialogState& state, int id, int notification) {
    MainDialogContext& c = state.context;
    if (notification != BN_CLICKED) {
        OnBoundChange(dialog, state, id, notification);
        return;
    }
    switch (id) {
        case IDCANCEL: ::EndDialog(dialog, IDCANCEL); return;
        case IDC_SUPERVISION_TOGGLE: ToggleSupervision(state); return;
        case IDC_UNLOAD_BUTTON:
            if (HWND main = c.host.MainWindow()) ::PostMessageW(main, WM_QUIT, 0, 0);
            return;
        case IDC_LOG_FOLDER_BUTTON: OpenLogFolder(); return;
        case IDC_NOTIFICATION_BUTTON: c.host.EditNotificationSettings(dialog); return;
        case IDC_HELP_BUTTON:
            if (c.host.ShowHelp(dialog) == nullptr) c.prompts.Inform(dialog, IDS_USAGE);
            return;
        case IDC_DELETE_BUTTON: DeleteSelectedProgram(dialog, state); return;
        case IDC_CLOSE_PROGRAM_BUTTON: CloseSelectedProgram(dialog, state); return;
        case IDC_ADD_BUTTON: AddNewProgram(dialog, state); return;
        case IDC_PARAMETERS_BUTTON: EditSelectedProgram(dialog, state); return;
        default: OnBoundChange(dialog, state, id, notification); return;
    }
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
                if (header->code == LVN_ITEMCHANGED) Show(dialog, *state, false);
                if (header->code == NM_DBLCLK) {
                    Show(dialog, *state, false);
                    ToggleSelectedProgram(dialog, *state);
                }
            }
            return FALSE;
        }
        case WM_CTLCOLORSTATIC:
            if (state == nullptr) return FALSE;
            return reinterpret_cast<INT_PTR>(
                StatusColours(dialog, *state, reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)));
        case WM_GETMINMAXINFO:
            if (state == nullptr) return FALSE;
            LimitMainDialogSize(*state, *reinterpret_cast<MINMAXINFO*>(lParam));
            return TRUE;
        case WM_SIZE:
            if (state != nullptr) GrowMainDialog(dialog, HIWORD(lParam));
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
