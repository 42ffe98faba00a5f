// The libcurl memory downloader against the local servers (TLS with a self-signed certificate,
// redirects across schemes, error pages, a refused connection) and its write callback's growth.

#include <gtest/gtest.h>

#include <winsock2.h>

#include <cstdlib>
#include <cstring>
#include <limits>

#include "net/CurlDownloader.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/TestServers.h"
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

TEST_F(CurlDownload, AcceptsASelfSignedCertificate) {
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
