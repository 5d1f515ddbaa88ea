// The main dialog's icons, looked up off the window thread.
#include "ui/win/program_icons.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "base/win/handles.h"
#include "base/win/image_list.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

constexpr int kDefault = 7;

// Runs `work` on a thread of its own: false when it had not returned within
// `ms` (then `release` is set, so that the thread can end).
bool ReturnsWithin(DWORD ms, HANDLE release, const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    const bool inTime = WaitUntil([&] { return done.load(); }, ms);
    ::SetEvent(release);
    worker.join();
    return inTime;
}

// A file on a share that does not answer: its look-up hangs until released.
// Neither the list (the window thread) nor the dialog's closing waits for it.
TEST(ProgramIcons, ALookUpThatHangsHoldsUpNeitherTheListNorItsClosing) {
    const std::string slow = "\\\\server\\share\\slow.exe";
    const std::string plain = "C:\\Kiosk\\plain.exe";
    const std::string without = "C:\\Kiosk\\without.txt";
    UniqueHandle release(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::atomic<int> lookUpsEnded{0};
    const ProgramIcons::LookUp lookUp = [&](const std::string& path) -> HICON {
        if (path == slow) ::WaitForSingleObject(release.get(), INFINITE);
        ++lookUpsEnded;
        return path == without ? nullptr : ::CopyIcon(::LoadIconA(nullptr, IDI_APPLICATION));
    };
    const UniqueImageList owned(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4));
    HIMAGELIST images = owned.get();
    std::atomic<int> told{0};
    {
        ProgramIcons icons(images, kDefault, lookUp, [&] { ++told; });
        int first[3] = {};
        EXPECT_TRUE(ReturnsWithin(2000, release.get(), [&] {
            first[0] = icons.IndexOf(slow);
            first[1] = icons.IndexOf(plain);
            first[2] = icons.IndexOf(without);
        })) << "the window thread waited for a look-up";
        for (const int index : first) EXPECT_EQ(index, kDefault);

        ASSERT_TRUE(WaitUntil([&] {
            icons.TakeFetched();
            return icons.IndexOf(without) == I_IMAGENONE && icons.IndexOf(slow) != kDefault &&
                   icons.IndexOf(plain) != kDefault;
        }, kDeadlineMs));
        EXPECT_EQ(::ImageList_GetImageCount(images), 2);
        EXPECT_NE(icons.IndexOf(slow), icons.IndexOf(plain));
        EXPECT_GE(told.load(), 1);
        EXPECT_EQ(lookUpsEnded.load(), 3) << "each path looked up once";
    }

    ::ResetEvent(release.get());
    const int toldBefore = told.load();
    EXPECT_TRUE(ReturnsWithin(2000, release.get(), [&] {
        ProgramIcons closing(images, kDefault, lookUp, [&] { ++told; });
        closing.IndexOf(slow);
        ::Sleep(100);  // the look-up is under way
    })) << "the closing dialog waited for a look-up";
    EXPECT_TRUE(WaitUntil([&] { return lookUpsEnded.load() == 4; }, kDeadlineMs));
    ::Sleep(100);
    EXPECT_EQ(told.load(), toldBefore) << "nobody is told after the dialog closed";
    EXPECT_EQ(::ImageList_GetImageCount(images), 2);
}

}  // namespace
}  // namespace mrwd::testing
