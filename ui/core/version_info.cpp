#include "version_info.h"

#include <cstdio>

namespace mrwd {

const VersionStringField kVersionStrings[kVersionStringCount] = {
    {"Comments", &VersionInfo::comments},
    {"CompanyName", &VersionInfo::companyName},
    {"FileDescription", &VersionInfo::fileDescription},
    {"FileVersion", &VersionInfo::fileVersion},
    {"LegalCopyright", &VersionInfo::legalNotice},
    {"OriginalFilename", &VersionInfo::buildFileName},
    {"ProductName", &VersionInfo::productName},
    {"ProductVersion", &VersionInfo::productVersion},
};

std::string StringTableKey(std::uint32_t translation) {
    const unsigned long value = translation != 0 ? translation : kDefaultTranslation;
    // Precision 8 pads with zeros to eight digits by itself ("%08.8lX"
    // with a zero flag that adds nothing).
    char key[9];
    std::snprintf(key, sizeof key, "%.8lX", value);
    return key;
}

std::string VersionStringQuery(std::uint32_t translation, const char* name) {
    return "\\StringFileInfo\\" + StringTableKey(translation) + "\\" + name;
}

}  // namespace mrwd
