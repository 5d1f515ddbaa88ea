// A modal dialog run on a thread of its own, as the server's window thread
// runs it, so that a test can talk to it with the messages a user's actions
// produce and read its controls back.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace mrwd::testing {

class ModalDialog {
public:
    // `run` opens the dialog and returns its result when it ends.
    explicit ModalDialog(std::function<INT_PTR()> run);
    // Cancels the dialog when it is still open, and waits for its thread.
    ~ModalDialog();
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    HWND Window() const { return window_; }
    HWND Control(int id) const { return ::GetDlgItem(window_, id); }
    // A click as the mouse makes it: an automatic check box toggles itself first.
    void Click(int id) const { ::SendMessageW(Control(id), BM_CLICK, 0, 0); }
    // Typing replaces an edit's text; the edit tells the dialog as it would.
    void Type(int id, const wchar_t* text) const {
        ::SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    std::wstring Text(int id) const;
    bool Checked(int id) const { return ::SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Enabled(int id) const { return ::IsWindowEnabled(Control(id)) != FALSE; }
    // The dialog's result once it has closed; -2 when it stays open.
    INT_PTR Result();

private:
    // The thread's dialog once it is shown; null before.
    HWND ShownDialog() const;

    std::atomic<DWORD> threadId_{0};
    std::atomic<INT_PTR> result_{-1};
    std::atomic<bool> ended_{false};
    HWND window_ = nullptr;
    std::thread thread_;
};

}  // namespace mrwd::testing
