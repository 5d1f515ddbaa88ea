#include "texts.h"

namespace mrwd {
namespace {

constexpr UINT kLogCodePage = 1251;

template <typename Text>
Text ReplaceFirstPlaceholder(Text text, const Text& placeholder, const Text& argument) {
    const auto at = text.find(placeholder);
    if (at != Text::npos) text.replace(at, placeholder.size(), argument);
    return text;
}

}  // namespace

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

std::wstring WidenText(const std::string& bytes, UINT codePage) {
    if (bytes.empty()) return {};
    const int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], length);
    return wide;
}

std::string LoadText(UINT id) { return NarrowText(LoadWideText(id), kLogCodePage); }

std::string LoadScreenText(UINT id) { return NarrowText(LoadWideText(id), CP_ACP); }

std::string FillText(UINT id, const std::string& argument, bool forScreen) {
    return ReplaceFirstPlaceholder(forScreen ? LoadScreenText(id) : LoadText(id), std::string("%s"), argument);
}

std::wstring FillWideText(UINT id, const std::wstring& argument) {
    return ReplaceFirstPlaceholder(LoadWideText(id), std::wstring(L"%s"), argument);
}

}  // namespace mrwd
