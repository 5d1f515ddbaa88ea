#include "html_help.h"

#include <cstring>

namespace mrwd {
namespace {

// Where COM registers the HTML Help control; its library is the viewer.
constexpr char kViewerClassKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr char kViewerLibraryName[] = "hhctrl.ocx";
constexpr WORD kHtmlHelpOrdinal = 14;  // HtmlHelpA
constexpr DWORD kRegisteredPathSize = 260;

}  // namespace

std::string SystemHelpViewerLibrary::RegisteredPath() {
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, kViewerClassKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
    char path[kRegisteredPathSize] = {};
    DWORD size = sizeof path;
    DWORD type = 0;
    if (::RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    // A value stored without its closing zero ends where its data ends.
    return std::string(path, ::strnlen(path, size));
}

UniqueModule SystemHelpViewerLibrary::Load(const std::string& pathOrName) {
    return UniqueModule(::LoadLibraryA(pathOrName.c_str()));
}

HtmlHelpEntry SystemHelpViewerLibrary::EntryPoint(HMODULE module) {
    return reinterpret_cast<HtmlHelpEntry>(
        reinterpret_cast<void*>(::GetProcAddress(module, MAKEINTRESOURCEA(kHtmlHelpOrdinal))));
}

HtmlHelpViewer::HtmlHelpViewer(std::unique_ptr<HelpViewerLibrary> library) : library_(std::move(library)) {}

bool HtmlHelpViewer::Prepare() {
    if (unavailable_) return false;
    if (!module_) {
        const std::string registered = library_->RegisteredPath();
        if (!registered.empty()) module_ = library_->Load(registered);
        if (!module_) module_ = library_->Load(kViewerLibraryName);
        if (!module_) {
            unavailable_ = true;
            return false;
        }
    }
    if (entry_ == nullptr) {
        entry_ = library_->EntryPoint(module_.get());
        if (entry_ == nullptr) {
            unavailable_ = true;
            return false;
        }
    }
    return true;
}

HWND HtmlHelpViewer::Show(HWND owner, const char* fileAndTopic, UINT command, DWORD_PTR data) {
    if (!Prepare()) return nullptr;
    return entry_(owner, fileAndTopic, command, data);
}

HWND ShowHelp(HWND owner, const char* fileAndTopic, UINT command, DWORD_PTR data) {
    // Never destroyed: freeing the viewer's library at exit, while one of its
    // windows or threads may still be alive, could take the process down.
    static HtmlHelpViewer* const viewer = new HtmlHelpViewer(std::make_unique<SystemHelpViewerLibrary>());
    return viewer->Show(owner, fileAndTopic, command, data);
}

}  // namespace mrwd
