// The parts of the main dialog that only paint and lay out: the status
// boxes in their line's colour with the text beside them, and growing taller.
#include "ui/win/main_dialog_state.h"

#include "base/win/texts.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

void ShowStatusText(HWND dialog, int textId, const StatusLine* line, std::wstring* shown) {
    const std::wstring text = line != nullptr ? WidenText(line->Text(), 1251) : std::wstring();
    if (text == *shown) return;
    *shown = text;
    ::SetDlgItemTextW(dialog, textId, text.c_str());
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

}  // namespace

HBRUSH StatusColours(HWND dialog, MainDialogState& state, HWND control, HDC dc) {
    const int id = ::GetDlgCtrlID(control);
    if (id == IDC_CONTROLLER_STATUS_BOX || id == IDC_MODEM_STATUS_BOX) return StatusBrush(dialog, state, id);
    if (id == IDC_CONTROLLER_STATUS_TEXT || id == IDC_MODEM_STATUS_TEXT) {
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        return ::GetSysColorBrush(COLOR_WINDOW);
    }
    return nullptr;
}

// Only taller: the block from "&Добавить..." down moves with the bottom edge,
// and the list grows.
void GrowMainDialog(HWND dialog, int clientHeight) {
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

void LimitMainDialogSize(const MainDialogState& state, MINMAXINFO& limits) {
    const LONG width = state.initialRect.right - state.initialRect.left;
    limits.ptMinTrackSize.x = width;
    limits.ptMinTrackSize.y = state.initialRect.bottom - state.initialRect.top;
    limits.ptMaxTrackSize.x = width;
    limits.ptMaxSize.x = width;
}

}  // namespace mrwd
