// CThread: the base of the server's long-lived worker threads. The subclass
// supplies Run; the base owns the thread handle and the stop event, starts the
// thread, asks it to stop and waits for it.
#pragma once

#include <windows.h>

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

    // Signals the stop event and waits up to `milliseconds`. False when there
    // is no thread or it did not end in time.
    virtual bool Stop(DWORD milliseconds);
    // The thread body; must return once the stop event is signalled.
    virtual void Run() = 0;

    // Creates the thread (again, once an earlier one has ended).
    bool Start();

protected:
    HANDLE StopEvent() const { return stopEvent_.get(); }

private:
    static unsigned __stdcall ThreadEntry(void* self);
    // Forgets a finished thread and clears the stop event.
    void Reset();

    UniqueHandle thread_;
    UniqueHandle stopEvent_;
};

}  // namespace mrwd
