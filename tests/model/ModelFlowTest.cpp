// The model's whole job, headless, against the local market server and the fake emulator: address
// lookup, the open-id configuration, the download and each of its fallbacks, the silent installation,
// the channel's settings and files, the emulator's start, and the events the collector received.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>

#include "config/ServiceAddresses.h"
#include "model/ConfigImp.h"
#include "model/DownloaderModel.h"
#include "tests/e2e/FileTail.h"
#include "tests/model/LoggedLine.h"
#include "tests/model/ModelFlow.h"
#include "tests/support/ScopedTransferLimits.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/ShellLink.h"
#include "tests/support/TestFiles.h"
#include "utility/AsyncRun.h"
#include "utility/ScopedHandle.h"
#include "utility/UiDispatcher.h"
#include "utility/UFile.h"
#include "utility/UString.h"

using namespace testsupport;
using namespace modeltest;

namespace {

// Dispatches the calling thread's messages as the window's loop would, until the condition holds or the
// time is up; longestMs grows to the longest time one message kept the thread.
bool pumpTimingEachMessage(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
                           DWORD& longestMs) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const DWORD begin = ::GetTickCount();
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
            longestMs = std::max(longestMs, ::GetTickCount() - begin);
        }
    }
    return true;
}

TEST_F(ModelFlow, FromInitToLaunchEndToEnd) {
    ::DeleteFileW((market().records + L"fakeinstaller-record.txt").c_str());
    ::DeleteFileW((market().records + L"qorplayer-record.txt").c_str());
    start(L"pelora4_en_com.example.game_12345_x");
    ASSERT_TRUE(pumpMessagesUntil([&] { return model.gamePackages().size() == 1; }, std::chrono::seconds(20)));
    const GamePackage game = model.gamePackages()[0];
    EXPECT_EQ(game.app_package_name, L"com.example.game");
    EXPECT_EQ(game.gamename, L"Example Game");
    EXPECT_EQ(game.resolution, L"1280,720,240");

    ASSERT_TRUE(download());
    expectCompleteInstaller();
    EXPECT_TRUE(hitArrives("&ea=download_Success&el=12345_"));
    const std::wstring installer = ConfigImp::instance().installerExePath(installPath);

    ASSERT_TRUE(install());
    EXPECT_EQ(outcome.installed, InstallOutcome::Installed);

    // The installer ran silently with the downloader's identity, and installed the emulator.
    const std::string recorded = readFile(market().records + L"fakeinstaller-record.txt");
    EXPECT_NE(recorded.find(utility::ustring::wideToUtf8(L"\"" + installer + L"\" -silence -downloader -openid=12345 "
                                                         L"-language=en -path=\"" + installPath + L"\"")),
              std::string::npos)
        << recorded;
    EXPECT_TRUE(fileExists(installPath + L"qorplayer.exe"));
    EXPECT_TRUE(hitArrives("&ea=download_installComplete&el=12345&"));

    // The channel's settings, images and shortcut.
    const std::wstring data = installPath + L"data\\";
    const std::wstring ini = data + L"data.ini";
    EXPECT_EQ(profileValue(ini, L"adshow"), "0");
    EXPECT_EQ(profileValue(ini, L"cleanmodel"), "<absent>");
    EXPECT_EQ(profileValue(ini, L"useroot"), "<absent>");
    EXPECT_EQ(profileValue(ini, L"runappstore"), "<absent>");
    EXPECT_EQ(profileValue(ini, L"title"), "Example Title");
    EXPECT_EQ(profileValue(ini, L"heapsize"), "512");
    EXPECT_EQ(profileValue(ini, L"runapp"), "com.example.game");
    EXPECT_EQ(profileValue(ini, L"qqlink"), utility::ustring::wideToUtf8(std::wstring(config::kIntlBase) + L"/community"));
    EXPECT_GT(fileSize(data + L"launch_1920.jpg"), 0);
    EXPECT_GT(fileSize(data + L"launch_1080.jpg"), 0);
    EXPECT_GT(fileSize(data + L"Example Game.ico"), 0);
    const std::wstring shortcut = desktopFolder() + L"\\Example Game.lnk";
    const Link link = readLink(shortcut);
    EXPECT_EQ(link.target, installPath + L"qorplayer.exe");
    EXPECT_EQ(link.arguments, L"package=com.example.game");
    EXPECT_EQ(link.icon, data + L"Example Game.ico");
    EXPECT_EQ(link.folder, installPath);
    ::DeleteFileW(shortcut.c_str());

    // The emulator starts on the game.
    model.launchPlayer();
    EXPECT_TRUE(waitUntil(
        [&] {
            return readFile(market().records + L"qorplayer-record.txt")
                       .find("downloadpackage=com.example.game|package=com.example.game") != std::string::npos;
        },
        std::chrono::seconds(20)));
}

TEST_F(ModelFlow, AMissingInstallerIsReportedAndInstallsNothing) {
    model.initFromName(L"pelora4_en_40001_x", nullptr);
    model.setInstallPath(installPath);
    ASSERT_TRUE(install());
    EXPECT_EQ(outcome.installed, InstallOutcome::NotStarted);
    EXPECT_TRUE(hitArrives("&ea=download_installPlayerNotExit&el=40001_1&"));
    EXPECT_TRUE(hitArrives("&ea=download_installComplete&el=40001_errCreateProcess_2&"));
    EXPECT_TRUE(loggedLine("DownloaderModel::_threadInsPlayer", "install player param: -silence -downloader -openid=40001"));
    EXPECT_FALSE(fileExists(installPath + L"data\\data.ini")) << "settings written for an emulator that is not there";
}

struct FallbackCase {
    const char* name;
    const wchar_t* switches;
    bool succeeds;
    std::vector<std::string> events;  // hit texts after "&ea="; "<id>" stands for the open id
    std::string requested;            // a request the market server must have seen
    std::vector<std::string> absent;  // hit texts that must not have come before the last of `events`
};

// A download that cannot take the installer's place is a failed one: nothing would be there to run.
TEST_F(ModelFlow, ADownloadThatCannotTakeItsPlaceFails) {
    start(L"pelora4_en_70101_x");
    // A folder where the installer goes makes the move of the finished download fail.
    utility::ufile::makeDir(ConfigImp::instance().installerExePath(installPath));
    EXPECT_FALSE(download());
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_TRUE(hitArrives("&ea=download_Error&el=70101_"));
    EXPECT_TRUE(logContains("):download finished, success = 0"));
}

class ModelFallback : public ModelFlow, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(ModelFallback, ReportsEachFallbackWithItsEvents) {
    static int nextOpenId = 70001;
    const std::string id = std::to_string(nextOpenId++);
    ASSERT_TRUE(setSwitches(GetParam().switches));
    start(L"pelora4_en_" + utility::ustring::utf8ToWide(id) + L"_x");
    EXPECT_EQ(download(), GetParam().succeeds);
    const auto withId = [&id](std::string event) {
        const size_t at = event.find("<id>");
        return "&ea=" + (at == std::string::npos ? event : event.replace(at, 4, id));
    };
    for (const std::string& event : GetParam().events) EXPECT_TRUE(hitArrives(withId(event))) << event;
    // Hits go out in order: once the last expected one is in, an earlier unwanted one would be too.
    const std::string hits = readFile(market().hitsLog);
    for (const std::string& event : GetParam().absent) EXPECT_EQ(hits.find(withId(event)), std::string::npos) << event;
    EXPECT_NE(readFile(market().requestsLog).find(GetParam().requested), std::string::npos) << GetParam().requested;
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ModelFallback,
    ::testing::Values(
        FallbackCase{"rawSocket", L"fail-package=A", true,
                     {"download_Success_socket&el=<id>&", "download_Success&el=<id>_"},
                     "GET /cdn/en/pelora4.exe range=- client=socket", {}},
        FallbackCase{"builtInAddress", L"fail-package=AB", true, {"download_Success&el=<id>_"},
                     "GET /download/package/Pelora4.0.exe", {}},
        FallbackCase{"nothingWorks", L"fail-package=ABC", false, {"download_Error&el=<id>_"},
                     "GET /download/package/Pelora4.0.exe", {}},
        FallbackCase{"spareAddress", L"url-spare=on&fail-url=404", true,
                     {"download_Success_spare&el=<id>&", "download_Success&el=<id>_"},
                     "GET /cdn-spare/en/pelora4.exe range=- client=other", {}},
        FallbackCase{"spareAfterCutTransfers", L"url-spare=on&fail-url=cut", true,
                     {"download_Success_spare&el=<id>&", "download_Success&el=<id>_"},
                     "GET /cdn-spare/en/pelora4.exe range=- client=other", {}},
        FallbackCase{"spareFailsTooBeforeTheBuiltInAddress", L"url-spare=on&fail-package=ABC", false,
                     {"download_Error&el=<id>_"}, "GET /cdn-spare/en/pelora4.exe", {}}),
    [](const ::testing::TestParamInfo<FallbackCase>& info) { return std::string(info.param.name); });

// The announced digest decides whether a finished download may take its place; a file that does not
// match it is thrown away and the next address is tried. The built-in address is not held to it.
INSTANTIATE_TEST_SUITE_P(
    Digests, ModelFallback,
    ::testing::Values(
        FallbackCase{"md5Matches", L"digest=md5", true, {"download_Success&el=<id>_"},
                     "GET /cdn/en/pelora4.exe range=- client=other", {"download_digestError&el=<id>_"}},
        FallbackCase{"sha256Matches", L"digest=sha256", true, {"download_Success&el=<id>_"},
                     "GET /cdn/en/pelora4.exe range=- client=other", {"download_digestError&el=<id>_"}},
        FallbackCase{"absentIsNotChecked", L"digest=absent", true, {"download_Success&el=<id>_"},
                     "GET /cdn/en/pelora4.exe range=- client=other", {"download_digestError&el=<id>_"}},
        FallbackCase{"malformedIsNotChecked", L"digest=malformed", true, {"download_Success&el=<id>_"},
                     "GET /cdn/en/pelora4.exe range=- client=other", {"download_digestError&el=<id>_"}},
        FallbackCase{"mismatchFallsThroughToTheBuiltInAddress", L"digest=wrong-md5", true,
                     {"download_digestError&el=<id>_url&", "download_digestError&el=<id>_socket&",
                      "download_Success&el=<id>_"},
                     "GET /download/package/Pelora4.0.exe", {"download_Success_socket&el=<id>&"}},
        FallbackCase{"sha256WinsOverAMatchingMd5", L"digest=wrong-sha256", true,
                     {"download_digestError&el=<id>_url&", "download_Success&el=<id>_"},
                     "GET /download/package/Pelora4.0.exe", {}},
        FallbackCase{"theSpareIsHeldToTheDigestToo", L"digest=wrong-md5&url-spare=on", true,
                     {"download_digestError&el=<id>_spare&", "download_Success&el=<id>_"},
                     "GET /download/package/Pelora4.0.exe", {"download_Success_spare&el=<id>&"}}),
    [](const ::testing::TestParamInfo<FallbackCase>& info) { return std::string(info.param.name); });

// Channel configurations of tests/model/channel-configs.json, installed into a folder as the registry or
// the user may give it; the channel's files go beside the emulator the installer left there.
struct ChannelFilesCase {
    const char* name;
    const wchar_t* openId;
    const wchar_t* folder;  // under the scratch folder; its data folder is always "Pelora\\data\\"
    bool landscape;
    bool portrait;
};

class ModelChannelFiles : public ModelFlow, public ::testing::WithParamInterface<ChannelFilesCase> {};

TEST_P(ModelChannelFiles, LandInTheInstallFoldersDataFolder) {
    const ChannelFilesCase& c = GetParam();
    model.initFromName(L"pelora4_en_" + std::wstring(c.openId) + L"_x", nullptr);
    ASSERT_TRUE(pumpMessagesUntil([&] { return !model.installerSettings().windowTitle.empty(); },
                                  std::chrono::seconds(20)));
    model.setInstallPath(dir / c.folder);
    ASSERT_TRUE(download());
    ASSERT_TRUE(install());
    ASSERT_EQ(outcome.installed, InstallOutcome::Installed);
    const std::wstring data = dir / L"Pelora\\data\\";
    EXPECT_TRUE(fileExists(data + L"data.ini"));
    EXPECT_EQ(fileSize(data + L"launch_1920.jpg") > 0, c.landscape);
    EXPECT_EQ(fileSize(data + L"launch_1080.jpg") > 0, c.portrait);
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, ModelChannelFiles,
    ::testing::Values(ChannelFilesCase{"trailingSeparator", L"80001", L"Pelora\\", true, true},
                      ChannelFilesCase{"noTrailingSeparator", L"80001", L"Pelora", true, true},
                      ChannelFilesCase{"onlyLandscape", L"80002", L"Pelora\\", true, false},
                      ChannelFilesCase{"onlyPortrait", L"80003", L"Pelora\\", false, true}),
    [](const ::testing::TestParamInfo<ChannelFilesCase>& info) { return std::string(info.param.name); });

// An answer that is not JSON: the built-in address after eight ticks of the address wait.
TEST_F(ModelFlow, ABrokenVersionServiceFallsBackToTheBuiltInAddressAfterEightTicks) {
    ASSERT_TRUE(setSwitches(L"version-service=broken"));
    model.initFromName(L"pelora4_en_60001_x", nullptr);
    model.setInstallPath(installPath);
    EXPECT_TRUE(hitArrives("&ea=getPlayerUrl_error&el=60001&"));
    const DWORD begin = ::GetTickCount();
    ASSERT_TRUE(download());
    EXPECT_GE(::GetTickCount() - begin, 7000u);
    EXPECT_EQ(model.getPlayerUrl(), ConfigImp::instance().installerUrl());
    EXPECT_TRUE(hitArrives("&ea=download_defaultUrl&el=60001&"));
}

// A version service that accepts and never answers: the address wait gives up on it at its 8th tick
// without ever holding the window thread, and the built-in address serves.
TEST_F(ModelFlow, ASilentVersionServiceNeverHoldsTheWindowThread) {
    // Longer than the wait, so that the lookup is still stuck when the wait gives up on it.
    const ScopedTransferLimits limits(ScopedTransferLimits::withTimes(20000, 15000));
    ASSERT_TRUE(setSwitches(L"version-service=stall"));
    const e2e::FileTail requests(market().requestsLog);
    model.initFromName(L"pelora4_en_60002_x", nullptr);
    model.setInstallPath(installPath);
    ASSERT_TRUE(pumpMessagesUntil([&] { return requests.contains("GET /player_files/en/vantor "); },
                                  std::chrono::seconds(20)));

    DWORD longestMs = 0;
    const DWORD begin = ::GetTickCount();
    model.startDownloadPlayer();
    longestMs = ::GetTickCount() - begin;
    ASSERT_TRUE(pumpTimingEachMessage([&] { return outcome.succeeded + outcome.failed > 0; },
                                      std::chrono::seconds(90), longestMs));
    EXPECT_EQ(outcome.succeeded, 1);
    EXPECT_LT(longestMs, 1000u) << "the window thread was held";
    EXPECT_EQ(model.getPlayerUrl(), ConfigImp::instance().installerUrl());
    EXPECT_TRUE(hitArrives("&ea=download_defaultUrl&el=60002&"));
    EXPECT_TRUE(requests.contains("GET /download/package/Pelora4.0.exe ")) << requests.text();
}

struct StopCase {
    const char* name;
    const wchar_t* switches;
    const wchar_t* openId;
    bool downloading;     // the stop comes during the download, else during the address lookup
    const char* request;  // the transfer the stop cuts, once the market has seen it
};

class ModelStop : public ModelFlow, public ::testing::WithParamInterface<StopCase> {};

// The stop asks, stops the clients and then waits a bounded time: a transfer that the server keeps
// waiting never holds it, and the workers end by themselves rather than being terminated.
TEST_P(ModelStop, EndsEveryWorkerInTimeWhateverTheServerDoes) {
    const StopCase& c = GetParam();
    // Far longer than the stop may take: the stop, not a limit, must end the transfer.
    const ScopedTransferLimits limits(ScopedTransferLimits::withTimes(20000, 20000));
    ASSERT_TRUE(setSwitches(c.switches));
    const e2e::FileTail requests(market().requestsLog);
    const std::wstring stem = L"pelora4_en_" + std::wstring(c.openId) + L"_x";
    if (c.downloading) {
        start(stem);
        model.startDownloadPlayer();
    } else {
        model.initFromName(stem, nullptr);
    }
    ASSERT_TRUE(pumpMessagesUntil([&] { return requests.contains(c.request); }, std::chrono::seconds(20)))
        << requests.text();
    pumpMessagesFor(std::chrono::milliseconds(500));

    const size_t logStart = flushedProcessLog().size();
    const DWORD begin = ::GetTickCount();
    model.stop();
    EXPECT_LT(::GetTickCount() - begin, 5000u);
    const std::string logged = flushedProcessLog().substr(logStart);
    EXPECT_EQ(logged.find("terminating it"), std::string::npos) << logged;
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ModelStop,
    ::testing::Values(StopCase{"silentVersionService", L"version-service=stall", L"61001", false,
                               "GET /player_files/en/vantor "},
                      StopCase{"creepingDownload", L"slow-kbps=1", L"61002", true, "GET /cdn/en/pelora4.exe "}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

TEST_F(ModelFlow, ProgressReachesTheWindowAtMostOnceASecond) {
    ASSERT_TRUE(setSwitches(L"slow-kbps=256"));
    start(L"pelora4_en_50001_x");
    const DWORD begin = ::GetTickCount();
    ASSERT_TRUE(download());
    const DWORD seconds = (::GetTickCount() - begin) / 1000;
    ASSERT_GE(outcome.percents.size(), 2u);
    // Throttled reports plus the final 100 %.
    EXPECT_LE(outcome.percents.size(), seconds + 2);
    EXPECT_TRUE(std::is_sorted(outcome.percents.begin(), outcome.percents.end()));
}

}  // namespace
