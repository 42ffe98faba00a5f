#include "utility/TaskThread.h"

#include <process.h>

#include "common/LogPrint.h"

namespace utility {

namespace {

constexpr DWORD kTerminatedExitCode = 0xFFFFFFFF;
// An owner normally stops its thread itself; this bounds the wait when it forgot.
constexpr DWORD kLastResortStopMs = 2000;
// Termination is asynchronous; a thread that has not ended by then is left behind rather than hang the owner.
constexpr DWORD kTerminateSettleMs = 1000;

}  // namespace

TaskThread::TaskThread() : stopEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

TaskThread::~TaskThread() {
    if (task_ != nullptr || thread_) {
        requestStop();
        stop(kLastResortStopMs);
    }
}

bool TaskThread::start(Runable* task) {
    if (thread_) return false;
    stopRequested_ = false;
    if (stopEvent_) ::ResetEvent(stopEvent_.get());
    task_ = task;
    thread_.reset(reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &TaskThread::threadMain, this, 0, nullptr)));
    if (!thread_) {
        task_ = nullptr;
        return false;
    }
    return true;
}

unsigned __stdcall TaskThread::threadMain(void* self) {
    static_cast<TaskThread*>(self)->task_->run();
    return 0;
}

void TaskThread::wait(DWORD milliseconds) {
    // Only a failed CreateEventW leaves the record without its event; its waits then last their time.
    if (stopEvent_) {
        ::WaitForSingleObject(stopEvent_.get(), milliseconds);
    } else {
        ::Sleep(milliseconds);
    }
}

void TaskThread::requestStop() {
    stopRequested_ = true;
    if (stopEvent_) ::SetEvent(stopEvent_.get());
}

void TaskThread::stop(DWORD timeoutMs) {
    bool ended = true;
    if (thread_) {
        if (::WaitForSingleObject(thread_.get(), timeoutMs) == WAIT_TIMEOUT) {
            // The last resort: a task that ignores its stop may hold locks it never gives back.
            PEL_LOG(L"thread did not stop in %u ms, terminating it", static_cast<unsigned>(timeoutMs));
            if (!::TerminateThread(thread_.get(), kTerminatedExitCode)) {
                PEL_LOG(L"TerminateThread failed, error = %d.", ::GetLastError());
            }
            ended = ::WaitForSingleObject(thread_.get(), kTerminateSettleMs) == WAIT_OBJECT_0;
        }
        thread_.reset();
    }
    if (task_ != nullptr) {
        // The task must not be released under a thread that may still run it: it is leaked instead.
        if (ended) {
            task_->release();
        } else {
            PEL_LOG(L"thread did not end, its task is left unreleased.");
        }
        task_ = nullptr;
    }
}

}  // namespace utility
