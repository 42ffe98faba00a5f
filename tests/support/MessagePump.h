#pragma once

#include <chrono>
#include <functional>

namespace testsupport {

// Dispatches the calling thread's window messages until the condition holds or the time is up;
// returns the condition's last answer. Tests that drive the UiDispatcher call it on its thread.
bool pumpMessagesUntil(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Dispatches messages for the given time.
void pumpMessagesFor(std::chrono::milliseconds duration);

}  // namespace testsupport
