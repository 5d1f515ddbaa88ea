#include "ui/win/program_icons.h"

#include <shellapi.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "base/win/background_work.h"
#include "base/win/texts.h"

namespace mrwd {

int AddOwnedIcon(HIMAGELIST images, HICON icon) {
    if (icon == nullptr) return I_IMAGENONE;
    const int index = images != nullptr ? ::ImageList_AddIcon(images, icon) : -1;
    ::DestroyIcon(icon);
    return index < 0 ? I_IMAGENONE : index;
}

HICON LookUpSmallIcon(const std::string& path) {
    SHFILEINFOW info{};
    if (::SHGetFileInfoW(WidenText(path, CP_ACP).c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON) == 0) {
        return nullptr;
    }
    return info.hIcon;
}

// What the dialog and its look-up thread share. The thread holds it too, so
// that it may outlive the dialog while a look-up hangs.
struct ProgramIcons::Shared {
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::string> queued;
    std::vector<std::pair<std::string, HICON>> found;
    bool threadRuns = false;
    bool closed = false;  // the dialog is gone: nothing more is looked up or reported
    LookUp lookUp;
    std::function<void()> fetched;

    ~Shared() {
        for (const auto& icon : found) {
            if (icon.second != nullptr) ::DestroyIcon(icon.second);
        }
    }

    void Run() {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            wake.wait(guard, [&] { return closed || !queued.empty(); });
            if (closed) return;
            const std::string path = std::move(queued.front());
            queued.pop_front();
            guard.unlock();
            HICON icon = lookUp(path);
            guard.lock();
            if (closed) {
                if (icon != nullptr) ::DestroyIcon(icon);
                return;
            }
            found.emplace_back(path, icon);
            // Under the lock: once the dialog has closed, the word is never passed on.
            fetched();
        }
    }
};

ProgramIcons::ProgramIcons(HIMAGELIST images, int defaultIndex, LookUp lookUp, std::function<void()> fetched)
    : images_(images), defaultIndex_(defaultIndex), shared_(std::make_shared<Shared>()) {
    shared_->lookUp = std::move(lookUp);
    shared_->fetched = std::move(fetched);
}

ProgramIcons::~ProgramIcons() {
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        shared_->closed = true;
    }
    shared_->wake.notify_all();
}

int ProgramIcons::IndexOf(const std::string& path) {
    auto it = known_.find(path);
    if (it != known_.end()) return it->second;
    known_[path] = defaultIndex_;  // asked for once
    bool start = false;
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        shared_->queued.push_back(path);
        start = !shared_->threadRuns;
        shared_->threadRuns = true;
    }
    if (start) {
        std::shared_ptr<Shared> shared = shared_;
        // Left to run by itself: the dialog never waits for it.
        if (!StartBackgroundWork([shared] { shared->Run(); })) {
            std::lock_guard<std::mutex> guard(shared_->lock);
            shared_->threadRuns = false;
        }
    } else {
        shared_->wake.notify_one();
    }
    return defaultIndex_;
}

bool ProgramIcons::TakeFetched() {
    std::vector<std::pair<std::string, HICON>> found;
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        found.swap(shared_->found);
    }
    // A program whose file has no icon (or is missing) shows none, rather
    // than a mark that means something else.
    for (const auto& icon : found) known_[icon.first] = AddOwnedIcon(images_, icon.second);
    return !found.empty();
}

}  // namespace mrwd
