#include "dialog_prompts.h"

#include <commdlg.h>
#include <shlobj.h>

#include "base/win/handles.h"
#include "base/win/texts.h"

namespace mrwd {

namespace {

// The program's name, which every box of it carries as its title.
constexpr wchar_t kCaption[] = L"Marotel ZedevUdo Server";

}  // namespace

void MessageBoxPrompts::Warn(HWND owner, UINT stringId) {
    ::MessageBoxW(owner, LoadWideText(stringId).c_str(), kCaption, MB_OK | MB_ICONWARNING);
}

void MessageBoxPrompts::Inform(HWND owner, UINT stringId) {
    ::MessageBoxW(owner, LoadWideText(stringId).c_str(), kCaption, MB_OK | MB_ICONINFORMATION);
}

std::optional<std::string> MessageBoxPrompts::ChooseFile(HWND owner, UINT filterId, const std::string& initial) {
    // The string table cannot hold the zeros between the filter's parts.
    std::wstring filter = LoadWideText(filterId);
    for (wchar_t& c : filter) {
        if (c == L'|') c = L'\0';
    }
    filter.push_back(L'\0');
    wchar_t file[MAX_PATH] = {};
    const std::wstring first = WidenText(initial, CP_ACP);
    first.copy(file, MAX_PATH - 1);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = kCaption;
    dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!::GetOpenFileNameW(&dialog)) return std::nullopt;
    return NarrowText(file, CP_ACP);
}

std::optional<std::string> MessageBoxPrompts::ChooseFolder(HWND owner, UINT titleId) {
    const std::wstring title = LoadWideText(titleId);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    UniqueShellMemory chosen(::SHBrowseForFolderW(&browse));
    if (!chosen) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(static_cast<LPCITEMIDLIST>(chosen.get()), path)) return std::nullopt;
    return NarrowText(path, CP_ACP);
}

}  // namespace mrwd
