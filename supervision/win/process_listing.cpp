#include "process_listing.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>

#include "base/win/dynamic_library.h"

namespace mrwd {
namespace {

using QuerySystemInformationFn = LONG(NTAPI*)(ULONG informationClass, void* buffer, ULONG length, ULONG* needed);

constexpr ULONG kSystemProcessInformation = 5;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr ULONG kFirstBufferBytes = 256 * 1024;
// Processes start while the buffer grows; a few tries are always enough.
constexpr int kAttempts = 5;

}  // namespace

bool ProcessListing::List(std::vector<RunningProcess>& running) {
    // The native listing every process tool of the system uses, in ntdll:
    // bound at run time, as it is not part of the documented interface.
    static const auto query =
        BindFunction<QuerySystemInformationFn>(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
    if (query == nullptr) return false;
    std::vector<unsigned char>& buffer = buffer_;
    if (buffer.empty()) buffer.resize(kFirstBufferBytes);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(kSystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            // With room for the processes that start meanwhile.
            buffer.resize(std::max<std::size_t>(needed, buffer.size()) * 3 / 2);
            continue;
        }
        if (status < 0) return false;
        running.clear();
        std::size_t offset = 0;
        for (;;) {
            if (offset + sizeof(SYSTEM_PROCESS_INFORMATION) > buffer.size()) return false;
            const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
            RunningProcess process;
            process.id = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId));
            process.parentId = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(entry->InheritedFromUniqueProcessId));
            process.createdAt = static_cast<std::uint64_t>(entry->CreateTime.QuadPart);
            running.push_back(process);
            if (entry->NextEntryOffset == 0) return true;
            offset += entry->NextEntryOffset;
        }
    }
    return false;
}

}  // namespace mrwd
