#include "texts.h"

namespace mrwd {

constexpr UINT kLogCodePage = 1251;

std::wstring LoadWideText(UINT id) {
    // With a zero buffer size LoadStringW hands out a pointer into the
    // resource itself, so strings of any length load whole.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return {};
    return std::wstring(text, static_cast<size_t>(length));
}

std::string NarrowText(const std::wstring& text, UINT codePage) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                          nullptr, nullptr);
    return bytes;
}

std::string LoadText(UINT id) { return NarrowText(LoadWideText(id), kLogCodePage); }

std::string LoadScreenText(UINT id) { return NarrowText(LoadWideText(id), CP_ACP); }

}  // namespace mrwd
