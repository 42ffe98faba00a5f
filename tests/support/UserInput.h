#pragma once
// Real input as a person gives it, through SendInput: the mouse moved to a screen point and clicked,
// keys pressed, text typed. Each call then pumps the calling thread's messages briefly, so windows of
// this thread handle the input before the next step, and windows of another process get time to.

#include <windows.h>

#include <string>

namespace testsupport {

void moveMouseTo(POINT screen);
// Moves there, presses and releases the left button.
void clickAt(POINT screen);
// The left button alone, for drags.
void pressLeftButton();
void releaseLeftButton();
// A key, optionally with a held modifier (VK_SHIFT, VK_CONTROL).
void pressKey(WORD virtualKey, WORD modifier = 0);
// Unicode characters, the way input methods deliver them.
void typeText(const std::wstring& text);

}  // namespace testsupport
