// The processes the engine started, each with the job object it runs in, so
// that ending a hung program ends everything it started, even what was
// started by a child that has ended since (no parent id leads there any more).
// Holding a process's handle also keeps its id from being reused meanwhile.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/win/handles.h"

namespace mrwd {

// No box for a crash, for a missing disk or for a file that cannot be found:
// on an unattended computer nobody would close it, and a crashed program
// held by its box is never started again.
constexpr UINT kQuietErrorMode = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;

// A program just started: its process and, when the system allowed it, the
// job of its own that it and everything it starts run in.
struct StartedProcess {
    std::uint32_t id = 0;
    UniqueHandle process;
    UniqueHandle job;
    // Why it runs without a job (the system's error code; 0 when it has one).
    DWORD jobRefused = 0;
};

// Starts "\"path\" parameters" in the folder of the path, suspended until it
// is in its job, with kQuietErrorMode to inherit (as the server has it from
// then on). A process the system will not put in a job (the server itself
// runs in one that allows neither another job nor a break-away) runs without.
bool StartInJob(const std::string& path, const std::string& parameters, StartedProcess& started);

class StartedPrograms {
public:
    void Add(StartedProcess started);
    // Forgets the processes that have ended.
    void Prune();
    // The other processes in the job of a process the engine started.
    std::vector<std::uint32_t> JobMembers(std::uint32_t processId) const;
    // Ends the job of a process the engine started and waits (bounded) for
    // the process to be gone. False when it has no job or the job could not
    // be ended, with the system's error code.
    bool EndJob(std::uint32_t processId, DWORD waitMs, std::uint32_t& error);

private:
    struct Started {
        UniqueHandle process;
        UniqueHandle job;
    };
    std::map<std::uint32_t, Started> started_;
};

}  // namespace mrwd
