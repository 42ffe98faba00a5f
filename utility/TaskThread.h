#pragma once
// One worker thread running one task, with a stop event and a stop flag the task checks between steps.
// Embedded in its owner; start and stop are called from the owner's thread.

#include <windows.h>

#include <atomic>

#include "utility/Runable.h"
#include "utility/ScopedHandle.h"

namespace utility {

class TaskThread {
public:
    TaskThread();
    ~TaskThread();
    TaskThread(const TaskThread&) = delete;
    TaskThread& operator=(const TaskThread&) = delete;

    // Starts a thread that runs the task, taking ownership. False when a thread exists already or
    // none could be started; the task then stays the caller's.
    bool start(Runable* task);

    // Inside the task, or on any thread using the record only as a stop source: sleeps up to the time
    // or until a stop is requested; then the caller reads stopRequested().
    void wait(DWORD milliseconds);

    // Sets the stop flag and ends every wait, present and later, until the next start. Any thread.
    void requestStop();
    bool stopRequested() const { return stopRequested_.load(); }

    // Waits for the thread, terminating it after the time-out (logged: a last resort), and releases the task.
    // Does not ask the task to stop: call requestStop() first.
    void stop(DWORD timeoutMs);

    bool running() const { return static_cast<bool>(thread_); }

private:
    static unsigned __stdcall threadMain(void* self);

    Runable* task_ = nullptr;
    UniqueHandle thread_;
    // Manual-reset, so a stop requested between two waits still ends the next one.
    UniqueHandle stopEvent_;
    std::atomic<bool> stopRequested_{false};
};

}  // namespace utility
