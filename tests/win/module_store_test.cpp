// The program list's registry mirror, under the real registry.
#include "supervision/win/module_store.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/win/handles.h"
#include "supervision/win/program_list.h"
#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

using testing::CleanSettings;

std::vector<std::string> StoredNames() {
    std::vector<std::string> names;
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kModulesSubkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[2048];
        DWORD length = sizeof name;
        if (::RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

bool WriteRaw(const std::string& name, const std::vector<unsigned char>& data) {
    UniqueRegKey key;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kModulesSubkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExA(key.get(), name.c_str(), 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size())) ==
           ERROR_SUCCESS;
}

std::vector<unsigned char> Record(const ModuleEntry& entry) {
    const ModuleRecord r = EncodeModuleEntry(entry);
    return std::vector<unsigned char>(r.begin(), r.end());
}

TEST(ModuleStore, StoredRecordsLoadBackWithTheirPaths) {
    CleanSettings clean;
    const ModuleStore store(HKEY_CURRENT_USER);
    ModuleEntry kiosk;
    kiosk.Parameters = "-fullscreen";
    kiosk.Copies = 2;
    ASSERT_TRUE(store.Store("C:\\Kiosk\\kiosk.exe", kiosk));
    ASSERT_TRUE(store.Store("C:\\Tools\\agent.exe", RegisteredEntry(30000)));

    std::vector<unsigned char> raw;
    DWORD type = 0;
    UniqueRegKey key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kModulesSubkey, 0, KEY_READ, key.put()), ERROR_SUCCESS);
    DWORD size = 0;
    ASSERT_EQ(::RegQueryValueExA(key.get(), "C:\\Kiosk\\kiosk.exe", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 1104u);

    ModuleList list;
    store.Load(list);
    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(list.Find("c:\\kiosk\\KIOSK.exe")->Parameters, "-fullscreen");
    EXPECT_EQ(list.Find("C:\\Tools\\agent.exe")->CheckInterval, 30000u);
}

TEST(ModuleStore, NoModulesKeyGivesAnEmptyList) {
    CleanSettings clean;
    ModuleList list;
    ModuleStore(HKEY_CURRENT_USER).Load(list);
    EXPECT_TRUE(list.Empty());
}

TEST(ModuleStore, ValuesThatDoNotFitAreSkippedAndLoadingGoesOn) {
    CleanSettings clean;
    ASSERT_TRUE(WriteRaw("C:\\first.exe", Record(ModuleEntry())));
    ASSERT_TRUE(WriteRaw("C:\\" + std::string(300, 'n') + ".exe", Record(ModuleEntry())));  // name too long
    std::vector<unsigned char> tooBig = Record(ModuleEntry());
    tooBig.resize(2000, 0);
    ASSERT_TRUE(WriteRaw("C:\\big.exe", tooBig));
    ASSERT_TRUE(WriteRaw("C:\\last.exe", Record(ModuleEntry())));

    ModuleList list;
    ModuleStore(HKEY_CURRENT_USER).Load(list);
    EXPECT_NE(list.Find("C:\\first.exe"), nullptr);
    EXPECT_NE(list.Find("C:\\last.exe"), nullptr) << "a bad value must not hide the programs after it";
    EXPECT_EQ(list.Find("C:\\big.exe"), nullptr);
    EXPECT_EQ(list.Size(), 2u);
}

TEST(ModuleStore, ShortRecordsAreCompletedWithDefaults) {
    CleanSettings clean;
    ModuleEntry old;
    old.Parameters = "/old";
    old.Copies = 3;
    std::vector<unsigned char> shortRecord = Record(old);
    shortRecord.resize(292);  // up to IconIndex: an older layout
    ASSERT_TRUE(WriteRaw("C:\\old.exe", shortRecord));
    ModuleList list;
    ModuleStore(HKEY_CURRENT_USER).Load(list);
    const ModuleEntry* loaded = list.Find("C:\\old.exe");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Parameters, "/old");
    EXPECT_EQ(loaded->Copies, 3u);
    EXPECT_EQ(loaded->RunAfter, -1);
    EXPECT_EQ(loaded->Armed, 1);
}

TEST(ProgramList, AddingAPathListedInOtherLetterCaseIsRefused) {
    CleanSettings clean;
    SupervisionState state(CompareAsciiNoCase);
    const ModuleStore store(HKEY_CURRENT_USER);
    ModuleEntry entry;
    entry.Copies = 2;
    EXPECT_TRUE(AddProgram(state, store, "c:\\app.exe", entry));
    entry.Copies = 5;
    EXPECT_FALSE(AddProgram(state, store, "C:\\APP.EXE", entry));
    EXPECT_EQ(state.modules.Find("c:\\app.exe")->Copies, 2u);
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"c:\\app.exe"});
}

TEST(ProgramList, RenamingLeavesOneValueUnderTheNewPath) {
    CleanSettings clean;
    SupervisionState state(CompareAsciiNoCase);
    const ModuleStore store(HKEY_CURRENT_USER);
    AddProgram(state, store, "C:\\old\\app.exe", ModuleEntry());
    ModuleEntry edited;
    edited.Armed = 0;
    edited.Parameters = "-x";
    ReplaceProgram(state, store, "C:\\old\\app.exe", "C:\\new\\app.exe", edited);
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"C:\\new\\app.exe"});
    EXPECT_EQ(state.modules.Size(), 1u);
    EXPECT_EQ(state.modules.Find("C:\\new\\app.exe")->Armed, 1);

    // A change of letter case only: still one value, spelled the new way.
    ReplaceProgram(state, store, "C:\\new\\app.exe", "C:\\New\\App.exe", edited);
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"C:\\New\\App.exe"});

    ModuleList reloaded;
    store.Load(reloaded);
    EXPECT_EQ(reloaded.Find("c:\\new\\app.exe")->Parameters, "-x");
}

TEST(ProgramList, RemoveAndStore) {
    CleanSettings clean;
    SupervisionState state(CompareAsciiNoCase);
    const ModuleStore store(HKEY_CURRENT_USER);
    AddProgram(state, store, "C:\\a.exe", ModuleEntry());
    AddProgram(state, store, "C:\\b.exe", ModuleEntry());
    state.modules.Find("C:\\b.exe")->Copies = 4;  // a change in memory only ...
    ModuleList reloaded;
    store.Load(reloaded);
    EXPECT_EQ(reloaded.Find("C:\\b.exe")->Copies, 1u);
    EXPECT_TRUE(StoreProgram(state, store, "C:\\b.exe"));  // ... until stored
    reloaded.Clear();
    store.Load(reloaded);
    EXPECT_EQ(reloaded.Find("C:\\b.exe")->Copies, 4u);

    RemoveProgram(state, store, "C:\\A.EXE");
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"C:\\b.exe"});
    EXPECT_EQ(state.modules.Find("C:\\a.exe"), nullptr);
    EXPECT_FALSE(StoreProgram(state, store, "C:\\a.exe"));
}

}  // namespace
}  // namespace mrwd
