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
          ended_ = true;
      }) {
    WaitUntil([this] { return (window_ = ShownDialog()) != nullptr; }, kDeadlineMs);
}

HWND ModalDialog::ShownDialog() const {
    if (threadId_ == 0) return nullptr;
    // The dialog, not another window of the thread (Wine gives every thread
    // with windows an input method window too), once it is shown: before that
    // its controls may still be in the making.
    HWND found = nullptr;
    ::EnumThreadWindows(threadId_, KeepShownDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

ModalDialog::~ModalDialog() {
    // A dialog that came up only after the constructor gave up on it (its
    // opening was held up) is closed too, so the thread can end.
    while (thread_.joinable() && !ended_) {
        HWND window = ::IsWindow(window_) ? window_ : ShownDialog();
        if (window != nullptr) ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        ::Sleep(50);
    }
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
