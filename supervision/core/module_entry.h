// ModuleEntry: the settings record of one monitored program, and its storage
// form, the 1104-byte little-endian record kept as a registry value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace mrwd {

constexpr std::size_t kModuleEntrySize = 1104;
constexpr std::size_t kModuleTextSize = 260;

// The longest time between two signs of life the engine accepts from a
// program, and the shortest.
constexpr std::uint32_t kMinimumCheckInterval = 10000;

struct ModuleEntry {
    std::string Parameters;           // appended after the quoted path at a start
    std::int32_t ControlEnabled = 1;  // the user has switched control on
    std::int32_t NoAliveSupport = 1;  // checked through its window instead of alive messages
    std::int32_t AliveSeen = 0;       // an alive message came at least once
    std::uint32_t RebootAfter = 0;    // failures before a reboot; 0 = never
    std::uint32_t StartDelay = 30000; // ms; a process ending sooner after its start is not restarted at once
    std::uint32_t Copies = 1;         // copies the engine keeps started; 0 = never starts it
    std::uint32_t CheckInterval = kMinimumCheckInterval;  // ms allowed between signs of life
    std::int32_t IconIndex = 0;       // small icon in the main dialog's image list
    std::string RunPath;              // failure action: program to run
    std::string BackupFolder;         // failure action: restore from here
    std::string RestoreFolder;        // ... to here
    std::int32_t RunAfter = -1;       // failures before RunPath runs; -1 = off
    std::int32_t CopyAfter = -1;      // failures before the restore; -1 = off
    std::uint32_t NotifyAfter = 1;    // failures before a notification (when Notify)
    std::int32_t CopySubfolders = 0;
    std::int32_t CopyOnlyDifferent = 0;
    std::int32_t CopyBeforeStart = 0; // restore before every start by the engine
    std::int32_t Notify = 0;          // failure notifications wanted
    std::int32_t Armed = 1;           // expected to run; cleared when it announces its end
};

using ModuleRecord = std::array<unsigned char, kModuleEntrySize>;

// A new entry as the user adds it (the defaults of the constructor).
ModuleEntry UserAddedEntry();

// A new entry created when an unlisted program registers with `intervalMs`.
ModuleEntry RegisteredEntry(std::uint32_t intervalMs);

// The record, byte for byte. Texts longer than their 259 characters are cut.
ModuleRecord EncodeModuleEntry(const ModuleEntry& entry);

// Reads a stored record. A record shorter than 1104 bytes (written by an
// older build, or cut) keeps the user-added defaults for the fields it lacks;
// a text field is read up to its zero or the end of the data.
ModuleEntry DecodeModuleEntry(const unsigned char* data, std::size_t size);

}  // namespace mrwd
