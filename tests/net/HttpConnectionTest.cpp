// URL parsing, the raw request text, and the raw-socket back-end against the scripted server and nginx:
// answer heads, redirects within the limits, a close that holds, header blocks that are refused.

#include <gtest/gtest.h>

#include "net/HttpUrl.h"
#include "net/TcpHttpConn.h"
#include "tests/support/ScopedTransferLimits.h"
#include "tests/support/TestServers.h"
#include "utility/UString.h"

using namespace testsupport;
using utility::CTcpHttpConn;

namespace {

struct UrlCase {
    std::wstring url;
    std::wstring host;
    unsigned short port;
    std::wstring path;
};

class UrlParsing : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlParsing, SplitsHostPortAndTarget) {
    const utility::ParsedUrl parsed = utility::parseUrl(GetParam().url);
    EXPECT_EQ(parsed.host, GetParam().host);
    EXPECT_EQ(parsed.port, GetParam().port);
    EXPECT_EQ(parsed.path, GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UrlParsing,
    ::testing::Values(UrlCase{L"http://dl.example:8080/a/b.exe?x=1&y=2", L"dl.example", 8080, L"/a/b.exe?x=1&y=2"},
                      UrlCase{L"https://cdn.example.com", L"cdn.example.com", 443, L"https://cdn.example.com"},
                      UrlCase{L"HTTP://Host/x", L"Host", 80, L"/x"},
                      UrlCase{L"hTTpS://h/x", L"h", 443, L"/x"},
                      UrlCase{L"\r\nhttp://h/x", L"h", 80, L"/x"},
                      UrlCase{L"\r\nhttps://h:444/x", L"h", 444, L"/x"},
                      UrlCase{L"host/path", L"host", 80, L"/path"},
                      UrlCase{L"ftp://h/x", L"ftp", 0, L"//h/x"},
                      UrlCase{L"http://h:/x", L"h", 0, L"/x"},
                      UrlCase{L"http://h:81abc/x", L"h", 81, L"/x"},
                      UrlCase{L"http://h:70000/x", L"h", 4464, L"/x"},  // kept in 16 bits
                      UrlCase{L"http://h/a:b", L"h", 80, L"/a:b"}));

TEST(RawRequest, CarriesDefaultsAroundTheWrappersBlock) {
    const std::wstring wrapperBlock =
        L"Content-Type: application/x-www-form-urlencoded\r\nRange: bytes=1048576-\r\nUser-Agent: okhttp/3.5.0L\r\n";
    EXPECT_EQ(CTcpHttpConn::buildGetRequest(L"dl.example", L"/f.exe?a=1", wrapperBlock),
              L"GET /f.exe?a=1 HTTP/1.1\r\n"
              L"Host:dl.example\r\n"
              L"Cache-Control:no-cache\r\n"
              L"Pragma:no-cache\r\n"
              L"Content-Type: application/x-www-form-urlencoded\r\n"
              L"Range: bytes=1048576-\r\n"
              L"User-Agent: okhttp/3.5.0L\r\n"
              L"\r\n");
    EXPECT_EQ(CTcpHttpConn::buildGetRequest(L"h", L"/", L""),
              L"GET / HTTP/1.1\r\nContent-Type:application/x-www-form-urlencoded\r\nHost:h\r\n"
              L"Cache-Control:no-cache\r\nPragma:no-cache\r\nUser-Agent:okhttp/3.5.0L\r\n\r\n");
    EXPECT_EQ(CTcpHttpConn::buildGetRequest(L"h", L"/", L"Host: other\r\nX-A: 1"),
              L"GET / HTTP/1.1\r\nContent-Type:application/x-www-form-urlencoded\r\n"
              L"Cache-Control:no-cache\r\nPragma:no-cache\r\nHost: other\r\nX-A: 1\r\nUser-Agent:okhttp/3.5.0L\r\n\r\n");
    EXPECT_EQ(CTcpHttpConn::buildGetRequest(L"h", L"/a b?c d", L"").rfind(L"GET /a%20b?c%20d HTTP/1.1\r\n", 0), 0u);
}

// One GET over the raw socket to the scripted server; the header as recvHeader reports it.
struct RawAnswer {
    bool ok = false;
    utility::HttpResponseHead head;
};

RawAnswer rawGet(int port, const std::wstring& path, const std::wstring& extraHeaders = L"") {
    CTcpHttpConn connection;
    RawAnswer answer;
    if (!connection.open() || !connection.connect(L"127.0.0.1", static_cast<unsigned short>(port)) ||
        !connection.sendGet(L"127.0.0.1", path, extraHeaders)) {
        return answer;
    }
    answer.ok = connection.recvHeader(answer.head);
    connection.close();
    return answer;
}

TEST(RawSocket, FollowsARedirectToAnotherPortWithAFreshRequest) {
    const TestServers& servers = TestServers::get();
    ASSERT_NE(servers.http, 0) << "test servers are not running";
    const std::wstring target = TestServers::url(servers.http2, L"/bytes/1234?raw-redirect");
    const RawAnswer answer = rawGet(servers.http, L"/redirect/302?to=" + percentEncoded(target));
    ASSERT_TRUE(answer.ok);
    EXPECT_EQ(answer.head.status, 200);
    EXPECT_EQ(answer.head.contentLength, 1234);
    EXPECT_EQ(loggedRequestsFor("GET /bytes/1234?raw-redirect "),
              "GET /bytes/1234?raw-redirect HTTP/1.1\r\nContent-Type:application/x-www-form-urlencoded\r\n"
              "Host:127.0.0.1\r\nCache-Control:no-cache\r\nPragma:no-cache\r\nUser-Agent:okhttp/3.5.0L\r\n\r\n");
}

struct RawCase {
    const char* name;
    std::wstring path;
    bool ok;
    int status;
    int64_t contentLength;
    int TestServers::*server = &TestServers::http;
    std::wstring extraHeaders = L"";
    int64_t rangeStart = -1;
    int64_t rangeTotal = -1;
};

class RawSocketHeader : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawSocketHeader, ReportsStatusAndLengthOrFails) {
    const int port = TestServers::get().*GetParam().server;
    ASSERT_NE(port, 0) << "test servers are not running";
    const RawAnswer answer = rawGet(port, GetParam().path, GetParam().extraHeaders);
    ASSERT_EQ(answer.ok, GetParam().ok);
    if (!answer.ok) return;
    EXPECT_EQ(answer.head.status, GetParam().status);
    EXPECT_EQ(answer.head.contentLength, GetParam().contentLength);
    EXPECT_EQ(answer.head.rangeStart, GetParam().rangeStart);
    EXPECT_EQ(answer.head.rangeTotal, GetParam().rangeTotal);
}

// nginx serves the 5 GiB file of the test servers (tools/testserver/README.md): lengths past 32 bits.
constexpr int64_t kGiB = 1024 * 1024 * 1024;

INSTANTIATE_TEST_SUITE_P(
    Answers, RawSocketHeader,
    ::testing::Values(RawCase{"length", L"/bytes/77", true, 200, 77},
                      RawCase{"noLength", L"/nolength/10", true, 200, -1},
                      RawCase{"notFound", L"/status/404", true, 404, 8},
                      RawCase{"noLocation", L"/redirect/301-nolocation", false, 0, 0},
                      RawCase{"loop", L"/loop", false, 0, 0},
                      RawCase{"tenHops", L"/chain/10", true, 200, 12},
                      RawCase{"elevenHops", L"/chain/11", false, 0, 0},
                      RawCase{"range", L"/bytes/1000", true, 206, 600, &TestServers::http, L"Range: bytes=400-", 400, 1000},
                      RawCase{"fiveGiB", L"/big5g.bin", true, 200, 5 * kGiB, &TestServers::nginx},
                      RawCase{"rangePastFourGiB", L"/big5g.bin", true, 206, kGiB, &TestServers::nginx,
                              L"Range: bytes=" + std::to_wstring(4 * kGiB) + L"-", 4 * kGiB, 5 * kGiB}),
    [](const ::testing::TestParamInfo<RawCase>& info) { return std::string(info.param.name); });

TEST(RawSocket, FollowsAtMostTheConfiguredRedirects) {
    ASSERT_NE(TestServers::get().http, 0) << "test servers are not running";
    utility::TransferLimits limits;
    limits.maxRedirects = 2;
    const ScopedTransferLimits shortened(limits);
    EXPECT_TRUE(rawGet(TestServers::get().http, L"/chain/2").ok);
    EXPECT_FALSE(rawGet(TestServers::get().http, L"/chain/3").ok);
}

// A close() that comes before open(), as a stop can, holds: the connection never opens and sends nothing.
TEST(RawSocket, StaysClosedOnceClosed) {
    ASSERT_NE(TestServers::get().http, 0) << "test servers are not running";
    CTcpHttpConn connection;
    connection.close();
    EXPECT_FALSE(connection.open());
    EXPECT_FALSE(connection.connect(L"127.0.0.1", static_cast<unsigned short>(TestServers::get().http)));
    EXPECT_FALSE(connection.sendGet(L"127.0.0.1", L"/bytes/10?closed-first", L""));
    EXPECT_EQ(loggedRequestsFor("closed-first"), "");
}

// Header blocks that would add a line of their own, or end the head early and smuggle a second request.
struct BlockCase {
    const char* name;
    std::wstring block;
};

class RawHeaderBlock : public ::testing::TestWithParam<BlockCase> {};

TEST_P(RawHeaderBlock, IsRefusedWithNothingSent) {
    ASSERT_NE(TestServers::get().http, 0) << "test servers are not running";
    const std::string path = std::string("/bytes/10?bad-block-") + GetParam().name;
    CTcpHttpConn connection;
    ASSERT_TRUE(connection.open());
    ASSERT_TRUE(connection.connect(L"127.0.0.1", static_cast<unsigned short>(TestServers::get().http)));
    EXPECT_FALSE(connection.sendGet(L"127.0.0.1", utility::ustring::utf8ToWide(path), GetParam().block));
    connection.close();
    EXPECT_EQ(loggedRequestsFor(path), "");
    EXPECT_EQ(loggedRequestsFor("GET /smuggled "), "");
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, RawHeaderBlock,
    ::testing::Values(BlockCase{"bareLf", L"X-A: 1\nX-Injected: 1\r\n"},
                      BlockCase{"bareCr", L"X-A: 1\rX-Injected: 1\r\n"},
                      BlockCase{"emptyLine", L"X-A: 1\r\n\r\nGET /smuggled HTTP/1.1\r\n"},
                      BlockCase{"leadingEmptyLine", L"\r\nX-A: 1\r\n"}),
    [](const ::testing::TestParamInfo<BlockCase>& info) { return std::string(info.param.name); });

}  // namespace
