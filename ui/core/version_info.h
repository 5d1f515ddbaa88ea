// The string fields of a program's version resource, as the main dialog
// shows them, and where in the resource each one is looked up.
#pragma once

#include <cstdint>
#include <string>

namespace mrwd {

struct VersionInfo {
    // Language in the high 16 bits, code page in the low 16; 0 when the
    // resource has no translation table.
    std::uint32_t translation = 0;
    std::wstring languageName;
    std::wstring comments;
    std::wstring companyName;
    std::wstring fileDescription;
    std::wstring fileVersion;
    std::wstring legalNotice;
    std::wstring buildFileName;
    std::wstring productName;
    std::wstring productVersion;
    bool valid = false;

    void Reset() { *this = VersionInfo(); }
};

// One string of the resource and the field it fills.
struct VersionStringField {
    const char* name;
    std::wstring VersionInfo::*field;
};

// The strings read, in the order they are read.
constexpr int kVersionStringCount = 8;
extern const VersionStringField kVersionStrings[kVersionStringCount];

// English (United States) with code page 1252: the table a resource without
// a translation list is expected to hold.
constexpr std::uint32_t kDefaultTranslation = 0x040904E4;

// The translation word of one entry of the resource's translation list.
constexpr std::uint32_t TranslationOf(std::uint16_t language, std::uint16_t codePage) {
    return static_cast<std::uint32_t>(language) * 65536u + codePage;
}

// The name of the string table for `translation`: eight upper-case
// hexadecimal digits, the default table's when `translation` is 0.
std::string StringTableKey(std::uint32_t translation);

// The query path of string `name` in that table: "\StringFileInfo\<key>\<name>".
std::string VersionStringQuery(std::uint32_t translation, const char* name);

}  // namespace mrwd
