#pragma once
// Usage events as Measurement Protocol (v1) event hits. Queued events go out one at a time from a
// background worker; immediate ones each on a thread of their own. Failures cost the event and nothing
// else, and no caller waits on the network longer than it chose to. Every value goes into the hit
// percent-encoded as UTF-8, only RFC 3986's unreserved characters kept as they are.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "config/ServiceAddresses.h"

class AnalyticsReporter {
public:
    static constexpr size_t kQueueLimit = 100;

    // endpointBase: scheme://host[:port], optionally followed by a path prefix; "/collect?..." is
    // appended to it.
    explicit AnalyticsReporter(std::wstring endpointBase = config::kAnalyticsBase);
    // Stops the worker's send and the immediate ones, then waits for their threads about a second at
    // most; events still queued are dropped. A send whose transfer does not end when stopped is left
    // to end on its own: its thread owns everything it uses.
    ~AnalyticsReporter();
    AnalyticsReporter(const AnalyticsReporter&) = delete;
    AnalyticsReporter& operator=(const AnalyticsReporter&) = delete;

    void setTrackingId(const std::wstring& trackingId);
    // Once disabled, new reports are ignored (shutdown must not wait on analytics); sends already
    // under way go on.
    void setDisabled(bool disabled) { disabled_ = disabled; }
    bool disabled() const { return disabled_; }

    // Queues the event (category "app2"); dropped when kQueueLimit events are already waiting.
    void reportEvent(const std::wstring& action, const std::wstring& label);
    // Sends the event (category "app") at once, on a thread of its own; returns without waiting.
    void reportEventNow(const std::wstring& action, const std::wstring& label);
    // Waits up to timeoutMs for the immediate events still being sent, then stops them and waits for
    // their threads as the destructor does. True when every immediate event reported since the last
    // call was answered by the collector, the last ones within the time.
    bool finishImmediate(unsigned long timeoutMs);

private:
    // Everything the send threads use; each of them holds it too.
    struct State;

    void _startWorkerIfIdle();

    const std::shared_ptr<State> state_;
    std::atomic<bool> disabled_{false};
};
