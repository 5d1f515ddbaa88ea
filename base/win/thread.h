// CThread: the base of the server's long-lived worker threads. The subclass
// supplies Run; the base owns the thread handle and the stop event, starts the
// thread, asks it to stop and waits for it.
#pragma once

#include <windows.h>

#include <atomic>

#include "base/win/handles.h"

namespace mrwd {

class CThread {
public:
    CThread();
    // Stops without a time limit, resets and closes the stop event. A subclass
    // must stop the thread in its own destructor first: by the time this one
    // runs, the subclass's Run can no longer be called safely.
    virtual ~CThread();

    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Signals the stop event (resuming a thread created suspended, so that it
    // can see it) and waits up to `milliseconds`. False when there is no
    // thread or it did not end in time.
    virtual bool Stop(DWORD milliseconds);
    // Thread id, handle and running flag all set.
    virtual bool IsRunning();
    // The thread body; must return once the stop event is signalled.
    virtual void Run() = 0;
    // Called on the thread after Run returns.
    virtual void OnExit();
    // Forgets a finished thread so that the object can be started again.
    virtual void Reset();

    // Creates the thread; the flags are those of thread creation, and exactly
    // CREATE_SUSPENDED marks the thread as not yet running.
    bool Start(unsigned stackSize = 0, SECURITY_ATTRIBUTES* security = nullptr,
               unsigned creationFlags = 0);
    // Resumes the thread; each successful resume adds one to the running flag.
    int Resume();

protected:
    HANDLE StopEvent() const { return stopEvent_.get(); }
    DWORD ThreadId() const { return threadId_; }

private:
    static unsigned __stdcall ThreadEntry(void* self);

    // Written by the new thread itself when it begins.
    std::atomic<DWORD> threadId_{0};
    UniqueHandle thread_;
    int running_ = 1;
    UniqueHandle stopEvent_;
};

}  // namespace mrwd
