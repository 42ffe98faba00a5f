// The client wrapper end to end against real local servers, through both back-ends: bodies of every
// shape, errors, resume with the Range header on the wire, a server that ignores Range, a later call
// continuing an earlier call's file, stop from another thread, and a 64 MiB file broken half way and
// resumed byte-identical.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>
#include <tuple>
#include <vector>

#include "net/HttpClientWrapper.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestServers.h"
#include "tests/support/TextCount.h"
#include "utility/Digest.h"
#include "utility/UString.h"

using namespace testsupport;
using utility::CHttpClientWrapper;

namespace {

struct Progress {
    int64_t received;
    int64_t total;
};

bool strictlyIncreasing(const std::vector<Progress>& calls) {
    for (size_t i = 1; i < calls.size(); ++i) {
        if (calls[i].received <= calls[i - 1].received) return false;
    }
    return true;
}

// Records every progress call; optionally refuses data from a given byte count on.
class RecordingSink : public CHttpClientWrapper::IHttpDownloadSink {
public:
    bool onDownloadProgress(const char*, int, int64_t received, int64_t total) override {
        calls.push_back({received, total});
        return refuseFrom < 0 || received < refuseFrom;
    }
    bool onDownloadFinished() override {
        ++finished;
        return true;
    }

    std::vector<Progress> calls;
    int finished = 0;
    int refuseFrom = -1;
};

enum class Backend { WinInet, RawSocket };

std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::WinInet ? "WinInet" : "RawSocket";
}

class WrapperBody : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        processLogPath();
        ASSERT_NE(servers.http, 0) << "test servers are not running";
    }

    bool raw() const { return GetParam() == Backend::RawSocket; }
    // Makes each back-end's requests distinct in the server's log.
    std::string tag() const { return raw() ? "raw" : "wininet"; }
    std::wstring wideTag() const { return raw() ? L"raw" : L"wininet"; }

    bool download(const std::wstring& path, RecordingSink& sink, int attempts = 1) {
        return client.download2file_ex(&sink, file, TestServers::url(servers.http, path), attempts, 50, raw());
    }

    const TestServers& servers = TestServers::get();
    ScratchDir dir;
    std::wstring file = dir / L"download.bin";
    CHttpClientWrapper client;
};

TEST_P(WrapperBody, DeliversALengthDelimitedBody) {
    RecordingSink sink;
    ASSERT_TRUE(download(L"/bytes/100000", sink));
    EXPECT_EQ(readFile(file), servedBytes(100000));
    ASSERT_FALSE(sink.calls.empty());
    EXPECT_EQ(sink.calls.back().received, 100000);
    EXPECT_EQ(sink.calls.back().total, 100000);
    EXPECT_EQ(sink.finished, 1);
}

TEST_P(WrapperBody, ReadsABodyWithoutLengthUntilTheServerCloses) {
    RecordingSink sink;
    ASSERT_TRUE(download(L"/nolength/50000", sink));
    EXPECT_EQ(readFile(file), servedBytes(50000));
    for (const Progress& call : sink.calls) EXPECT_EQ(call.total, -1);
}

TEST_P(WrapperBody, DecodesAChunkedBody) {
    RecordingSink sink;
    ASSERT_TRUE(download(L"/chunked/100000?size=7000", sink));
    EXPECT_EQ(readFile(file), servedBytes(100000));
}

TEST_P(WrapperBody, FailsAnEmptyLengthWithError19) {
    RecordingSink sink;
    EXPECT_FALSE(download(L"/zero", sink));
    EXPECT_TRUE(logContains("):CHttpDownload2FileSink http code 19, error = "));
}

TEST_P(WrapperBody, FailsA404WithoutAnErrorReport) {
    const size_t errorsBefore = countOf(flushedProcessLog(), "http code ");
    RecordingSink sink;
    EXPECT_FALSE(download(L"/status/404", sink));
    EXPECT_TRUE(logContains("):onHttpRecvHeader status 404, total 8\r\n"));
    EXPECT_TRUE(logContains("):onHttpRecvHeader error\r\n"));
    EXPECT_EQ(countOf(flushedProcessLog(), "http code "), errorsBefore);
}

TEST_P(WrapperBody, LogsAFileItCannotCreateUnderTheHeaderStep) {
    const std::wstring unreachable = dir / L"missing\\download.bin";
    RecordingSink sink;
    EXPECT_FALSE(client.download2file_ex(&sink, unreachable, TestServers::url(servers.http, L"/bytes/500"), 1, 0, raw()));
    const std::string marker = "create file error; filename " + utility::ustring::wideToUtf8(unreachable);
    ASSERT_TRUE(logContains(marker));
    const std::string log = flushedProcessLog();
    const size_t at = log.find(marker);
    const std::string line = log.substr(log.rfind("\r\n", at) + 2, at - log.rfind("\r\n", at));
    EXPECT_NE(line.find("\tutility::CHttpDownload2FileSink::onHttpRecvHeader\t("), std::string::npos) << line;
}

TEST_P(WrapperBody, FollowsARedirectToAnotherPort) {
    const std::wstring target = TestServers::url(servers.http2, L"/bytes/3000");
    RecordingSink sink;
    ASSERT_TRUE(download(L"/redirect/301?to=" + percentEncoded(target), sink));
    EXPECT_EQ(readFile(file), servedBytes(3000));
}

TEST_P(WrapperBody, ResumesABrokenTransferWithARangeRequest) {
    RecordingSink sink;
    ASSERT_TRUE(download(L"/cut/200000?after=70000&" + wideTag(), sink, 2));
    EXPECT_EQ(readFile(file), servedBytes(200000));

    const std::string requests = loggedRequestsFor("/cut/200000?after=70000&" + tag() + " ");
    EXPECT_EQ(countOf(requests, "Range: "), 1u) << requests;
    EXPECT_NE(requests.find("\r\nRange: bytes=70000-\r\n"), std::string::npos) << requests;
    if (raw()) {
        EXPECT_NE(requests.find("Pragma:no-cache\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                                "Range: bytes=70000-\r\nUser-Agent: okhttp/3.5.0L\r\n\r\n"),
                  std::string::npos)
            << requests;
    }
    // The resumed attempt counts on from what the file held, against the whole size.
    EXPECT_TRUE(strictlyIncreasing(sink.calls));
    EXPECT_EQ(sink.calls.back().received, 200000);
    EXPECT_EQ(sink.calls.back().total, 200000);
    EXPECT_TRUE(logContains("):start size 70000\r\n"));
}

TEST_P(WrapperBody, StartsAfreshWhenTheServerIgnoresRange) {
    RecordingSink sink;
    // Both sizes well past one block, so that the restart shows as a fall in the counts.
    ASSERT_TRUE(download(L"/ignore-range/1500000?after=600000&" + wideTag(), sink, 2));
    EXPECT_EQ(readFile(file), servedBytes(1500000));
    // The second attempt's counts begin again at its first block.
    const auto restart = std::adjacent_find(sink.calls.begin(), sink.calls.end(),
                                            [](const Progress& a, const Progress& b) { return b.received <= a.received; });
    ASSERT_NE(restart, sink.calls.end());
    EXPECT_LE((restart + 1)->received, CHttpClientWrapper::kBlockSize);
    EXPECT_EQ(sink.calls.back().received, 1500000);
    EXPECT_EQ(sink.calls.back().total, 1500000);
}

INSTANTIATE_TEST_SUITE_P(Backends, WrapperBody, ::testing::Values(Backend::WinInet, Backend::RawSocket), backendName);

// A later call given what an earlier one left in the file: it continues the file only when that came
// from its own address, and asks with If-Range for the version that began it.
struct ContinueCase {
    const char* name;
    // "{tag}" becomes the back-end and this run, so that no case meets another's state.
    const wchar_t* earlierPath;  // where the earlier call's transfer broke off
    const wchar_t* path;         // what the later call asks for
    const char* rangeSent;       // the later request's Range value; empty for none
    const char* ifRangeSent;    // the later request's If-Range value; empty for none
    int generation;             // of the bytes the file must hold in the end
};

class WrapperContinue : public ::testing::TestWithParam<std::tuple<ContinueCase, Backend>> {};

TEST_P(WrapperContinue, ContinuesOnlyAFileFromTheSameAddress) {
    const ContinueCase& c = std::get<0>(GetParam());
    const bool raw = std::get<1>(GetParam()) == Backend::RawSocket;
    const TestServers& servers = TestServers::get();
    ASSERT_NE(servers.http, 0) << "test servers are not running";
    const std::wstring tag = (raw ? L"raw" : L"wininet") + std::to_wstring(::GetTickCount());
    const auto tagged = [&tag](std::wstring path) { return path.replace(path.find(L"{tag}"), 5, tag); };
    const std::wstring path = tagged(c.path);
    const std::wstring url = TestServers::url(servers.http, path);
    ScratchDir dir;
    const std::wstring file = dir / L"download.bin";

    CHttpClientWrapper first;
    RecordingSink firstSink;
    ASSERT_FALSE(
        first.download2file_ex(&firstSink, file, TestServers::url(servers.http, tagged(c.earlierPath)), 1, 0, raw));
    std::optional<CHttpClientWrapper::PartialFile> partial = first.partialFile();
    ASSERT_TRUE(partial) << "the cut transfer wrote part of the file";

    CHttpClientWrapper later;
    RecordingSink sink;
    ASSERT_TRUE(later.download2file_ex(&sink, file, url, 1, 0, raw, &*partial));
    EXPECT_EQ(readFile(file), servedBytes(200000, c.generation));
    EXPECT_EQ(sink.calls.back().received, 200000);

    const std::string request = loggedRequestsFor(utility::ustring::wideToUtf8(path) + " ");
    const auto header = [&request](const std::string& name) {
        const size_t at = request.find("\r\n" + name + ": ");
        if (at == std::string::npos) return std::string();
        const size_t value = at + name.size() + 4;
        return request.substr(value, request.find("\r\n", value) - value);
    };
    EXPECT_EQ(header("Range"), c.rangeSent) << request;
    EXPECT_EQ(header("If-Range"), c.ifRangeSent) << request;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrapperContinue,
    ::testing::Combine(
        ::testing::Values(
            ContinueCase{"sameAddress", L"/cut/200000?after=70000&{tag}", L"/cut/200000?after=70000&{tag}",
                         "bytes=70000-", "", 0},
            ContinueCase{"otherAddress", L"/cut/200000?after=70000&{tag}", L"/bytes/200000?{tag}", "", "", 0},
            ContinueCase{"changedOnTheServer", L"/changing/200000?after=70000&key={tag}",
                         L"/changing/200000?after=70000&key={tag}", "bytes=70000-", "\"gen-1\"", 2}),
        ::testing::Values(Backend::WinInet, Backend::RawSocket)),
    [](const ::testing::TestParamInfo<std::tuple<ContinueCase, Backend>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == Backend::RawSocket ? "_RawSocket" : "_WinInet");
    });

// Closing the socket unblocks the transfer. (Wine's WinINet does not let InternetCloseHandle break a
// blocked InternetReadFile, so the WinINet back-end is left out here.)
TEST(WrapperRawSocket, StopFromAnotherThreadEndsAStalledTransferAtOnce) {
    processLogPath();
    ScratchDir dir;
    const std::wstring file = dir / L"stalled.bin";
    CHttpClientWrapper client;
    RecordingSink sink;
    std::atomic<bool> result{true};
    std::thread worker([&] {
        result = client.download2file_ex(&sink, file, TestServers::url(TestServers::get().http, L"/stall/100000"), 3,
                                         3000, true);
    });
    EXPECT_TRUE(waitUntil([&] { return fileExists(file); }));
    ::Sleep(200);
    const DWORD stoppedAt = ::GetTickCount();
    client.stop();
    worker.join();
    EXPECT_LT(::GetTickCount() - stoppedAt, 1000u);
    EXPECT_FALSE(result);
    EXPECT_TRUE(logContains("):m_bPause is true\r\n"));
}

TEST(WrapperRawSocket, RejectsAChunkExtension) {
    processLogPath();
    ScratchDir dir;
    CHttpClientWrapper client;
    RecordingSink sink;
    EXPECT_FALSE(client.download2file_ex(&sink, dir / L"f", TestServers::url(TestServers::get().http, L"/chunkext"), 1,
                                         0, true));
    EXPECT_TRUE(logContains("):CHttpDownload2FileSink http code 19, error = "));
}

TEST(WrapperRawSocket, TurnsHttpsIntoPlainHttp) {
    ScratchDir dir;
    CHttpClientWrapper client;
    RecordingSink sink;
    // The plain server's port under an https:// address: only the raw socket's rewrite reaches it.
    const std::wstring url = L"https://127.0.0.1:" + std::to_wstring(TestServers::get().http) + L"/bytes/500";
    ASSERT_TRUE(client.download2file_ex(&sink, dir / L"f", url, 1, 0, true));
    EXPECT_EQ(readFile(dir / L"f"), servedBytes(500));
}

TEST(WrapperMemory, ReturnsTheBodyAndRetriesOnce) {
    CHttpClientWrapper client;
    std::string body = "stale";
    ASSERT_TRUE(client.download2mem_ex(body, TestServers::url(TestServers::get().http, L"/bytes/2000")));
    EXPECT_EQ(body, servedBytes(2000));

    const DWORD begin = ::GetTickCount();
    EXPECT_FALSE(client.download2mem_ex(body, TestServers::url(TestServers::get().http, L"/status/404")));
    EXPECT_GE(::GetTickCount() - begin, 200u) << "the second attempt waits 200 ms";
    EXPECT_EQ(countOf(loggedRequestsFor("GET /status/404 "), "GET /status/404 "), 2u);
}

TEST(WrapperStopSource, StopsATransferRunningOnTheOwnersThread) {
    ScratchDir dir;
    CHttpClientWrapper client;
    utility::TaskThread worker;
    client.setStopSource(&worker);
    std::atomic<bool> result{true};
    RecordingSink sink;
    ASSERT_TRUE(worker.start(utility::makeRunable([&] {
        result = client.download2file_ex(&sink, dir / L"f", TestServers::url(TestServers::get().http, L"/stall/5000"), 3,
                                         3000, true);
    })));
    EXPECT_TRUE(waitUntil([&] { return fileExists(dir / L"f"); }));
    worker.requestStop();
    client.stop();
    worker.stop(2000);
    EXPECT_FALSE(result);
}

// A stop stays in force for the plain transfers too; each refusal reaches the sink as an aborted open.
TEST(WrapperStopSource, AStoppedClientsPlainDownloadsReportTheirError) {
    processLogPath();
    ScratchDir dir;
    CHttpClientWrapper client;
    client.stop();
    const std::wstring url = TestServers::url(TestServers::get().http, L"/bytes/500");
    const std::string aborted = "http code 10, error = " + std::to_string(ERROR_OPERATION_ABORTED) + "\r\n";

    std::string body;
    EXPECT_FALSE(client.download2mem(body, url));
    EXPECT_TRUE(logContains("):CHttpDownload2MemSink " + aborted));

    RecordingSink sink;
    EXPECT_FALSE(client.download2file(url, dir / L"f", &sink));
    EXPECT_TRUE(logContains("):CHttpDownload2FileSink " + aborted));
    EXPECT_TRUE(sink.calls.empty());
}

// nginx serves a 64 MiB file; the proxy in front of it breaks the first transfer half way.
class LargeResume : public ::testing::TestWithParam<Backend> {};

TEST_P(LargeResume, YieldsAByteIdenticalFile) {
    const TestServers& servers = TestServers::get();
    ASSERT_NE(servers.cutproxy, 0) << "test servers are not running";
    ScratchDir dir;
    CHttpClientWrapper client;
    RecordingSink sink;
    ASSERT_TRUE(client.download2file_ex(&sink, dir / L"big.bin", TestServers::url(servers.cutproxy, servers.big64.path),
                                        2, 100, GetParam() == Backend::RawSocket));
    EXPECT_EQ(fileSize(dir / L"big.bin"), servers.big64.size);
    EXPECT_EQ(utility::digest::sha256Hex(readFile(dir / L"big.bin")), servers.big64.sha256);
    EXPECT_TRUE(strictlyIncreasing(sink.calls)) << "the second attempt resumed where the first broke";
    EXPECT_EQ(sink.calls.back().received, servers.big64.size);
}

INSTANTIATE_TEST_SUITE_P(Backends, LargeResume, ::testing::Values(Backend::WinInet, Backend::RawSocket), backendName);

}  // namespace
