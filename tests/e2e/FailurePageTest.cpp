// A step that fails is said so, with a way out, driven as a person would: the market fails in each
// way a download can, the download-failed page names the cause in words, "Try again" succeeds once
// the market is back, and "Download in browser" hands the installer's address to the shell. An
// installer that ends without installing the emulator leads to the install-failed page, whose
// "Try again" runs it again and whose link hands the log folder to the shell. Neither page goes on to the
// emulator, and each is reported.

#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <set>
#include <thread>

#include "tests/e2e/DownloaderCase.h"
#include "tests/e2e/LanguageFile.h"
#include "tests/support/TestFiles.h"
#include "utility/ScopedHandle.h"
#include "utility/UString.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

constexpr int kProgressPage = 2;
constexpr int kFinishPage = 4;
constexpr int kDownloadFailedPage = 6;
constexpr int kInstallFailedPage = 7;

// A plain downloader: no game, so a good installation ends on the finish page.
constexpr wchar_t kPlainDownloader[] = L"pelora4_en_0_100_x.exe";

// The shell's command for a kind of target, pointed at the test child for one case, so that what
// the program hands to the shell is recorded instead of opened.
class ShellCommandGuard {
public:
    ShellCommandGuard(const std::wstring& kind, const std::wstring& record)
        : key_(L"Software\\Classes\\" + kind + L"\\shell\\open\\command") {
        saved_ = read();
        const std::wstring command =
            L"\"" + testsupport::toolPath(L"testchild.exe") + L"\" record \"" + record + L"\" \"%1\"";
        set_ = write(&command);
    }
    ~ShellCommandGuard() { write(saved_ ? &*saved_ : nullptr); }
    ShellCommandGuard(const ShellCommandGuard&) = delete;
    ShellCommandGuard& operator=(const ShellCommandGuard&) = delete;
    bool set() const { return set_; }

private:
    // Sets the command, or removes it when there is none.
    bool write(const std::wstring* command) const {
        utility::UniqueKey key;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.receive(),
                              nullptr) != ERROR_SUCCESS) {
            return false;
        }
        if (!command) return ::RegDeleteValueW(key.get(), nullptr) == ERROR_SUCCESS;
        return ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command->c_str()),
                                static_cast<DWORD>((command->size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

    std::optional<std::wstring> read() const {
        wchar_t value[2048] = {};
        DWORD size = sizeof value;
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, key_.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        return std::wstring(value);
    }

    std::wstring key_;
    std::optional<std::wstring> saved_;
    bool set_ = false;
};

// The ids of the running explorer.exe processes (the shell's folder windows; Wine's desktop among them).
std::set<DWORD> explorerProcesses() {
    std::set<DWORD> found;
    const utility::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, L"explorer.exe") == 0) found.insert(entry.th32ProcessID);
    }
    return found;
}

// A folder window the case opened would outlive it and hold the test's output open: it is ended.
void endExplorersBut(const std::set<DWORD>& earlier) {
    for (DWORD id : explorerProcesses()) {
        if (earlier.count(id) != 0) continue;
        const utility::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) continue;
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 10000);
    }
}

struct DownloadFailureCase {
    const char* label;
    const wchar_t* switches;  // the market's failure
    const wchar_t* textKey;   // what the page says
    const char* reason;       // as the failure is reported
};

std::ostream& operator<<(std::ostream& out, const DownloadFailureCase& c) { return out << c.label; }

const DownloadFailureCase kDownloadFailures[] = {
    {"no_connection", L"fail-package=ABC&fail-how=close", L"download_failed_connection", "noConnection"},
    {"server_refused", L"fail-package=ABC", L"download_failed_server", "serverRefused"},
    {"not_genuine", L"fail-package=C&digest=wrong-md5", L"download_failed_damaged", "notGenuine"},
};

class FailurePage : public DownloaderCase {
protected:
    // Installs, and waits for the page the market's state leads to.
    void installUntil(DownloaderApp& app, int page) {
        ASSERT_TRUE(app.start());
        ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
        app.main().click(L"installnowbtn");
        ASSERT_TRUE(app.waitForPage(kProgressPage, 10s)) << "the install click did not lead to the progress page";
        ASSERT_TRUE(app.waitForPage(page, 150s)) << "page " << page << " was not shown";
        std::this_thread::sleep_for(400ms);
    }

    void expectShown(DownloaderApp& app, std::initializer_list<const wchar_t*> controls) {
        for (const wchar_t* control : controls) {
            EXPECT_LT(app.main().mismatch(control), kSameLook) << utf8(control);
        }
    }

    // The emulator never starts from a failure page, and no game step follows it.
    void expectNothingFollows(DownloaderApp& app) {
        std::this_thread::sleep_for(2s);
        EXPECT_FALSE(app.pageSelected(3)) << "the game page followed a failure";
        EXPECT_TRUE(recordedRuns(playerRecord).empty()) << "the emulator started after a failure";
        EXPECT_TRUE(recordedRuns(consoleRecord).empty());
    }

    const model::LanguageStrings english = languageStrings(L"en");
    const std::wstring failMarker = Market::get().records + L"fakeinstaller-fail.txt";
};

class DownloadFailed : public FailurePage, public ::testing::WithParamInterface<DownloadFailureCase> {};

TEST_P(DownloadFailed, SaysWhyAndTryAgainSucceedsOnceTheMarketRecovers) {
    const DownloadFailureCase& failure = GetParam();
    ASSERT_TRUE(Market::get().setSwitches(failure.switches));
    DownloaderApp app(kPlainDownloader);
    installUntil(app, kDownloadFailedPage);
    if (HasFatalFailure()) return;
    app.main().map().setText(L"downloadFailedLabel", english.get(failure.textKey));
    expectShown(app, {L"downloadFailedTitle", L"downloadFailedLabel", L"retryDownloadBtn", L"browserDownloadBtn"});
    shoot(app, L"failure_" + utility::ustring::utf8ToWide(failure.label) + L"_6_download_failed");
    EXPECT_TRUE(waitForHit(hits, "download_failPage", std::string("0_") + failure.reason)) << hits.text();
    EXPECT_TRUE(installerRecord.text().empty()) << "an installer ran after a failed download";
    expectNothingFollows(app);

    ASSERT_TRUE(Market::get().resetSwitches());
    app.main().click(L"retryDownloadBtn");
    ASSERT_TRUE(app.waitForPage(kFinishPage, 150s)) << "trying again did not install";
    EXPECT_TRUE(waitForHit(hits, "download_tryAgain", "0_download")) << hits.text();
    EXPECT_TRUE(hits.waitFor("&ea=download_Success&el=0_")) << hits.text();
    EXPECT_EQ(recordedRuns(installerRecord).size(), 1u);
    app.main().click(L"closebtn");
    ASSERT_TRUE(app.waitForExit(30s));
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(Market, DownloadFailed, ::testing::ValuesIn(kDownloadFailures),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(FailurePage, DownloadInBrowserHandsTheInstallersAddressToTheShell) {
    const std::wstring browserRecord = dir / L"browser.txt";
    const ShellCommandGuard browser(L"http", browserRecord);
    ASSERT_TRUE(browser.set());
    ASSERT_TRUE(Market::get().setSwitches(L"fail-package=ABC"));
    DownloaderApp app(kPlainDownloader);
    installUntil(app, kDownloadFailedPage);
    if (HasFatalFailure()) return;
    const FileTail opened(browserRecord);
    app.main().click(L"browserDownloadBtn");
    EXPECT_TRUE(opened.waitFor(utf8(Market::get().base) + "/cdn/en/pelora4.exe", 20s))
        << "the browser was not given the installer's address: " << opened.text();
    EXPECT_TRUE(waitForHit(hits, "download_useBrowser", "0")) << hits.text();
    // The page stays, so the user may still try again or close.
    EXPECT_TRUE(app.pageSelected(kDownloadFailedPage));
    app.main().click(L"closebtn");
    ASSERT_TRUE(app.waitForExit(30s)) << "closing a failure page asks nothing";
    EXPECT_FALSE(hits.contains("&ea=userCancel&"));
}

TEST_F(FailurePage, AnInstallerThatInstallsNothingIsShownAndTriedAgain) {
    testsupport::writeFile(failMarker, "");
    struct MarkerRemover {
        std::wstring path;
        ~MarkerRemover() { ::DeleteFileW(path.c_str()); }
    } removeMarker{failMarker};
    DownloaderApp app(kPlainDownloader);
    installUntil(app, kInstallFailedPage);
    if (HasFatalFailure()) return;
    expectShown(app, {L"installFailedTitle", L"installFailedLabel", L"retryInstallBtn", L"openLogFolderBtn"});
    shoot(app, L"failure_no_player_7_install_failed");
    EXPECT_TRUE(waitForHit(hits, "install_failPage", "0_noPlayer")) << hits.text();
    EXPECT_TRUE(waitForHit(hits, "download_installComplete", "0_errNoPlayer")) << hits.text();
    EXPECT_EQ(recordedRuns(installerRecord).size(), 1u);
    expectNothingFollows(app);

    // The shell's folder class answers through DDE first, which under Wine fails in some runs (error
    // 1156) before it falls back to its command: the log tells what was handed to the shell.
    const std::set<DWORD> explorers = explorerProcesses();
    app.main().click(L"openLogFolderBtn");
    EXPECT_TRUE(waitForHit(hits, "install_openLogs", "0")) << hits.text();
    std::this_thread::sleep_for(1s);
    endExplorersBut(explorers);
    EXPECT_TRUE(app.log().waitFor("open log folder C:\\users\\", 20s)) << app.log().text();

    ::DeleteFileW(failMarker.c_str());
    app.main().click(L"retryInstallBtn");
    ASSERT_TRUE(app.waitForPage(kFinishPage, 150s)) << "trying again did not install";
    EXPECT_TRUE(waitForHit(hits, "download_tryAgain", "0_install")) << hits.text();
    EXPECT_EQ(recordedRuns(installerRecord).size(), 2u) << "the installer in place runs again, not downloaded again";
    app.main().click(L"closebtn");
    ASSERT_TRUE(app.waitForExit(30s));
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace e2e
