// Paths compared the way the system compares them: locale-aware and without
// regard to case, so C:\Kiosk\App.exe and c:\kiosk\app.exe are one program.
#pragma once

#include <string>

namespace mrwd {

// strcmp-like, through lstrcmpiA.
int CompareSystemPaths(const char* a, const char* b);

struct SystemPathLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return CompareSystemPaths(a.c_str(), b.c_str()) < 0;
    }
};

}  // namespace mrwd
