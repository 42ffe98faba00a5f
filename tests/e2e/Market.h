#pragma once
// The local market server and the fake emulator that ctest's "market" fixture provides: where their
// logs and records are, and the switches that change the server's answers while it runs.

#include <string>

#include "tests/e2e/FileTail.h"

namespace e2e {

struct Market {
    bool running = false;
    std::wstring base;          // "http://127.0.0.1:PORT"
    std::wstring hitsLog;       // analytics request lines
    std::wstring requestsLog;   // one line per request
    std::wstring records;       // folder of the fake emulator's records, with a trailing backslash
    std::wstring recordsLinux;  // the same as the environment gives it to programs
    long long installerSize = 0;

    // Read once from PELORA_TEST_MARKET and PELORA_FAKE_RECORD_DIR.
    static const Market& get();

    // GET /control/switches?QUERY; true when the server switched.
    bool setSwitches(const std::wstring& query) const;
    // Back to full service: version service ok, every package served from its first address, no spare
    // address announced, full speed, hits answered.
    bool resetSwitches() const {
        return setSwitches(
            L"version-service=ok&fail-package=none&slow-kbps=0&url-spare=off&fail-url=none&fail-how=404&collector=ok"
            L"&digest=md5");
    }

    FileTail hits() const { return FileTail(hitsLog); }
    FileTail requests() const { return FileTail(requestsLog); }
    // A fake emulator program's record: "fakeinstaller", "qorplayer" or "qorconsole".
    FileTail record(const std::wstring& program) const { return FileTail(records + program + L"-record.txt"); }
};

}  // namespace e2e
