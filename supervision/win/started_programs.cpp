#include "started_programs.h"

#include <cstddef>
#include <cstring>

#include "base/core/path_rules.h"

namespace mrwd {

bool StartInJob(const std::string& path, const std::string& parameters, StartedProcess& started) {
    ::SetErrorMode(kQuietErrorMode);
    // The blank stays even without parameters: programs may rely on the form.
    std::string commandLine = "\"" + path + "\" " + parameters;
    const std::string folder = FolderPart(path);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    UniqueHandle job(::CreateJobObjectA(nullptr, nullptr));
    const DWORD noJob = job ? 0 : ::GetLastError();
    if (job) {
        // Where the error mode is not inherited, the job still keeps the
        // crash box away on Windows.
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
        ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    const DWORD flags = job ? CREATE_SUSPENDED : 0;
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, folder.c_str(), &startup,
                          &info)) {
        return false;
    }
    const UniqueHandle thread(info.hThread);
    started.id = info.dwProcessId;
    started.process.reset(info.hProcess);
    started.jobRefused = noJob;
    if (job && !::AssignProcessToJobObject(job.get(), info.hProcess)) {
        started.jobRefused = ::GetLastError();
        job.reset();
    }
    started.job = std::move(job);
    if (flags & CREATE_SUSPENDED) ::ResumeThread(thread.get());
    return true;
}

void StartedPrograms::Add(StartedProcess started) {
    Prune();
    started_[started.id] = Started{std::move(started.process), std::move(started.job)};
}

void StartedPrograms::Prune() {
    for (auto it = started_.begin(); it != started_.end();) {
        const bool ended = ::WaitForSingleObject(it->second.process.get(), 0) != WAIT_TIMEOUT;
        it = ended ? started_.erase(it) : std::next(it);
    }
}

std::vector<std::uint32_t> StartedPrograms::JobMembers(std::uint32_t processId) const {
    auto it = started_.find(processId);
    if (it == started_.end() || !it->second.job) return {};
    // Room for 1024 ids; a job holding more is ended whole all the same.
    // The ids follow the two counts; read one by one, not through the
    // one-element array the structure declares.
    constexpr std::size_t kRoom = 1024;
    const std::size_t idsAt = offsetof(JOBOBJECT_BASIC_PROCESS_ID_LIST, ProcessIdList);
    std::vector<unsigned char> buffer(idsAt + kRoom * sizeof(ULONG_PTR));
    if (!::QueryInformationJobObject(it->second.job.get(), JobObjectBasicProcessIdList, buffer.data(),
                                     static_cast<DWORD>(buffer.size()), nullptr)) {
        return {};
    }
    JOBOBJECT_BASIC_PROCESS_ID_LIST counts;
    std::memcpy(&counts, buffer.data(), idsAt);
    std::vector<std::uint32_t> members;
    for (std::size_t i = 0; i < counts.NumberOfProcessIdsInList && i < kRoom; ++i) {
        ULONG_PTR id = 0;
        std::memcpy(&id, buffer.data() + idsAt + i * sizeof id, sizeof id);
        if (id != processId) members.push_back(static_cast<std::uint32_t>(id));
    }
    return members;
}

bool StartedPrograms::EndJob(std::uint32_t processId, DWORD waitMs, std::uint32_t& error) {
    auto it = started_.find(processId);
    if (it == started_.end() || !it->second.job) return false;
    if (!::TerminateJobObject(it->second.job.get(), 0)) {
        error = ::GetLastError();
        return false;
    }
    // As with a single process: the files it held are free once it is gone.
    ::WaitForSingleObject(it->second.process.get(), waitMs);
    started_.erase(it);
    return true;
}

}  // namespace mrwd
