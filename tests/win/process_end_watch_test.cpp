// The wait on the supervised processes' ends, with more processes than one
// wait call can take, on the real system under Wine.
#include "supervision/win/process_end_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

// Stand-ins started suspended: real processes, cheap to keep by the dozen.
class SuspendedProcesses {
public:
    explicit SuspendedProcesses(int count) {
        const std::string program = testing::TestProgramFolder() + "standin.exe";
        for (int i = 0; i < count; ++i) {
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info{};
            std::string command = "\"" + program + "\" --no-alive";
            if (!::CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                  nullptr, &startup, &info)) {
                break;
            }
            ::CloseHandle(info.hThread);
            handles_.emplace_back(info.hProcess);
            ids_.push_back(info.dwProcessId);
        }
    }
    ~SuspendedProcesses() {
        for (const UniqueHandle& process : handles_) ::TerminateProcess(process.get(), 0);
    }
    const std::vector<std::uint32_t>& Ids() const { return ids_; }
    void End(std::size_t index) {
        ::TerminateProcess(handles_[index].get(), 0);
        ::WaitForSingleObject(handles_[index].get(), testing::kDeadlineMs);
    }

private:
    std::vector<UniqueHandle> handles_;
    std::vector<std::uint32_t> ids_;
};

std::vector<std::uint32_t> Sorted(std::vector<std::uint32_t> ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
}

TEST(ProcessEndWatch, ReportsEachEndOnceBeyondSixtyFourProcessesAndLetsGo) {
    constexpr int kProcesses = 70;
    SuspendedProcesses processes(kProcesses);
    ASSERT_EQ(processes.Ids().size(), static_cast<std::size_t>(kProcesses));
    ProcessEndWatch watch;
    watch.Follow(processes.Ids());
    ASSERT_EQ(watch.FollowedCount(), static_cast<std::size_t>(kProcesses));

    // One far past the 64 objects of a single wait, one early in the list.
    processes.End(69);
    processes.End(3);
    std::vector<std::uint32_t> ended;
    ASSERT_TRUE(testing::WaitUntil(
        [&] {
            if (::WaitForSingleObject(watch.EndedEvent(), 0) == WAIT_OBJECT_0) {
                for (std::uint32_t id : watch.TakeEnded()) ended.push_back(id);
            }
            return ended.size() >= 2;
        },
        testing::kDeadlineMs));
    EXPECT_EQ(Sorted(ended), Sorted({processes.Ids()[69], processes.Ids()[3]}));
    EXPECT_EQ(watch.FollowedCount(), static_cast<std::size_t>(kProcesses - 2));

    // Still asked for until the sweep drops them: not opened again, so a dead
    // process cannot wake the engine twice.
    watch.Follow(processes.Ids());
    EXPECT_EQ(watch.FollowedCount(), static_cast<std::size_t>(kProcesses - 2));
    EXPECT_TRUE(watch.TakeEnded().empty());

    // Let go of all but one: only that one's end is reported.
    watch.Follow({processes.Ids()[10]});
    EXPECT_EQ(watch.FollowedCount(), 1u);
    processes.End(20);
    processes.End(10);
    ASSERT_EQ(::WaitForSingleObject(watch.EndedEvent(), testing::kDeadlineMs), WAIT_OBJECT_0);
    EXPECT_EQ(watch.TakeEnded(), std::vector<std::uint32_t>{processes.Ids()[10]});
    EXPECT_EQ(watch.FollowedCount(), 0u);
}

}  // namespace
}  // namespace mrwd
