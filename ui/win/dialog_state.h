// The state a dialog keeps while it is open: owned by the window from
// WM_INITDIALOG (Attach) until WM_NCDESTROY (Release), reached in between.
#pragma once

#include <windows.h>

#include <memory>

namespace mrwd {

template <typename State>
State* DialogStateOf(HWND dialog) {
    return reinterpret_cast<State*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

template <typename State>
State& AttachDialogState(HWND dialog, std::unique_ptr<State> state) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state.get()));
    return *state.release();
}

template <typename State>
void ReleaseDialogState(HWND dialog) {
    delete DialogStateOf<State>(dialog);
    ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
}

}  // namespace mrwd
