#include "win_harness.h"

#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/win/server_process.h"
#include "base/win/settings_store.h"
#include "supervision/win/process_control.h"

namespace mrwd::testing {
namespace fs = std::filesystem;

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(pollMs);
    }
}

bool PumpMessagesUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
            return condition();
        },
        timeoutMs, 5);
}

namespace {

std::wstring Widen(const std::string& bytes, UINT codePage) {
    if (bytes.empty()) return {};
    const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage) {
    if (wide.empty()) return {};
    const int n = ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &bytes[0], n, nullptr,
                          nullptr);
    return bytes;
}

int CountOccurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

}  // namespace

std::string Utf8FromCp1251(const std::string& bytes) { return Narrow(Widen(bytes, 1251), CP_UTF8); }
std::string Cp1251FromUtf8(const std::string& text) { return Narrow(Widen(text, CP_UTF8), 1251); }

std::string TestProgramFolder() {
    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string FreshTestFolder(const std::string& prefix) {
    char cwd[MAX_PATH];
    ::GetCurrentDirectoryA(sizeof cwd, cwd);
    const std::string folder =
        std::string(cwd) + "\\" + prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
    return folder;
}

bool ChildProcess::IsRunning() const {
    return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD* code) const {
    if (!process_ || ::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    if (code != nullptr) ::GetExitCodeProcess(process_.get(), code);
    return true;
}

void ChildProcess::Kill() {
    if (IsRunning()) {
        ::TerminateProcess(process_.get(), 1);
        ::WaitForSingleObject(process_.get(), kDeadlineMs);
    }
}

ServerSandbox::ServerSandbox(const std::string& name) {
    char cwd[MAX_PATH];
    ::GetCurrentDirectoryA(sizeof cwd, cwd);
    folder_ = std::string(cwd) + "\\runs\\" + name + "\\";
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    fs::create_directories(folder_);
    const std::string source = TestProgramFolder() + "mrwd.exe";
    if (!::CopyFileA(source.c_str(), ExePath().c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy " << source << " to " << ExePath();
    }
}

ServerSandbox::~ServerSandbox() {
    children_.clear();
    EndProcessesOfFolder();
}

void ServerSandbox::EndProcessesOfFolder() {
    // The server first, so it cannot start anything again meanwhile.
    for (const char* last : {"mrwd.exe", ""}) {
        ProcessSnapshot snapshot;
        RebuildProcessSnapshot(snapshot);
        for (const auto& process : snapshot) {
            if (::lstrcmpiA(process.second.substr(0, folder_.size()).c_str(), folder_.c_str()) != 0) continue;
            if (*last != '\0' && process.second.find(last) == std::string::npos) continue;
            UniqueHandle handle(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process.first));
            if (!handle) continue;
            ::TerminateProcess(handle.get(), 1);
            ::WaitForSingleObject(handle.get(), kDeadlineMs);
        }
    }
}

std::string ServerSandbox::AddProgram(const std::string& name) {
    const std::string path = folder_ + name;
    const std::string source = TestProgramFolder() + "standin.exe";
    if (!::CopyFileA(source.c_str(), path.c_str(), FALSE)) ADD_FAILURE() << "cannot copy " << source;
    return path;
}

ChildProcess& ServerSandbox::Launch(const std::string& path, const std::string& arguments) {
    std::string commandLine = "\"" + path + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(),
                          &startup, &info)) {
        ADD_FAILURE() << "cannot start " << commandLine << ": error " << ::GetLastError();
    }
    ::CloseHandle(info.hThread);
    children_.push_back(std::make_unique<ChildProcess>(UniqueHandle(info.hProcess), info.dwProcessId));
    return *children_.back();
}

ChildProcess& ServerSandbox::Start(const std::string& arguments) { return Launch(ExePath(), arguments); }

ChildProcess& ServerSandbox::StartProgram(const std::string& path, const std::string& arguments) {
    return Launch(path, arguments);
}

int ServerSandbox::CountProcesses(const std::string& path) {
    ProcessSnapshot snapshot;
    RebuildProcessSnapshot(snapshot);
    int count = 0;
    for (const auto& process : snapshot) {
        if (::lstrcmpiA(process.second.c_str(), path.c_str()) == 0) ++count;
    }
    return count;
}

DWORD ServerSandbox::Run(const std::string& arguments, DWORD timeoutMs) {
    ChildProcess& child = Start(arguments);
    DWORD code = STILL_ACTIVE;
    if (!child.WaitForExit(timeoutMs, &code)) ADD_FAILURE() << "mrwd.exe " << arguments << " did not end";
    return code;
}

std::string ServerSandbox::Log() const {
    std::vector<fs::path> days;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(LogFolder(), error)) days.push_back(entry.path());
    // Day files are named dd-mm-yy: order them by the time they were last written.
    std::sort(days.begin(), days.end(), [](const fs::path& a, const fs::path& b) {
        std::error_code e;
        return fs::last_write_time(a, e) < fs::last_write_time(b, e);
    });
    std::string text;
    for (const fs::path& day : days) {
        std::ifstream in(day, std::ios::binary);
        text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return Utf8FromCp1251(text);
}

int ServerSandbox::CountInLog(const std::string& utf8Text) const { return CountOccurrences(Log(), utf8Text); }

bool ServerSandbox::WaitForLog(const std::string& utf8Text, int occurrences, DWORD timeoutMs) const {
    return WaitUntil([&] { return CountInLog(utf8Text) >= occurrences; }, timeoutMs);
}

std::string Environment(const char* name) {
    char value[1024];
    const DWORD n = ::GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string WindowsPathOf(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

CardSimulator::CardSimulator() {
    const std::string folder = Environment("MRWD_CARDSIM_DIR");
    if (folder.empty()) return;
    folder_ = WindowsPathOf(folder) + "\\";
    cardPort_ = std::atoi(Environment("MRWD_CARD_PORT").c_str());
    modemPort_ = std::atoi(Environment("MRWD_MODEM_PORT").c_str());
}

void CardSimulator::Control(const std::string& line) const {
    std::ofstream(folder_ + "control", std::ios::app | std::ios::binary) << line << "\n";
}

std::string CardSimulator::Traffic() const { return ReadWholeFile(folder_ + "traffic.log"); }

std::vector<std::string> CardSimulator::Commands(const std::string& role) const {
    std::vector<std::string> commands;
    std::istringstream lines(Traffic());
    const std::string marker = " " + role + " command ";
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find(marker);
        if (at != std::string::npos) commands.push_back(line.substr(at + marker.size()));
    }
    return commands;
}

int CardSimulator::CountCommands(const std::string& role, const std::string& command) const {
    const std::vector<std::string> commands = Commands(role);
    return static_cast<int>(std::count(commands.begin(), commands.end(), command));
}

bool CardSimulator::WaitForCommand(const std::string& role, const std::string& command, int count,
                                   DWORD timeoutMs) const {
    return WaitUntil([&] { return CountCommands(role, command) >= count; }, timeoutMs);
}

bool CardSimulator::WaitForTraffic(const std::string& text, DWORD timeoutMs) const {
    return WaitUntil([&] { return Traffic().find(text) != std::string::npos; }, timeoutMs);
}

HWND FindServerWindow() { return ::FindWindowA(kServerName, nullptr); }

HWND WaitForServerWindow(DWORD timeoutMs) {
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindServerWindow()) != nullptr; }, timeoutMs);
    return window;
}

namespace {

struct WindowSearch {
    DWORD id;
    const std::function<bool(HWND)>& matches;
    HWND found;
};

// A named function: the system's callbacks are stdcall on 32-bit Windows,
// which a lambda cannot be.
BOOL CALLBACK KeepWindowOfProcess(HWND window, LPARAM lParam) {
    auto* s = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != s->id || !s->matches(window)) return TRUE;
    s->found = window;
    return FALSE;
}

}  // namespace

HWND FindWindowOfProcess(DWORD processId, const std::function<bool(HWND)>& matches) {
    WindowSearch search{processId, matches, nullptr};
    ::EnumWindows(KeepWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool ServerMutexExists() {
    UniqueHandle mutex(::OpenMutexA(SYNCHRONIZE, FALSE, kServerName));
    return mutex.valid();
}

namespace {

void DeleteSettingsKeys() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) ::RegDeleteTreeA(root, kSettingsKey);
}

}  // namespace

CleanSettings::CleanSettings() { DeleteSettingsKeys(); }
CleanSettings::~CleanSettings() { DeleteSettingsKeys(); }

bool RegistryReadDword(HKEY root, const char* name, DWORD* value) {
    DWORD size = sizeof *value;
    return ::RegGetValueA(root, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, value, &size) == ERROR_SUCCESS;
}

bool RegistryReadBytes(HKEY root, const char* name, std::vector<unsigned char>* bytes, DWORD* type) {
    UniqueRegKey key;
    if (::RegOpenKeyExA(root, kSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
    bytes->assign(size, 0);
    return ::RegQueryValueExA(key.get(), name, nullptr, type, bytes->data(), &size) == ERROR_SUCCESS &&
           (bytes->resize(size), true);
}

bool RegistryWriteDword(HKEY root, const char* name, DWORD value) {
    return SettingsStore(root == HKEY_LOCAL_MACHINE).StoreDword(name, value);
}

}  // namespace mrwd::testing

namespace mrwd::testing {
namespace {

// One entry of the handle table, as Windows lays it out on x64 and Wine for
// 32-bit and 64-bit processes alike (its handles are 64-bit wide in both).
struct GdiHandleEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;
    std::uint8_t type;  // 0: a free entry
    std::uint8_t flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "the table's entry");
constexpr std::size_t kGdiHandleTableEntries = 0x10000;
// Where the process environment block points to the table.
constexpr std::size_t kPebGdiSharedHandleTable = sizeof(void*) == 8 ? 0xF8 : 0x94;

}  // namespace

DWORD CountGdiObjects() {
    const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted != 0) return counted;
    // GCC takes the segment read inside NtCurrentTeb for an access to an
    // empty array and warns; the read is the documented way to the TEB.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif
    const auto* peb = reinterpret_cast<const std::uint8_t*>(NtCurrentTeb()->ProcessEnvironmentBlock);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    const auto* table = *reinterpret_cast<const GdiHandleEntry* const*>(peb + kPebGdiSharedHandleTable);
    if (table == nullptr) return 0;
    DWORD used = 0;
    for (std::size_t i = 0; i < kGdiHandleTableEntries; ++i) {
        if (table[i].type != 0) ++used;
    }
    return used;
}

}  // namespace mrwd::testing
