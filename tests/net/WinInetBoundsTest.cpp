// The WinINet back-end never hangs: through the client wrapper against real local servers, a stalled
// body, a silent server, a TLS handshake nobody answers, a server that never accepts and a redirect
// loop each fail within the transfer limits, a stop from another thread ends a blocked step at once,
// and a closed connection refuses every later step.

#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "net/HttpClientWrapper.h"
#include "net/TransferLimits.h"
#include "net/WinInetHttpConn.h"
#include "tests/net/FileSinkLog.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScopedTransferLimits.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestServers.h"
#include "tests/support/TextCount.h"

using namespace testsupport;
using utility::CHttpClientWrapper;

namespace {

// Far below any limit the tests shorten: a step that gave up on its own ends well within it.
constexpr DWORD kHangMs = 10000;

class CountingSink : public CHttpClientWrapper::IHttpDownloadSink {
public:
    bool onDownloadProgress(const char*, int, int64_t received, int64_t) override {
        progress.push_back(received);
        return true;
    }
    bool onDownloadFinished() override { return true; }

    std::vector<int64_t> progress;
};

// The plain server's port under https://: the client's TLS greeting is never answered.
std::wstring silentTlsUrl() { return TestServers::httpsUrl(TestServers::get().http, L"/silent"); }

struct BoundCase {
    const char* name;
    std::wstring url;
    int step;
    DWORD error;
};

std::string caseName(const ::testing::TestParamInfo<BoundCase>& info) { return info.param.name; }
void PrintTo(const BoundCase& value, std::ostream* out) { *out << value.name; }

class WinInetGivesUp : public ::testing::TestWithParam<BoundCase> {
protected:
    void SetUp() override {
        processLogPath();
        ASSERT_NE(TestServers::get().http, 0) << "test servers are not running";
    }
};

TEST_P(WinInetGivesUp, WithinTheLimits) {
    const ScopedTransferLimits limits(ScopedTransferLimits::withTimes(2000, 2000));
    ScratchDir dir;
    CHttpClientWrapper client;
    CountingSink sink;
    const std::string failure = fileSinkFailureLine(GetParam().step, GetParam().error);
    const size_t failuresBefore = countOf(flushedProcessLog(), failure);

    const DWORD begin = ::GetTickCount();
    EXPECT_FALSE(client.download2file_ex(&sink, dir / L"f", GetParam().url, 1, 0, false));
    EXPECT_LT(::GetTickCount() - begin, kHangMs);
    EXPECT_EQ(countOf(flushedProcessLog(), failure), failuresBefore + 1) << failure;
}

std::wstring plainUrl(const std::wstring& path) { return TestServers::url(TestServers::get().http, path); }

INSTANTIATE_TEST_SUITE_P(
    Table, WinInetGivesUp,
    ::testing::Values(BoundCase{"StalledBody", plainUrl(L"/stall/100000?after=10"), 19, ERROR_INTERNET_TIMEOUT},
                      BoundCase{"SilentServer", plainUrl(L"/silent/bounds"), 16, ERROR_INTERNET_TIMEOUT},
                      BoundCase{"UnansweredTlsHandshake", silentTlsUrl(), 16, ERROR_INTERNET_TIMEOUT},
                      BoundCase{"RedirectLoop", plainUrl(L"/loop"), 16, ERROR_HTTP_REDIRECT_FAILED},
                      BoundCase{"OneRedirectTooMany", plainUrl(L"/chain/11"), 16, ERROR_HTTP_REDIRECT_FAILED}),
    caseName);

TEST(WinInetRedirects, FollowsUpToTheLimitAndNoFurther) {
    processLogPath();
    CHttpClientWrapper client;
    std::string body;
    ASSERT_TRUE(client.download2mem(body, plainUrl(L"/chain/10")));
    EXPECT_EQ(body, "end of chain");

    // The loop's first request and ten redirects; nothing keeps following in the background.
    const size_t before = countOf(loggedRequestsFor("GET /loop "), "GET /loop ");
    EXPECT_FALSE(client.download2mem(body, plainUrl(L"/loop")));
    ::Sleep(500);
    EXPECT_EQ(countOf(loggedRequestsFor("GET /loop "), "GET /loop "), before + 11);
}

// Each attempt takes what came before the silence; the next one asks for the rest.
TEST(WinInetStalls, AStalledAttemptEndsAndTheNextResumes) {
    const ScopedTransferLimits limits(ScopedTransferLimits::withTimes(2000, 2000));
    ScratchDir dir;
    CHttpClientWrapper client;
    CountingSink sink;
    const DWORD begin = ::GetTickCount();
    EXPECT_FALSE(client.download2file_ex(&sink, dir / L"f", plainUrl(L"/stall/100000?after=3000&resume"), 2, 50,
                                         false));
    EXPECT_LT(::GetTickCount() - begin, 2 * kHangMs);
    EXPECT_EQ(readFile(dir / L"f"), servedBytes(6000));
    // Each attempt's bytes were handed on before its silence ran out.
    EXPECT_NE(std::find(sink.progress.begin(), sink.progress.end(), 3000), sink.progress.end());
    ASSERT_FALSE(sink.progress.empty());
    EXPECT_EQ(sink.progress.back(), 6000);
    const std::string requests = loggedRequestsFor("/stall/100000?after=3000&resume ");
    EXPECT_NE(requests.find("\r\nRange: bytes=3000-\r\n"), std::string::npos) << requests;
}

// A download on a thread of its own, which the test stops. Should it never end, the thread and what it
// uses are left behind rather than freed under it.
class BackgroundDownload {
public:
    BackgroundDownload(const std::wstring& url, const std::wstring& file) : run_(std::make_shared<Run>()) {
        std::shared_ptr<Run> run = run_;
        thread_ = std::thread([run, url, file] {
            run->result = run->client.download2file_ex(&run->sink, file, url, 3, 3000, false);
            run->done = true;
        });
    }
    ~BackgroundDownload() {
        if (run_->done) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }
    BackgroundDownload(const BackgroundDownload&) = delete;
    BackgroundDownload& operator=(const BackgroundDownload&) = delete;

    // Stops it; false when it has not ended within the time.
    bool stopWithin(DWORD milliseconds) {
        run_->client.stop();
        return waitUntil([&] { return run_->done.load(); }, std::chrono::milliseconds(milliseconds));
    }
    bool succeeded() const { return run_->result; }

private:
    struct Run {
        CHttpClientWrapper client;
        CountingSink sink;
        std::atomic<bool> done{false};
        std::atomic<bool> result{false};
    };
    std::shared_ptr<Run> run_;
    std::thread thread_;
};

struct StopCase {
    const char* name;
    std::wstring url;
    // The server holds the transfer in the step to break: the file began, the request came.
    enum class Sign { FileBegun, RequestLogged, None } sign;
};

std::string stopCaseName(const ::testing::TestParamInfo<StopCase>& info) { return info.param.name; }
void PrintTo(const StopCase& value, std::ostream* out) { *out << value.name; }

class WinInetStop : public ::testing::TestWithParam<StopCase> {};

// With the usual limits (tens of seconds): only the stop can end the transfer this soon.
TEST_P(WinInetStop, EndsABlockedStepAtOnce) {
    processLogPath();
    ScratchDir dir;
    const std::wstring file = dir / L"f";
    BackgroundDownload download(GetParam().url, file);
    switch (GetParam().sign) {
    case StopCase::Sign::FileBegun:
        ASSERT_TRUE(waitUntil([&] { return fileSize(file) > 0; }));
        break;
    case StopCase::Sign::RequestLogged:
        ASSERT_TRUE(waitUntil([] { return !loggedRequestsFor("/silent/stop ").empty(); }));
        break;
    case StopCase::Sign::None:
        break;
    }
    ::Sleep(300);
    ASSERT_TRUE(download.stopWithin(5000));
    EXPECT_FALSE(download.succeeded());
    EXPECT_TRUE(logContains("):m_bPause is true\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, WinInetStop,
    ::testing::Values(StopCase{"StalledBody", plainUrl(L"/stall/100000?after=10&stop"), StopCase::Sign::FileBegun},
                      StopCase{"SilentServer", plainUrl(L"/silent/stop"), StopCase::Sign::RequestLogged},
                      StopCase{"UnansweredTlsHandshake", silentTlsUrl(), StopCase::Sign::None}),
    stopCaseName);

struct SocketOwner {
    SOCKET socket = INVALID_SOCKET;
    ~SocketOwner() {
        if (socket != INVALID_SOCKET) ::closesocket(socket);
    }
};

// Whether a non-blocking connect to the port completes within the time.
bool connects(SocketOwner& client, unsigned short port, DWORD milliseconds) {
    client.socket = ::socket(AF_INET, SOCK_STREAM, 0);
    u_long nonBlocking = 1;
    ::ioctlsocket(client.socket, FIONBIO, &nonBlocking);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    ::connect(client.socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(client.socket, &writable);
    timeval wait{static_cast<long>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000};
    return ::select(0, nullptr, &writable, nullptr, &wait) == 1;
}

// A listening socket that never accepts, its queue filled by connections of the test's own: a
// further connection attempt is never answered, as with a server that drops it.
TEST(WinInetConnect, GivesUpOnAServerThatNeverAccepts) {
    processLogPath();
    SocketOwner listener{::socket(AF_INET, SOCK_STREAM, 0)};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    ASSERT_EQ(::bind(listener.socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener.socket, 0), 0);
    int length = sizeof address;
    ASSERT_EQ(::getsockname(listener.socket, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const unsigned short port = ::ntohs(address.sin_port);
    std::vector<std::unique_ptr<SocketOwner>> queued;
    do {
        ASSERT_LT(queued.size(), 64u) << "the listening queue never filled";
        queued.push_back(std::make_unique<SocketOwner>());
    } while (connects(*queued.back(), port, 300));

    const ScopedTransferLimits limits(ScopedTransferLimits::withTimes(2000, 2000));
    ScratchDir dir;
    CHttpClientWrapper client;
    CountingSink sink;
    const std::string failure = fileSinkFailureLine(16, ERROR_INTERNET_TIMEOUT);
    const size_t failuresBefore = countOf(flushedProcessLog(), failure);
    const DWORD begin = ::GetTickCount();
    EXPECT_FALSE(client.download2file_ex(&sink, dir / L"f", TestServers::url(port, L"/bytes/10"), 1, 0, false));
    EXPECT_LT(::GetTickCount() - begin, kHangMs);
    EXPECT_EQ(countOf(flushedProcessLog(), failure), failuresBefore + 1) << failure;
}

// The wrapper may close a connection before it opens; a closed one refuses every step at once.
TEST(WinInetConnection, RefusesEveryStepOnceClosed) {
    const unsigned short port = static_cast<unsigned short>(TestServers::get().http);
    auto* before = new utility::CWinInetHttpConn();
    before->close();
    EXPECT_FALSE(before->open());
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_FALSE(before->connect(L"127.0.0.1", port));
    before->release();

    auto* between = new utility::CWinInetHttpConn();
    ASSERT_TRUE(between->open());
    ASSERT_TRUE(between->connect(L"127.0.0.1", port));
    between->close();
    EXPECT_FALSE(between->sendGet(L"127.0.0.1", L"/bytes/10", L""));
    char buffer[16];
    EXPECT_LT(between->read(buffer, sizeof buffer), 0);
    between->release();
}

}  // namespace
