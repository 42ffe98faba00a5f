#pragma once
// Usage events as Measurement Protocol (v1) event hits. Queued events go out one at a time from a
// background worker; immediate ones on the caller's thread. Failures cost the event and nothing else.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <future>
#include <mutex>
#include <string>

#include "config/ServiceAddresses.h"

class AnalyticsReporter {
public:
    static constexpr size_t kQueueLimit = 100;

    // endpointBase: scheme://host[:port], optionally followed by a path prefix; "/collect?..." is
    // appended to it.
    explicit AnalyticsReporter(std::wstring endpointBase = config::kAnalyticsBase);
    // Stops the worker and waits for the send it is in; events still queued are dropped.
    ~AnalyticsReporter();
    AnalyticsReporter(const AnalyticsReporter&) = delete;
    AnalyticsReporter& operator=(const AnalyticsReporter&) = delete;

    void setTrackingId(const std::wstring& trackingId);
    // Once disabled, reports are ignored (shutdown must not wait on analytics).
    void setDisabled(bool disabled) { disabled_ = disabled; }
    bool disabled() const { return disabled_; }

    // Queues the event (category "app2"); dropped when kQueueLimit events are already waiting.
    void reportEvent(const std::wstring& action, const std::wstring& label);
    // Sends the event (category "app") at once, on a thread of its own; returns without waiting.
    void reportEventNow(const std::wstring& action, const std::wstring& label);
    // Waits up to timeoutMs for the immediate events still being sent, then stops them. True when
    // every one was sent in time.
    bool finishImmediate(unsigned long timeoutMs);

private:
    struct EventTask {
        std::wstring action;
        std::wstring label;
    };

    void _startWorkerIfIdle();
    void _threadSendQueued();
    void _send(const wchar_t* category, const EventTask& task);
    std::wstring _eventUrl(const wchar_t* category, const EventTask& task);
    std::wstring _clientId();

    const std::wstring endpointBase_;

    // The worker and reportEventNow may both compute the client id, and setTrackingId may come from
    // another thread: both strings are only touched under this lock.
    std::mutex identityLock_;
    std::wstring clientId_;
    std::wstring trackingId_;

    std::mutex queueLock_;
    std::condition_variable wakeUp_;
    std::deque<EventTask> queue_;
    std::future<void> worker_;
    bool stop_ = false;

    std::atomic<bool> disabled_{false};
};
