// standin.exe: stands in for a monitored program in tests and in the demo.
// It speaks the alive protocol (or only shows a window), and on request
// hangs, stops answering, exits with or without saying so, or crashes.
//
//   --interval S      seconds announced in each alive message (default 10)
//   --beat MS         time between alive messages (default 2000)
//   --no-alive        send no alive messages at all
//   --window          own a top-level window, for programs checked through it
//   --hang-after MS   send no more heartbeats after MS (keeps running); the
//                     registration at start is always sent
//   --freeze-after MS stop answering window messages after MS
//   --exit-after MS   end after MS, as --exit says:
//   --exit clean|silent|crash
//                     clean: announce the end first; silent: just exit;
//                     crash: die of an access violation
//   --child PATH      start PATH with "--no-alive" at start and record
//                     "child" with its process id (a launcher's child)
//   --error-mode      record "error-mode" with the error mode it started with
//   --dde             serve DDE "standin"/"System": documents opened by the
//                     shell while it runs go to it, and no new process starts
//   --record FILE     append "<process id> <event> <ms since 1970>" to FILE for
//                     the start and every alive message sent
//   --control FILE    take commands while running: every 100 ms, if FILE exists,
//                     claim it by renaming it to FILE.<process id> (so that one
//                     copy of several takes each command), read its first word
//                     and delete it. Words: hang (no more heartbeats), freeze
//                     (stop answering window messages), crash, exit-silent,
//                     exit-clean. Each taken command is recorded as
//                     "command-<word>".
//
// Without arguments it registers and beats forever: a copy started by the
// server with empty parameters is a well-behaved program, unless the
// environment variable MRWD_STANDIN_ARGS holds arguments to use instead (for
// programs opened by the shell, which passes none). Without --record, the
// file named by the environment variable MRWD_STANDIN_RECORD is used.
// The "started" line also carries the working folder and the command line.
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/mrwd_alive.h"

namespace {

struct Behaviour {
    unsigned interval = 10;
    DWORD beat = 2000;
    bool alive = true;
    bool window = false;
    DWORD hangAfter = INFINITE;
    DWORD freezeAfter = INFINITE;
    DWORD exitAfter = INFINITE;
    std::string exitMode = "clean";
    std::string record;
    std::string control;
    std::string child;
    bool errorMode = false;
    bool dde = false;
};

std::vector<std::string> Arguments() {
    std::vector<std::string> args(__argv + 1, __argv + __argc);
    if (!args.empty()) return args;
    char text[1024];
    const DWORD n = GetEnvironmentVariableA("MRWD_STANDIN_ARGS", text, sizeof text);
    if (n == 0 || n >= sizeof text) return args;
    std::istringstream words(text);
    for (std::string word; words >> word;) args.push_back(word);
    return args;
}

Behaviour Parse(const std::vector<std::string>& args) {
    Behaviour b;
    const size_t argc = args.size();
    for (size_t i = 0; i < argc; ++i) {
        const std::string arg = args[i];
        const char* value = i + 1 < argc ? args[i + 1].c_str() : "";
        auto number = [&] { ++i; return static_cast<DWORD>(std::strtoul(value, nullptr, 10)); };
        if (arg == "--interval") b.interval = number();
        else if (arg == "--beat") b.beat = number();
        else if (arg == "--no-alive") b.alive = false;
        else if (arg == "--window") b.window = true;
        else if (arg == "--hang-after") b.hangAfter = number();
        else if (arg == "--freeze-after") b.freezeAfter = number();
        else if (arg == "--exit-after") b.exitAfter = number();
        else if (arg == "--exit") { b.exitMode = value; ++i; }
        else if (arg == "--record") { b.record = value; ++i; }
        else if (arg == "--dde") b.dde = true;
        else if (arg == "--child") { b.child = value; ++i; }
        else if (arg == "--error-mode") b.errorMode = true;
        else if (arg == "--control") { b.control = value; ++i; }
    }
    if (b.record.empty()) {
        char path[MAX_PATH];
        const DWORD n = GetEnvironmentVariableA("MRWD_STANDIN_RECORD", path, sizeof path);
        if (n > 0 && n < sizeof path) b.record = path;
    }
    return b;
}

unsigned long long WallClockMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / 10000 - 11644473600000ull;  // 100 ns steps since 1601 to ms since 1970
}

void Record(const std::string& file, const char* event, const std::string& detail = std::string()) {
    if (file.empty()) return;
    // One write on an append-only handle: copies of one program share the
    // file, and a seek-then-write append would let one line overwrite another.
    HANDLE out = CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return;
    char line[2048];
    const int n = std::snprintf(line, sizeof line, "%lu %s %llu%s\n", static_cast<unsigned long>(GetCurrentProcessId()),
                                event, WallClockMs(), detail.c_str());
    DWORD written = 0;
    if (n > 0) WriteFile(out, line, static_cast<DWORD>(n < static_cast<int>(sizeof line) ? n : sizeof line - 1),
                         &written, nullptr);
    CloseHandle(out);
}

std::string RecordFile;

HDDEDATA CALLBACK OnDde(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    if (type == XTYP_CONNECT) return reinterpret_cast<HDDEDATA>(TRUE);
    if (type == XTYP_EXECUTE) {
        Record(RecordFile, "dde-execute");
        return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    return nullptr;
}

void ServeDde() {
    DWORD instance = 0;
    if (DdeInitializeA(&instance, OnDde, APPCLASS_STANDARD | CBF_SKIP_ALLNOTIFICATIONS, 0) != DMLERR_NO_ERROR) return;
    HSZ service = DdeCreateStringHandleA(instance, "standin", CP_WINANSI);
    DdeNameService(instance, service, nullptr, DNS_REGISTER);
}

void SendAlive(const Behaviour& b) {
    if (MrwdAlive(b.interval)) Record(b.record, "alive");
}

// The command waiting in the control file, if this process wins it; empty otherwise.
std::string TakeCommand(const std::string& control) {
    if (control.empty() || GetFileAttributesA(control.c_str()) == INVALID_FILE_ATTRIBUTES) return std::string();
    const std::string claimed = control + "." + std::to_string(GetCurrentProcessId());
    if (!MoveFileA(control.c_str(), claimed.c_str())) return std::string();
    // Another copy losing the race may still hold the file for a moment.
    std::string word;
    for (int attempt = 0; attempt < 100 && word.empty(); ++attempt) {
        if (FILE* in = std::fopen(claimed.c_str(), "rb")) {
            char text[64] = {};
            if (std::fscanf(in, "%63s", text) == 1) word = text;
            std::fclose(in);
        }
        if (word.empty()) Sleep(10);
    }
    for (int attempt = 0; attempt < 100 && !DeleteFileA(claimed.c_str()); ++attempt) Sleep(10);
    return word;
}

bool Passed(DWORD start, DWORD after) { return after != INFINITE && GetTickCount() - start >= after; }

void Exit(const std::string& mode) {
    // The moment of the end, for measuring how soon a replacement answers.
    Record(RecordFile, "ending", " " + mode);
    if (mode == "crash") {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
    if (mode == "clean") MrwdEndControl();
    ExitProcess(0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    Behaviour b = Parse(Arguments());
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    Record(b.record, "started", std::string(" [") + folder + "] [" + GetCommandLineA() + "]");
    RecordFile = b.record;
    if (b.errorMode) {
        const UINT mode = SetErrorMode(0);
        SetErrorMode(mode);
        char text[32];
        std::snprintf(text, sizeof text, " 0x%04x", mode);
        Record(b.record, "error-mode", text);
    }
    if (!b.child.empty()) {
        std::string commandLine = "\"" + b.child + "\" --no-alive";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            Record(b.record, "child", " " + std::to_string(info.dwProcessId));
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
    }
    if (b.dde) ServeDde();

    if (b.window) {
        CreateWindowExA(0, "STATIC", "standin", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr,
                        nullptr, instance, nullptr);
    }

    const DWORD start = GetTickCount();
    if (b.alive) SendAlive(b);  // the registration
    DWORD nextBeat = start + b.beat;
    DWORD nextControl = start;
    for (;;) {
        if (!b.control.empty() && static_cast<LONG>(GetTickCount() - nextControl) >= 0) {
            nextControl = GetTickCount() + 100;
            const std::string command = TakeCommand(b.control);
            if (!command.empty()) Record(b.record, ("command-" + command).c_str());
            const DWORD now = GetTickCount() - start;
            if (command == "hang") b.hangAfter = now;
            else if (command == "freeze") b.freezeAfter = now;
            else if (command == "crash" || command == "exit-silent" || command == "exit-clean") {
                b.exitAfter = now;
                b.exitMode = command == "crash" ? "crash" : command == "exit-clean" ? "clean" : "silent";
            }
        }
        if (Passed(start, b.exitAfter)) Exit(b.exitMode);
        if (Passed(start, b.freezeAfter)) Sleep(INFINITE);  // hung: no message is answered again
        if (b.alive && !Passed(start, b.hangAfter) && static_cast<LONG>(GetTickCount() - nextBeat) >= 0) {
            SendAlive(b);
            nextBeat += b.beat;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
}
