#include "utility/TaskThread.h"

#include <process.h>

namespace utility {

namespace {

constexpr DWORD kTerminatedExitCode = 0xFFFFFFFF;
// An owner normally stops its thread itself; this bounds the wait when it forgot.
constexpr DWORD kLastResortStopMs = 2000;

}  // namespace

TaskThread::~TaskThread() {
    if (task_ != nullptr || thread_) {
        requestStop();
        stop(kLastResortStopMs);
    }
}

bool TaskThread::start(Runable* task) {
    if (thread_) return false;
    stopRequested_ = false;
    wakeEvent_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    task_ = task;
    thread_.reset(reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &TaskThread::threadMain, this, 0, nullptr)));
    if (!thread_) {
        task_ = nullptr;
        wakeEvent_.reset();
        return false;
    }
    return true;
}

unsigned __stdcall TaskThread::threadMain(void* self) {
    static_cast<TaskThread*>(self)->task_->run();
    return 0;
}

void TaskThread::wait(DWORD milliseconds) {
    // A record that never started a thread has no event; its waits still last their time.
    if (wakeEvent_) {
        ::WaitForSingleObject(wakeEvent_.get(), milliseconds);
    } else {
        ::Sleep(milliseconds);
    }
}

void TaskThread::requestStop() {
    stopRequested_ = true;
    if (wakeEvent_) ::SetEvent(wakeEvent_.get());
}

void TaskThread::stop(DWORD timeoutMs) {
    if (thread_) {
        if (::WaitForSingleObject(thread_.get(), timeoutMs) == WAIT_TIMEOUT) {
            ::TerminateThread(thread_.get(), kTerminatedExitCode);
            // Termination is asynchronous; the task must not be released under a running thread.
            ::WaitForSingleObject(thread_.get(), INFINITE);
        }
        thread_.reset();
    }
    if (task_ != nullptr) {
        task_->release();
        task_ = nullptr;
    }
    wakeEvent_.reset();
}

}  // namespace utility
