#pragma once
// Starting, waiting for and ending processes. Every function logs its arguments and failures and
// reports a plain result; none throws. Any thread.

#include <windows.h>

#include <string>

namespace utility::process {

// ShellExecute with "runas" (Vista and later) or "open", hidden; not waited for.
bool shell(const std::wstring& file, const std::wstring& params);

// Starts "file" (quoted) plus params, hidden, in a new console. The caller owns the handle; null on failure.
HANDLE create(const std::wstring& file, const std::wstring& params);

// How a process that was waited for ended.
struct RunResult {
    enum class End { exited, timedOut, failed };  // failed: it could not start, or not be waited for
    End end = End::failed;
    DWORD exitCode = 0;  // when it exited
    bool succeeded() const { return end == End::exited && exitCode == 0; }
};

// Starts the process as create does and waits up to timeoutMs for its end. A process that outlives the
// time-out is left running. Logs under execute's name, so the log reads the same for both.
RunResult run(const std::wstring& file, const std::wstring& params, DWORD timeoutMs);

// Runs to the end: true only when the process ended within timeoutMs with exit code 0. A process that
// outlives the time-out is left running.
bool execute(const std::wstring& file, const std::wstring& params, DWORD timeoutMs);

// Starts the program with the desktop shell user's token (not elevated). 0 on success, -1 on failure.
// Without params the command line is the path alone, unquoted.
int createUnelevated(const std::wstring& exePath, const std::wstring* params);

// Duplicates the primary token of the desktop shell process (the Windows folder's explorer.exe) into
// token. 0 on success, else a system error code (2 when no shell process runs).
DWORD getShellUserToken(HANDLE& token);

// Full image path of a process, or empty.
std::wstring getProcessImagePath(DWORD processId);

// Ends every process of that image name with its children ("taskkill /F /IM name /T", 2 s at most);
// where taskkill refuses "/T", at least the named processes.
void killByImageName(const std::wstring& imageName);

}  // namespace utility::process
