#include "program_dialog.h"

#include <memory>

#include "base/win/center_window.h"
#include "resources/resource_ids.h"
#include "supervision/win/folder_copy.h"
#include "ui/core/program_model.h"
#include "ui/win/dialog_binding.h"
#include "ui/win/dialog_state.h"

namespace mrwd {
namespace {

using F = ProgramField;

constexpr ControlBinding<ProgramField> kBindings[] = {
    {F::Path, IDC_PROGRAM_PATH, ControlKind::Edit},
    {F::Path, IDC_CHOOSE_PROGRAM, ControlKind::Button},
    {F::Parameters, IDC_PARAMETERS, ControlKind::Edit},
    {F::Copies, IDC_COPIES, ControlKind::Edit},
    {F::StartDelay, IDC_START_DELAY, ControlKind::Edit},
    {F::CheckInterval, IDC_CHECK_INTERVAL, ControlKind::Edit},
    {F::NoAliveSupport, IDC_NO_ALIVE_SUPPORT, ControlKind::CheckBox},
    {F::ControlEnabled, IDC_CONTROL_ENABLED, ControlKind::CheckBox},
    {F::CopyFiles, IDC_COPY_FILES, ControlKind::CheckBox},
    {F::BackupFolder, IDC_BACKUP_FOLDER, ControlKind::Edit},
    {F::BackupFolder, IDC_CHOOSE_BACKUP_FOLDER, ControlKind::Button},
    {F::RestoreFolder, IDC_RESTORE_FOLDER, ControlKind::Edit},
    {F::RestoreFolder, IDC_CHOOSE_RESTORE_FOLDER, ControlKind::Button},
    {F::CopyAfter, IDC_COPY_AFTER, ControlKind::Edit},
    {F::CopyBeforeStart, IDC_COPY_BEFORE_START, ControlKind::CheckBox},
    {F::CopyOnlyDifferent, IDC_COPY_ONLY_DIFFERENT, ControlKind::CheckBox},
    {F::CopySubfolders, IDC_COPY_SUBFOLDERS, ControlKind::CheckBox},
    {F::MakeCopies, IDC_MAKE_COPIES, ControlKind::Button},
    {F::RunProgram, IDC_RUN_PROGRAM, ControlKind::CheckBox},
    {F::RunPath, IDC_RUN_PATH, ControlKind::Edit},
    {F::RunPath, IDC_CHOOSE_RUN_PATH, ControlKind::Button},
    {F::RunAfter, IDC_RUN_AFTER, ControlKind::Edit},
    {F::Reboot, IDC_REBOOT, ControlKind::CheckBox},
    {F::RebootAfter, IDC_REBOOT_AFTER, ControlKind::Edit},
    {F::Notify, IDC_NOTIFY, ControlKind::CheckBox},
    {F::NotifyAfter, IDC_NOTIFY_AFTER, ControlKind::Edit},
};

// Files and folders as the system sees them.
class SystemPaths : public PathProbe {
public:
    bool Exists(const std::string& path) const override {
        return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    bool Same(const std::string& a, const std::string& b) const override {
        return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
    }
};

struct DialogState {
    ProgramDialogContext& context;
    ProgramModel model;
    // Set while the dialog puts text into an edit itself.
    bool settingTexts = false;
};

int ControlOf(ProgramField field) {
    for (const auto& row : kBindings) {
        if (row.field == field && row.kind != ControlKind::Button) return row.controlId;
    }
    return 0;
}

void Push(HWND dialog, DialogState& state, bool texts) {
    state.settingTexts = true;
    PushModel(dialog, state.model, kBindings, texts);
    state.settingTexts = false;
}

// The switches also fill fields (the interval, the count, the folder): those texts are pushed too.
void PushTexts(HWND dialog, DialogState& state, std::initializer_list<ProgramField> fields) {
    state.settingTexts = true;
    for (ProgramField field : fields) SetControlText(dialog, ControlOf(field), state.model.Text(field));
    state.settingTexts = false;
}

void Warn(HWND dialog, DialogState& state, const ProgramWarning& warning) {
    state.context.prompts.Warn(dialog, warning.stringId);
    ::SetFocus(::GetDlgItem(dialog, ControlOf(warning.field)));
}

void ChooseFolderFor(HWND dialog, DialogState& state, ProgramField field, UINT titleId) {
    const std::optional<std::string> folder = state.context.prompts.ChooseFolder(dialog, titleId);
    if (!folder) return;
    const ProgramField other = field == F::BackupFolder ? F::RestoreFolder : F::BackupFolder;
    if (SystemPaths().Same(*folder, state.model.Text(other))) {
        state.context.prompts.Warn(dialog, IDS_CHOOSE_OTHER_BACKUP_FOLDER);
        return;
    }
    state.model.SetText(field, *folder);
    PushTexts(dialog, state, {field});
}

void MakeCopies(HWND dialog, DialogState& state) {
    const std::string restore = state.model.Text(F::RestoreFolder);
    const std::string backup = state.model.Text(F::BackupFolder);
    if (const auto warning = CheckMakeCopies(restore, backup, SystemPaths())) {
        Warn(dialog, state, *warning);
        return;
    }
    // A person is at the dialog: the shell shows its own progress, and a
    // copy that failed is never reported as finished.
    if (!CopyFolder(dialog, restore, backup, state.model.Checked(F::CopySubfolders), false, nullptr,
                    state.context.log, ShellErrors::Shown)) {
        state.context.prompts.Warn(dialog, IDS_MAKE_COPIES_FAILED);
        return;
    }
    state.context.prompts.Inform(dialog, IDS_COPY_FINISHED);
}

void OnOk(HWND dialog, DialogState& state) {
    if (const auto warning = state.model.Validate(SystemPaths())) {
        Warn(dialog, state, *warning);
        return;
    }
    state.context.path = state.model.ResultPath();
    state.context.entry = state.model.Result();
    ::EndDialog(dialog, IDOK);
}

void OnCommand(HWND dialog, DialogState& state, int id, int notification) {
    ProgramDialogContext& c = state.context;
    if (notification == EN_CHANGE || notification == EN_UPDATE) {
        if (state.settingTexts) return;
        if (notification == EN_CHANGE) PullText(dialog, state.model, kBindings, id);
        if (notification == EN_UPDATE && id == IDC_REBOOT_AFTER) {
            PullText(dialog, state.model, kBindings, id);
            const std::string before = state.model.Text(F::RebootAfter);
            state.model.OnRebootCountEdited();
            if (state.model.Text(F::RebootAfter) != before) PushTexts(dialog, state, {F::RebootAfter});
        }
        return;
    }
    if (notification != BN_CLICKED) return;
    switch (id) {
        case IDOK:
            OnOk(dialog, state);
            return;
        case IDCANCEL:
            ::EndDialog(dialog, IDCANCEL);
            return;
        case IDC_CHOOSE_PROGRAM:
            if (const auto path = c.prompts.ChooseFile(dialog, IDS_PROGRAM_FILTER, std::string())) {
                if (state.model.ChooseProgram(*path, c.excludedPrograms)) {
                    PushTexts(dialog, state, {F::Path, F::RestoreFolder});
                } else {
                    c.prompts.Warn(dialog, IDS_CANNOT_CONTROL);
                }
            }
            return;
        case IDC_CHOOSE_RUN_PATH:
            if (const auto path = c.prompts.ChooseFile(dialog, IDS_RUN_PATH_FILTER, state.model.Text(F::RunPath))) {
                state.model.SetText(F::RunPath, *path);
                PushTexts(dialog, state, {F::RunPath});
            }
            return;
        case IDC_CHOOSE_BACKUP_FOLDER:
            ChooseFolderFor(dialog, state, F::BackupFolder, IDS_CHOOSE_BACKUP_FOLDER);
            return;
        case IDC_CHOOSE_RESTORE_FOLDER:
            ChooseFolderFor(dialog, state, F::RestoreFolder, IDS_CHOOSE_RESTORE_FOLDER);
            return;
        case IDC_MAKE_COPIES:
            MakeCopies(dialog, state);
            return;
        default:
            break;
    }
    const ControlBinding<ProgramField>* row = FindBinding(kBindings, id);
    if (row == nullptr || row->kind != ControlKind::CheckBox) return;
    state.model.Click(row->field, ::IsDlgButtonChecked(dialog, id) == BST_CHECKED);
    Push(dialog, state, false);
    PushTexts(dialog, state, {F::CheckInterval, F::RebootAfter, F::RestoreFolder});
}

}  // namespace

INT_PTR CALLBACK ProgramDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto& context = *reinterpret_cast<ProgramDialogContext*>(lParam);
            DialogState& state = AttachDialogState(dialog, std::make_unique<DialogState>(DialogState{
                context, ProgramModel(context.path, context.entry, context.mailConfigured)}));
            CenterWindow(dialog, nullptr);
            ::SendMessageW(dialog, WM_SETICON, ICON_BIG,
                           reinterpret_cast<LPARAM>(::LoadIconW(::GetModuleHandleW(nullptr),
                                                                MAKEINTRESOURCEW(IDI_SUPERVISION_ON))));
            Push(dialog, state, true);
            return TRUE;
        }
        case WM_COMMAND:
            if (auto* state = DialogStateOf<DialogState>(dialog)) OnCommand(dialog, *state, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NCDESTROY:
            ReleaseDialogState<DialogState>(dialog);
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR RunProgramDialog(HINSTANCE instance, HWND owner, ProgramDialogContext& context) {
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PROGRAM_PARAMETERS), owner, ProgramDialogProc,
                             reinterpret_cast<LPARAM>(&context));
}

}  // namespace mrwd
