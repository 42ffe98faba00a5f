#pragma once
// Ends a running downloader the way a person does: a close request (WM_CLOSE, as the taskbar or
// another program sends it), then "Yes" on the exit confirmation it opens, chosen with the keyboard.

#include <windows.h>

namespace apptest {

// False when no confirmation of the window's process appeared.
bool closeAndConfirm(HWND mainWindow);

}  // namespace apptest
