// A whole file as a read-only view in memory: how the folder copy compares
// files and how mail attachments are read.
#pragma once

#include <cstddef>
#include <string>

#include "base/win/handles.h"

namespace mrwd {

class MappedFile {
public:
    enum class State {
        CannotOpen,  // the file cannot be opened for reading
        CannotMap,   // no mapping: also every empty file
        CannotView,  // mapped, but no view
        Mapped,
    };

    // Opens with read and write sharing, so a file another program (or the
    // log) writes can still be read, and goes on being written meanwhile.
    explicit MappedFile(const std::string& path);

    State Result() const { return state_; }
    bool Mapped() const { return state_ == State::Mapped; }
    const void* Data() const { return view_.get(); }
    std::size_t Size() const { return size_; }

private:
    UniqueFile file_;
    UniqueHandle mapping_;
    UniqueView view_;
    std::size_t size_ = 0;
    State state_ = State::CannotOpen;
};

}  // namespace mrwd
