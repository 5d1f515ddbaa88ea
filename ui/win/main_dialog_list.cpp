// The main dialog's program list: a virtual list view whose cells are
// computed on request from the rows taken under the supervision lock.
#include "ui/win/main_dialog_state.h"

#include <shellapi.h>

#include "base/core/path_rules.h"
#include "base/win/texts.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

constexpr COLORREF kMaskColour = RGB(255, 0, 255);
constexpr int kMarkOff = 0;
constexpr int kMarkOn = 1;

struct Column {
    UINT title;
    int format;
    int width;
};

const Column kColumns[] = {
    {IDS_COLUMN_PROGRAM, LVCFMT_LEFT, 120},  {IDS_COLUMN_CONTROL, LVCFMT_RIGHT, 60},
    {IDS_COLUMN_RUNNING, LVCFMT_RIGHT, 70},  {IDS_COLUMN_INTERVAL, LVCFMT_RIGHT, 70},
    {IDS_COLUMN_FULL_PATH, LVCFMT_LEFT, 300},
};

HWND ListOf(HWND dialog) { return ::GetDlgItem(dialog, IDC_PROGRAM_LIST); }

std::wstring Screen(const std::string& text) { return WidenText(text, CP_ACP); }

std::wstring CellText(const MainDialogState& state, const ProgramRow& row, int column) {
    const bool on = state.context.supervisionOn;
    switch (static_cast<ProgramColumn>(column)) {
        case ProgramColumn::Program:
            return Screen(FileNamePart(row.path));
        case ProgramColumn::Control:
            return LoadWideText(row.controlOn ? IDS_CONTROL_ON_MARK : IDS_CONTROL_OFF_MARK);
        case ProgramColumn::Running:
            return Screen(RunningCell(row, on));
        case ProgramColumn::Interval:
            return Screen(IntervalCell(row, on, state.context.supervision.failureActionInProgress, ::GetTickCount()));
        case ProgramColumn::FullPath:
            return Screen(row.path);
    }
    return std::wstring();
}

void AnswerDisplayInfo(MainDialogState& state, NMLVDISPINFOW& info) {
    LVITEMW& item = info.item;
    if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= state.rows.size()) return;
    const ProgramRow& row = state.rows[static_cast<size_t>(item.iItem)];
    if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
        state.cellText = CellText(state, row, item.iSubItem);
        // Cut to the list's buffer, never past it.
        const size_t room = static_cast<size_t>(item.cchTextMax) - 1;
        const size_t length = state.cellText.size() < room ? state.cellText.size() : room;
        state.cellText.copy(item.pszText, length);
        item.pszText[length] = L'\0';
    }
    if ((item.mask & LVIF_IMAGE) != 0) {
        // Only the first two columns carry a picture.
        item.iImage = I_IMAGENONE;
        if (item.iSubItem == static_cast<int>(ProgramColumn::Program) && state.icons) {
            item.iImage = state.icons->IndexOf(row.path);
        }
        if (item.iSubItem == static_cast<int>(ProgramColumn::Control)) item.iImage = row.controlOn ? kMarkOn : kMarkOff;
    }
}

// While supervision is on, the interval column shows in colour how close
// each program is to its limit.
LRESULT CustomDraw(const MainDialogState& state, NMLVCUSTOMDRAW& draw) {
    if (!state.context.supervisionOn) return CDRF_DODEFAULT;
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const size_t index = static_cast<size_t>(draw.nmcd.dwItemSpec);
            draw.clrText = ::GetSysColor(COLOR_WINDOWTEXT);
            if (draw.iSubItem == static_cast<int>(ProgramColumn::Interval) && index < state.rows.size()) {
                const std::string text = IntervalCell(state.rows[index], true,
                                                      state.context.supervision.failureActionInProgress,
                                                      ::GetTickCount());
                switch (ColourOfIntervalText(text)) {
                    case IntervalColour::Green: draw.clrText = RGB(0, 128, 0); break;
                    case IntervalColour::Olive: draw.clrText = RGB(128, 128, 0); break;
                    case IntervalColour::Red: draw.clrText = RGB(255, 0, 0); break;
                }
            }
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

// The shell's icon of programs in general, found by the name's ending alone:
// no file is read for it. Shown until a program's own icon is known.
int DefaultProgramIcon(HIMAGELIST images) {
    SHFILEINFOW info{};
    if (::SHGetFileInfoW(L"program.exe", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                         SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_SMALLICON) == 0) {
        return I_IMAGENONE;
    }
    return AddOwnedIcon(images, info.hIcon);
}

}  // namespace

void SetUpProgramList(HWND dialog, MainDialogState& state) {
    HWND list = ListOf(dialog);
    for (size_t i = 0; i < sizeof kColumns / sizeof kColumns[0]; ++i) {
        std::wstring title = LoadWideText(kColumns[i].title);
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = kColumns[i].format;
        column.cx = kColumns[i].width;
        column.pszText = title.data();
        column.iSubItem = static_cast<int>(i);
        ::SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES);

    state.images.reset(::ImageList_LoadImageW(state.context.instance, MAKEINTRESOURCEW(IDB_CONTROL_MARKS), 16, 0,
                                              kMaskColour, IMAGE_BITMAP, LR_CREATEDIBSECTION));
    UiEvents* ui = state.context.ui;
    state.icons = std::make_unique<ProgramIcons>(state.images.get(), DefaultProgramIcon(state.images.get()), LookUpSmallIcon, [ui] {
        if (ui != nullptr) ui->RefreshMainDialog();
    });
    ::SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(state.images.get()));
}

void ReloadProgramList(HWND dialog, MainDialogState& state) {
    {
        std::lock_guard<std::mutex> guard(state.context.supervision.lock);
        state.rows = TakeProgramRows(state.context.supervision);
    }
    HWND list = ListOf(dialog);
    ::SendMessageW(list, LVM_SETITEMCOUNT, state.rows.size(), LVSICF_NOSCROLL);
    ::InvalidateRect(list, nullptr, FALSE);
}

int SelectedRowCount(HWND dialog) {
    return static_cast<int>(::SendMessageW(ListOf(dialog), LVM_GETSELECTEDCOUNT, 0, 0));
}

const ProgramRow* SelectedRow(HWND dialog, const MainDialogState& state) {
    const LRESULT index = ::SendMessageW(ListOf(dialog), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (index < 0 || static_cast<size_t>(index) >= state.rows.size()) return nullptr;
    return &state.rows[static_cast<size_t>(index)];
}

bool OnProgramListNotify(HWND dialog, MainDialogState& state, NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_PROGRAM_LIST) return false;
    switch (header->code) {
        case LVN_GETDISPINFOW:
            AnswerDisplayInfo(state, *reinterpret_cast<NMLVDISPINFOW*>(header));
            *result = 0;
            return true;
        case NM_CUSTOMDRAW:
            *result = CustomDraw(state, *reinterpret_cast<NMLVCUSTOMDRAW*>(header));
            return true;
        default:
            (void)dialog;
            return false;
    }
}

}  // namespace mrwd
