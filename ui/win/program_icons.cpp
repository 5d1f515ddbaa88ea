#include "ui/win/program_icons.h"

#include <shellapi.h>

#include <utility>

#include "base/win/texts.h"

namespace mrwd {

HICON LookUpSmallIcon(const std::string& path) {
    SHFILEINFOW info{};
    if (::SHGetFileInfoW(WidenText(path, CP_ACP).c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON) == 0) {
        return nullptr;
    }
    return info.hIcon;
}

struct ProgramIcons::Shared {
    LookUp lookUp;
    std::function<void()> fetched;
};

ProgramIcons::ProgramIcons(HIMAGELIST images, int defaultIndex, LookUp lookUp, std::function<void()> fetched)
    : images_(images), defaultIndex_(defaultIndex), shared_(std::make_shared<Shared>()) {
    shared_->lookUp = std::move(lookUp);
    shared_->fetched = std::move(fetched);
}

ProgramIcons::~ProgramIcons() = default;

int ProgramIcons::IndexOf(const std::string& path) {
    auto it = known_.find(path);
    if (it != known_.end()) return it->second;
    // Looked up on the calling thread, as the dialog always has.
    HICON icon = shared_->lookUp(path);
    int index = I_IMAGENONE;
    if (icon != nullptr) {
        // A program whose file has no icon (or is missing) shows none,
        // rather than a mark that means something else.
        const int added = images_ != nullptr ? ::ImageList_AddIcon(images_, icon) : -1;
        ::DestroyIcon(icon);
        if (added >= 0) index = added;
    }
    known_[path] = index;
    return index;
}

bool ProgramIcons::TakeFetched() { return false; }

}  // namespace mrwd
