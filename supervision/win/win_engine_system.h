// The supervision engine's system on Windows: the real process calls, the
// event log, the shell copy and the message boxes.
#pragma once

#include <windows.h>

#include "app/core/settings.h"
#include "supervision/core/engine.h"

namespace mrwd {

class WinEngineSystem final : public EngineSystem {
public:
    // `abandonWaits`: signalled when the engine must stop; a failure program
    // is then no longer waited for.
    explicit WinEngineSystem(HANDLE abandonWaits) : abandonWaits_(abandonWaits) {}

    // Routes the answers to window pings sent from the calling thread.
    static void AnswerPingsTo(SupervisionEngine* engine);

    Tick Now() override;
    void Pause() override;
    void RebuildSnapshot(ProcessSnapshot& snapshot) override;
    bool ExecutablePath(std::uint32_t processId, std::string& path) override;
    bool PingWindow(std::uint32_t processId) override;
    bool StartProgram(const std::string& path, const std::string& parameters, std::uint32_t& processId) override;
    bool Terminate(std::uint32_t processId) override;
    void RunAndWait(const std::string& path) override;
    void RestoreFiles(const ModuleEntry& entry, const std::string& progressText) override;
    std::string RestoreCaption(const std::string& path) override;
    std::string CopyingCaption() override;
    void Log(EngineEvent event, std::uint32_t number, const std::string& path) override;
    void Notify(EngineNotice notice, std::uint32_t number, const std::string& path, bool wait) override;
    void ReportStartFailure(const std::string& path) override;
    void StoreModule(const std::string& path, const ModuleEntry& entry) override;
    std::int32_t AppendProgramIcon(const std::string& path) override;
    void RefreshMainDialog() override;

private:
    HANDLE abandonWaits_;
};

// A text of the string table with its one "%s" filled in, in the given code page.
std::string FillText(UINT id, const std::string& argument, bool forScreen);

}  // namespace mrwd
