#include "thread.h"

#include <process.h>

namespace mrwd {

CThread::CThread() : stopEvent_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) { Reset(); }

CThread::~CThread() {
    Stop(INFINITE);
    Reset();
}

bool CThread::Stop(DWORD milliseconds) {
    if (!thread_) return false;
    if (stopEvent_) ::SetEvent(stopEvent_.get());
    return ::WaitForSingleObject(thread_.get(), milliseconds) == WAIT_OBJECT_0;
}

void CThread::Reset() {
    thread_.reset();
    if (stopEvent_) ::ResetEvent(stopEvent_.get());
}

bool CThread::Start() {
    Reset();
    const uintptr_t handle = ::_beginthreadex(nullptr, 0, &CThread::ThreadEntry, this, 0, nullptr);
    thread_.reset(reinterpret_cast<HANDLE>(handle));
    return thread_.valid();
}

unsigned __stdcall CThread::ThreadEntry(void* self) {
    static_cast<CThread*>(self)->Run();
    ::_endthreadex(0);
    return 0;
}

}  // namespace mrwd
