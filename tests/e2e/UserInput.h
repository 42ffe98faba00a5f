#pragma once
// Real input as a person gives it, through SendInput: the mouse moved to a screen point and clicked,
// keys pressed, text typed. The program under test runs in another process, so its modal loops and
// message boxes receive this input like any other; each call pauses briefly so it is handled in order.

#include <windows.h>

#include <string>

namespace e2e {

void moveMouseTo(POINT screen);
// Moves there, presses and releases the left button.
void clickAt(POINT screen);
// A key, optionally with a held modifier (VK_SHIFT, VK_CONTROL).
void pressKey(WORD virtualKey, WORD modifier = 0);
// Unicode characters, the way input methods deliver them.
void typeText(const std::wstring& text);

}  // namespace e2e
