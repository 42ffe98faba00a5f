#include "tests/support/MessagePump.h"

#include <windows.h>

namespace testsupport {

namespace {

void dispatchWaitingMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

}  // namespace

bool pumpMessagesUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        dispatchWaitingMessages();
    }
    return true;
}

void pumpMessagesFor(std::chrono::milliseconds duration) {
    pumpMessagesUntil([] { return false; }, duration);
}

}  // namespace testsupport
