#include "tests/harness/modal_dialog.h"

#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

// Keeps in *found the thread's first dialog box that is shown. (A named
// function: the system's callbacks are stdcall on 32-bit Windows, which a
// lambda cannot be.)
BOOL CALLBACK KeepShownDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wstring(name) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

}  // namespace

ModalDialog::ModalDialog(std::function<INT_PTR()> run)
    : thread_([this, run] {
          threadId_ = ::GetCurrentThreadId();
          result_ = run();
      }) {
    WaitUntil(
        [this] {
            if (threadId_ == 0) return false;
            // The dialog, not another window of the thread (Wine gives every
            // thread with windows an input method window too), once it is
            // shown: before that its controls may still be in the making.
            ::EnumThreadWindows(threadId_, KeepShownDialog, reinterpret_cast<LPARAM>(&window_));
            return window_ != nullptr;
        },
        kDeadlineMs);
}

ModalDialog::~ModalDialog() {
    if (::IsWindow(window_)) ::PostMessageW(window_, WM_COMMAND, IDCANCEL, 0);
    if (thread_.joinable()) thread_.join();
}

std::wstring ModalDialog::Text(int id) const {
    wchar_t text[512] = {};
    ::GetWindowTextW(Control(id), text, 512);
    return text;
}

INT_PTR ModalDialog::Result() {
    if (!WaitUntil([this] { return !::IsWindow(window_); }, kDeadlineMs)) return -2;
    if (thread_.joinable()) thread_.join();
    return result_;
}

}  // namespace mrwd::testing
