// The platform's HTML Help viewer (hhctrl.ocx), loaded on the first request
// for help and kept loaded for the life of the process. When it cannot be
// loaded once, it is not looked for again: the caller then shows its own text.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/win/handles.h"

namespace mrwd {

// HtmlHelpA: owner window, help file with its topic, command, command data.
using HtmlHelpEntry = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

// What the viewer's loading needs from the system; tests give their own.
class HelpViewerLibrary {
public:
    virtual ~HelpViewerLibrary() = default;
    // The path the HTML Help control is registered under; empty when it is not.
    virtual std::string RegisteredPath() = 0;
    // LoadLibrary of a path or a bare name.
    virtual UniqueModule Load(const std::string& pathOrName) = 0;
    // The viewer's entry point, exported as ordinal 14; null when missing.
    virtual HtmlHelpEntry EntryPoint(HMODULE module) = 0;
};

// The real registry, LoadLibraryA and GetProcAddress.
class SystemHelpViewerLibrary final : public HelpViewerLibrary {
public:
    std::string RegisteredPath() override;
    UniqueModule Load(const std::string& pathOrName) override;
    HtmlHelpEntry EntryPoint(HMODULE module) override;
};

// The viewer's state: its module, its entry point, and whether it is known
// to be unavailable.
class HtmlHelpViewer {
public:
    explicit HtmlHelpViewer(std::unique_ptr<HelpViewerLibrary> library);

    // The viewer's own call with these arguments, loading it first when
    // needed; null when the viewer is unavailable or the call gives null.
    HWND Show(HWND owner, const char* fileAndTopic, UINT command, DWORD_PTR data);
    bool Unavailable() const { return unavailable_; }

private:
    bool Prepare();

    std::unique_ptr<HelpViewerLibrary> library_;
    UniqueModule module_;
    HtmlHelpEntry entry_ = nullptr;
    bool unavailable_ = false;
};

// The process's one viewer (HtmlHelpA through it).
HWND ShowHelp(HWND owner, const char* fileAndTopic, UINT command, DWORD_PTR data);

}  // namespace mrwd
