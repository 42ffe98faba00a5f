#include "tests/e2e/DownloaderCase.h"

#include <cctype>

#include "tests/support/TestFiles.h"
#include "utility/UString.h"

namespace e2e {

namespace {

const Market& market() { return Market::get(); }

std::string percentEncoded(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '_' || c == '.' || c == '-') {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += digits[c >> 4];
            encoded += digits[c & 0xF];
        }
    }
    return encoded;
}

}  // namespace

std::string utf8(const std::wstring& text) { return utility::ustring::wideToUtf8(text); }

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string parametersOf(const std::string& commandLine) {
    size_t end = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        end = commandLine.find('"', 1);
        end = end == std::string::npos ? commandLine.size() : end + 1;
    } else {
        end = commandLine.find(' ');
        if (end == std::string::npos) end = commandLine.size();
    }
    std::string rest = commandLine.substr(end);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    return rest;
}

std::vector<std::string> recordedRuns(const FileTail& record) {
    std::vector<std::string> runs;
    for (const std::string& line : linesOf(record.text())) runs.push_back(parametersOf(line));
    return runs;
}

bool waitForHit(const FileTail& hits, const std::string& event, const std::string& value,
                std::chrono::milliseconds timeout) {
    const std::string plain = "&ea=" + event + "&el=" + value + "&";
    const std::string encoded = "&ea=" + percentEncoded(event) + "&el=" + percentEncoded(value) + "&";
    return testsupport::waitUntil([&] { return hits.contains(plain) || hits.contains(encoded); }, timeout);
}

DownloaderCase::DownloaderCase()
    : installPath(dir / L"Pelora\\Pelora4.0\\"),
      hits(market().hitsLog),
      requests(market().requestsLog),
      installerRecord(market().records + L"fakeinstaller-record.txt"),
      playerRecord(market().records + L"qorplayer-record.txt"),
      consoleRecord(market().records + L"qorconsole-record.txt") {}

void DownloaderCase::SetUp() {
    if (!market().running) GTEST_SKIP() << "the local market server is not running for this build (ctest fixture \"market\")";
    if (!testsupport::fileExists(downloaderProgram())) GTEST_SKIP() << "downloader.exe is not built";
    ASSERT_TRUE(market().resetSwitches());
    ASSERT_TRUE(installDir.set(installPath));
}

void DownloaderCase::TearDown() {
    if (market().running) market().resetSwitches();
}

void DownloaderCase::closeAndConfirm(DownloaderApp& app) {
    app.main().click(L"closebtn");
    std::unique_ptr<WindowDriver> box = app.waitForBox(kConfirmationClass, L"downloaderbox.xml");
    ASSERT_NE(box, nullptr) << "no exit confirmation";
    box->click(L"btnLeft");
    ASSERT_TRUE(app.waitForExit(std::chrono::seconds(20))) << "still running after \"Yes\"";
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
}

void DownloaderCase::shoot(DownloaderApp& app, const std::wstring& name) {
    const WindowShot shot = app.main().shoot(name);
    EXPECT_FALSE(shot.path.empty()) << "no picture " << utf8(name);
}

}  // namespace e2e
