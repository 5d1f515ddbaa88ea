#include "error_msg.h"

#include <cstdio>

#include "base/win/center_window.h"
#include "base/win/system_clock.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

// Posted by AddFailureLine; the dialog's own thread adds the line. The moment
// of the failure travels packed in the parameters: wParam hour, minute,
// second; lParam month, day, two-digit year.
constexpr UINT kAddFailureLineMessage = WM_APP + 1;

WPARAM PackClock(const LocalTime& t) { return static_cast<WPARAM>(t.hour << 16 | t.minute << 8 | t.second); }
LPARAM PackDate(const LocalTime& t) { return static_cast<LPARAM>(t.month << 16 | t.day << 8 | t.year % 100); }

void AddLine(HWND window, WPARAM clock, LPARAM date) {
    char line[32];
    std::snprintf(line, sizeof line, "%02d:%02d:%02d   %02d/%02d/%02d", static_cast<int>(clock >> 16 & 0xFF),
                  static_cast<int>(clock >> 8 & 0xFF), static_cast<int>(clock & 0xFF),
                  static_cast<int>(date >> 16 & 0xFF), static_cast<int>(date >> 8 & 0xFF),
                  static_cast<int>(date & 0xFF));
    ::SendDlgItemMessageA(window, IDC_FAILURE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    ::InvalidateRect(window, nullptr, TRUE);
}

}  // namespace

ErrorMsg::ErrorMsg(DWORD waitMs) : ready_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    Start();
    ::WaitForSingleObject(ready_.get(), waitMs);
}

ErrorMsg::~ErrorMsg() {
    // The window is closed, or waiting for its thread would wait for a user
    // who may never come. It may still be on its way up: then it sees the
    // flag when it starts (the flag is set before the window is looked at,
    // and the window is published before the flag is looked at there).
    closing_ = true;
    HWND window = window_;
    if (window != nullptr) ::PostMessageA(window, WM_COMMAND, IDC_FAILURE_CLOSE, 0);
    Stop(INFINITE);
}

void ErrorMsg::AddFailureLine() {
    HWND window = window_;
    if (window == nullptr) return;  // the window never came up: the line is lost
    // Posted, not sent: the caller (the controller thread) never waits for
    // the window's thread.
    const LocalTime now = LocalNow();
    ::PostMessageA(window, kAddFailureLineMessage, PackClock(now), PackDate(now));
}

void ErrorMsg::Run() {
    ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONTROLLER_FAILURE), nullptr, DialogProc,
                      reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK ErrorMsg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* self = reinterpret_cast<ErrorMsg*>(lParam);
            ::SetWindowLongPtrA(window, DWLP_USER, lParam);
            CenterWindow(window, nullptr);
            self->open_ = true;
            self->window_ = window;
            ::SetEvent(self->ready_.get());
            if (self->closing_) ::PostMessageA(window, WM_COMMAND, IDC_FAILURE_CLOSE, 0);
            return FALSE;
        }
        case kAddFailureLineMessage:
            AddLine(window, wParam, lParam);
            return TRUE;
        case WM_COMMAND:
            // Esc and the close box send IDCANCEL: only the button may close the list.
            if (LOWORD(wParam) == IDC_FAILURE_CLOSE) {
                auto* self = reinterpret_cast<ErrorMsg*>(::GetWindowLongPtrA(window, DWLP_USER));
                if (self != nullptr) {
                    self->open_ = false;
                    self->window_ = nullptr;
                }
                ::EndDialog(window, IDC_FAILURE_CLOSE);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace mrwd
