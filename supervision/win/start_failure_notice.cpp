#include "start_failure_notice.h"

#include <mutex>
#include <set>
#include <thread>

#include "app/win/texts.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const { return ::lstrcmpiA(a.c_str(), b.c_str()) < 0; }
};

// Never destroyed: a box thread may still finish while the process exits.
std::mutex& OpenBoxesLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::set<std::string, CaseInsensitiveLess>& OpenBoxes() {
    static auto* open = new std::set<std::string, CaseInsensitiveLess>;
    return *open;
}

std::wstring WidenAnsi(const std::string& text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (length > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

}  // namespace

void ShowStartFailure(HWND owner, const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(OpenBoxesLock());
        if (!OpenBoxes().insert(path).second) return;
    }
    // The text is built in UTF-16 so it reads right whatever the code page.
    std::wstring text = LoadWideText(IDS_FILE_NOT_FOUND);
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, WidenAnsi(path));
    const std::wstring caption = LoadWideText(IDS_ERROR_CAPTION);

    // Detached: the box lives until someone closes it, or until the process ends.
    std::thread([owner, path, text, caption] {
        ::MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
        std::lock_guard<std::mutex> lock(OpenBoxesLock());
        OpenBoxes().erase(path);
    }).detach();
}

bool StartFailureShown(const std::string& path) {
    std::lock_guard<std::mutex> lock(OpenBoxesLock());
    return OpenBoxes().count(path) != 0;
}

}  // namespace mrwd
