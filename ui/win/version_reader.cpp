#include "version_reader.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "base/win/texts.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

// Room for the long paths that GetModuleFileNameA can give; a longer one is
// cut, and then names no file.
constexpr DWORD kPathBufferSize = 513;
constexpr DWORD kLanguageNameSize = 511;

std::wstring WideQuery(const std::string& query) {
    return std::wstring(query.begin(), query.end());  // queries are plain ASCII
}

// The first translation of the resource; 0 when it has no translation list.
std::uint32_t FirstTranslation(const void* block, std::wstring& languageName) {
    void* data = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block, L"\\VarFileInfo\\Translation", &data, &length) || data == nullptr ||
        length < 2 * sizeof(WORD))
        return 0;
    const WORD* entry = static_cast<const WORD*>(data);
    wchar_t name[kLanguageNameSize] = {};
    const DWORD nameLength = ::VerLanguageNameW(entry[0], name, kLanguageNameSize);
    if (nameLength > 0 && nameLength < kLanguageNameSize) languageName.assign(name, nameLength);
    return TranslationOf(entry[0], entry[1]);
}

// The string at `query`; empty when the table has no such string.
std::wstring StringValue(const void* block, const std::string& query) {
    void* data = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block, WideQuery(query).c_str(), &data, &length) || data == nullptr) return {};
    // The length counts characters, the closing zero included when there is
    // one; the text is never read past it.
    const wchar_t* text = static_cast<const wchar_t*>(data);
    return std::wstring(text, ::wcsnlen(text, length));
}

}  // namespace

bool ReadVersionInfo(VersionInfo& info, const char* path) {
    info.Reset();
    char ownPath[kPathBufferSize] = {};
    if (path == nullptr) {
        ::GetModuleFileNameA(nullptr, ownPath, kPathBufferSize);
        ownPath[kPathBufferSize - 1] = '\0';  // Windows XP leaves a cut path without its zero
        path = ownPath;
    }

    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return false;
    std::vector<char> block(size + 1);
    // A resource that cannot be read leaves nothing to look up in.
    if (!::GetFileVersionInfoA(path, 0, size, block.data())) return false;

    info.translation = FirstTranslation(block.data(), info.languageName);
    for (const VersionStringField& string : kVersionStrings)
        info.*string.field = StringValue(block.data(), VersionStringQuery(info.translation, string.name));
    info.valid = true;
    return true;
}

std::wstring VersionTitle(const VersionInfo& info) {
    if (!info.valid) return {};
    return FillWideText(IDS_DIALOG_TITLE_VERSION, info.fileVersion);
}

}  // namespace mrwd
