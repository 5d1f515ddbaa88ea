// The HTML Help viewer's loading, with a stand-in system that counts what is
// loaded, and the real viewer of Wine opening yrk.chm beside the program.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "base/win/texts.h"
#include "tests/harness/win_harness.h"
#include "ui/win/html_help.h"
#include "ui/win/program_help.h"

namespace mrwd {
namespace {

constexpr UINT kDisplayTopic = 0;  // HH_DISPLAY_TOPIC
constexpr UINT kCloseAll = 0x12;   // HH_CLOSE_ALL
constexpr char kRegistered[] = "C:\\windows\\system32\\hhctrl.ocx";

// What the stand-in entry point was called with.
struct EntryCall {
    HWND owner;
    std::string file;
    UINT command;
    DWORD_PTR data;
};
std::vector<EntryCall> entryCalls;
const HWND kViewerWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x4711));

HWND WINAPI RecordingEntry(HWND owner, LPCSTR file, UINT command, DWORD_PTR data) {
    entryCalls.push_back({owner, file != nullptr ? file : "", command, data});
    return kViewerWindow;
}

struct SystemCalls {
    int registryReads = 0;
    std::vector<std::string> loads;
    int entryLookups = 0;
};

// A system where the viewer is registered under `registered` (or not, when
// empty), only the names in `loadable` load, and the entry point exists or not.
class FakeLibrary final : public HelpViewerLibrary {
public:
    FakeLibrary(SystemCalls& calls, std::string registered, std::vector<std::string> loadable, bool hasEntry)
        : calls_(calls), registered_(std::move(registered)), loadable_(std::move(loadable)), hasEntry_(hasEntry) {}

    std::string RegisteredPath() override {
        ++calls_.registryReads;
        return registered_;
    }
    UniqueModule Load(const std::string& pathOrName) override {
        calls_.loads.push_back(pathOrName);
        if (std::find(loadable_.begin(), loadable_.end(), pathOrName) == loadable_.end()) return {};
        return UniqueModule(::LoadLibraryA("version.dll"));  // any real module stands in for the viewer
    }
    HtmlHelpEntry EntryPoint(HMODULE) override {
        ++calls_.entryLookups;
        return hasEntry_ ? &RecordingEntry : nullptr;
    }

private:
    SystemCalls& calls_;
    std::string registered_;
    std::vector<std::string> loadable_;
    bool hasEntry_;
};

class HelpViewerLoading : public ::testing::Test {
protected:
    void SetUp() override { entryCalls.clear(); }
};

TEST_F(HelpViewerLoading, TheRegisteredViewerComesFirstThenTheOneByName) {
    const struct {
        const char* situation;
        std::string registered;
        std::vector<std::string> loadable;
        std::vector<std::string> expectedLoads;
    } cases[] = {
        {"registered and loadable", kRegistered, {kRegistered, "hhctrl.ocx"}, {kRegistered}},
        {"registered path gone", kRegistered, {"hhctrl.ocx"}, {kRegistered, "hhctrl.ocx"}},
        {"not registered", "", {"hhctrl.ocx"}, {"hhctrl.ocx"}},
    };
    for (const auto& c : cases) {
        SystemCalls calls;
        HtmlHelpViewer viewer(std::make_unique<FakeLibrary>(calls, c.registered, c.loadable, true));
        EXPECT_EQ(viewer.Show(nullptr, "a.chm::/cover.htm", kDisplayTopic, 0), kViewerWindow) << c.situation;
        EXPECT_EQ(calls.loads, c.expectedLoads) << c.situation;
        EXPECT_EQ(calls.entryLookups, 1) << c.situation;
        EXPECT_FALSE(viewer.Unavailable()) << c.situation;
    }
}

TEST_F(HelpViewerLoading, ALoadedViewerIsKeptAndGetsEveryArgument) {
    SystemCalls calls;
    HtmlHelpViewer viewer(std::make_unique<FakeLibrary>(calls, kRegistered, std::vector<std::string>{kRegistered}, true));
    const HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    EXPECT_EQ(viewer.Show(owner, "C:\\mrwd\\yrk.chm::/cover.htm", kDisplayTopic, 0), kViewerWindow);
    EXPECT_EQ(viewer.Show(nullptr, "other.chm", 7, 99), kViewerWindow);

    EXPECT_EQ(calls.registryReads, 1);
    EXPECT_EQ(calls.loads.size(), 1u);
    EXPECT_EQ(calls.entryLookups, 1);
    ASSERT_EQ(entryCalls.size(), 2u);
    EXPECT_EQ(entryCalls[0].owner, owner);
    EXPECT_EQ(entryCalls[0].file, "C:\\mrwd\\yrk.chm::/cover.htm");
    EXPECT_EQ(entryCalls[0].command, kDisplayTopic);
    EXPECT_EQ(entryCalls[0].data, 0u);
    EXPECT_EQ(entryCalls[1].owner, nullptr);
    EXPECT_EQ(entryCalls[1].file, "other.chm");
    EXPECT_EQ(entryCalls[1].command, 7u);
    EXPECT_EQ(entryCalls[1].data, 99u);
}

TEST_F(HelpViewerLoading, AfterOneFailureNothingIsLoadedAgain) {
    const struct {
        const char* situation;
        std::vector<std::string> loadable;
        bool hasEntry;
        size_t loads;
        int entryLookups;
    } cases[] = {
        {"no viewer library", {}, true, 2, 0},
        {"a library without the entry point", {kRegistered}, false, 1, 1},
    };
    for (const auto& c : cases) {
        SystemCalls calls;
        HtmlHelpViewer viewer(std::make_unique<FakeLibrary>(calls, kRegistered, c.loadable, c.hasEntry));
        EXPECT_EQ(viewer.Show(nullptr, "yrk.chm::/cover.htm", kDisplayTopic, 0), nullptr) << c.situation;
        EXPECT_TRUE(viewer.Unavailable()) << c.situation;
        EXPECT_EQ(calls.loads.size(), c.loads) << c.situation;
        EXPECT_EQ(calls.entryLookups, c.entryLookups) << c.situation;

        EXPECT_EQ(viewer.Show(nullptr, "yrk.chm::/cover.htm", kDisplayTopic, 0), nullptr) << c.situation;
        EXPECT_EQ(calls.registryReads, 1) << c.situation;
        EXPECT_EQ(calls.loads.size(), c.loads) << c.situation;
        EXPECT_EQ(calls.entryLookups, c.entryLookups) << c.situation;
    }
    EXPECT_TRUE(entryCalls.empty());
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST(HtmlHelpOfTheSystem, TheViewerIsRegisteredAndHasItsEntryPoint) {
    SystemHelpViewerLibrary library;
    const std::string registered = library.RegisteredPath();
    EXPECT_NE(Lower(registered).find("hhctrl.ocx"), std::string::npos) << registered;
    const UniqueModule module = library.Load(registered);
    ASSERT_TRUE(module.valid());
    EXPECT_NE(library.EntryPoint(module.get()), nullptr);
}

std::wstring WindowTitle(HWND window) {
    wchar_t title[256] = {};
    const int length = ::GetWindowTextW(window, title, 256);
    return std::wstring(title, static_cast<size_t>(std::max(length, 0)));
}

// The viewer's windows are closed whatever the test's outcome.
struct CloseHelpWindows {
    ~CloseHelpWindows() { ShowHelp(nullptr, nullptr, kCloseAll, 0); }
};

TEST(HtmlHelpOfTheSystem, TheHelpButtonOpensYrkChmBesideTheProgram) {
    const std::string topic = ProgramHelpTopic();
    EXPECT_EQ(topic, testing::TestProgramFolder() + "yrk.chm::/cover.htm");
    if (::GetFileAttributesA((testing::TestProgramFolder() + "yrk.chm").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "yrk.chm was not built (no chmcmd)";

    CloseHelpWindows closer;
    const HWND window = ShowProgramHelp(nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(::IsWindow(window));
    // The viewer's title is the one compiled into yrk.chm: the right file opened.
    EXPECT_EQ(WindowTitle(window), WidenText("Marotel ZedevUdo Server: справка", CP_UTF8));

    ShowHelp(nullptr, nullptr, kCloseAll, 0);
    EXPECT_FALSE(::IsWindow(window));
}

TEST(HtmlHelpOfTheSystem, AMissingHelpFileOpensNoWindow) {
    CloseHelpWindows closer;
    const std::string missing = testing::TestProgramFolder() + "missing.chm::/cover.htm";
    EXPECT_EQ(ShowHelp(nullptr, missing.c_str(), kDisplayTopic, 0), nullptr);
}

}  // namespace
}  // namespace mrwd
