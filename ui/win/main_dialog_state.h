// What the main dialog keeps while it is open, shared by its procedure and
// its program list. Private to the dialog's files.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "base/win/handles.h"
#include "ui/core/main_dialog_model.h"
#include "ui/win/main_dialog.h"
#include "ui/win/program_icons.h"

namespace mrwd {

struct MainDialogState {
    explicit MainDialogState(MainDialogContext& c) : context(c) {}
    ~MainDialogState() {
        icons.reset();
        if (images != nullptr) ::ImageList_Destroy(images);
    }
    MainDialogState(const MainDialogState&) = delete;
    MainDialogState& operator=(const MainDialogState&) = delete;

    MainDialogContext& context;
    RECT initialRect{};
    UniqueGdiObject greenBrush;
    UniqueGdiObject redBrush;
    // Shared with the list view (it does not destroy it): marks, then one icon per program.
    HIMAGELIST images = nullptr;
    // The programs' icons in `images`, looked up off the window thread.
    std::unique_ptr<ProgramIcons> icons;
    // The list as last taken under the supervision lock; the cells come from here.
    std::vector<ProgramRow> rows;
    // Set while the dialog itself puts text into an edit: that is no user's change.
    bool settingTexts = false;
    // The text handed to the list view for the cell it asked for last.
    std::wstring cellText;
    // The status texts as last put on screen.
    std::wstring shownControllerText;
    std::wstring shownModemText;
};

// The program list's part of the dialog (main_dialog_list.cpp).
void SetUpProgramList(HWND dialog, MainDialogState& state);
// Takes the rows afresh and has the list repaint them all, keeping its scroll position.
void ReloadProgramList(HWND dialog, MainDialogState& state);
int SelectedRowCount(HWND dialog);
// The selected row, or null.
const ProgramRow* SelectedRow(HWND dialog, const MainDialogState& state);
// The list view's notifications; true when the message was handled and its
// result set.
bool OnProgramListNotify(HWND dialog, MainDialogState& state, NMHDR* header, LRESULT* result);

}  // namespace mrwd
