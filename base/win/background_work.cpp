#include "background_work.h"

#include <process.h>

#include <memory>

namespace mrwd {
namespace {

unsigned __stdcall RunWork(void* parameter) {
    const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}

}  // namespace

UniqueHandle StartBackgroundWork(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    // The runtime's own thread start, so the C library is set up for the thread.
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, RunWork, owned.get(), 0, nullptr);
    if (thread == 0) return UniqueHandle();
    owned.release();  // the thread owns it now
    return UniqueHandle(reinterpret_cast<HANDLE>(thread));
}

}  // namespace mrwd
