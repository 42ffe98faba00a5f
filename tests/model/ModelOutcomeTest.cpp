// What the model tells the window when the download or the installation does not work out, against the
// local market server and the fake emulator: why a download failed, a refused installer, what an
// installer run came to, a try-again that continues the partial file, and the reports around the
// download (the address wait, the final size).

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "model/ConfigImp.h"
#include "tests/e2e/FileTail.h"
#include "tests/model/LoggedLine.h"
#include "tests/model/ModelFlow.h"
#include "tests/support/TestFiles.h"
#include "utility/UString.h"

using namespace testsupport;
using namespace modeltest;

namespace {

std::wstring wide(const std::string& text) { return utility::ustring::utf8ToWide(text); }

std::wstring installerOf(const std::wstring& installPath) {
    return ConfigImp::instance().installerExePath(installPath);
}

// While it lives, the fake installer installs nothing (it still records its command line and ends as if
// it had worked).
class FailingInstaller {
public:
    FailingInstaller() { writeFile(path(), "install nothing"); }
    ~FailingInstaller() { ::DeleteFileW(path().c_str()); }
    FailingInstaller(const FailingInstaller&) = delete;
    FailingInstaller& operator=(const FailingInstaller&) = delete;

private:
    static std::wstring path() { return market().records + L"fakeinstaller-fail.txt"; }
};

// The fake installer sleeps this long before it ends, while the object lives.
class SlowInstaller {
public:
    explicit SlowInstaller(const wchar_t* milliseconds) {
        ::SetEnvironmentVariableW(L"PELORA_FAKE_INSTALLER_SLEEP_MS", milliseconds);
    }
    ~SlowInstaller() { ::SetEnvironmentVariableW(L"PELORA_FAKE_INSTALLER_SLEEP_MS", nullptr); }
    SlowInstaller(const SlowInstaller&) = delete;
    SlowInstaller& operator=(const SlowInstaller&) = delete;
};

// What the fake installer records from now on.
e2e::FileTail installerRecord() { return e2e::FileTail(market().records + L"fakeinstaller-record.txt"); }

// --- why a download failed -------------------------------------------------------------------------

struct FailureCase {
    const char* name;
    const wchar_t* switches;
    DownloadFailure expected;
};

class ModelDownloadFailure : public ModelFlow, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ModelDownloadFailure, NamesWhyEveryFallbackFailed) {
    static int nextOpenId = 71001;
    const std::string id = std::to_string(nextOpenId++);
    ASSERT_TRUE(setSwitches(GetParam().switches));
    start(L"pelora4_en_" + wide(id) + L"_x");
    EXPECT_FALSE(download());
    EXPECT_EQ(outcome.failures, std::vector<DownloadFailure>{GetParam().expected})
        << (outcome.failures.empty() ? L"none" : downloadFailureName(outcome.failures.front()));
    EXPECT_TRUE(hitArrives("&ea=download_Error&el=" + id + "_"));
    EXPECT_FALSE(fileExists(installerOf(installPath)));
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ModelDownloadFailure,
    ::testing::Values(
        FailureCase{"refusedEverywhere", L"fail-package=ABC", DownloadFailure::ServerRefused},
        FailureCase{"refusedEverywhereAndAtTheSpare", L"fail-package=ABC&url-spare=on", DownloadFailure::ServerRefused},
        FailureCase{"droppedEverywhere", L"fail-package=ABC&fail-how=close", DownloadFailure::NoConnection},
        // The cut transfers got an answer; the dropped ones after them did not change what it said.
        FailureCase{"cutThenDropped", L"fail-url=cut&fail-package=C&fail-how=close", DownloadFailure::NoConnection},
        FailureCase{"cutThenRefused", L"fail-url=cut&fail-package=C", DownloadFailure::ServerRefused},
        FailureCase{"wrongDigestThenRefused", L"digest=wrong-md5&fail-package=C", DownloadFailure::NotGenuine},
        FailureCase{"wrongDigestThenDropped", L"digest=wrong-md5&fail-package=C&fail-how=close",
                    DownloadFailure::NotGenuine}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// --- a refused installer ---------------------------------------------------------------------------

struct RefusalCase {
    const char* name;
    const char* openId;
    bool changedAfterDownload;  // bytes appended after the download's digest check
    const wchar_t* signer;      // the publisher whose signature is required; null: none
    const char* reason;         // as the refusal event reports it
};

class ModelRefusedInstaller : public ModelFlow, public ::testing::WithParamInterface<RefusalCase> {};

// A refused installer is a download that brought the wrong file: it is deleted, nothing is installed or
// written, and a try-again downloads it afresh.
TEST_P(ModelRefusedInstaller, IsDeletedAndReportedAsANotGenuineDownload) {
    const RefusalCase& c = GetParam();
    start(L"pelora4_en_" + wide(c.openId) + L"_x");
    ASSERT_TRUE(download());
    const std::wstring installer = installerOf(installPath);
    if (c.changedAfterDownload) writeFile(installer, readFile(installer) + "appended after the check");
    if (c.signer != nullptr) model.setInstallerSigner(c.signer);

    const e2e::FileTail record = installerRecord();
    ASSERT_TRUE(install());
    EXPECT_EQ(outcome.failures, std::vector<DownloadFailure>{DownloadFailure::NotGenuine});
    EXPECT_FALSE(outcome.installed.has_value());
    EXPECT_TRUE(hitArrives("&ea=download_installerRefused&el=" + std::string(c.openId) + "_" + c.reason + "&"));
    EXPECT_FALSE(fileExists(installer)) << "the refused installer was kept";
    EXPECT_EQ(record.text(), "") << "the refused installer ran";
    EXPECT_FALSE(fileExists(installPath + L"qorplayer.exe"));
    EXPECT_FALSE(fileExists(installPath + L"data")) << "the channel's settings were written";

    const e2e::FileTail requests(market().requestsLog);
    model.retryDownloadPlayer();
    ASSERT_TRUE(finishDownload());
    EXPECT_EQ(fileSize(installer), market().installerSize);
    EXPECT_TRUE(requests.contains("GET /cdn/en/pelora4.exe range=- client=other")) << requests.text();
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, ModelRefusedInstaller,
    ::testing::Values(RefusalCase{"changedAfterItsDownload", "40003", true, nullptr, "digest"},
                      RefusalCase{"unsigned", "40004", false, L"Pelora Test Publisher", "notSigned"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

// --- what an installer run came to ----------------------------------------------------------------

struct InstallCase {
    const char* name;
    const char* openId;  // each has a channel title (channel-configs.json), so that data.ini has a key
    bool installerFails;       // the fake installer installs nothing and ends as if it had worked
    bool playerThereBefore;    // an emulator of an earlier installation is in the folder
    bool outlivesTheWait;      // the installer runs on after the model has stopped waiting for it
    InstallOutcome expected;
    const char* event;         // the value of download_installComplete after the open id
};

class ModelInstallOutcome : public ModelFlow, public ::testing::WithParamInterface<InstallCase> {};

// The installer's exit code says nothing; the emulator it leaves in the folder decides, and only an
// installed emulator gets the channel's settings.
TEST_P(ModelInstallOutcome, IsDecidedByTheEmulatorInTheFolder) {
    const InstallCase& c = GetParam();
    start(L"pelora4_en_" + wide(c.openId) + L"_x");
    ASSERT_TRUE(pumpMessagesUntil([&] { return !model.installerSettings().windowTitle.empty(); },
                                  std::chrono::seconds(20)));
    ASSERT_TRUE(download());
    if (c.playerThereBefore) writeFile(installPath + L"qorplayer.exe", "an earlier emulator");
    {
        std::optional<FailingInstaller> failing;
        if (c.installerFails) failing.emplace();
        std::optional<SlowInstaller> slow;
        if (c.outlivesTheWait) {
            slow.emplace(L"4000");
            model.setInstallerWaitMs(300);
        }
        const e2e::FileTail record = installerRecord();
        ASSERT_TRUE(install());
        // The installer has looked for the failure marker once its record line is there.
        ASSERT_TRUE(record.waitFor("-openid=" + std::string(c.openId) + " ", std::chrono::seconds(30)));
    }
    ASSERT_TRUE(outcome.installed.has_value());
    EXPECT_EQ(*outcome.installed, c.expected) << installOutcomeName(*outcome.installed);
    EXPECT_TRUE(outcome.failures.empty());
    EXPECT_TRUE(hitArrives("&ea=download_installComplete&el=" + std::string(c.openId) + c.event + "&"));
    const bool installed = c.expected == InstallOutcome::Installed;
    EXPECT_EQ(profileValue(installPath + L"data\\data.ini", L"title") != "<absent>", installed);
}

INSTANTIATE_TEST_SUITE_P(
    Installers, ModelInstallOutcome,
    ::testing::Values(
        InstallCase{"installs", "41001", false, false, false, InstallOutcome::Installed, ""},
        InstallCase{"endsWithoutAnEmulator", "41002", true, false, false, InstallOutcome::NoPlayer, "_errNoPlayer"},
        InstallCase{"outlivesTheWaitWithoutAnEmulator", "41003", true, false, true, InstallOutcome::NoPlayer,
                    "_errWaitTimeout"},
        InstallCase{"outlivesTheWaitOverAnEarlierEmulator", "41004", true, true, true, InstallOutcome::Installed,
                    "_errWaitTimeout"}),
    [](const ::testing::TestParamInfo<InstallCase>& info) { return std::string(info.param.name); });

// --- try again -------------------------------------------------------------------------------------

// Every address fails; the partial file stays. Once the market serves again, the try-again asks the
// announced address for the rest of it and completes the same file.
TEST_F(ModelFlow, ATryAgainContinuesThePartialFile) {
    ASSERT_TRUE(setSwitches(L"fail-url=cut&fail-package=C"));
    start(L"pelora4_en_72001_x");
    ASSERT_FALSE(download());
    const std::wstring installer = installerOf(installPath);
    const long long partial = fileSize(installer + L".tmp");
    ASSERT_GT(partial, 0);
    ASSERT_LT(partial, market().installerSize);

    ASSERT_TRUE(setSwitches(kFullService));
    const e2e::FileTail requests(market().requestsLog);
    model.retryDownloadPlayer();
    ASSERT_TRUE(finishDownload());
    EXPECT_NE(requests.text().find("GET /cdn/en/pelora4.exe range=bytes=" + std::to_string(partial) + "- client=other"),
              std::string::npos)
        << requests.text();
    EXPECT_EQ(requests.count("GET /cdn/en/pelora4.exe "), 1u) << requests.text();
    // The announced digest was checked on the completed file.
    expectCompleteInstaller();
}

TEST_F(ModelFlow, ATryAgainDuringADownloadIsIgnored) {
    ASSERT_TRUE(setSwitches(L"slow-kbps=64"));
    const e2e::FileTail requests(market().requestsLog);
    start(L"pelora4_en_72002_x");
    model.startDownloadPlayer();
    ASSERT_TRUE(pumpMessagesUntil([&] { return requests.contains("GET /cdn/en/pelora4.exe "); },
                                  std::chrono::seconds(20)));
    model.retryDownloadPlayer();
    EXPECT_TRUE(loggedLine("DownloaderModel::retryDownloadPlayer", "download again ignored"));
    model.stop();
    EXPECT_EQ(requests.count("GET /cdn/en/pelora4.exe "), 1u) << requests.text();
}

// --- reports around the download ------------------------------------------------------------------

// While the address is unknown the window hears so at once, before the wait's first tick.
TEST_F(ModelFlow, TheAddressWaitIsReportedAtOnce) {
    ASSERT_TRUE(setSwitches(L"version-service=broken"));
    model.initFromName(L"pelora4_en_72003_x", nullptr);
    model.setInstallPath(installPath);
    EXPECT_TRUE(hitArrives("&ea=getPlayerUrl_error&el=72003&"));
    model.startDownloadPlayer();
    ASSERT_TRUE(pumpMessagesUntil([&] { return !outcome.reports.empty(); }, std::chrono::seconds(20)));
    EXPECT_EQ(outcome.reports.front().percent, -1);
    EXPECT_EQ(outcome.reports.front().received, 0);
    EXPECT_EQ(outcome.reports.front().total, 0);
    EXPECT_TRUE(model.getPlayerUrl().empty()) << "reported only once the wait was over";

    ASSERT_TRUE(finishDownload());
    EXPECT_EQ(std::count_if(outcome.reports.begin(), outcome.reports.end(), [](const Report& r) { return r.percent < 0; }),
              1);
    EXPECT_EQ(outcome.reports.back().received, market().installerSize);
}

}  // namespace
