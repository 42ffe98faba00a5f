// Faulty servers against the client's retries, through both back-ends: whatever the server does, the
// download ends as a byte-identical file or as a failure, never as a spliced file reported as success.
// Also the memory limit on answers, the sticky stop, and a 5 GiB file resumed past 4 GiB.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/HttpClientWrapper.h"
#include "net/TransferLimits.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestServers.h"
#include "utility/Digest.h"
#include "utility/ScopedHandle.h"

using namespace testsupport;
using utility::CHttpClientWrapper;

namespace {

enum class Backend { WinInet, RawSocket };

std::string backendName(Backend backend) { return backend == Backend::WinInet ? "WinInet" : "RawSocket"; }

struct Call {
    int64_t received;
    int64_t total;
};

class RecordingSink : public CHttpClientWrapper::IHttpDownloadSink {
public:
    bool onDownloadProgress(const char*, int, int64_t received, int64_t total) override {
        calls.push_back({received, total});
        return true;
    }
    bool onDownloadFinished() override { return true; }

    std::vector<Call> calls;
};

// What the user must end up with.
enum class Outcome {
    Identical,  // success, and the file is the resource as the last answer served it
    Failed,     // failure, and the file holds only right bytes (a prefix of the resource, or nothing)
};

struct FaultCase {
    const char* name;
    // {tag} becomes the back-end's name and this run's start time, so that resources with state are
// shared neither between the back-ends nor with an earlier run against the same servers.
    std::wstring path;
    int attempts;
    Outcome outcome;
    size_t size;
    // Which version of the changing resource the file must hold.
    int generation;
    // A request header the retry must carry, with {tag} replaced; empty for none.
    std::string retryHeader;
    // Why a back-end cannot tell this fault under Wine, when it cannot.
    const char* hiddenFromWinInet = nullptr;
    const char* hiddenFromRaw = nullptr;
};

std::wstring replaced(std::wstring text, const std::wstring& tag) {
    static const std::wstring run = std::to_wstring(::GetTickCount());
    const size_t at = text.find(L"{tag}");
    if (at != std::wstring::npos) text.replace(at, 5, tag + run);
    return text;
}

class FaultyServer : public ::testing::TestWithParam<std::tuple<FaultCase, Backend>> {
protected:
    void SetUp() override {
        processLogPath();
        ASSERT_NE(TestServers::get().http, 0) << "test servers are not running";
    }
    const FaultCase& fault() const { return std::get<0>(GetParam()); }
    bool raw() const { return std::get<1>(GetParam()) == Backend::RawSocket; }
    std::wstring tag() const { return raw() ? L"raw" : L"wininet"; }
};

TEST_P(FaultyServer, EndsWithAnIdenticalFileOrAFailureNeverASplice) {
    const char* hidden = raw() ? fault().hiddenFromRaw : fault().hiddenFromWinInet;
    if (hidden != nullptr) GTEST_SKIP() << hidden;
    ScratchDir dir;
    const std::wstring file = dir / L"download.bin";
    const std::wstring path = replaced(fault().path, tag());
    CHttpClientWrapper client;
    RecordingSink sink;
    const bool succeeded =
        client.download2file_ex(&sink, file, TestServers::url(TestServers::get().http, path), fault().attempts, 50, raw());

    const std::string expected = servedBytes(fault().size, fault().generation);
    const std::string actual = readFile(file);
    if (fault().outcome == Outcome::Identical) {
        ASSERT_TRUE(succeeded);
        EXPECT_TRUE(actual == expected) << "the file differs from the resource; " << actual.size() << " bytes";
        ASSERT_FALSE(sink.calls.empty());
        EXPECT_EQ(sink.calls.back().received, static_cast<int64_t>(fault().size));
    } else {
        EXPECT_FALSE(succeeded);
        ASSERT_LE(actual.size(), expected.size());
        EXPECT_TRUE(actual == expected.substr(0, actual.size())) << "the file holds bytes from a wrong offset";
    }
    if (!fault().retryHeader.empty()) {
        const std::string line = std::string(path.begin(), path.end());
        const std::string header = fault().retryHeader;
        EXPECT_NE(loggedRequestsFor("GET " + line + " ").find(header), std::string::npos) << header;
    }
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<FaultCase, Backend>>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + backendName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultyServer,
    ::testing::Combine(
        ::testing::Values(
            // The file changed between the attempts: If-Range brings the whole new version.
            FaultCase{"ChangedETag", L"/changing/300000?after=100000&validator=etag&key=e{tag}", 2,
                      Outcome::Identical, 300000, 2, "\r\nIf-Range: \"gen-1\"\r\n"},
            FaultCase{"ChangedLastModified", L"/changing/300000?after=100000&validator=lastmodified&key=l{tag}", 2,
                      Outcome::Identical, 300000, 2, "\r\nIf-Range: Mon, 01 Jan 2024 00:01:00 GMT\r\n"},
            // A part that starts after or before the file's end is never appended.
            FaultCase{"PartStartsLate", L"/wrong-range/300000?after=100000&shift=1000&{tag}", 3, Outcome::Failed,
                      300000, 0, ""},
            FaultCase{"PartStartsEarly", L"/wrong-range/300000?after=100000&shift=-1000&{tag}", 3, Outcome::Failed,
                      300000, 0, ""},
            // A cut that the answer's framing shows.
            FaultCase{"NoLengthReset", L"/nolength-cut/300000?after=100000&how=reset&{tag}", 1, Outcome::Failed,
                      300000, 0, "",
                      "Wine's WinINet, reading without waiting, reports a reset that follows the last byte as the end",
                      "Wine's recv now and then reports a reset that follows the last byte as a clean end"},
            FaultCase{"ChunkedCut", L"/chunked-cut/300000?size=30000&after=100000&{tag}", 1, Outcome::Failed, 300000,
                      0, "", "Wine's WinINet ends a chunked body that is cut short as if it were complete"},
            // Cut with a length: resumed with Range to the identical file.
            FaultCase{"CutWithLength", L"/cut/300000?after=100000&{tag}", 2, Outcome::Identical, 300000, 0,
                      "\r\nRange: bytes=100000-\r\n"}),
        ::testing::Values(Backend::WinInet, Backend::RawSocket)),
    caseName);

// Answers held in memory stop at the limit, whether or not their length is announced.
struct MemoryCase {
    const char* name;
    std::wstring path;
    bool fits;
};

class MemoryAnswer : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(MemoryAnswer, IsRefusedPastTheLimit) {
    processLogPath();
    CHttpClientWrapper client;
    std::string body;
    const bool succeeded = client.download2mem(body, TestServers::url(TestServers::get().http, GetParam().path));
    EXPECT_EQ(succeeded, GetParam().fits);
    EXPECT_LE(body.size(), utility::transferLimits().memoryAnswerBytes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MemoryAnswer,
                         ::testing::Values(MemoryCase{"AtTheLimit", L"/bytes/4194304", true},
                                           MemoryCase{"AnnouncedPastIt", L"/bytes/4194305", false},
                                           MemoryCase{"UnannouncedPastIt", L"/nolength/5000000", false}),
                         [](const ::testing::TestParamInfo<MemoryCase>& info) { return std::string(info.param.name); });

// Once stopped, a client sends nothing more: neither a later call nor a retry reaches the server.
class StoppedClient : public ::testing::TestWithParam<Backend> {};

TEST_P(StoppedClient, SendsNoFurtherRequest) {
    ScratchDir dir;
    CHttpClientWrapper client;
    client.stop();
    RecordingSink sink;
    const bool raw = GetParam() == Backend::RawSocket;
    const std::wstring path = L"/bytes/1000?after-stop-" + std::wstring(raw ? L"raw" : L"wininet");
    EXPECT_FALSE(client.download2file_ex(&sink, dir / L"f", TestServers::url(TestServers::get().http, path), 3, 0, raw));
    EXPECT_TRUE(loggedRequestsFor(std::string(path.begin(), path.end())).empty());
    EXPECT_TRUE(sink.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, StoppedClient, ::testing::Values(Backend::WinInet, Backend::RawSocket),
                         [](const ::testing::TestParamInfo<Backend>& info) { return backendName(info.param); });

// The 4096 bytes at the offset, as SHA-256.
std::string blockDigest(const std::wstring& path, long long offset) {
    utility::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER at{};
    at.QuadPart = offset;
    std::string block(4096, '\0');
    DWORD read = 0;
    if (!file || !::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
        !::ReadFile(file.get(), &block[0], 4096, &read, nullptr) || read != 4096) {
        return "unreadable";
    }
    return utility::digest::sha256Hex(block);
}

// nginx serves 5 GiB; the proxy in front cuts the first transfer past 4 GiB; the retry resumes there.
class HugeFile : public ::testing::TestWithParam<Backend> {};

TEST_P(HugeFile, ResumesPastFourGiBToTheIdenticalFile) {
    const TestServers& servers = TestServers::get();
    ASSERT_NE(servers.cutproxy, 0) << "test servers are not running";
    ASSERT_GT(servers.big5g.size, 4LL << 30);
    ScratchDir dir;
    const std::wstring file = dir / L"huge.bin";
    const long long cutAt = (9LL << 29) + 12345;  // 4.5 GiB and a little
    CHttpClientWrapper client;
    RecordingSink sink;
    ASSERT_TRUE(client.download2file_ex(
        &sink, file, TestServers::url(servers.cutproxy, servers.big5g.path + L"?cutat=" + std::to_wstring(cutAt)), 2,
        100, GetParam() == Backend::RawSocket));

    EXPECT_EQ(fileSize(file), servers.big5g.size);
    for (const auto& [offset, digest] : servers.big5g.markers) {
        EXPECT_EQ(blockDigest(file, offset), digest) << "marker at " << offset;
    }
    ASSERT_FALSE(sink.calls.empty());
    for (size_t i = 1; i < sink.calls.size(); ++i) {
        ASSERT_GT(sink.calls[i].received, sink.calls[i - 1].received) << "the retry restarted instead of resuming";
    }
    EXPECT_EQ(sink.calls.back().received, servers.big5g.size);
    EXPECT_EQ(sink.calls.back().total, servers.big5g.size);
}

INSTANTIATE_TEST_SUITE_P(Backends, HugeFile, ::testing::Values(Backend::WinInet, Backend::RawSocket),
                         [](const ::testing::TestParamInfo<Backend>& info) { return backendName(info.param); });

}  // namespace
