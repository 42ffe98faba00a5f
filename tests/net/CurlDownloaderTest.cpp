// The libcurl memory downloader against the local servers (TLS certified by the test authority,
// redirects across schemes, error pages, a refused connection), within shortened transfer limits, stopped
// from another thread, through the proxy the prefix's registry names; its write callback's growth; the
// system proxy settings turned into libcurl's options.

#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>
#include <vector>

#include "net/CurlDownloader.h"
#include "net/CurlProxy.h"
#include "net/TransferLimits.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScopedTransferLimits.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestServers.h"
#include "utility/ScopedHandle.h"
#include "utility/UString.h"

using namespace testsupport;

namespace {

std::string ansi(const std::wstring& url) { return utility::ustring::wideToAnsi(url); }

// A loopback port that was just free: bound, then closed, so a connect there is refused.
int closedPort() {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(s);
    return ntohs(address.sin_port);
}

class CurlDownload : public ::testing::Test {
protected:
    void SetUp() override {
        processLogPath();
        ASSERT_NE(servers.https, 0) << "test servers are not running";
    }

    const TestServers& servers = TestServers::get();
};

// What the process log gained since an earlier length of it.
std::string logSince(size_t length) { return flushedProcessLog().substr(length); }

// A body length not asked for before in this run, so that a request line in a server's log is this
// case's own.
size_t freshLength() {
    static size_t length = 1000 + ::GetTickCount() % 100000;
    return length += 7;
}

constexpr size_t kShortAnswerLimit = 64 * 1024;

utility::TransferLimits shortLimits() {
    utility::TransferLimits limits;
    limits.connectMs = 2000;
    limits.stallMs = 2000;
    limits.maxRedirects = 3;
    limits.memoryAnswerBytes = kShortAnswerLimit;
    return limits;
}

struct LimitCase {
    const char* name;
    bool tls;
    const wchar_t* path;
    std::optional<std::string> body;  // the answer, when the transfer succeeds
    const char* logged;               // the line the outcome logs
};

constexpr char kTimedOut[] = "curl download error Timeout was reached";
constexpr char kTooManyRedirects[] = "curl download error Number of redirects hit maximum amount";

class CurlLimits : public CurlDownload, public ::testing::WithParamInterface<LimitCase> {};

// With a 2 s stall, 3 redirects and 64 KiB answers. Failures leave the output alone.
TEST_P(CurlLimits, AnswerWithinThemOrFailInTime) {
    const ScopedTransferLimits limits(shortLimits());
    const LimitCase& c = GetParam();
    const std::wstring url =
        c.tls ? TestServers::httpsUrl(servers.https, c.path) : TestServers::url(servers.http, c.path);
    const size_t logStart = flushedProcessLog().size();
    std::string body = "earlier answer";
    const DWORD begin = ::GetTickCount();
    EXPECT_EQ(PelCurlDownloader::downloadMemory(ansi(url), body), c.body.has_value());
    EXPECT_LT(::GetTickCount() - begin, 20000u) << "not ended by the 2 s stall bound";
    EXPECT_EQ(body, c.body.value_or("earlier answer"));
    EXPECT_NE(logSince(logStart).find(std::string("):") + c.logged + "\r\n"), std::string::npos) << c.logged;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CurlLimits,
    ::testing::Values(
        LimitCase{"StalledBody", false, L"/stall/1000?after=10", std::nullopt, kTimedOut},
        LimitCase{"StalledBodyOverTls", true, L"/stall/1000?after=10", std::nullopt, kTimedOut},
        LimitCase{"ServerThatNeverAnswers", false, L"/silent", std::nullopt, kTimedOut},
        LimitCase{"RedirectLoop", false, L"/loop", std::nullopt, kTooManyRedirects},
        LimitCase{"ChainOfAsManyRedirectsAsAllowed", false, L"/chain/3", "end of chain", "curl download sucess 12"},
        LimitCase{"ChainOfOneRedirectTooMany", false, L"/chain/4", std::nullopt, kTooManyRedirects},
        LimitCase{"AnnouncedAnswerAtTheLimit", false, L"/bytes/65536", servedBytes(kShortAnswerLimit),
                  "curl download sucess 65536"},
        LimitCase{"AnnouncedAnswerPastTheLimit", false, L"/bytes/65537", std::nullopt,
                  "curl download error Maximum file size exceeded"},
        LimitCase{"UnannouncedAnswerAtTheLimit", false, L"/nolength/65536", servedBytes(kShortAnswerLimit),
                  "curl download sucess 65536"},
        LimitCase{"UnannouncedAnswerPastTheLimit", false, L"/nolength/65537", std::nullopt,
                  "answer grew past 65536 bytes, refused"}),
    [](const auto& info) { return std::string(info.param.name); });

struct StopCase {
    const char* name;
    std::wstring path;
};

class CurlStop : public CurlDownload, public ::testing::WithParamInterface<StopCase> {};

// The stop comes from another thread once the server has the request; the default 30 s stall bound
// cannot be what ends the transfer.
TEST_P(CurlStop, EndsAStalledTransferSoonAfterTheStop) {
    const std::wstring path = GetParam().path;
    const std::string requestLine = "GET " + ansi(path) + " ";
    utility::TaskThread stopSource;
    DWORD stoppedAt = 0;
    std::thread stopper([&] {
        waitUntil([&] { return !loggedRequestsFor(requestLine).empty(); }, std::chrono::seconds(20));
        stoppedAt = ::GetTickCount();
        stopSource.requestStop();
    });
    std::string body = "earlier answer";
    const bool succeeded =
        PelCurlDownloader::downloadMemory(ansi(TestServers::url(servers.http, path)), body, &stopSource);
    const DWORD endedAt = ::GetTickCount();
    stopper.join();
    EXPECT_FALSE(succeeded);
    EXPECT_EQ(body, "earlier answer");
    EXPECT_LT(endedAt - stoppedAt, 10000u) << "the 2 s stop bound was missed";
    RecordProperty("stopToReturnMs", static_cast<int>(endedAt - stoppedAt));
    EXPECT_TRUE(logContains("):curl download error Operation was aborted by an application callback\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Table, CurlStop,
                         ::testing::Values(
                             StopCase{"InTheBody", L"/stall/" + std::to_wstring(freshLength()) + L"?after=10"},
                             StopCase{"BeforeTheAnswer", L"/silent/" + std::to_wstring(freshLength())}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CurlDownload, StopRequestedBeforehandSendsNoRequest) {
    utility::TaskThread stopSource;
    stopSource.requestStop();
    const std::wstring path = L"/bytes/" + std::to_wstring(freshLength());
    std::string body = "earlier answer";
    EXPECT_FALSE(PelCurlDownloader::downloadMemory(ansi(TestServers::url(servers.http, path)), body, &stopSource));
    EXPECT_EQ(body, "earlier answer");
    EXPECT_EQ(loggedRequestsFor("GET " + ansi(path) + " "), "");
}

// The proxy values of the current user's Internet Settings, put back as they were (or removed) when the
// test ends.
class InternetSettingsGuard {
public:
    InternetSettingsGuard() {
        for (const wchar_t* name : {L"ProxyEnable", L"ProxyServer", L"ProxyOverride"}) saved_.push_back(read(name));
    }
    ~InternetSettingsGuard() {
        for (const Value& value : saved_) {
            if (value.data) {
                write(value);
            } else {
                remove(value.name);
            }
        }
    }
    InternetSettingsGuard(const InternetSettingsGuard&) = delete;
    InternetSettingsGuard& operator=(const InternetSettingsGuard&) = delete;

    bool set(DWORD enabled, const std::wstring& servers, const std::wstring& bypass) {
        return write({L"ProxyEnable", REG_DWORD, bytesOf(&enabled, sizeof enabled)}) &&
               write({L"ProxyServer", REG_SZ, bytesOf(servers.c_str(), (servers.size() + 1) * sizeof(wchar_t))}) &&
               write({L"ProxyOverride", REG_SZ, bytesOf(bypass.c_str(), (bypass.size() + 1) * sizeof(wchar_t))});
    }

private:
    static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

    struct Value {
        const wchar_t* name;
        DWORD type;
        std::optional<std::vector<BYTE>> data;  // none: the value does not exist
    };

    static std::vector<BYTE> bytesOf(const void* data, size_t size) {
        const auto* bytes = static_cast<const BYTE*>(data);
        return std::vector<BYTE>(bytes, bytes + size);
    }

    static utility::UniqueKey open() {
        utility::UniqueKey key;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                          key.receive(), nullptr);
        return key;
    }

    static Value read(const wchar_t* name) {
        const utility::UniqueKey key = open();
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            std::vector<BYTE> data(size);
            if (::RegQueryValueExW(key.get(), name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS) {
                data.resize(size);
                return {name, type, data};
            }
        }
        return {name, 0, std::nullopt};
    }

    static bool write(const Value& value) {
        const utility::UniqueKey key = open();
        return ::RegSetValueExW(key.get(), value.name, 0, value.type, value.data->data(),
                                static_cast<DWORD>(value.data->size())) == ERROR_SUCCESS;
    }

    static void remove(const wchar_t* name) { ::RegDeleteValueW(open().get(), name); }

    std::vector<Value> saved_;
};

// An environment variable of this process set for one test, put back (or removed) at its end.
class EnvironmentGuard {
public:
    explicit EnvironmentGuard(const wchar_t* name) : name_(name) {
        wchar_t value[1024];
        const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
        if (length > 0 && length < 1024) saved_ = value;
    }
    ~EnvironmentGuard() { ::SetEnvironmentVariableW(name_, saved_ ? saved_->c_str() : nullptr); }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

    void set(const std::wstring& value) const { ::SetEnvironmentVariableW(name_, value.c_str()); }

private:
    const wchar_t* name_;
    std::optional<std::wstring> saved_;
};

constexpr wchar_t kProxyOnlyHost[] = L"version.pelora.invalid";

struct ProxyCase {
    const char* name;
    DWORD enabled;
    const wchar_t* servers;  // "{proxy}" stands for the forward proxy's address
    const wchar_t* bypass;
    const wchar_t* host;     // kProxyOnlyHost resolves nowhere: only the proxy can fetch it
    bool proxyInEnvironment;  // http_proxy names the forward proxy (libcurl's own source of proxies)
    bool throughProxy;
};

std::wstring withProxyAddress(std::wstring servers, int port) {
    static const std::wstring kPlaceholder = L"{proxy}";
    const size_t at = servers.find(kPlaceholder);
    if (at != std::wstring::npos) servers.replace(at, kPlaceholder.size(), L"127.0.0.1:" + std::to_wstring(port));
    return servers;
}

class CurlSystemProxy : public CurlDownload, public ::testing::WithParamInterface<ProxyCase> {};

// The forward proxy hands every request to the scripted server, so an answer alone does not tell the
// two ways apart: the proxy's log does.
TEST_P(CurlSystemProxy, TakesTheWayTheRegistryNames) {
    ASSERT_NE(servers.proxy, 0) << "the forward proxy is not running";
    const ProxyCase& c = GetParam();
    InternetSettingsGuard settings;
    ASSERT_TRUE(settings.set(c.enabled, withProxyAddress(c.servers, servers.proxy), c.bypass));
    const EnvironmentGuard environment(L"http_proxy");
    if (c.proxyInEnvironment) environment.set(L"http://" + withProxyAddress(L"{proxy}", servers.proxy));
    const size_t length = freshLength();
    const std::wstring path = L"/bytes/" + std::to_wstring(length);
    const std::wstring port = c.throughProxy ? L"" : L":" + std::to_wstring(servers.http);
    const std::wstring url = L"http://" + std::wstring(c.host) + port + path;

    std::string body;
    ASSERT_TRUE(PelCurlDownloader::downloadMemory(ansi(url), body)) << ansi(url);
    EXPECT_EQ(body, servedBytes(length));
    const bool proxied = readFile(servers.proxyLog).find("GET " + ansi(url) + " ") != std::string::npos;
    EXPECT_EQ(proxied, c.throughProxy);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CurlSystemProxy,
    ::testing::Values(
        ProxyCase{"ForEveryScheme", 1, L"{proxy}", L"", kProxyOnlyHost, false, true},
        ProxyCase{"HttpEntryOfAPerSchemeList", 1, L"https=127.0.0.1:9;http={proxy}", L"", kProxyOnlyHost, false, true},
        ProxyCase{"NotMatchedByTheBypassList", 1, L"{proxy}", L"<local>;*.example;127.*", kProxyOnlyHost, false, true},
        ProxyCase{"SwitchedOff", 0, L"{proxy}", L"", L"127.0.0.1", false, false},
        // Set after start-up, the variable is seen by libcurl but not by WinINet, which read the
        // environment once: the download must follow WinINet.
        ProxyCase{"SwitchedOffWithAProxyInTheEnvironment", 0, L"", L"", L"127.0.0.1", true, false},
        ProxyCase{"BypassedLocalName", 1, L"{proxy}", L"<local>", L"localhost", false, false},
        ProxyCase{"BypassedByPattern", 1, L"{proxy}", L"*.example;127.0.0.*", L"127.0.0.1", false, false},
        ProxyCase{"BypassedByName", 1, L"{proxy}", L"intranet.example; 127.0.0.1", L"127.0.0.1", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct ProxyChoiceCase {
    const char* name;
    const wchar_t* servers;
    const wchar_t* bypass;
    const char* url;
    const char* proxy;
    const char* noProxy;
};

class CurlProxyChoice : public ::testing::TestWithParam<ProxyChoiceCase> {};

TEST_P(CurlProxyChoice, FollowsTheWindowsForms) {
    const ProxyChoiceCase& c = GetParam();
    const utility::CurlProxyOptions options = utility::curlProxyOptions({c.servers, c.bypass}, c.url);
    EXPECT_EQ(options.proxy, c.proxy);
    EXPECT_EQ(options.noProxy, c.noProxy);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CurlProxyChoice,
    ::testing::Values(
        ProxyChoiceCase{"NoProxy", L"", L"<local>", "http://buildbox/", "", ""},
        ProxyChoiceCase{"OneForEveryScheme", L"10.0.0.1:8080", L"", "https://a.example/x", "10.0.0.1:8080", ""},
        ProxyChoiceCase{"TheSchemesOwnEntry", L"http=h1:1;https=h2:2", L"", "https://a.example/x", "h2:2", ""},
        ProxyChoiceCase{"SchemeNamedInCapitals", L"HTTP=h1:1", L"", "http://a.example/", "h1:1", ""},
        ProxyChoiceCase{"NoEntryForTheScheme", L"https=h2:2", L"*.example", "http://a.example/", "", ""},
        ProxyChoiceCase{"SocksWhenNothingElseApplies", L"socks=s:1080;ftp=f:21", L"", "https://a.example/",
                        "socks4://s:1080", ""},
        ProxyChoiceCase{"SchemeEntryBeforeSocks", L"socks=s:1080;http=h:1", L"", "http://a.example/", "h:1", ""},
        ProxyChoiceCase{"BypassEntriesLibcurlUnderstands", L"p:1", L"*.corp.example; intranet.example,<local>",
                        "http://a.example/", "p:1", ".corp.example,intranet.example"},
        ProxyChoiceCase{"LocalNameOfTheUrl", L"p:1", L"<local>", "http://buildbox:8080/x", "p:1", "buildbox"},
        ProxyChoiceCase{"PatternMatchingTheUrlsHost", L"p:1", L"192.168.*;10.*", "http://10.1.2.3/", "p:1", "10.1.2.3"},
        ProxyChoiceCase{"UnreadableUrl", L"p:1", L"", "not a url", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CurlDownload, AcceptsACertificateOfTheTrustedAuthority) {
    std::string body;
    ASSERT_TRUE(PelCurlDownloader::downloadMemory(ansi(TestServers::httpsUrl(servers.https, L"/bytes/70001")), body));
    EXPECT_EQ(body, servedBytes(70001));
    EXPECT_TRUE(logContains("\tPelCurlDownloader::downloadMemory\t("));
    EXPECT_TRUE(logContains("):PelCurlDownloader::downloadMemory start\r\n"));
    EXPECT_TRUE(logContains("):curl download sucess 70001\r\n"));
}

TEST_F(CurlDownload, FollowsARedirectFromPlainHttpToHttps) {
    const std::wstring target = TestServers::httpsUrl(servers.https, L"/bytes/4321");
    std::string body;
    ASSERT_TRUE(PelCurlDownloader::downloadMemory(
        ansi(TestServers::url(servers.http, L"/redirect/302?to=" + percentEncoded(target))), body));
    EXPECT_EQ(body, servedBytes(4321));
}

TEST_F(CurlDownload, TakesAnErrorPageAsTheAnswer) {
    std::string body;
    ASSERT_TRUE(PelCurlDownloader::downloadMemory(ansi(TestServers::url(servers.http, L"/status/404")), body));
    EXPECT_EQ(body, "not here");
}

TEST_F(CurlDownload, LeavesTheOutputAloneWhenTheConnectionIsRefused) {
    std::string body = "earlier answer";
    EXPECT_FALSE(PelCurlDownloader::downloadMemory(ansi(TestServers::url(closedPort(), L"/bytes/10")), body));
    EXPECT_EQ(body, "earlier answer");
    EXPECT_TRUE(logContains("):curl download error Couldn't connect to server\r\n"));
}

TEST(CurlWriteCallback, AppendsEachBlock) {
    MemoryChunk chunk;
    char first[] = "abc";
    char second[] = "defgh";
    EXPECT_EQ(WriteMemoryCallback(first, 1, 3, &chunk), 3u);
    EXPECT_EQ(WriteMemoryCallback(second, 1, 5, &chunk), 5u);
    ASSERT_EQ(chunk.size, 8u);
    EXPECT_EQ(std::string(chunk.memory, chunk.size), "abcdefgh");
}

struct OverflowCase {
    const char* name;
    size_t held;  // what the chunk claims to hold already
    size_t size;
    size_t count;
};

class CurlWriteOverflow : public ::testing::TestWithParam<OverflowCase> {};

// A size that cannot be reached must be refused (libcurl then aborts), never wrap around into a small
// allocation that the copy would overrun.
TEST_P(CurlWriteOverflow, RefusesAndKeepsTheChunk) {
    processLogPath();
    MemoryChunk chunk;
    char data[16] = "0123456789";
    ASSERT_EQ(WriteMemoryCallback(data, 1, 4, &chunk), 4u);
    char* const before = chunk.memory;
    const size_t heldForReal = chunk.size;
    chunk.size = GetParam().held;
    EXPECT_EQ(WriteMemoryCallback(data, GetParam().size, GetParam().count, &chunk), 0u);
    EXPECT_EQ(chunk.memory, before);
    EXPECT_EQ(chunk.size, GetParam().held);
    chunk.size = heldForReal;
    EXPECT_EQ(std::string(chunk.memory, chunk.size), "0123");
    EXPECT_TRUE(logContains("\tWriteMemoryCallback\t("));
    EXPECT_TRUE(logContains("):not enough memory error "));
}

constexpr size_t kLargest = std::numeric_limits<size_t>::max();

INSTANTIATE_TEST_SUITE_P(Table, CurlWriteOverflow,
                         ::testing::Values(OverflowCase{"SumPastTheLargestSize", kLargest - 2, 1, 8},
                                           OverflowCase{"ElementProductPastTheLargestSize", 4, kLargest / 2, 3},
                                           OverflowCase{"SumOfExactlyTheLargestSize", 4, 1, kLargest - 4}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
