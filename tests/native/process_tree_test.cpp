// The process listing's uses: names kept between cycles, and descendants.
#include "supervision/core/process_tree.h"

#include <gtest/gtest.h>

namespace mrwd {
namespace {

class NameCacheTest : public ::testing::Test {
protected:
    // Names a process as "p<id>-<how often asked so far>", so a name tells
    // whether it was asked for again; ids in `unreadable` cannot be named.
    bool Name(std::uint32_t id, std::string& path) {
        asked.push_back(id);
        if (unreadable.count(id) != 0) return false;
        path = "p" + std::to_string(id) + "-" + std::to_string(asked.size());
        return true;
    }
    ProcessSnapshot Refresh(const std::vector<RunningProcess>& running) {
        ProcessSnapshot snapshot;
        cache.Refresh(running, [this](std::uint32_t id, std::string& path) { return Name(id, path); }, snapshot);
        return snapshot;
    }

    ProcessNameCache cache;
    std::vector<std::uint32_t> asked;
    std::set<std::uint32_t> unreadable;
};

TEST_F(NameCacheTest, OnlyNewProcessesAreNamed) {
    EXPECT_EQ(Refresh({{10, 1, 100}, {20, 1, 200}}), (ProcessSnapshot{{10, "p10-1"}, {20, "p20-2"}}));
    // Unchanged: nobody is asked; one new process: only it.
    EXPECT_EQ(Refresh({{10, 1, 100}, {20, 1, 200}}), (ProcessSnapshot{{10, "p10-1"}, {20, "p20-2"}}));
    EXPECT_EQ(Refresh({{10, 1, 100}, {20, 1, 200}, {30, 1, 300}}).at(30), "p30-3");
    EXPECT_EQ(cache.NamedLastTime(), 1u);
    EXPECT_EQ(asked, (std::vector<std::uint32_t>{10, 20, 30}));
}

TEST_F(NameCacheTest, AReusedIdIsNamedAgainAndAnEndedProcessForgotten) {
    Refresh({{10, 1, 100}, {20, 1, 200}});
    // 20 ended and its id went to a new process; 10 ended for good.
    EXPECT_EQ(Refresh({{20, 1, 900}}), (ProcessSnapshot{{20, "p20-3"}}));
    // A forgotten process is named afresh, should its id be listed again.
    EXPECT_EQ(Refresh({{10, 1, 100}, {20, 1, 900}}).at(10), "p10-4");
}

TEST_F(NameCacheTest, AProcessThatCouldNotBeNamedIsAskedAgain) {
    unreadable = {10};
    EXPECT_TRUE(Refresh({{10, 1, 100}}).empty());
    unreadable.clear();  // it was just starting
    EXPECT_EQ(Refresh({{10, 1, 100}}), (ProcessSnapshot{{10, "p10-2"}}));
}

TEST(ProcessTree, DescendantsDeepestFirstAndNeverAReusedParentsChildren) {
    const std::vector<RunningProcess> running = {
        {100, 4, 1000},  // the launcher
        {110, 100, 1100}, {120, 100, 1200},  // its children
        {111, 110, 1110},                    // a grandchild
        {200, 100, 900},  // "child" of 100 created before it: the child of an earlier process 100
        {201, 200, 950},  // and that one's child
        {300, 4, 1300},   // someone else
    };
    EXPECT_EQ(DescendantsOf(100, running), (std::vector<std::uint32_t>{111, 110, 120}));
    EXPECT_EQ(DescendantsOf(300, running), std::vector<std::uint32_t>{});
    EXPECT_EQ(DescendantsOf(999, running), std::vector<std::uint32_t>{}) << "not running";
    // A process listed as its own parent (Windows' idle process) ends the walk.
    EXPECT_EQ(DescendantsOf(0, {{0, 0, 0}}), std::vector<std::uint32_t>{});
}

}  // namespace
}  // namespace mrwd
