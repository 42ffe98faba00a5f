#include "tests/app/ExitConfirmation.h"

#include <chrono>

#include "tests/e2e/AppProcess.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UserInput.h"

namespace apptest {

bool closeAndConfirm(HWND mainWindow) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(mainWindow, &pid);
    ::PostMessageW(mainWindow, WM_CLOSE, 0, 0);
    HWND box = nullptr;
    const bool active = testsupport::waitUntil(
        [&] {
            const auto boxes = e2e::visibleWindowsOf(pid, L"DownloaderBox");
            box = boxes.empty() ? nullptr : boxes.front();
            if (box) ::SetForegroundWindow(box);
            return box && ::GetForegroundWindow() == box;
        },
        std::chrono::seconds(15));
    if (!active) return false;
    // The box's focus order: its close button, "Yes", "No".
    testsupport::pressKey(VK_TAB);
    testsupport::pressKey(VK_TAB);
    testsupport::pressKey(VK_RETURN);
    return true;
}

}  // namespace apptest
