#include "utility/AsyncRun.h"

#include <future>
#include <iterator>
#include <list>

#include "utility/UiDispatcher.h"

namespace utility {

namespace {

// Touched only on the window thread; a list keeps each entry's place valid while others come and go.
std::list<std::future<void>>& pendingFutures() {
    static std::list<std::future<void>> futures;
    return futures;
}

}  // namespace

void runAsyncThenCollect(std::function<void()> routine) {
    auto& futures = pendingFutures();
    futures.emplace_back();
    const auto entry = std::prev(futures.end());
    // The collecting task cannot run before this assignment: both happen on the window thread.
    *entry = std::async(std::launch::async, [routine = std::move(routine), entry] {
        routine();
        UiDispatcher::instance()->post([entry] {
            entry->get();
            pendingFutures().erase(entry);
        });
    });
}

size_t pendingAsyncRuns() { return pendingFutures().size(); }

}  // namespace utility
