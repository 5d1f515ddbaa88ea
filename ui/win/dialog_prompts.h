// The boxes a dialog raises in front of itself: warnings now, file and folder
// choosers later. Behind an interface, so tests of a dialog answer them
// without a modal box blocking the test.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace mrwd {

class DialogPrompts {
public:
    virtual ~DialogPrompts() = default;
    // A warning of string `stringId`, with the warning icon and the program's name as title.
    virtual void Warn(HWND owner, UINT stringId) = 0;
    // A message of string `stringId`, with the information icon.
    virtual void Inform(HWND owner, UINT stringId) = 0;
    // A file to open. `filterId` names a string of "name|pattern|" pairs;
    // `initial` is the name offered first. Nothing when the user cancels.
    virtual std::optional<std::string> ChooseFile(HWND owner, UINT filterId, const std::string& initial) = 0;
    // A folder, from the desktop down, with string `titleId` above the tree.
    virtual std::optional<std::string> ChooseFolder(HWND owner, UINT titleId) = 0;
};

// The real boxes.
class MessageBoxPrompts : public DialogPrompts {
public:
    void Warn(HWND owner, UINT stringId) override;
    void Inform(HWND owner, UINT stringId) override;
    std::optional<std::string> ChooseFile(HWND owner, UINT filterId, const std::string& initial) override;
    std::optional<std::string> ChooseFolder(HWND owner, UINT titleId) override;
};

}  // namespace mrwd
