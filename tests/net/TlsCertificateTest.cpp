// TLS servers' certificates through both HTTPS clients, the curl memory downloader and the WinINet
// back-end of the client wrapper (into memory and into a file), against the scripted server's TLS
// listeners: one certified by the test authority the prefix trusts, a self-signed one, one certified for
// another host name, and a redirect from plain HTTP to the self-signed one. A refused server gets no
// request, ends the transfer soon and leaves a log line that says why.

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <ostream>
#include <string>

#include "net/CurlDownloader.h"
#include "net/HttpClientWrapper.h"
#include "tests/net/FileSinkLog.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestServers.h"
#include "utility/UString.h"

using namespace testsupport;
using utility::CHttpClientWrapper;

namespace {

// Refusals come right after the handshake; this only tells them from a hang.
constexpr DWORD kHangMs = 20000;

struct CertificateCase {
    const char* name;
    int TestServers::*listener;
    bool redirected;             // reached through a 302 from the plain server
    bool accepted;
    const char* curlReason;      // how the curl check names a refusal
    DWORD winInetError;          // WinINet's error for a refusal
};

void PrintTo(const CertificateCase& value, std::ostream* out) { *out << value.name; }

class DiscardingSink : public CHttpClientWrapper::IHttpDownloadSink {
public:
    bool onDownloadProgress(const char*, int, int64_t, int64_t) override { return true; }
    bool onDownloadFinished() override { return true; }
};

class TlsCertificate : public ::testing::TestWithParam<CertificateCase> {
protected:
    void SetUp() override {
        processLogPath();
        ASSERT_NE(servers.httpsOtherHost, 0) << "test servers are not running";
        // A length of its own, so that the server's log tells whether this case's request arrived.
        static size_t lastLength = 2000 + ::GetTickCount() % 100000;
        length = lastLength += 11;
    }

    std::wstring path() const { return L"/bytes/" + std::to_wstring(length); }

    std::wstring url() const {
        const std::wstring target = TestServers::httpsUrl(servers.*GetParam().listener, path());
        if (!GetParam().redirected) return target;
        return TestServers::url(servers.http, L"/redirect/302?to=" + percentEncoded(target));
    }

    bool requestArrived() const {
        return !loggedRequestsFor("GET " + utility::ustring::wideToAnsi(path()) + " ").empty();
    }

    std::string refusalLine() const {
        return "):server certificate of 127.0.0.1 refused, error " + std::to_string(GetParam().winInetError) + "\r\n";
    }

    const TestServers& servers = TestServers::get();
    size_t length = 0;
};

TEST_P(TlsCertificate, Curl) {
    const CertificateCase& c = GetParam();
    std::string body = "earlier answer";
    const DWORD begin = ::GetTickCount();
    EXPECT_EQ(PelCurlDownloader::downloadMemory(utility::ustring::wideToAnsi(url()), body), c.accepted);
    EXPECT_LT(::GetTickCount() - begin, kHangMs);
    EXPECT_EQ(requestArrived(), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(body, servedBytes(length));
        return;
    }
    EXPECT_EQ(body, "earlier answer");
    EXPECT_TRUE(logContains(std::string("):server certificate of 127.0.0.1 refused: ") + c.curlReason + " (0x"))
        << c.curlReason;
}

TEST_P(TlsCertificate, WinInetIntoMemory) {
    const CertificateCase& c = GetParam();
    CHttpClientWrapper client;
    std::string body;
    const DWORD begin = ::GetTickCount();
    EXPECT_EQ(client.download2mem(body, url()), c.accepted);
    EXPECT_LT(::GetTickCount() - begin, kHangMs);
    EXPECT_EQ(requestArrived(), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(body, servedBytes(length));
        return;
    }
    EXPECT_EQ(body, "");
    EXPECT_TRUE(logContains(refusalLine())) << refusalLine();
    const std::string sinkLine = "CHttpDownload2MemSink http code 16, error = " + std::to_string(c.winInetError);
    EXPECT_TRUE(logContains(sinkLine)) << sinkLine;
}

TEST_P(TlsCertificate, WinInetIntoFile) {
    const CertificateCase& c = GetParam();
    ScratchDir dir;
    CHttpClientWrapper client;
    DiscardingSink sink;
    const DWORD begin = ::GetTickCount();
    EXPECT_EQ(client.download2file_ex(&sink, dir / L"f", url(), 1, 0, false), c.accepted);
    EXPECT_LT(::GetTickCount() - begin, kHangMs);
    EXPECT_EQ(requestArrived(), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(readFile(dir / L"f"), servedBytes(length));
        return;
    }
    EXPECT_FALSE(fileExists(dir / L"f")) << "nothing of a refused server's is written";
    EXPECT_TRUE(logContains(refusalLine())) << refusalLine();
    EXPECT_TRUE(logContains(fileSinkFailureLine(16, c.winInetError)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, TlsCertificate,
    ::testing::Values(
        CertificateCase{"ByTheTrustedAuthorityForTheAddress", &TestServers::https, false, true, nullptr, 0},
        CertificateCase{"SelfSigned", &TestServers::httpsSelfSigned, false, false,
                        "issued by no authority this machine trusts", ERROR_INTERNET_INVALID_CA},
        CertificateCase{"ForAnotherHostName", &TestServers::httpsOtherHost, false, false, "issued for another name",
                        ERROR_INTERNET_SEC_CERT_CN_INVALID},
        CertificateCase{"SelfSignedBehindARedirect", &TestServers::httpsSelfSigned, true, false,
                        "issued by no authority this machine trusts", ERROR_INTERNET_INVALID_CA}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
