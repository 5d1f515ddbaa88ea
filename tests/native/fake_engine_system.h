// A system for the supervision engine that tests drive by hand: a clock they
// move, a process table they change, and a record of what the engine did.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "supervision/core/engine_system.h"

namespace mrwd::testing {

class FakeEngineSystem : public EngineSystem {
public:
    Tick now = 1000;
    // The running processes as the system reports them.
    std::map<std::uint32_t, std::string> processes;
    // Processes whose top-level window exists (pinged, not necessarily answering).
    std::set<std::uint32_t> windows;
    std::set<std::string> missingFiles;
    std::set<std::uint32_t> unkillable;
    // What each process started, deepest first, as the system reports it;
    // the processes ended with their whole job.
    std::map<std::uint32_t, std::vector<std::uint32_t>> descendants;
    std::vector<std::uint32_t> wholeJobs;
    std::uint32_t nextProcessId = 500;
    // Recovery programs that run on until a test ends them (by path); the
    // others have ended by the engine's next look. Running ones by token.
    std::set<std::string> endlessRecoveries;
    std::map<std::uint32_t, std::string> recoveries;
    std::uint32_t lastToken = 0;
    // Supervision switched off or the server stopping: every pass ends.
    bool stopping = false;
    // The reboot's outcome: whether the card answers its orders, whether
    // Windows takes the reboot (else it fails with `rebootError`).
    bool cardAnswers = true;
    bool windowsReboots = true;
    std::uint32_t rebootError = 1314;

    // What the engine did, in order: "start <path> <params> -> <pid>",
    // "terminate <pid>", "run <path>", "release <path>",
    // "restore <from> -> <to> <text>".
    std::vector<std::string> actions;
    std::vector<std::string> logs;     // "<event> <number> <path>"
    std::vector<std::string> notices;  // "<notice> <number> <path> wait|background"
    std::vector<std::uint32_t> pings;
    std::vector<std::string> startFailureBoxes;
    std::map<std::string, ModuleEntry> stored;
    int refreshes = 0;
    int pauses = 0;
    std::uint32_t serverId = 4;
    std::string serverPath = "C:\\Watchdog\\mrwd.exe";
    bool floatShowsReboot = false;
    // The reboot sequence's steps, in order, interleaved with its mails and
    // log lines: "announce", "last-heartbeat", "log <event>", "mail <notice>",
    // "wait-mails", "reboot-windows", "reset-card", "cancel", "end".
    std::vector<std::string> rebootSteps;

    int snapshots = 0;  // how often the engine named every process
    int pathLookUps = 0;  // how often it asked for one process's executable

    std::uint32_t Spawn(const std::string& path) {
        const std::uint32_t id = nextProcessId++;
        processes[id] = path;
        return id;
    }

    Tick Now() override { return now; }
    bool Pause() override {
        ++pauses;
        return !stopping;
    }
    bool Stopping() override { return stopping; }
    void RebuildSnapshot(ProcessSnapshot& snapshot) override {
        ++snapshots;
        snapshot.clear();
        for (const auto& p : processes) snapshot[p.first] = p.second;
    }
    bool ExecutablePath(std::uint32_t id, std::string& path) override {
        ++pathLookUps;
        auto it = processes.find(id);
        if (it == processes.end()) return false;
        path = it->second;
        return true;
    }
    bool PingWindow(std::uint32_t id) override {
        if (windows.count(id) == 0) return false;
        pings.push_back(id);
        return true;
    }
    bool StartProgram(const std::string& path, const std::string& parameters, std::uint32_t& id) override {
        if (missingFiles.count(path) != 0) {
            actions.push_back("start " + path + " failed");
            return false;
        }
        id = Spawn(path);
        actions.push_back("start " + path + " " + parameters + " -> " + std::to_string(id));
        return true;
    }
    std::vector<std::uint32_t> Descendants(std::uint32_t id) override {
        auto it = descendants.find(id);
        return it == descendants.end() ? std::vector<std::uint32_t>() : it->second;
    }
    bool Terminate(std::uint32_t id, bool wholeJob, std::uint32_t& error) override {
        if (wholeJob) wholeJobs.push_back(id);
        if (unkillable.count(id) != 0 || processes.erase(id) == 0) {
            error = 5;  // access denied
            return false;
        }
        actions.push_back("terminate " + std::to_string(id));
        return true;
    }
    bool StartRecovery(const std::string& path, std::uint32_t& token) override {
        actions.push_back("run " + path);
        token = ++lastToken;
        recoveries[token] = path;
        return true;
    }
    bool RecoveryEnded(std::uint32_t token) override {
        auto it = recoveries.find(token);
        return it == recoveries.end() || endlessRecoveries.count(it->second) == 0;
    }
    void ReleaseRecovery(std::uint32_t token) override {
        actions.push_back("release " + recoveries[token]);
        recoveries.erase(token);
    }
    void RestoreFiles(const ModuleEntry& entry, const std::string& text) override {
        actions.push_back("restore " + entry.BackupFolder + " -> " + entry.RestoreFolder + " " + text);
    }
    std::string RestoreCaption(const std::string& path) override { return "failure of " + path; }
    std::string CopyingCaption() override { return "copying"; }
    void Log(EngineEvent event, std::uint32_t number, const std::string& path) override {
        logs.push_back(Name(event) + " " + std::to_string(number) + " " + path);
        rebootSteps.push_back("log " + Name(event));
    }
    void Notify(EngineNotice notice, std::uint32_t number, const std::string& path, bool wait) override {
        notices.push_back(Name(notice) + " " + std::to_string(number) + " " + path + (wait ? " wait" : " background"));
        rebootSteps.push_back("mail " + Name(notice));
    }
    void ReportStartFailure(const std::string& path) override { startFailureBoxes.push_back(path); }
    void StoreModule(const std::string& path, const ModuleEntry& entry) override { stored[path] = entry; }
    void RefreshMainDialog() override { ++refreshes; }
    void ShowHardwareReboot() override { floatShowsReboot = true; }
    std::uint32_t ServerProcessId() override { return serverId; }
    std::string ServerExecutablePath() override { return serverPath; }
    void AnnounceReboot() override { rebootSteps.push_back("announce"); }
    bool OrderLastHeartbeat() override {
        rebootSteps.push_back("last-heartbeat");
        return cardAnswers;
    }
    bool OrderResetThroughCard() override {
        rebootSteps.push_back("reset-card");
        return cardAnswers;
    }
    void CancelReboot() override { rebootSteps.push_back("cancel"); }
    bool RebootWindows(std::uint32_t& error) override {
        rebootSteps.push_back("reboot-windows");
        if (!windowsReboots) error = rebootError;
        return windowsReboots;
    }
    void WaitForNotices() override { rebootSteps.push_back("wait-mails"); }
    void EndServer() override { rebootSteps.push_back("end"); }

    static std::string Name(EngineEvent e) {
        switch (e) {
            case EngineEvent::ProcessRegistered: return "registered";
            case EngineEvent::ProcessReleased: return "released";
            case EngineEvent::ControlBegun: return "begun";
            case EngineEvent::ProgramRestart: return "restart";
            case EngineEvent::RebootProgramHang: return "reboot-program";
            case EngineEvent::RebootSystemHang: return "reboot-system";
            case EngineEvent::FileNotFound: return "not-found";
            case EngineEvent::ProcessRefused: return "refused";
            case EngineEvent::SoftwareReboot: return "software-reboot";
            case EngineEvent::CardReboot: return "card-reboot";
            case EngineEvent::CardRebootFailed: return "card-reboot-failed";
            case EngineEvent::SoftwareRebootFailed: return "software-reboot-failed";
            case EngineEvent::HardwareReboot: return "hardware-reboot";
            case EngineEvent::KillFailed: return "kill-failed";
            case EngineEvent::CopyFoldersRefused: return "copy-refused";
            case EngineEvent::RecoveryOverdue: return "recovery-overdue";
            case EngineEvent::CrashLoopBegun: return "crash-loop";
            case EngineEvent::CrashLoopEnded: return "crash-loop-ended";
        }
        return "?";
    }
    static std::string Name(EngineNotice n) {
        switch (n) {
            case EngineNotice::ProgramRestart: return "mail-restart";
            case EngineNotice::ProgramHang: return "mail-program-hang";
            case EngineNotice::SystemHang: return "mail-system-hang";
            case EngineNotice::HardwareReboot: return "mail-hardware-reboot";
            case EngineNotice::SoftwareReboot: return "mail-software-reboot";
            case EngineNotice::CardReboot: return "mail-card-reboot";
        }
        return "?";
    }
};

}  // namespace mrwd::testing
