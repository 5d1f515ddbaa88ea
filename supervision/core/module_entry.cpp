#include "module_entry.h"

#include <cstring>

namespace mrwd {
namespace {

// Offsets of the stored record.
constexpr std::size_t kParameters = 0;
constexpr std::size_t kControlEnabled = 260;
constexpr std::size_t kNoAliveSupport = 264;
constexpr std::size_t kAliveSeen = 268;
constexpr std::size_t kRebootAfter = 272;
constexpr std::size_t kStartDelay = 276;
constexpr std::size_t kCopies = 280;
constexpr std::size_t kCheckInterval = 284;
constexpr std::size_t kIconIndex = 288;
constexpr std::size_t kRunPath = 292;
constexpr std::size_t kBackupFolder = 552;
constexpr std::size_t kRestoreFolder = 812;
constexpr std::size_t kRunAfter = 1072;
constexpr std::size_t kCopyAfter = 1076;
constexpr std::size_t kNotifyAfter = 1080;
constexpr std::size_t kCopySubfolders = 1084;
constexpr std::size_t kCopyOnlyDifferent = 1088;
constexpr std::size_t kCopyBeforeStart = 1092;
constexpr std::size_t kNotify = 1096;
constexpr std::size_t kArmed = 1100;

// The stored record is the same 1104 bytes in the 32-bit and the 64-bit
// build, and in any earlier build that wrote it: the numbers four bytes each,
// the texts in their 260-byte buffers, back to back and filling the record.
static_assert(kControlEnabled == kParameters + kModuleTextSize && kRunPath == kIconIndex + 4 &&
                  kBackupFolder == kRunPath + kModuleTextSize && kRestoreFolder == kBackupFolder + kModuleTextSize &&
                  kRunAfter == kRestoreFolder + kModuleTextSize && kArmed + 4 == kModuleEntrySize,
              "the program record's layout");
static_assert(sizeof(ModuleRecord) == kModuleEntrySize, "the program record is stored whole");

class Writer {
public:
    explicit Writer(ModuleRecord& record) : record_(record) {}
    void Number(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) record_[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
    void Text(std::size_t at, const std::string& text) {
        const std::size_t length = text.size() < kModuleTextSize - 1 ? text.size() : kModuleTextSize - 1;
        std::memcpy(&record_[at], text.data(), length);
    }

private:
    ModuleRecord& record_;
};

class Reader {
public:
    Reader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    // A field the data does not reach keeps its current value.
    void Number(std::size_t at, std::uint32_t& value) const {
        if (at + 4 > size_) return;
        value = static_cast<std::uint32_t>(data_[at]) | static_cast<std::uint32_t>(data_[at + 1]) << 8 |
                static_cast<std::uint32_t>(data_[at + 2]) << 16 | static_cast<std::uint32_t>(data_[at + 3]) << 24;
    }
    void Number(std::size_t at, std::int32_t& value) const {
        std::uint32_t raw = static_cast<std::uint32_t>(value);
        Number(at, raw);
        value = raw <= 0x7FFFFFFFu ? static_cast<std::int32_t>(raw) : -static_cast<std::int32_t>(~raw) - 1;
    }
    void Text(std::size_t at, std::string& text) const {
        if (at >= size_) return;
        const std::size_t limit = (size_ - at < kModuleTextSize ? size_ - at : kModuleTextSize);
        std::size_t length = 0;
        while (length < limit && data_[at + length] != 0) ++length;
        text.assign(reinterpret_cast<const char*>(data_ + at), length);
    }

private:
    const unsigned char* data_;
    std::size_t size_;
};

}  // namespace

ModuleEntry UserAddedEntry() { return ModuleEntry(); }

ModuleEntry RegisteredEntry(std::uint32_t intervalMs) {
    ModuleEntry entry;
    entry.NoAliveSupport = 0;
    entry.AliveSeen = 1;
    entry.StartDelay = intervalMs;
    entry.CheckInterval = intervalMs < kMinimumCheckInterval ? kMinimumCheckInterval : intervalMs;
    entry.IconIndex = 0;
    return entry;
}

ModuleRecord EncodeModuleEntry(const ModuleEntry& e) {
    ModuleRecord record{};
    Writer w(record);
    w.Text(kParameters, e.Parameters);
    w.Number(kControlEnabled, static_cast<std::uint32_t>(e.ControlEnabled));
    w.Number(kNoAliveSupport, static_cast<std::uint32_t>(e.NoAliveSupport));
    w.Number(kAliveSeen, static_cast<std::uint32_t>(e.AliveSeen));
    w.Number(kRebootAfter, e.RebootAfter);
    w.Number(kStartDelay, e.StartDelay);
    w.Number(kCopies, e.Copies);
    w.Number(kCheckInterval, e.CheckInterval);
    w.Number(kIconIndex, static_cast<std::uint32_t>(e.IconIndex));
    w.Text(kRunPath, e.RunPath);
    w.Text(kBackupFolder, e.BackupFolder);
    w.Text(kRestoreFolder, e.RestoreFolder);
    w.Number(kRunAfter, static_cast<std::uint32_t>(e.RunAfter));
    w.Number(kCopyAfter, static_cast<std::uint32_t>(e.CopyAfter));
    w.Number(kNotifyAfter, e.NotifyAfter);
    w.Number(kCopySubfolders, static_cast<std::uint32_t>(e.CopySubfolders));
    w.Number(kCopyOnlyDifferent, static_cast<std::uint32_t>(e.CopyOnlyDifferent));
    w.Number(kCopyBeforeStart, static_cast<std::uint32_t>(e.CopyBeforeStart));
    w.Number(kNotify, static_cast<std::uint32_t>(e.Notify));
    w.Number(kArmed, static_cast<std::uint32_t>(e.Armed));
    return record;
}

ModuleEntry DecodeModuleEntry(const unsigned char* data, std::size_t size) {
    ModuleEntry e = UserAddedEntry();
    if (data == nullptr) return e;
    if (size > kModuleEntrySize) size = kModuleEntrySize;
    const Reader r(data, size);
    r.Text(kParameters, e.Parameters);
    r.Number(kControlEnabled, e.ControlEnabled);
    r.Number(kNoAliveSupport, e.NoAliveSupport);
    r.Number(kAliveSeen, e.AliveSeen);
    r.Number(kRebootAfter, e.RebootAfter);
    r.Number(kStartDelay, e.StartDelay);
    r.Number(kCopies, e.Copies);
    r.Number(kCheckInterval, e.CheckInterval);
    r.Number(kIconIndex, e.IconIndex);
    r.Text(kRunPath, e.RunPath);
    r.Text(kBackupFolder, e.BackupFolder);
    r.Text(kRestoreFolder, e.RestoreFolder);
    r.Number(kRunAfter, e.RunAfter);
    r.Number(kCopyAfter, e.CopyAfter);
    r.Number(kNotifyAfter, e.NotifyAfter);
    r.Number(kCopySubfolders, e.CopySubfolders);
    r.Number(kCopyOnlyDifferent, e.CopyOnlyDifferent);
    r.Number(kCopyBeforeStart, e.CopyBeforeStart);
    r.Number(kNotify, e.Notify);
    r.Number(kArmed, e.Armed);
    return e;
}

}  // namespace mrwd
