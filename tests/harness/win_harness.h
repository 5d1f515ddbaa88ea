// Windows-side helpers for tests that drive the real mrwd.exe from outside:
// a folder of its own per test, processes that are always ended, deadlines
// instead of sleeps, the log read back as UTF-8, and the settings key.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/win/handles.h"

namespace mrwd::testing {

// Polls `condition` every `pollMs` until it holds or `timeoutMs` has passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 25);
// The same, dispatching this thread's messages meanwhile: for a test whose
// own windows must answer while it waits.
bool PumpMessagesUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Generous deadlines: a loaded CI machine running Wine can be slow.
constexpr DWORD kDeadlineMs = 30000;

std::string Utf8FromCp1251(const std::string& bytes);
std::string Cp1251FromUtf8(const std::string& text);

// An environment variable of the test process; empty when not set.
std::string Environment(const char* name);
// A Linux path as Wine shows it: the whole Linux file system is drive Z:.
std::string WindowsPathOf(const std::string& unixPath);
// The whole file, or empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// The folder of the running test program, with a trailing backslash.
std::string TestProgramFolder();

// An empty folder for the running test, in the working folder, named
// `prefix` + the test's name (no trailing backslash).
std::string FreshTestFolder(const std::string& prefix);

class ChildProcess {
public:
    ChildProcess(UniqueHandle process, DWORD id) : process_(std::move(process)), id_(id) {}
    ~ChildProcess() { Kill(); }

    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.get(); }
    bool IsRunning() const;
    // True when the process ended within the time; its exit code goes to *code.
    bool WaitForExit(DWORD timeoutMs, DWORD* code = nullptr) const;
    void Kill();

private:
    UniqueHandle process_;
    DWORD id_;
};

// A private copy of mrwd.exe in a folder named after the test, so that its
// Logs folder and reboot marker belong to this test alone. Every process
// started through it is killed when it goes out of scope.
class ServerSandbox {
public:
    explicit ServerSandbox(const std::string& name);
    ~ServerSandbox();

    const std::string& Folder() const { return folder_; }
    std::string ExePath() const { return folder_ + "mrwd.exe"; }
    std::string LogFolder() const { return folder_ + "Logs"; }
    std::string MarkerPath() const { return folder_ + "reboot.mrk"; }

    // Puts a copy of the monitored-program stand-in into the folder under
    // `name` and returns its full path.
    std::string AddProgram(const std::string& name);
    // Starts a program of the folder directly (not through the server).
    ChildProcess& StartProgram(const std::string& path, const std::string& arguments);
    // How many processes run the program at `path`.
    static int CountProcesses(const std::string& path);

    // Starts mrwd.exe with `arguments` written after the program name and one blank.
    ChildProcess& Start(const std::string& arguments);
    // Starts it and waits for it to end; returns its exit code (or a failure
    // reported through the test when it did not end in time).
    DWORD Run(const std::string& arguments, DWORD timeoutMs = kDeadlineMs);

    // Every day file of the log, oldest first, converted to UTF-8.
    std::string Log() const;
    int CountInLog(const std::string& utf8Text) const;
    bool WaitForLog(const std::string& utf8Text, int occurrences = 1, DWORD timeoutMs = kDeadlineMs) const;

private:
    ChildProcess& Launch(const std::string& path, const std::string& arguments);
    // Ends every process started from this folder, by the test or by the server.
    void EndProcessesOfFolder();

    std::string folder_;
    std::vector<std::unique_ptr<ChildProcess>> children_;
};

// The server's main window, found by its class.
HWND FindServerWindow();
HWND WaitForServerWindow(DWORD timeoutMs = kDeadlineMs);

// The first top-level window of process `processId` that `matches`; null when none.
HWND FindWindowOfProcess(DWORD processId, const std::function<bool(HWND)>& matches);

// True while some process holds the single-instance mutex.
bool ServerMutexExists();

// The simulated card and modem the test runs against (tests/harness/with-cardsim).
class CardSimulator {
public:
    CardSimulator();
    // False when the test was not started with the simulator.
    bool Available() const { return !folder_.empty(); }
    int CardPort() const { return cardPort_; }
    int ModemPort() const { return modemPort_; }

    // Steers the simulator: "card fault silent", "modem hang on", "modem held on", ...
    void Control(const std::string& line) const;
    // The traffic log so far.
    std::string Traffic() const;
    // The complete commands a device received, in order ("card" or "modem").
    std::vector<std::string> Commands(const std::string& role) const;
    int CountCommands(const std::string& role, const std::string& command) const;
    bool WaitForCommand(const std::string& role, const std::string& command, int count = 1,
                        DWORD timeoutMs = kDeadlineMs) const;
    bool WaitForTraffic(const std::string& text, DWORD timeoutMs = kDeadlineMs) const;

private:
    std::string folder_;  // the simulator's state folder, as a Windows path
    int cardPort_ = 0;
    int modemPort_ = 0;
};

// Empties the settings key (per user and per machine) before and after a test.
class CleanSettings {
public:
    CleanSettings();
    ~CleanSettings();
    CleanSettings(const CleanSettings&) = delete;
    CleanSettings& operator=(const CleanSettings&) = delete;
};

bool RegistryReadDword(HKEY root, const char* name, DWORD* value);

// The GDI objects this process holds. Windows counts them for
// GetGuiResources; Wine answers 0 there, but keeps every GDI handle of the
// process in a table where Windows keeps its shared one (the process
// environment block's GdiSharedHandleTable), whose used entries are counted.
DWORD CountGdiObjects();
// The raw bytes and type of a value, read with the ANSI call the server uses.
bool RegistryReadBytes(HKEY root, const char* name, std::vector<unsigned char>* bytes, DWORD* type = nullptr);
bool RegistryWriteDword(HKEY root, const char* name, DWORD value);

}  // namespace mrwd::testing
