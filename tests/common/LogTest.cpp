// The log as it lands in the real file: line format, cutting and dropping, UTF-16 restart, rollover,
// two writer threads, and the lines still pending when a process ends.

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "common/Log.h"
#include "common/LogPrint.h"
#include "common/LogWriter.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "utility/UProcess.h"

using namespace testsupport;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", begin)) {
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 2;
    }
    return lines;
}

// The one line of the process log that holds the marker, or "" when there is none.
std::string processLogLine(const std::string& marker) {
    if (!logContains(marker)) return {};
    for (const std::string& line : linesOf(readFile(processLogPath()))) {
        if (line.find(marker) != std::string::npos) return line;
    }
    return {};
}

const std::regex kPrefix(R"(^(\d\d)-(\d\d)\t\d\d:\d\d:\d\d\.\d\d\d\t(\d{4,})\t([^\t]*)\t\((-?\d+)\):)");

}  // namespace

TEST(LogLine, CarriesDateTimeThreadFunctionAndLine) {
    processLogPath();
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    logPrint("utility::process::execute", 77, L"format-check %s %d", L"arg", 5);

    const std::string line = processLogLine("format-check");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(line, match, kPrefix)) << line;
    EXPECT_EQ(std::stoi(match[1]), now.wMonth);
    EXPECT_EQ(std::stoi(match[2]), now.wDay);
    EXPECT_EQ(std::stoul(match[3]), ::GetCurrentThreadId());
    EXPECT_EQ(match[4], "utility::process::execute");
    EXPECT_EQ(match[5], "77");
    EXPECT_EQ(match.suffix(), "format-check arg 5");
    EXPECT_NE(readFile(processLogPath()).find("format-check arg 5\r\n"), std::string::npos);
}

struct MessageCase {
    const char* name;
    std::wstring message;
    std::string expected;  // UTF-8 message as logged; empty when the line must be dropped
};

class LogMessage : public ::testing::TestWithParam<MessageCase> {};

TEST_P(LogMessage, IsWrittenOrDroppedWhole) {
    const MessageCase& c = GetParam();
    const std::string before = std::string("before-") + c.name;
    const std::string after = std::string("after-") + c.name;
    logPrint("LogMessage", 1, L"%S", before.c_str());
    logPrint("LogMessage", 2, L"%s", c.message.c_str());
    logPrint("LogMessage", 3, L"%S", after.c_str());

    ASSERT_FALSE(processLogLine(after).empty());
    EXPECT_FALSE(processLogLine(before).empty());
    const std::vector<std::string> lines = linesOf(readFile(processLogPath()));
    bool found = false;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].find(before) == std::string::npos) continue;
        found = true;
        if (c.expected.empty()) {
            EXPECT_NE(lines[i + 1].find(after), std::string::npos) << "the long line was not dropped";
        } else {
            const std::string& line = lines[i + 1];
            ASSERT_GE(line.size(), c.expected.size());
            EXPECT_EQ(line.substr(line.size() - c.expected.size()), c.expected);
            EXPECT_NE(line.find("\t(2):"), std::string::npos);
        }
    }
    EXPECT_TRUE(found);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogMessage,
    ::testing::Values(
        MessageCase{"percent", L"GET http://host/a%20b%25c 100%", "):GET http://host/a%20b%25c 100%"},
        MessageCase{"chinese", L"\u4e0b\u8f7d\u5b8c\u6210 ok", "):\xe4\xb8\x8b\xe8\xbd\xbd\xe5\xae\x8c\xe6\x88\x90 ok"},
        // Messages are cut to 511 UTF-16 units before they become a line.
        MessageCase{"cut", std::wstring(600, L'y'), "):" + std::string(511, 'y')},
        // 400 Chinese characters are 1200 UTF-8 bytes: dropped, not written empty.
        MessageCase{"toolongutf8", std::wstring(400, L'\u4e2d'), ""}),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.name); });

TEST(LogWriterFile, RestartsAUtf16LogAndAppendsToAnyOther) {
    ScratchDir dir;
    const std::wstring utf16 = dir / L"old16.log";
    const std::wstring utf8 = dir / L"old8.log";
    writeFile(utf16, std::string("\xFF\xFEo\0l\0d\0", 8));
    writeFile(utf8, "old line\r\n");
    {
        common::LogWriter writer16(utf16);
        common::LogWriter writer8(utf8);
        writer16.submit("new line\r\n", 10);
        writer8.submit("new line\r\n", 10);
    }
    EXPECT_EQ(readFile(utf16), "new line\r\n");
    EXPECT_EQ(readFile(utf8), "old line\r\nnew line\r\n");
}

TEST(LogWriterFile, StartsAnEmptyFileOnceItReachesFourMebibytes) {
    ScratchDir dir;
    const std::wstring path = dir / L"big.log";
    writeFile(path, std::string(common::LogWriter::kRestartSize - 5, 'o'));
    common::LogWriter writer(path);

    writer.submit("1234\r\n", 6);  // brings the file to 4 MiB + 1 byte
    writer.flush();
    EXPECT_EQ(fileSize(path), 0);

    writer.submit("first\r\n", 7);
    writer.flush();
    EXPECT_EQ(readFile(path), "first\r\n");
}

TEST(LogWriterFile, WritesPendingLinesWithinHalfASecondWithoutFlush) {
    ScratchDir dir;
    const std::wstring path = dir / L"timed.log";
    common::LogWriter writer(path);
    writer.submit("timed\r\n", 7);
    EXPECT_TRUE(waitUntil([&] { return readFile(path) == "timed\r\n"; }, std::chrono::milliseconds(1500)));
}

TEST(LogWriterFile, DropsLinesWhileMoreThanTheLimitIsPending) {
    ScratchDir dir;
    const std::wstring path = dir / L"burst.log";
    const std::string line = std::string(98, 'b') + "\r\n";
    constexpr int kLines = 20000;
    {
        common::LogWriter writer(path);
        for (int i = 0; i < kLines; ++i) writer.submit(line.data(), line.size());
    }
    const std::string text = readFile(path);
    ASSERT_EQ(text.size() % line.size(), 0u) << "a line was torn";
    const size_t written = text.size() / line.size();
    EXPECT_GT(written, 40u);
    EXPECT_LT(written, static_cast<size_t>(kLines));
}

TEST(LogWriterThreads, KeepEachLineWholeAndInSubmissionOrder) {
    processLogPath();
    constexpr int kPerThread = 400;
    auto writeLines = [](int thread) {
        for (int i = 0; i < kPerThread; ++i) {
            logPrint("LogWriterThreads", thread, L"twothreads t%d seq %05d %s", thread, i,
                     L"padding-padding-padding-padding");
            if (i % 20 == 0) ::Sleep(30);  // let the writer drain, so most lines survive the limit
        }
    };
    std::thread first(writeLines, 1);
    std::thread second(writeLines, 2);
    first.join();
    second.join();
    logPrint("LogWriterThreads", 0, L"twothreads done");
    ASSERT_TRUE(logContains("twothreads done"));

    const std::regex shape(R"(^\d\d-\d\d\t\d\d:\d\d:\d\d\.\d\d\d\t\d{4,}\tLogWriterThreads\t\(([12])\):twothreads t\1 seq (\d{5}) padding-padding-padding-padding$)");
    int last[3] = {-1, -1, -1};
    int seen = 0;
    for (const std::string& line : linesOf(readFile(processLogPath()))) {
        if (line.find("twothreads t") == std::string::npos) continue;
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, shape)) << line;
        const int thread = std::stoi(match[1]);
        const int seq = std::stoi(match[2]);
        EXPECT_GT(seq, last[thread]) << line;
        last[thread] = seq;
        ++seen;
    }
    EXPECT_GT(seen, kPerThread);
}

TEST(LogWriterProcess, WritesPendingLinesWhenTheProcessEnds) {
    ScratchDir dir;
    const std::wstring path = dir / L"child.log";
    ASSERT_TRUE(utility::process::execute(toolPath(L"testchild.exe"),
                                          L"log \"" + path + L"\" last-words-before-exit", 20000));
    const std::string text = readFile(path);
    EXPECT_NE(text.find("):last-words-before-exit\r\n"), std::string::npos) << text;
}
