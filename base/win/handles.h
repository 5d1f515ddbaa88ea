// Move-only owners for what the program opens from Windows: kernel handles,
// files, registry keys, menus, modules, find handles, GDI objects, memory and
// borrowed device contexts, mapped views, service handles, registered waits,
// shell memory and the COM initialisation of a thread, so that every path out of a function releases
// what it opened. Sockets have their own header (socket_handle.h), because
// their header must come before <windows.h>.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace mrwd {

template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Type get() const { return value_; }
    bool valid() const { return value_ != Traits::Invalid(); }
    explicit operator bool() const { return valid(); }

    Type release() { return std::exchange(value_, Traits::Invalid()); }
    void reset(Type value = Traits::Invalid()) {
        if (valid()) Traits::Close(value_);
        value_ = value;
    }
    // For APIs that return the resource through a pointer argument.
    Type* put() {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::Invalid();
};

// Traits for the common case: "none" is a null value of type T.
template <typename T, auto CloseFunction>
struct NullIsNoneTraits {
    using Type = T;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { CloseFunction(value); }
};

// Kernel objects whose "none" is null: events, threads, processes, mutexes, mappings, tokens.
using UniqueHandle = UniqueResource<NullIsNoneTraits<HANDLE, ::CloseHandle>>;

// Files, whose "none" is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};
using UniqueFile = UniqueResource<FileHandleTraits>;

// A FindFirstFile search, whose "none" is INVALID_HANDLE_VALUE too.
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};
using UniqueFind = UniqueResource<FindHandleTraits>;

inline void CloseRegistryKey(HKEY key) { ::RegCloseKey(key); }
inline void DestroyMenuHandle(HMENU menu) { ::DestroyMenu(menu); }
inline void FreeLoadedLibrary(HMODULE module) { ::FreeLibrary(module); }
inline void DeleteGdiObject(HGDIOBJ object) { ::DeleteObject(object); }
inline void DeleteMemoryDc(HDC dc) { ::DeleteDC(dc); }
inline void UnmapView(const void* view) { ::UnmapViewOfFile(view); }
inline void CloseService(SC_HANDLE service) { ::CloseServiceHandle(service); }
inline void FreeShellMemory(void* memory) { ::CoTaskMemFree(memory); }
inline void DeregisterEventLogSource(HANDLE source) { ::DeregisterEventSource(source); }
// Also waits for a callback that is running, so that it never reaches an
// object that is gone.
inline void UnregisterWaitAndCallback(HANDLE wait) { ::UnregisterWaitEx(wait, INVALID_HANDLE_VALUE); }

using UniqueRegKey = UniqueResource<NullIsNoneTraits<HKEY, CloseRegistryKey>>;
using UniqueMenu = UniqueResource<NullIsNoneTraits<HMENU, DestroyMenuHandle>>;
// A library this program loaded itself (LoadLibrary), freed again.
using UniqueModule = UniqueResource<NullIsNoneTraits<HMODULE, FreeLoadedLibrary>>;
// Pens, brushes, bitmaps, fonts, regions. Deselect before the owner goes.
using UniqueGdiObject = UniqueResource<NullIsNoneTraits<HGDIOBJ, DeleteGdiObject>>;
// A device context made by CreateCompatibleDC (not one borrowed with GetDC).
using UniqueMemoryDc = UniqueResource<NullIsNoneTraits<HDC, DeleteMemoryDc>>;
using UniqueView = UniqueResource<NullIsNoneTraits<const void*, UnmapView>>;
using UniqueServiceHandle = UniqueResource<NullIsNoneTraits<SC_HANDLE, CloseService>>;
// Memory the shell hands out (item id lists).
using UniqueShellMemory = UniqueResource<NullIsNoneTraits<void*, FreeShellMemory>>;
// A source registered for reporting to the Windows event log.
using UniqueEventSource = UniqueResource<NullIsNoneTraits<HANDLE, DeregisterEventLogSource>>;
// A wait registered with the thread pool (RegisterWaitForSingleObject).
using UniqueRegisteredWait = UniqueResource<NullIsNoneTraits<HANDLE, UnregisterWaitAndCallback>>;

// A window's device context (the screen's for no window), borrowed with
// GetDC for as long as the scope lasts.
class WindowDc {
public:
    explicit WindowDc(HWND window = nullptr) : window_(window), dc_(::GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// COM on the calling thread for the life of the scope; uninitialised again
// only when this scope's initialisation succeeded.
class ComScope {
public:
    explicit ComScope(DWORD model = COINIT_APARTMENTTHREADED) : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, model))) {}
    ~ComScope() {
        if (initialised_) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

// A COM interface pointer, released when it goes.
template <typename Interface>
class ComPointer {
public:
    ComPointer() = default;
    ~ComPointer() {
        if (pointer_ != nullptr) pointer_->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For APIs that return the interface through a pointer argument.
    Interface** put() {
        if (pointer_ != nullptr) pointer_->Release();
        pointer_ = nullptr;
        return &pointer_;
    }

private:
    Interface* pointer_ = nullptr;
};

}  // namespace mrwd
