#include "reboot_marker.h"

#include <windows.h>

#include <utility>

#include "base/win/handles.h"

namespace mrwd {

RebootMarker::RebootMarker(std::string path) : path_(std::move(path)) {}

void RebootMarker::Arm() {
    std::lock_guard<std::mutex> lock(lock_);
    deleted_ = false;
}

bool RebootMarker::FoundOrMade() {
    std::lock_guard<std::mutex> lock(lock_);
    if (deleted_) return false;
    const UniqueFile found(
        ::CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (found) return true;
    const UniqueFile made(::CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    return false;
}

void RebootMarker::Delete() {
    std::lock_guard<std::mutex> lock(lock_);
    deleted_ = true;
    ::DeleteFileA(path_.c_str());
}

}  // namespace mrwd
