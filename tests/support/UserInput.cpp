#include "tests/support/UserInput.h"

#include <chrono>
#include <vector>

#include "tests/support/MessagePump.h"

namespace testsupport {

namespace {

constexpr std::chrono::milliseconds kStepPause{25};
constexpr std::chrono::milliseconds kSettle{120};

void send(std::vector<INPUT> inputs) {
    for (INPUT& input : inputs) {
        ::SendInput(1, &input, sizeof(INPUT));
        pumpMessagesFor(kStepPause);
    }
    pumpMessagesFor(kSettle);
}

INPUT mouseInput(DWORD flags, POINT screen = {}) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        input.mi.dx = static_cast<LONG>((screen.x * 65535.0) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
        input.mi.dy = static_cast<LONG>((screen.y * 65535.0) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
    }
    return input;
}

INPUT keyInput(WORD key, bool up, bool unicode = false) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    if (unicode) {
        input.ki.wScan = key;
        input.ki.dwFlags = KEYEVENTF_UNICODE;
    } else {
        input.ki.wVk = key;
    }
    if (up) input.ki.dwFlags |= KEYEVENTF_KEYUP;
    return input;
}

}  // namespace

void moveMouseTo(POINT screen) { send({mouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, screen)}); }

void clickAt(POINT screen) {
    moveMouseTo(screen);
    send({mouseInput(MOUSEEVENTF_LEFTDOWN), mouseInput(MOUSEEVENTF_LEFTUP)});
}

void pressLeftButton() { send({mouseInput(MOUSEEVENTF_LEFTDOWN)}); }

void releaseLeftButton() { send({mouseInput(MOUSEEVENTF_LEFTUP)}); }

void pressKey(WORD virtualKey, WORD modifier) {
    std::vector<INPUT> inputs;
    if (modifier) inputs.push_back(keyInput(modifier, false));
    inputs.push_back(keyInput(virtualKey, false));
    inputs.push_back(keyInput(virtualKey, true));
    if (modifier) inputs.push_back(keyInput(modifier, true));
    send(inputs);
}

void typeText(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        inputs.push_back(keyInput(c, false, true));
        inputs.push_back(keyInput(c, true, true));
    }
    send(inputs);
}

}  // namespace testsupport
