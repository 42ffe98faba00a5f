#pragma once
// One run of a program under test: the executable copied into a fresh folder under the file name
// that configures it, started with its own command line and environment, its windows found by class
// and process, its end and exit code awaited. Whatever still runs when the object goes is killed, so
// a failing case leaks no process.

#include <windows.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ScratchDir.h"
#include "utility/ScopedHandle.h"

namespace e2e {

class AppProcess {
public:
    // Copies source into a fresh folder as fileName ("pelora4_en_0_100_x.exe"); nothing runs yet.
    AppProcess(const std::wstring& source, const std::wstring& fileName);
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // The folder holding the copy, with a trailing backslash: files placed here before start() sit
    // beside the program.
    const std::wstring& folder() const { return dir_.path(); }
    const std::wstring& exePath() const { return exePath_; }

    // Starts the copy; the command line is the quoted path, then a blank and arguments when not empty.
    // environment adds to (or replaces) the test program's own variables.
    bool start(const std::wstring& arguments = std::wstring(),
               const std::map<std::wstring, std::wstring>& environment = {});

    DWORD pid() const { return pid_; }
    bool running() const;
    // Waits for the end; true when it ended in time.
    bool waitForExit(std::chrono::milliseconds timeout);
    // The exit code once the process has ended.
    std::optional<DWORD> exitCode() const;
    void kill();

    // The process's visible top-level windows of a class (owned boxes included).
    std::vector<HWND> windows(const std::wstring& className) const;
    // Waits for the first visible top-level window of the class; null when none came in time.
    HWND waitForWindow(const std::wstring& className, std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
    // Waits until the process has no visible window of the class any more.
    bool waitForNoWindow(const std::wstring& className, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    testsupport::ScratchDir dir_;
    std::wstring exePath_;
    utility::UniqueHandle process_;
    DWORD pid_ = 0;
};

// The visible top-level windows of a class that belong to the process.
std::vector<HWND> visibleWindowsOf(DWORD pid, const std::wstring& className);

// The window's title as GetWindowTextW reads it.
std::wstring windowTitle(HWND window);

}  // namespace e2e
