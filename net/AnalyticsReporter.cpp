#include "net/AnalyticsReporter.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "common/LogPrint.h"
#include "net/HttpClientWrapper.h"
#include "net/MachineId.h"
#include "utility/UString.h"

namespace {

constexpr wchar_t kQueuedCategory[] = L"app2";
constexpr wchar_t kImmediateCategory[] = L"app";
// How long a stopped send may take to notice; one that takes longer is left behind.
constexpr unsigned long kStoppedSendEndMs = 1000;

using Clock = std::chrono::steady_clock;
using Client = utility::CHttpClientWrapper;

struct EventTask {
    std::wstring action;
    std::wstring label;
    // Taken on the reporting thread: rand() counts per thread, so each new send thread would start
    // the same sequence again.
    int cacheBuster = 0;
};

// An immediate event on its way: the client another thread may stop, and whether the collector answered.
struct ImmediateSend {
    std::shared_ptr<Client> client;
    std::future<bool> answered;
};

bool isUnreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '_' || byte == '.' || byte == '~';
}

// A value as one query parameter: its UTF-8 bytes, each one but the unreserved characters of RFC 3986
// escaped, so that no "&", "#", "%" or "=" from an open id or a package name can end, cut or add a
// parameter. Ids, names and numbers pass unchanged.
std::wstring queryValue(const std::wstring& value) {
    static const wchar_t kHexDigits[] = L"0123456789ABCDEF";
    std::wstring encoded;
    for (const unsigned char byte : utility::ustring::wideToUtf8(value)) {
        if (isUnreserved(byte)) {
            encoded += static_cast<wchar_t>(byte);
        } else {
            encoded += L'%';
            encoded += kHexDigits[byte >> 4];
            encoded += kHexDigits[byte & 0xF];
        }
    }
    return encoded;
}

Clock::time_point deadlineIn(unsigned long ms) { return Clock::now() + std::chrono::milliseconds(ms); }

template <typename Result>
bool endedBy(const std::future<Result>& ended, Clock::time_point deadline) {
    return !ended.valid() || ended.wait_until(deadline) == std::future_status::ready;
}

// Runs the work on a thread nobody joins: the future tells when it has ended, and an owner that stops
// waiting for it simply drops the future. Throws std::system_error when no thread can be started.
template <typename Work>
auto runDetached(Work work) -> std::future<decltype(work())> {
    std::packaged_task<decltype(work())()> task(std::move(work));
    auto ended = task.get_future();
    std::thread(std::move(task)).detach();
    return ended;
}

// The sends still running at the deadline; failed is set for each one that ended unanswered.
std::vector<ImmediateSend> runningAt(std::vector<ImmediateSend> sends, Clock::time_point deadline, bool& failed) {
    std::vector<ImmediateSend> running;
    for (ImmediateSend& send : sends) {
        if (!endedBy(send.answered, deadline)) {
            running.push_back(std::move(send));
        } else if (!send.answered.get()) {
            failed = true;
        }
    }
    return running;
}

void stopAll(const std::vector<ImmediateSend>& sends) {
    for (const ImmediateSend& send : sends) send.client->stop();
}

void leaveBehind(const std::vector<ImmediateSend>& sends) {
    if (sends.empty()) return;
    PEL_LOG(L"%d analytics sends did not end when stopped, left behind", static_cast<int>(sends.size()));
}

}  // namespace

struct AnalyticsReporter::State {
    explicit State(std::wstring base) : endpointBase(std::move(base)) {}

    bool send(Client& client, const wchar_t* category, const EventTask& task);
    std::wstring eventUrl(const wchar_t* category, const EventTask& task);
    std::wstring clientId();
    void runQueue();
    std::shared_ptr<Client> nextQueued(EventTask& task);
    std::future<void> stopWorker();
    void addImmediate(ImmediateSend send);
    std::vector<ImmediateSend> takeImmediate(bool& failed);

    const std::wstring endpointBase;

    // The worker and the immediate sends may all compute the client id, and setTrackingId may come
    // from another thread: both strings are only touched under this lock.
    std::mutex identityLock;
    std::wstring knownClientId;
    std::wstring trackingId;

    std::mutex queueLock;
    std::condition_variable wakeUp;
    std::deque<EventTask> queue;
    std::future<void> worker;
    // The client of the worker's send under way, for the destructor to stop.
    std::shared_ptr<Client> queuedSend;
    bool stop = false;

    std::mutex immediateLock;
    std::vector<ImmediateSend> immediate;
    // An immediate send that ended unanswered was dropped from the list since the last finish.
    bool immediateFailed = false;
};

AnalyticsReporter::AnalyticsReporter(std::wstring endpointBase)
    : state_(std::make_shared<State>(std::move(endpointBase))) {}

AnalyticsReporter::~AnalyticsReporter() {
    std::future<void> worker = state_->stopWorker();
    bool failed = false;
    std::vector<ImmediateSend> immediate = state_->takeImmediate(failed);
    stopAll(immediate);
    const Clock::time_point deadline = deadlineIn(kStoppedSendEndMs);
    if (!endedBy(worker, deadline)) PEL_LOG(L"analytics worker did not end when stopped, left behind");
    leaveBehind(runningAt(std::move(immediate), deadline, failed));
}

void AnalyticsReporter::setTrackingId(const std::wstring& trackingId) {
    std::lock_guard<std::mutex> lock(state_->identityLock);
    state_->trackingId = trackingId;
}

void AnalyticsReporter::reportEvent(const std::wstring& action, const std::wstring& label) {
    if (disabled_) return;
    try {
        {
            std::lock_guard<std::mutex> lock(state_->queueLock);
            if (state_->queue.size() < kQueueLimit) state_->queue.push_back({action, label, std::rand()});
            _startWorkerIfIdle();
        }
        state_->wakeUp.notify_all();
    } catch (...) {
        // No memory or no thread: the event is lost, the caller goes on.
    }
}

void AnalyticsReporter::reportEventNow(const std::wstring& action, const std::wstring& label) {
    if (disabled_) return;
    try {
        auto client = std::make_shared<Client>();
        std::future<bool> answered =
            runDetached([state = state_, client, task = EventTask{action, label, std::rand()}] {
                return state->send(*client, kImmediateCategory, task);
            });
        state_->addImmediate({std::move(client), std::move(answered)});
    } catch (...) {
        // No memory or no thread: lost like any hit that fails; the caller goes on.
    }
}

bool AnalyticsReporter::finishImmediate(unsigned long timeoutMs) {
    bool failed = false;
    std::vector<ImmediateSend> sends = state_->takeImmediate(failed);
    std::vector<ImmediateSend> late = runningAt(std::move(sends), deadlineIn(timeoutMs), failed);
    stopAll(late);
    const bool allInTime = late.empty();
    leaveBehind(runningAt(std::move(late), deadlineIn(kStoppedSendEndMs), failed));
    return allInTime && !failed;
}

// The caller holds the queue lock, so that two reporting threads never start two workers and none
// starts once the destructor has stopped the worker.
void AnalyticsReporter::_startWorkerIfIdle() {
    if (state_->stop || !endedBy(state_->worker, Clock::now())) return;
    state_->worker = runDetached([state = state_] { state->runQueue(); });
}

void AnalyticsReporter::State::runQueue() {
    for (;;) {
        EventTask task;
        const std::shared_ptr<Client> client = nextQueued(task);
        if (!client) return;
        send(*client, kQueuedCategory, task);
        std::lock_guard<std::mutex> lock(queueLock);
        queuedSend.reset();
    }
}

// The next event and a client for it, registered under the lock so that the destructor either stops
// that client or is seen here first; null once stopped.
std::shared_ptr<Client> AnalyticsReporter::State::nextQueued(EventTask& task) {
    std::unique_lock<std::mutex> lock(queueLock);
    wakeUp.wait(lock, [this] { return stop || !queue.empty(); });
    if (stop) return nullptr;
    task = std::move(queue.front());
    queue.pop_front();
    queuedSend = std::make_shared<Client>();
    return queuedSend;
}

std::future<void> AnalyticsReporter::State::stopWorker() {
    std::shared_ptr<Client> sending;
    std::future<void> ended;
    {
        std::lock_guard<std::mutex> lock(queueLock);
        stop = true;
        sending = queuedSend;
        ended = std::move(worker);
    }
    wakeUp.notify_all();
    if (sending) sending->stop();
    return ended;
}

// Sends that have ended leave the list here, so that it holds only those under way.
void AnalyticsReporter::State::addImmediate(ImmediateSend send) {
    std::lock_guard<std::mutex> lock(immediateLock);
    immediate = runningAt(std::move(immediate), Clock::now(), immediateFailed);
    immediate.push_back(std::move(send));
}

std::vector<ImmediateSend> AnalyticsReporter::State::takeImmediate(bool& failed) {
    std::lock_guard<std::mutex> lock(immediateLock);
    failed = std::exchange(immediateFailed, false);
    return std::exchange(immediate, {});
}

bool AnalyticsReporter::State::send(Client& client, const wchar_t* category, const EventTask& task) {
    try {
        std::string answer;
        return client.download2mem(answer, eventUrl(category, task));
    } catch (...) {
        return false;  // this event is lost; the sender goes on
    }
}

std::wstring AnalyticsReporter::State::eventUrl(const wchar_t* category, const EventTask& task) {
    const std::wstring id = clientId();
    std::wstring tracking;
    {
        std::lock_guard<std::mutex> lock(identityLock);
        tracking = trackingId;
    }
    return endpointBase + L"/collect?v=1&t=event&tid=" + queryValue(tracking) + L"&cid=" + queryValue(id) +
           L"&ec=" + queryValue(category) + L"&ea=" + queryValue(task.action) + L"&el=" + queryValue(task.label) +
           L"&ev=100&z=" + std::to_wstring(task.cacheBuster);
}

// Computed on first use, not at construction: the adapter query is slow and the reporter is made at
// start-up. An empty result is tried again at the next event.
std::wstring AnalyticsReporter::State::clientId() {
    std::lock_guard<std::mutex> lock(identityLock);
    if (knownClientId.empty()) knownClientId = utility::ustring::ansiToWide(utility::machine::machineId());
    return knownClientId;
}
