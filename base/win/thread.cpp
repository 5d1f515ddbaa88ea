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
    if (running_ == 0) Resume();
    return ::WaitForSingleObject(thread_.get(), milliseconds) == WAIT_OBJECT_0;
}

bool CThread::IsRunning() { return threadId_ != 0 && thread_.valid() && running_ != 0; }

void CThread::OnExit() {}

void CThread::Reset() {
    thread_.reset();
    if (stopEvent_) ::ResetEvent(stopEvent_.get());
    threadId_ = 0;
    running_ = 1;
}

bool CThread::Start(unsigned stackSize, SECURITY_ATTRIBUTES* security, unsigned creationFlags) {
    Reset();
    if (creationFlags == CREATE_SUSPENDED) running_ = 0;
    const uintptr_t handle = ::_beginthreadex(security, stackSize, &CThread::ThreadEntry, this,
                                              creationFlags, nullptr);
    thread_.reset(reinterpret_cast<HANDLE>(handle));
    return thread_.valid();
}

int CThread::Resume() {
    if (::ResumeThread(thread_.get()) != static_cast<DWORD>(-1)) ++running_;
    return running_;
}

unsigned __stdcall CThread::ThreadEntry(void* self) {
    CThread* thread = static_cast<CThread*>(self);
    thread->threadId_ = ::GetCurrentThreadId();
    thread->Run();
    thread->OnExit();
    ::_endthreadex(0);
    return 0;
}

}  // namespace mrwd
