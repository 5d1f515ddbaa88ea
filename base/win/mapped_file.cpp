#include "mapped_file.h"

namespace mrwd {

MappedFile::MappedFile(const std::string& path)
    // Writers are let in too: the log attached to a mail must neither lose
    // the lines written meanwhile nor fail because a line is being written.
    : file_(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (!file_) return;
    state_ = State::CannotMap;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file_.get(), &size) || size.QuadPart <= 0) return;
    mapping_.reset(::CreateFileMappingA(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping_) return;
    state_ = State::CannotView;
    view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view_) return;
    size_ = static_cast<std::size_t>(size.QuadPart);
    state_ = State::Mapped;
}

}  // namespace mrwd
