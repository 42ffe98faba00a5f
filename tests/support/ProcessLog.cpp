#include "tests/support/ProcessLog.h"

#include <windows.h>

#include "common/Log.h"
#include "common/LogPrint.h"
#include "common/LogWriter.h"
#include "tests/support/TestFiles.h"

namespace testsupport {

const std::wstring& processLogPath() {
    static const std::wstring path = [] {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        std::wstring file = std::wstring(temp) + L"pelora-test-log-" + std::to_wstring(::GetCurrentProcessId()) + L".log";
        ::DeleteFileW(file.c_str());
        common::createLogWriter(file);
        logWriter = &common::log;
        return file;
    }();
    return path;
}

std::string flushedProcessLog() {
    static int markers = 0;
    const std::string marker = "flush-marker-" + std::to_string(++markers);
    logPrint("testsupport::flushedProcessLog", 0, L"%S", marker.c_str());
    logContains(marker);
    return readFile(processLogPath());
}

bool logContains(const std::string& utf8Text, int timeoutMs) {
    const std::wstring& path = processLogPath();
    return waitUntil([&] { return readFile(path).find(utf8Text) != std::string::npos; },
                     std::chrono::milliseconds(timeoutMs));
}

}  // namespace testsupport
