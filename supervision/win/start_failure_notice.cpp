#include "start_failure_notice.h"

#include <mutex>
#include <set>

#include "base/win/background_work.h"
#include "base/win/system_paths.h"
#include "base/win/texts.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

// Never destroyed: a box thread may still finish while the process exits.
std::mutex& OpenBoxesLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::set<std::string, SystemPathLess>& OpenBoxes() {
    static auto* open = new std::set<std::string, SystemPathLess>;
    return *open;
}

}  // namespace

void ShowStartFailure(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(OpenBoxesLock());
        if (!OpenBoxes().insert(path).second) return;
    }
    // The text is built in UTF-16 so it reads right whatever the code page.
    const std::wstring text = FillWideText(IDS_FILE_NOT_FOUND, WidenText(path, CP_ACP));
    const std::wstring caption = LoadWideText(IDS_ERROR_CAPTION);

    auto showBox = [path, text, caption] {
        // In front, since nothing owns it.
        ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
        std::lock_guard<std::mutex> lock(OpenBoxesLock());
        OpenBoxes().erase(path);
    };
    // The handle is dropped: the box lives until someone closes it, or until
    // the process ends. Without a thread the user is not told; the log line
    // written before remains.
    if (!StartBackgroundWork(showBox)) {
        std::lock_guard<std::mutex> lock(OpenBoxesLock());
        OpenBoxes().erase(path);
    }
}

bool StartFailureShown(const std::string& path) {
    std::lock_guard<std::mutex> lock(OpenBoxesLock());
    return OpenBoxes().count(path) != 0;
}

}  // namespace mrwd
