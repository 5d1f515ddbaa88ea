// Moves a dialog model's values into its controls and a control's change back
// into the model, by a table of rows (field, control id, kind). The model
// offers Text, SetText, Checked and Enabled per field, and Visible where some
// of its controls come and go.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>

#include "base/win/texts.h"

namespace mrwd {

enum class ControlKind {
    Edit,      // text both ways
    CheckBox,  // check mark from the model; clicks go to the model's own handler
    Button,    // only enabled or not, as the field it acts on
    Label,     // only shown or not, as the field it names; never greyed
};

template <typename Field>
struct ControlBinding {
    Field field;
    int controlId;
    ControlKind kind;
};

// The text of a control as the program keeps its texts: bytes of the ANSI
// code page (what the registry's "A" calls store). Read in UTF-16, so the
// control's text is right whatever the code page of the thread.
inline std::string ControlText(HWND dialog, int controlId) {
    HWND control = ::GetDlgItem(dialog, controlId);
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(control, &text[0], length + 1)));
    return NarrowText(text, CP_ACP);
}

inline void SetControlText(HWND dialog, int controlId, const std::string& text) {
    ::SetDlgItemTextW(dialog, controlId, WidenText(text, CP_ACP).c_str());
}

// Whether a model decides which of its controls are shown. One that does
// not leaves every control as its template shows it.
template <typename Model, typename Field, typename = void>
struct HasVisible : std::false_type {};
template <typename Model, typename Field>
struct HasVisible<Model, Field, std::void_t<decltype(std::declval<const Model&>().Visible(std::declval<Field>()))>>
    : std::true_type {};

// Pushes the model: every control's enabled state, check mark and (where the
// model says) visibility and, with `texts`, the edits' texts (only at the
// start: re-setting a text while the user types would move the caret).
template <typename Model, typename Field, std::size_t N>
void PushModel(HWND dialog, const Model& model, const ControlBinding<Field> (&table)[N], bool texts) {
    for (const ControlBinding<Field>& row : table) {
        HWND control = ::GetDlgItem(dialog, row.controlId);
        if (row.kind == ControlKind::Edit && texts) SetControlText(dialog, row.controlId, model.Text(row.field));
        if (row.kind == ControlKind::CheckBox) {
            ::CheckDlgButton(dialog, row.controlId, model.Checked(row.field) ? BST_CHECKED : BST_UNCHECKED);
        }
        if (row.kind != ControlKind::Label) ::EnableWindow(control, model.Enabled(row.field) ? TRUE : FALSE);
        if constexpr (HasVisible<Model, Field>::value) {
            ::ShowWindow(control, model.Visible(row.field) ? SW_SHOW : SW_HIDE);
        }
    }
}

// The row of a control, or null.
template <typename Field, std::size_t N>
const ControlBinding<Field>* FindBinding(const ControlBinding<Field> (&table)[N], int controlId) {
    for (const ControlBinding<Field>& row : table) {
        if (row.controlId == controlId) return &row;
    }
    return nullptr;
}

// Takes an edit's new text into the model; false when the control is no bound edit.
template <typename Model, typename Field, std::size_t N>
bool PullText(HWND dialog, Model& model, const ControlBinding<Field> (&table)[N], int controlId) {
    const ControlBinding<Field>* row = FindBinding(table, controlId);
    if (row == nullptr || row->kind != ControlKind::Edit) return false;
    model.SetText(row->field, ControlText(dialog, controlId));
    return true;
}

}  // namespace mrwd
