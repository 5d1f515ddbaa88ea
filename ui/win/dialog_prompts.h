// The boxes a dialog raises in front of itself: warnings now, file and folder
// choosers later. Behind an interface, so tests of a dialog answer them
// without a modal box blocking the test.
#pragma once

#include <windows.h>

namespace mrwd {

class DialogPrompts {
public:
    virtual ~DialogPrompts() = default;
    // A warning of string `stringId`, with the warning icon and the program's name as title.
    virtual void Warn(HWND owner, UINT stringId) = 0;
    // A message of string `stringId`, with the information icon.
    virtual void Inform(HWND owner, UINT stringId) = 0;
};

// The real boxes.
class MessageBoxPrompts : public DialogPrompts {
public:
    void Warn(HWND owner, UINT stringId) override;
    void Inform(HWND owner, UINT stringId) override;
};

}  // namespace mrwd
