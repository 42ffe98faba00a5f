#pragma once
// Runs tasks on the window thread: once when posted from any thread, or periodically on timers set on
// the window thread. An owner going away cancels its tasks that have not run yet.

#include <windows.h>

#include <functional>
#include <map>
#include <mutex>

#include "utility/Runable.h"
#include "utility/ScopedHandle.h"

namespace utility {

class UiDispatcher {
public:
    // The message that carries a posted task: wParam the owner key, lParam the task.
    static constexpr UINT kMsgRunTask = 8888;

    // Creates the process-wide dispatcher on the calling thread, which becomes the window thread.
    // Later calls return the same one.
    static UiDispatcher* create();
    // The process-wide dispatcher, or null before create().
    static UiDispatcher* instance();

    // Queues the task for the window thread; the dispatcher owns it from here. Any thread.
    // The result of PostMessageW: a task that could not be posted is released without running.
    bool post(const void* owner, Runable* task);
    // Posts with the generic owner key that is never cancelled. Any thread.
    bool post(std::function<void()> function);
    // Every task of the owner delivered after this is released without running, until the owner
    // posts again. Any thread.
    void cancel(const void* owner);

    // Runs the task every interval until killTimer. Window thread. The timer id, or 0 (task released).
    // A timer task may kill its own timer, as the last thing it does.
    UINT_PTR setTimer(UINT intervalMs, Runable* task);
    // Stops the timer and releases its task; an unknown id does nothing. Window thread.
    void killTimer(UINT_PTR timerId);

    HWND window() const { return window_.get(); }

private:
    UiDispatcher();
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void deliver(const void* owner, Runable* task);
    void tick(UINT_PTR timerId);

    std::mutex lock_;
    std::map<const void*, int> owners_;  // pending count, -1 once cancelled; guarded by lock_
    std::map<UINT_PTR, Runable*> timers_;  // window thread only
    UINT_PTR lastTimerId_ = 0;
    UniqueWindow window_;
};

}  // namespace utility
