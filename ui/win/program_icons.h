// The main dialog's program icons. The shell's look-up of a file's icon may
// touch a network share or a slow disk, so it is made on a thread of its own,
// never on the window thread (which also receives every program's
// heartbeats): a program shows the default icon until its own is known.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace mrwd {

// Adds `icon` to `images` and destroys it; its index, or I_IMAGENONE when
// there was no icon or it could not be added.
int AddOwnedIcon(HIMAGELIST images, HICON icon);

// The shell's small icon of the file (owned by the caller), or null when it has none.
HICON LookUpSmallIcon(const std::string& path);

class ProgramIcons {
public:
    using LookUp = std::function<HICON(const std::string& path)>;

    // `images` stays the caller's. `fetched` is called on the look-up thread
    // each time icons are waiting to be taken: it must only pass the word on.
    ProgramIcons(HIMAGELIST images, int defaultIndex, LookUp lookUp, std::function<void()> fetched);
    // Never waits for a look-up under way: that one ends on its own, and its icon is dropped.
    ~ProgramIcons();
    ProgramIcons(const ProgramIcons&) = delete;
    ProgramIcons& operator=(const ProgramIcons&) = delete;

    // The image index of the program's icon (I_IMAGENONE for a file without
    // one); the default index, with a look-up queued, until it is known.
    int IndexOf(const std::string& path);
    // Puts the icons found since the last call into the image list; true when there were any.
    bool TakeFetched();

private:
    struct Shared;
    HIMAGELIST images_;
    int defaultIndex_;
    std::map<std::string, int> known_;  // by path, as the list spells it
    std::shared_ptr<Shared> shared_;
};

}  // namespace mrwd
