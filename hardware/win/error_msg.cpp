#include "error_msg.h"

#include <atomic>
#include <cstdio>

#include "app/win/center_window.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

constexpr DWORD kWaitForWindowMs = 5000;

// One failure window at a time in the process.
HANDLE readyEvent = nullptr;
std::atomic<HWND> dialogWindow{nullptr};
std::atomic<bool> windowOpen{false};

INT_PTR CALLBACK FailureDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            CenterWindow(window, nullptr);
            windowOpen = true;
            dialogWindow = window;
            if (readyEvent != nullptr) ::SetEvent(readyEvent);
            return FALSE;
        case WM_COMMAND:
            // Esc and the close box send IDCANCEL: only the button may close the list.
            if (LOWORD(wParam) == IDC_FAILURE_CLOSE) {
                windowOpen = false;
                dialogWindow = nullptr;
                ::EndDialog(window, IDC_FAILURE_CLOSE);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

ErrorMsg::ErrorMsg() {
    readyEvent = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    Start();
    ::WaitForSingleObject(readyEvent, kWaitForWindowMs);
}

ErrorMsg::~ErrorMsg() {
    if (readyEvent != nullptr) ::CloseHandle(readyEvent);
    readyEvent = nullptr;
    // The server is ending with the window still up: close it, or waiting for
    // its thread would wait for a user who may never come.
    HWND window = dialogWindow;
    if (window != nullptr) ::PostMessageA(window, WM_COMMAND, IDC_FAILURE_CLOSE, 0);
    Stop(INFINITE);
}

bool ErrorMsg::WindowOpen() { return windowOpen; }

HWND ErrorMsg::Window() { return dialogWindow; }

void ErrorMsg::AddFailureLine() {
    HWND window = dialogWindow;
    if (window == nullptr) return;  // the window never came up: the line is lost
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char line[32];
    std::snprintf(line, sizeof line, "%02d:%02d:%02d   %02d/%02d/%02d", now.wHour, now.wMinute, now.wSecond,
                  now.wMonth, now.wDay, now.wYear % 100);
    ::SendDlgItemMessageA(window, IDC_FAILURE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    ::InvalidateRect(window, nullptr, TRUE);
}

void ErrorMsg::Run() {
    ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONTROLLER_FAILURE), nullptr,
                      FailureDialogProc, 0);
}

}  // namespace mrwd
