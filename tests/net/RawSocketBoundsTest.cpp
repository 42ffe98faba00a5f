// The raw-socket back-end through the client wrapper, against servers that stay silent: every wait ends
// within the transfer limits, a stop from another thread ends any step at once and is never lost, and
// nothing a URL or a redirect carries can add a line to the request.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <optional>
#include <thread>

#include "net/HttpClientWrapper.h"
#include "tests/net/FileSinkLog.h"
#include "tests/support/ScopedTransferLimits.h"
#include "tests/support/TextCount.h"
#include "tests/net/UnansweredListener.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestServers.h"
#include "utility/UString.h"

using namespace testsupport;
using utility::CHttpClientWrapper;

namespace {

// The bounds the tests shorten the limits to, and what only a hang exceeds.
constexpr DWORD kShortBoundMs = 1000;
constexpr DWORD kHangMs = 15000;
// A stop ends the transfer at once by design; this only tells a hang from it.
constexpr DWORD kStopHangMs = 5000;

class CountingSink : public CHttpClientWrapper::IHttpDownloadSink {
public:
    bool onDownloadProgress(const char*, int, int64_t, int64_t) override {
        ++calls;
        return true;
    }
    bool onDownloadFinished() override {
        ++finished;
        return true;
    }

    std::atomic<int> calls{0};
    std::atomic<int> finished{0};
};

class RawBounds : public ::testing::Test {
protected:
    void SetUp() override {
        processLogPath();
        ASSERT_NE(servers.http, 0) << "test servers are not running";
    }

    std::wstring url(const std::wstring& path) const { return TestServers::url(servers.http, path); }

    bool download(const std::wstring& address, int attempts = 1, int waitMs = 50) {
        return client.download2file_ex(&sink, file, address, attempts, waitMs, true);
    }

    // Downloads and tells whether the wrapper logged the failed step once more than before.
    bool failsAtStep(const std::wstring& address, int step, int error) {
        const std::string line = fileSinkFailureLine(step, error);
        const size_t before = countOf(flushedProcessLog(), line);
        if (download(address)) return false;
        return waitUntil([&] { return countOf(flushedProcessLog(), line) > before; });
    }

    const TestServers& servers = TestServers::get();
    ScratchDir dir;
    std::wstring file = dir / L"raw.bin";
    CHttpClientWrapper client;
    CountingSink sink;
};

struct SilenceCase {
    const char* name;
    std::wstring path;
    int failedStep;
};

class RawSilence : public RawBounds, public ::testing::WithParamInterface<SilenceCase> {};

TEST_P(RawSilence, FailsTheAttemptWithinTheStallBound) {
    const ScopedTransferLimits limits(ScopedTransferLimits::withTimes(60000, kShortBoundMs));
    const DWORD begin = ::GetTickCount();
    EXPECT_TRUE(failsAtStep(url(GetParam().path), GetParam().failedStep, WSAETIMEDOUT));
    EXPECT_LT(::GetTickCount() - begin, kHangMs);
    EXPECT_EQ(sink.finished, 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, RawSilence,
                         ::testing::Values(SilenceCase{"beforeTheHeader", L"/silent/raw-bounds", 17},
                                           SilenceCase{"beforeTheFirstByte", L"/stall/100000?after=0", 19},
                                           SilenceCase{"inTheBody", L"/stall/100000?after=5000", 19}),
                         [](const ::testing::TestParamInfo<SilenceCase>& info) { return std::string(info.param.name); });

TEST_F(RawBounds, ResumesAfterAStallToAByteIdenticalFile) {
    const ScopedTransferLimits limits(ScopedTransferLimits::withTimes(60000, kShortBoundMs));
    // The first answer stops after 60000 bytes; the resumed one holds the remaining 40000 and then stalls too.
    const DWORD begin = ::GetTickCount();
    ASSERT_TRUE(download(url(L"/stall/100000?after=60000&resume-after-stall"), 2));
    EXPECT_LT(::GetTickCount() - begin, kHangMs);
    EXPECT_EQ(readFile(file), servedBytes(100000));
    const std::string requests = loggedRequestsFor("/stall/100000?after=60000&resume-after-stall ");
    EXPECT_EQ(countOf(requests, "GET "), 2u) << requests;
    EXPECT_NE(requests.find("\r\nRange: bytes=60000-\r\n"), std::string::npos) << requests;
}

TEST_F(RawBounds, FailsToConnectToAServerThatNeverAcceptsWithinTheConnectBound) {
    const UnansweredListener unanswered;
    ASSERT_NE(unanswered.port(), 0) << "could not make a server that leaves connection requests unanswered";
    const ScopedTransferLimits limits(ScopedTransferLimits::withTimes(kShortBoundMs, 60000));
    const DWORD begin = ::GetTickCount();
    EXPECT_TRUE(failsAtStep(TestServers::url(unanswered.port(), L"/bytes/10"), 12, WSAETIMEDOUT));
    EXPECT_LT(::GetTickCount() - begin, kHangMs);
}

// Where the transfer waits when the stop comes; the limits are far longer than the test may take.
struct StopCase {
    const char* name;
    // On the scripted server; empty for a server that never accepts the connection.
    std::wstring path;
    // Shows that the transfer waits at that step: its request in the server's log, or body bytes in the file.
    enum class Shown { ByTime, ByRequest, ByFile } shown;
};

class RawStop : public RawBounds, public ::testing::WithParamInterface<StopCase> {
protected:
    bool reachedTheStep() {
        switch (GetParam().shown) {
            case StopCase::Shown::ByTime:
                ::Sleep(500);
                return true;
            case StopCase::Shown::ByRequest:
                return waitUntil([&] { return !loggedRequestsFor(utility::ustring::wideToUtf8(GetParam().path)).empty(); });
            case StopCase::Shown::ByFile:
                return waitUntil([&] { return fileSize(file) > 0; });
        }
        return false;
    }
};

TEST_P(RawStop, FromAnotherThreadEndsTheTransferAtOnceWithoutSuccess) {
    const ScopedTransferLimits limits(ScopedTransferLimits::withTimes(60000, 60000));
    std::optional<UnansweredListener> unanswered;
    std::wstring address = url(GetParam().path);
    if (GetParam().path.empty()) {
        ASSERT_NE(unanswered.emplace().port(), 0) << "could not make a server that leaves connection requests unanswered";
        address = TestServers::url(unanswered->port(), L"/bytes/10");
    }
    std::atomic<bool> result{true};
    std::thread worker([&] { result = download(address, 3, 3000); });
    EXPECT_TRUE(reachedTheStep());
    const DWORD stoppedAt = ::GetTickCount();
    client.stop();
    worker.join();
    EXPECT_LT(::GetTickCount() - stoppedAt, kStopHangMs);
    EXPECT_FALSE(result);
    EXPECT_EQ(sink.finished, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RawStop,
    ::testing::Values(StopCase{"whileConnecting", L"", StopCase::Shown::ByTime},
                      StopCase{"whileWaitingForTheHeader", L"/silent/raw-stop", StopCase::Shown::ByRequest},
                      StopCase{"whileWaitingForTheBody", L"/stall/100000?after=5000&raw-stop", StopCase::Shown::ByFile}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

TEST_F(RawBounds, AStopBeforeTheTransferIsNotLost) {
    client.stop();
    const DWORD begin = ::GetTickCount();
    EXPECT_FALSE(download(url(L"/bytes/1000?stopped-first"), 3, 3000));
    EXPECT_LT(::GetTickCount() - begin, kStopHangMs);
    EXPECT_EQ(loggedRequestsFor("stopped-first"), "");
    EXPECT_EQ(sink.calls, 0);
}

// A control character in the URL's path or in a redirect's Location would end the request line and
// start a line of the attacker's choosing; the request is refused and nothing reaches the server.
struct ForgeryCase {
    const char* name;
    std::wstring tail;
    bool viaLocation;
};

class RawForgery : public RawBounds, public ::testing::WithParamInterface<ForgeryCase> {};

TEST_P(RawForgery, IsRefusedWithNothingSent) {
    const std::wstring tag = L"forged-" + utility::ustring::utf8ToWide(GetParam().name);
    const std::wstring target = L"/bytes/100?" + tag + GetParam().tail;
    const std::wstring path = GetParam().viaLocation ? L"/redirect/302?to=" + percentEncoded(target) : target;
    EXPECT_TRUE(failsAtStep(url(path), GetParam().viaLocation ? 17 : 16, WSAEINVAL));
    EXPECT_EQ(loggedRequestsFor("GET /bytes/100?" + utility::ustring::wideToUtf8(tag)), "");
    EXPECT_EQ(sink.calls, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, RawForgery,
    ::testing::Values(ForgeryCase{"pathCrLf", L"\r\nX-Injected: 1", false},
                      ForgeryCase{"pathLf", L"\nX-Injected: 1", false},
                      ForgeryCase{"pathCr", L"\rX-Injected: 1", false},
                      ForgeryCase{"pathNul", std::wstring(L"\0x", 2), false},
                      ForgeryCase{"pathTab", L"\tx", false},
                      ForgeryCase{"pathDel", L"\x7fx", false},
                      ForgeryCase{"locationLf", L"\nX-Injected: 1", true},
                      ForgeryCase{"locationCr", L"\rX-Injected: 1", true},
                      ForgeryCase{"locationControl", L"\x01x", true}),
    [](const ::testing::TestParamInfo<ForgeryCase>& info) { return std::string(info.param.name); });

TEST_F(RawBounds, SendsABlankInThePathAsPercent20) {
    ASSERT_TRUE(download(url(L"/bytes/300?with blank")));
    EXPECT_EQ(readFile(file), servedBytes(300));
    const std::string requests = loggedRequestsFor("with%20blank");
    EXPECT_EQ(requests.rfind("GET /bytes/300?with%20blank HTTP/1.1\r\n", 0), 0u) << requests;
}

}  // namespace
