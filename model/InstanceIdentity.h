#pragma once
// How downloaders find each other: the name of the single-instance mutex, which is also the class
// name of the running one's mailbox window, and the one message a later start sends it.

#include <windows.h>

namespace model {

constexpr wchar_t kInstanceId[] = L"{0A3E7733-8B36-47AC-A87E-A23A7DD0404C}";
// Asks the running downloader to show and raise its main window; wParam and lParam are 0.
constexpr UINT kMsgShowMainFrame = 11123;

}  // namespace model
