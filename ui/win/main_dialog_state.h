// What the main dialog keeps while it is open, shared by its procedure and
// its program list. Private to the dialog's files.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "base/win/handles.h"
#include "base/win/image_list.h"
#include "ui/core/main_dialog_model.h"
#include "ui/win/main_dialog.h"
#include "ui/win/program_icons.h"

namespace mrwd {

// The model's writes go to the server's settings key.
class RegistryWrites : public SettingWrites {
public:
    explicit RegistryWrites(const SettingsStore& store) : store_(store) {}
    void StoreDword(const char* name, std::uint32_t value) override { store_.StoreDword(name, value); }

private:
    SettingsStore store_;
};

struct MainDialogState {
    explicit MainDialogState(MainDialogContext& c)
        : context(c), writes(c.store), model(c.settings, writes, c.host.IsAutostart()) {}

    MainDialogContext& context;
    RegistryWrites writes;
    MainDialogModel model;
    RECT initialRect{};
    UniqueGdiObject greenBrush;
    UniqueGdiObject redBrush;
    // Shared with the list view (it does not destroy it): marks, then one icon per program.
    UniqueImageList images;
    // The programs' icons in `images`, looked up off the window thread.
    // After `images`, so that it goes first: it adds to that list.
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

// Its painting and layout (main_dialog_frame.cpp). The colours of the status
// boxes and their texts; null for any other static control.
HBRUSH StatusColours(HWND dialog, MainDialogState& state, HWND control, HDC dc);
// Only taller: the block from the add button down moves with the bottom
// edge, and the list grows.
void GrowMainDialog(HWND dialog, int clientHeight);
// As wide as the template, at least as tall.
void LimitMainDialogSize(const MainDialogState& state, MINMAXINFO& limits);

}  // namespace mrwd
