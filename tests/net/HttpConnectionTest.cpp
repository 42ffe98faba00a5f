// URL parsing, the raw request text, and the raw-socket back-end against the scripted server.

#include <gtest/gtest.h>

#include "net/HttpUrl.h"
#include "net/TcpHttpConn.h"
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
}

// One GET over the raw socket to the scripted server; the header as recvHeader reports it.
struct RawAnswer {
    bool ok = false;
    utility::HttpResponseHead head;
};

RawAnswer rawGet(int port, const std::wstring& path) {
    CTcpHttpConn connection;
    RawAnswer answer;
    if (!connection.open() || !connection.connect(L"127.0.0.1", static_cast<unsigned short>(port)) ||
        !connection.sendGet(L"127.0.0.1", path, L"")) {
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
    int contentLength;
};

class RawSocketHeader : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawSocketHeader, ReportsStatusAndLengthOrFails) {
    ASSERT_NE(TestServers::get().http, 0) << "test servers are not running";
    const RawAnswer answer = rawGet(TestServers::get().http, GetParam().path);
    ASSERT_EQ(answer.ok, GetParam().ok);
    if (!answer.ok) return;
    EXPECT_EQ(answer.head.status, GetParam().status);
    EXPECT_EQ(answer.head.contentLength, GetParam().contentLength);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RawSocketHeader,
    ::testing::Values(RawCase{"length", L"/bytes/77", true, 200, 77},
                      RawCase{"noLength", L"/nolength/10", true, 200, -1},
                      RawCase{"notFound", L"/status/404", true, 404, 8},
                      RawCase{"noLocation", L"/redirect/301-nolocation", false, 0, 0},
                      RawCase{"loop", L"/loop", false, 0, 0},
                      RawCase{"tenHops", L"/chain/10", true, 200, 12},
                      RawCase{"elevenHops", L"/chain/11", false, 0, 0}),
    [](const ::testing::TestParamInfo<RawCase>& info) { return std::string(info.param.name); });

}  // namespace
