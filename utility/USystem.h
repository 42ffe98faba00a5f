#pragma once
// Window raising, the Windows version and opening links.

#include <windows.h>

#include <string>

namespace utility::usystem {

// Restores the window if minimised and brings it in front of the others without leaving it topmost.
void showWndOnTop(HWND window);

// The major and minor version Windows reports to a program without a compatibility manifest.
struct WindowsVersion {
    DWORD major = 0;
    DWORD minor = 0;
};
WindowsVersion windowsVersion();

bool isVistaOrLater();

// The system folder ("C:\\Windows\\System32\\"), with its closing backslash; empty if Windows does not say.
std::wstring systemFolder();

// Opens the address in the user's browser.
void openUrl(const std::wstring& url);
// Shows the folder in the system's file browser; false, logged, when the shell cannot.
bool openFolder(const std::wstring& folder);

}  // namespace utility::usystem
