#pragma once
// Fire-and-forget work on a std::async thread whose future is collected on the window thread once
// the work has returned, so the window thread never blocks in a future's destructor.

#include <functional>

namespace utility {

// Window thread. Needs the UiDispatcher. Futures still pending at process exit are waited for then.
void runAsyncThenCollect(std::function<void()> routine);

// How many launched routines have not been collected yet. Window thread.
size_t pendingAsyncRuns();

}  // namespace utility
