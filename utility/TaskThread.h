#pragma once
// One worker thread running one task, with a wake event and a stop flag the task checks between steps.
// Embedded in its owner; start and stop are called from the owner's thread.

#include <windows.h>

#include <atomic>

#include "utility/Runable.h"
#include "utility/ScopedHandle.h"

namespace utility {

class TaskThread {
public:
    TaskThread() = default;
    ~TaskThread();
    TaskThread(const TaskThread&) = delete;
    TaskThread& operator=(const TaskThread&) = delete;

    // Starts a thread that runs the task, taking ownership. False when a thread exists already or
    // none could be started; the task then stays the caller's.
    bool start(Runable* task);

    // Inside the task: sleeps up to the time or until woken; then the task reads stopRequested().
    // Without a started thread there is nothing to wake it: it sleeps the whole time.
    void wait(DWORD milliseconds);

    // Sets the stop flag and wakes the task. Any thread.
    void requestStop();
    bool stopRequested() const { return stopRequested_.load(); }

    // Waits for the thread, terminating it after the time-out, and releases the task and the event.
    // Does not ask the task to stop: call requestStop() first.
    void stop(DWORD timeoutMs);

    bool running() const { return static_cast<bool>(thread_); }

private:
    static unsigned __stdcall threadMain(void* self);

    Runable* task_ = nullptr;
    UniqueHandle thread_;
    UniqueHandle wakeEvent_;
    std::atomic<bool> stopRequested_{false};
};

}  // namespace utility
