#pragma once
// The test program's own diagnostic log: created once on first use in a scratch file, with common::log
// installed as the writer hook, so tests can check what the code under test logged.

#include <string>

namespace testsupport {

// Installs the process log if needed and returns its file.
const std::wstring& processLogPath();

// The log file once every line logged before this call has been written.
std::string flushedProcessLog();

// Waits until the log file holds the UTF-8 text (the writer flushes at least every 500 ms).
bool logContains(const std::string& utf8Text, int timeoutMs = 3000);

}  // namespace testsupport
