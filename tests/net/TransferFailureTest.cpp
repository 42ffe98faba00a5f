// How the client says its last transfer ended, through both back-ends against the real local servers:
// a server's refusal (an error status) must never read as a lost connection, nor the reverse, since the
// downloader tells the user one or the other.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <tuple>

#include "net/HttpClientWrapper.h"
#include "net/TransferFailure.h"
#include "tests/support/ScopedTransferLimits.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestServers.h"

using namespace testsupport;
using utility::CHttpClientWrapper;
using utility::TransferFailure;

namespace {

enum class Backend { WinInet, RawSocket };

// Where a case's request goes.
enum class Server {
    Plain,       // the scripted server
    SelfSigned,  // the scripted server over TLS with a certificate nobody trusts
    Closed,      // a port of 127.0.0.1 where nothing listens
};

class AbortingSink : public CHttpClientWrapper::IHttpDownloadSink {
public:
    explicit AbortingSink(bool abort) : abort_(abort) {}
    bool onDownloadProgress(const char*, int, int64_t, int64_t) override { return !abort_; }
    bool onDownloadFinished() override { return true; }

private:
    bool abort_;
};

struct FailureCase {
    const char* name;
    Server server;
    const wchar_t* path;
    TransferFailure expected;
    bool unwritableFile = false;  // the target lies in a folder that does not exist
    bool sinkAborts = false;      // the progress sink refuses the first block
    bool stoppedBefore = false;   // stop() before the transfer
};

std::wstring urlFor(const FailureCase& c) {
    const TestServers& servers = TestServers::get();
    switch (c.server) {
    case Server::Plain: return TestServers::url(servers.http, c.path);
    case Server::SelfSigned: return TestServers::httpsUrl(servers.httpsSelfSigned, c.path);
    case Server::Closed: break;
    }
    // Port 1 of the loopback address: nothing listens there, the connection is refused at once.
    return TestServers::url(1, c.path);
}

class TransferFailureKind : public ::testing::TestWithParam<std::tuple<FailureCase, Backend>> {
protected:
    void SetUp() override { ASSERT_NE(TestServers::get().http, 0) << "test servers are not running"; }

    // Shortened, so that the stalls end soon; far longer than any healthy step takes here.
    const ScopedTransferLimits limits{ScopedTransferLimits::withTimes(10000, 2000)};
    ScratchDir dir;
};

TEST_P(TransferFailureKind, NamesHowTheLastTransferEnded) {
    const FailureCase& c = std::get<0>(GetParam());
    const bool raw = std::get<1>(GetParam()) == Backend::RawSocket;
    CHttpClientWrapper client;
    if (c.stoppedBefore) client.stop();
    AbortingSink sink(c.sinkAborts);
    const std::wstring file = c.unwritableFile ? dir / L"missing folder\\file.bin" : dir / L"file.bin";
    const bool succeeded = client.download2file_ex(&sink, file, urlFor(c), 1, 0, raw);
    EXPECT_EQ(succeeded, c.expected == TransferFailure::None);
    EXPECT_EQ(client.lastFailure(), c.expected) << utility::transferFailureName(client.lastFailure());
}

INSTANTIATE_TEST_SUITE_P(
    Servers, TransferFailureKind,
    ::testing::Combine(
        ::testing::Values(
            FailureCase{"wholeBody", Server::Plain, L"/bytes/5000", TransferFailure::None},
            FailureCase{"notFound", Server::Plain, L"/status/404", TransferFailure::ErrorStatus},
            FailureCase{"refusedConnection", Server::Closed, L"/bytes/5000", TransferFailure::NoAnswer},
            FailureCase{"untrustedCertificate", Server::SelfSigned, L"/bytes/5000", TransferFailure::NoAnswer},
            FailureCase{"silentServer", Server::Plain, L"/silent", TransferFailure::NoAnswer},
            FailureCase{"cutBody", Server::Plain, L"/cut/100000?after=1000", TransferFailure::BrokenBody},
            FailureCase{"stalledBody", Server::Plain, L"/stall/100000?after=1000", TransferFailure::BrokenBody},
            FailureCase{"unwritableFile", Server::Plain, L"/bytes/5000", TransferFailure::Declined, true},
            FailureCase{"sinkAborts", Server::Plain, L"/bytes/5000", TransferFailure::Declined, false, true},
            FailureCase{"stopped", Server::Plain, L"/bytes/5000", TransferFailure::Stopped, false, false, true}),
        ::testing::Values(Backend::WinInet, Backend::RawSocket)),
    [](const ::testing::TestParamInfo<std::tuple<FailureCase, Backend>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == Backend::RawSocket ? "_RawSocket" : "_WinInet");
    });

struct MemoryCase {
    const char* name;
    const wchar_t* path;
    TransferFailure expected;
};

class MemoryTransferFailureKind : public ::testing::TestWithParam<MemoryCase> {};

// A memory answer larger than the limit is this side's refusal, not the server's.
TEST_P(MemoryTransferFailureKind, NamesHowTheLastTransferEnded) {
    ASSERT_NE(TestServers::get().http, 0) << "test servers are not running";
    utility::TransferLimits small = ScopedTransferLimits::withTimes(10000, 2000);
    small.memoryAnswerBytes = 4096;
    const ScopedTransferLimits limits(small);
    CHttpClientWrapper client;
    std::string body;
    EXPECT_EQ(client.download2mem(body, TestServers::url(TestServers::get().http, GetParam().path)),
              GetParam().expected == TransferFailure::None);
    EXPECT_EQ(client.lastFailure(), GetParam().expected) << utility::transferFailureName(client.lastFailure());
}

INSTANTIATE_TEST_SUITE_P(Answers, MemoryTransferFailureKind,
                         ::testing::Values(MemoryCase{"fits", L"/bytes/4000", TransferFailure::None},
                                           MemoryCase{"notFound", L"/status/404", TransferFailure::ErrorStatus},
                                           MemoryCase{"tooLarge", L"/bytes/5000", TransferFailure::Declined}),
                         [](const ::testing::TestParamInfo<MemoryCase>& info) { return std::string(info.param.name); });

}  // namespace
