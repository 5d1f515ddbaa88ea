#include "supervision/core/module_entry.h"

#include <gtest/gtest.h>

#include <cstring>

namespace mrwd {
namespace {

std::uint32_t At(const ModuleRecord& r, std::size_t offset) {
    return r[offset] | r[offset + 1] << 8 | r[offset + 2] << 16 | static_cast<std::uint32_t>(r[offset + 3]) << 24;
}

ModuleEntry Sample() {
    ModuleEntry e;
    e.Parameters = "-kiosk /port=7";
    e.ControlEnabled = 1;
    e.NoAliveSupport = 0;
    e.AliveSeen = 1;
    e.RebootAfter = 5;
    e.StartDelay = 45000;
    e.Copies = 2;
    e.CheckInterval = 60000;
    e.IconIndex = 7;
    e.RunPath = "C:\\Tools\\cleanup.bat";
    e.BackupFolder = "D:\\Backup\\Kiosk";
    e.RestoreFolder = "C:\\Kiosk";
    e.RunAfter = 2;
    e.CopyAfter = 3;
    e.NotifyAfter = 4;
    e.CopySubfolders = 1;
    e.CopyOnlyDifferent = 1;
    e.CopyBeforeStart = 0;
    e.Notify = 1;
    e.Armed = 1;
    return e;
}

TEST(ModuleRecord, EveryFieldAtItsOffsetLittleEndian) {
    const ModuleRecord r = EncodeModuleEntry(Sample());
    ASSERT_EQ(r.size(), 1104u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[0])), "-kiosk /port=7");
    EXPECT_EQ(At(r, 260), 1u);
    EXPECT_EQ(At(r, 264), 0u);
    EXPECT_EQ(At(r, 268), 1u);
    EXPECT_EQ(At(r, 272), 5u);
    EXPECT_EQ(At(r, 276), 45000u);
    EXPECT_EQ(At(r, 280), 2u);
    EXPECT_EQ(At(r, 284), 60000u);
    EXPECT_EQ(r[284], 0x60);  // 60000 = 0x0000EA60, least significant byte first
    EXPECT_EQ(r[285], 0xEA);
    EXPECT_EQ(At(r, 288), 7u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[292])), "C:\\Tools\\cleanup.bat");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[552])), "D:\\Backup\\Kiosk");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[812])), "C:\\Kiosk");
    EXPECT_EQ(At(r, 1072), 2u);
    EXPECT_EQ(At(r, 1076), 3u);
    EXPECT_EQ(At(r, 1080), 4u);
    EXPECT_EQ(At(r, 1084), 1u);
    EXPECT_EQ(At(r, 1088), 1u);
    EXPECT_EQ(At(r, 1092), 0u);
    EXPECT_EQ(At(r, 1096), 1u);
    EXPECT_EQ(At(r, 1100), 1u);
    // Text buffers are zero after their text.
    for (std::size_t i = 14; i < 260; ++i) ASSERT_EQ(r[i], 0) << i;
}

TEST(ModuleRecord, OffIsMinusOneOnDisk) {
    ModuleEntry e;  // RunAfter and CopyAfter default to -1
    const ModuleRecord r = EncodeModuleEntry(e);
    EXPECT_EQ(At(r, 1072), 0xFFFFFFFFu);
    EXPECT_EQ(At(r, 1076), 0xFFFFFFFFu);
    EXPECT_EQ(DecodeModuleEntry(r.data(), r.size()).RunAfter, -1);
}

TEST(ModuleRecord, RoundTripKeepsEveryField) {
    const ModuleEntry in = Sample();
    const ModuleRecord r = EncodeModuleEntry(in);
    const ModuleEntry out = DecodeModuleEntry(r.data(), r.size());
    EXPECT_EQ(EncodeModuleEntry(out), r);
    EXPECT_EQ(out.Parameters, in.Parameters);
    EXPECT_EQ(out.RestoreFolder, in.RestoreFolder);
    EXPECT_EQ(out.CheckInterval, in.CheckInterval);
}

TEST(ModuleRecord, TextsAreCutToTheirBuffers) {
    ModuleEntry e;
    e.Parameters = std::string(400, 'p');
    e.RunPath = std::string(259, 'r');
    const ModuleRecord r = EncodeModuleEntry(e);
    EXPECT_EQ(r[258], 'p');
    EXPECT_EQ(r[259], 0);  // the terminating zero always fits
    EXPECT_EQ(At(r, 260), 1u);  // ControlEnabled untouched by the long text
    const ModuleEntry out = DecodeModuleEntry(r.data(), r.size());
    EXPECT_EQ(out.Parameters.size(), 259u);
    EXPECT_EQ(out.RunPath, std::string(259, 'r'));
}

TEST(ModuleRecord, ShortRecordKeepsUserDefaultsForWhatItLacks) {
    ModuleEntry e = Sample();
    const ModuleRecord full = EncodeModuleEntry(e);
    // An older, shorter record ending after RestoreFolder.
    const ModuleEntry out = DecodeModuleEntry(full.data(), 1072);
    EXPECT_EQ(out.Parameters, "-kiosk /port=7");
    EXPECT_EQ(out.CheckInterval, 60000u);
    EXPECT_EQ(out.RestoreFolder, "C:\\Kiosk");
    const ModuleEntry defaults = UserAddedEntry();
    EXPECT_EQ(out.RunAfter, defaults.RunAfter);
    EXPECT_EQ(out.CopyAfter, defaults.CopyAfter);
    EXPECT_EQ(out.NotifyAfter, defaults.NotifyAfter);
    EXPECT_EQ(out.Notify, defaults.Notify);
    EXPECT_EQ(out.Armed, defaults.Armed);

    // Cut inside a number: that number keeps its default too.
    const ModuleEntry cut = DecodeModuleEntry(full.data(), 286);
    EXPECT_EQ(cut.Copies, 2u);
    EXPECT_EQ(cut.CheckInterval, defaults.CheckInterval);
    EXPECT_EQ(cut.RunPath, "");

    // Cut inside a text: the text up to the end of the data.
    const ModuleEntry inText = DecodeModuleEntry(full.data(), 3);
    EXPECT_EQ(inText.Parameters, "-ki");

    EXPECT_EQ(DecodeModuleEntry(full.data(), 0).Copies, defaults.Copies);
}

TEST(ModuleRecord, DefaultsOfUserAddedAndRegisteredEntries) {
    const ModuleEntry user = UserAddedEntry();
    EXPECT_EQ(user.ControlEnabled, 1);
    EXPECT_EQ(user.NoAliveSupport, 1);
    EXPECT_EQ(user.AliveSeen, 0);
    EXPECT_EQ(user.StartDelay, 30000u);
    EXPECT_EQ(user.Copies, 1u);
    EXPECT_EQ(user.CheckInterval, 10000u);
    EXPECT_EQ(user.RunAfter, -1);
    EXPECT_EQ(user.CopyAfter, -1);
    EXPECT_EQ(user.NotifyAfter, 1u);
    EXPECT_EQ(user.Armed, 1);

    const ModuleEntry registered = RegisteredEntry(25000);
    EXPECT_EQ(registered.NoAliveSupport, 0);
    EXPECT_EQ(registered.AliveSeen, 1);
    EXPECT_EQ(registered.StartDelay, 25000u);
    EXPECT_EQ(registered.CheckInterval, 25000u);
    EXPECT_EQ(registered.Copies, 1u);
    EXPECT_EQ(registered.ControlEnabled, 1);
    EXPECT_EQ(registered.Armed, 1);
}

}  // namespace
}  // namespace mrwd
