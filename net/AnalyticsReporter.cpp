#include "net/AnalyticsReporter.h"

#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <utility>

#include "common/WideFormat.h"
#include "net/HttpClientWrapper.h"
#include "net/MachineId.h"
#include "utility/UString.h"

namespace {

constexpr int kUrlUnits = 1024;
constexpr wchar_t kQueuedCategory[] = L"app2";
constexpr wchar_t kImmediateCategory[] = L"app";
constexpr wchar_t kEventQuery[] = L"/collect?v=1&t=event&tid=%s&cid=%s&ec=%s&ea=%s&el=%s&ev=100&z=%d";

std::wstring formatted(const wchar_t* format, ...) {
    wchar_t text[kUrlUnits];
    va_list args;
    va_start(args, format);
    common::formatInto(text, kUrlUnits, format, args);
    va_end(args);
    return text;
}

bool isFinished(const std::future<void>& worker) {
    return worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

}  // namespace

AnalyticsReporter::AnalyticsReporter(std::wstring endpointBase) : endpointBase_(std::move(endpointBase)) {}

AnalyticsReporter::~AnalyticsReporter() {
    std::future<void> worker;
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        stop_ = true;
        worker = std::move(worker_);
    }
    wakeUp_.notify_all();
    if (worker.valid()) worker.wait();
}

void AnalyticsReporter::setTrackingId(const std::wstring& trackingId) {
    std::lock_guard<std::mutex> lock(identityLock_);
    trackingId_ = trackingId;
}

void AnalyticsReporter::reportEvent(const std::wstring& action, const std::wstring& label) {
    if (disabled_) return;
    try {
        {
            std::lock_guard<std::mutex> lock(queueLock_);
            if (queue_.size() < kQueueLimit) queue_.push_back({action, label});
            _startWorkerIfIdle();
        }
        wakeUp_.notify_all();
    } catch (...) {
        // No memory or no thread: the event is lost, the caller goes on.
    }
}

void AnalyticsReporter::reportEventNow(const std::wstring& action, const std::wstring& label) {
    if (disabled_) return;
    try {
        _send(kImmediateCategory, {action, label});
    } catch (...) {
        // Lost like any hit that fails; the caller goes on.
    }
}

bool AnalyticsReporter::finishImmediate(unsigned long /*timeoutMs*/) { return true; }

// The caller holds the queue lock, so that two reporting threads never start two workers and none
// starts once the destructor has taken the worker away.
void AnalyticsReporter::_startWorkerIfIdle() {
    if (stop_ || (worker_.valid() && !isFinished(worker_))) return;
    worker_ = std::async(std::launch::async, &AnalyticsReporter::_threadSendQueued, this);
}

void AnalyticsReporter::_threadSendQueued() {
    for (;;) {
        EventTask task;
        {
            std::unique_lock<std::mutex> lock(queueLock_);
            wakeUp_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) return;
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        try {
            _send(kQueuedCategory, task);
        } catch (...) {
            // This event is lost; the worker stays for the next ones.
        }
    }
}

void AnalyticsReporter::_send(const wchar_t* category, const EventTask& task) {
    utility::CHttpClientWrapper client;
    std::string answer;
    client.download2mem(answer, _eventUrl(category, task));
}

std::wstring AnalyticsReporter::_eventUrl(const wchar_t* category, const EventTask& task) {
    const std::wstring clientId = _clientId();
    std::wstring trackingId;
    {
        std::lock_guard<std::mutex> lock(identityLock_);
        trackingId = trackingId_;
    }
    return endpointBase_ + formatted(kEventQuery, trackingId.c_str(), clientId.c_str(), category,
                                     task.action.c_str(), task.label.c_str(), std::rand());
}

// Computed on first use, not at construction: the adapter query is slow and the reporter is made at
// start-up. An empty result is tried again at the next event.
std::wstring AnalyticsReporter::_clientId() {
    std::lock_guard<std::mutex> lock(identityLock_);
    if (clientId_.empty()) clientId_ = utility::ustring::ansiToWide(utility::machine::machineId());
    return clientId_;
}
