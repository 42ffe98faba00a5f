// Downloaders that end by starting the emulator on their game: the install click, the download with
// its progress, the silent installer with the downloader's identity, the channel's settings, the game
// package page with the package, its expansion file and icon, the console's calls, the game's desktop
// shortcut, the emulator's start and the process's end with exit code 0. Games that cannot be installed
// (the file does not arrive, the console fails) are named on the game page, which stays a while after
// the emulator started; a console that hangs is left behind after its time limit.

#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <thread>

#include "tests/e2e/DownloaderCase.h"
#include "tests/support/ShellLink.h"
#include "tests/support/TestFiles.h"
#include "utility/ScopedHandle.h"
#include "utility/UString.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

struct GameCase {
    const char* label;
    const wchar_t* fileName;
    const wchar_t* arguments;  // "{base}" stands for the market server's address
    const char* openId;
    bool gamePage;  // the window fetches the game itself (page 3)
    // What the console tool received, in order; "{I}" stands for the install folder (ending in "\\").
    std::vector<std::string> console;
    const char* player;   // the emulator's parameters
    bool shortcut;        // "Example Game" on the desktop, starting the emulator on the game
    bool channelSettings; // the open id's configuration wrote data.ini
};

std::ostream& operator<<(std::ostream& out, const GameCase& c) { return out << c.label; }

const GameCase kGames[] = {
    {"fetched_game", L"pelora4_en_com.example.game_12346_x.exe", L"", "12346", true,
     {"modify --index 0 --resolution 1280,720,240",
      "installapk --index 0 --filename \"{I}Example Game.apk\" --packagename com.example.game --fileobb "
      "\"{I}com.example.game.obb\" --wait --hide [filename exists=1 size=307200] [fileobb exists=1 size=204800]"},
     "package=com.example.game", true, true},
    {"store_game", L"pelora4_en_com.example.game_12345_x.exe", L"", "12345", false, {},
     "apk=|show=true|package=com.example.game|downloadgameid=777", true, true},
    {"command_line_game", L"pelora4_en_0_100_x.exe",
     L"\"name=Cmd Game|package=com.example.cmd|apkurl={base}/games/example.apk\"", "0", true,
     {"installapk --index 0 --filename \"{I}Cmd Game.apk\" --wait --hide [filename exists=1 size=307200]"},
     "package=com.example.cmd", false, false},
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::wstring profileValue(const std::wstring& ini, const wchar_t* key) {
    wchar_t value[256] = {};
    ::GetPrivateProfileStringW(L"setting", key, L"<absent>", value, 256, ini.c_str());
    return value;
}

// A game's run leaves its shortcut on the desktop, which the next case must not find.
class GameCaseBase : public DownloaderCase {
protected:
    void SetUp() override {
        DownloaderCase::SetUp();
        ::DeleteFileW(shortcutFile().c_str());
    }
    void TearDown() override {
        ::DeleteFileW(shortcutFile().c_str());
        DownloaderCase::TearDown();
    }
    static std::wstring shortcutFile() { return testsupport::desktopFolder() + L"\\Example Game.lnk"; }
};

class GameDownload : public GameCaseBase, public ::testing::WithParamInterface<GameCase> {};

TEST_P(GameDownload, InstallsTheEmulatorAndStartsItOnTheGame) {
    const GameCase& game = GetParam();
    const std::wstring label = utility::ustring::utf8ToWide(game.label);
    // Slow enough to see the progress and the game page, fast enough to finish in seconds.
    ASSERT_TRUE(Market::get().setSwitches(L"slow-kbps=256"));
    DownloaderApp app(game.fileName);
    std::wstring arguments = game.arguments;
    for (size_t at = arguments.find(L"{base}"); at != std::wstring::npos; at = arguments.find(L"{base}")) {
        arguments.replace(at, 6, Market::get().base);
    }
    ASSERT_TRUE(app.start(arguments));
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    shoot(app, L"game_" + label + L"_0_setup");

    app.main().click(L"installnowbtn");
    ASSERT_TRUE(app.waitForPage(2, 10s)) << "the install click did not lead to the progress page";
    ASSERT_TRUE(requests.waitFor("GET /cdn/en/pelora4.exe", 30s)) << requests.text();
    std::this_thread::sleep_for(1200ms);
    shoot(app, L"game_" + label + L"_2_progress");
    EXPECT_LT(app.main().mismatch(L"progress_install_label"), kSameLook) << "the progress page";
    EXPECT_TRUE(waitForHit(hits, "download_installBtnClick3.0", game.openId));

    if (game.gamePage) {
        ASSERT_TRUE(app.waitForPage(3, 90s)) << "no game package page";
        std::this_thread::sleep_for(400ms);
        shoot(app, L"game_" + label + L"_3_package");
    }
    ASSERT_TRUE(app.waitForExit(120s)) << "the downloader did not end after starting the emulator";
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
    EXPECT_FALSE(app.pageSelected(4)) << "the finish page is not for downloaders that start the emulator";
    EXPECT_EQ(app.pageSelected(3), game.gamePage);

    // The installer ran silently with the downloader's identity.
    const std::string installer = installerRecord.text();
    EXPECT_NE(installer.find("-silence -downloader -openid=" + std::string(game.openId) + " -language=en -path=\"" +
                             utf8(installPath) + "\""),
              std::string::npos)
        << installer;
    EXPECT_TRUE(hits.waitFor("&ea=download_Success&el=" + std::string(game.openId) + "_")) << hits.text();

    // The console's calls, in order, with the files in place.
    std::vector<std::string> expectedConsole;
    for (const std::string& call : game.console) expectedConsole.push_back(replaced(call, "{I}", utf8(installPath)));
    EXPECT_EQ(recordedRuns(consoleRecord), expectedConsole);
    EXPECT_EQ(recordedRuns(playerRecord), std::vector<std::string>{game.player});
    if (game.gamePage) {
        for (const wchar_t* tmp : {L"Example Game.apk.tmp", L"Cmd Game.apk.tmp", L"com.example.game.obb.tmp"}) {
            EXPECT_FALSE(testsupport::fileExists(installPath + L"\\" + tmp)) << utf8(tmp);
        }
    }

    // The game's desktop shortcut starts the emulator on it.
    ASSERT_EQ(testsupport::fileExists(shortcutFile()), game.shortcut);
    if (game.shortcut) {
        const testsupport::Link link = testsupport::readLink(shortcutFile());
        EXPECT_EQ(link.target, installPath + L"qorplayer.exe");
        EXPECT_EQ(link.arguments, L"package=com.example.game");
    }
    const std::wstring ini = installPath + L"data\\data.ini";
    EXPECT_EQ(profileValue(ini, L"title"), game.channelSettings ? L"Example Title" : L"<absent>");
    EXPECT_EQ(profileValue(ini, L"heapsize"), game.channelSettings ? L"512" : L"<absent>");
}

INSTANTIATE_TEST_SUITE_P(Downloaders, GameDownload, ::testing::ValuesIn(kGames),
                         [](const auto& info) { return std::string(info.param.label); });

// The fake console misbehaves on purpose while qorconsole-fail.txt in its record folder names a mode.
struct FailureCase {
    const char* label;
    const wchar_t* fileName;
    const char* openId;
    const char* consoleMode;  // the marker file's content; empty: the console works
    // The console's calls, in order; "{I}" stands for the install folder (ending in "\\").
    std::vector<std::string> console;
    const char* player;          // the emulator's parameters
    const wchar_t* failureLine;  // what "apkfailedlabel" shows; null: it stays hidden
    const char* gameFailed;      // value of the "download_gameFailed" hit; null: none
    bool resolutionFailed;       // a "download_gameResolutionFailed" hit with the open id
    // While this package is fetched (its request seen), the game line names its game.
    const char* handledRequest;
    const wchar_t* handledLine;
    const wchar_t* leaveBy;  // clicked during the linger; null: the window ends by itself
};

std::ostream& operator<<(std::ostream& out, const FailureCase& c) { return out << c.label; }

const char kExampleInstall[] =
    "installapk --index 0 --filename \"{I}Example Game.apk\" --packagename com.example.game --fileobb "
    "\"{I}com.example.game.obb\" --wait --hide [filename exists=1 size=307200] [fileobb exists=1 size=204800]";

const FailureCase kFailures[] = {
    {"console_install_fails", L"pelora4_en_com.example.game_12346_x.exe", "12346", "installapk-fail",
     {"modify --index 0 --resolution 1280,720,240", kExampleInstall}, "package=com.example.game",
     L"Example Game could not be installed. Pelora will start, and you can install it from there.", "12346_install",
     false, nullptr, nullptr, nullptr},
    {"modify_hangs", L"pelora4_en_com.example.game_12346_x.exe", "12346", "modify-hang",
     {"modify --index 0 --resolution 1280,720,240", kExampleInstall},
     "package=com.example.game", nullptr, nullptr, true, nullptr, nullptr, nullptr},
    {"second_game_not_downloaded", L"pelora4_en_com.example.first_80010_x.exe", "80010", "",
     {"installapk --index 0 --filename \"{I}First Game.apk\" --wait --hide [filename exists=1 size=307200]"},
     "package=com.example.second",
     L"Second Game could not be installed. Pelora will start, and you can install it from there.", "80010_download",
     false, "GET /games/missing.apk ", L"Downloading Second Game (2/2)\xFF1A" L"0KB / 0M (<c #268fd6>0%</c>)",
     L"closebtn"},
};

class GameFailure : public GameCaseBase, public ::testing::WithParamInterface<FailureCase> {
protected:
    void SetUp() override {
        GameCaseBase::SetUp();
        ::DeleteFileW(markerFile().c_str());
    }
    void TearDown() override {
        ::DeleteFileW(markerFile().c_str());
        endConsoles();
        GameCaseBase::TearDown();
    }

    static std::wstring markerFile() { return Market::get().records + L"qorconsole-fail.txt"; }

    // A hung console outlives the downloader: end the ones started from this case's install folder.
    void endConsoles() const {
        const std::wstring console = installPath + L"qorconsole.exe";
        utility::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
            utility::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE,
                                                        FALSE, entry.th32ProcessID));
            wchar_t image[MAX_PATH] = {};
            DWORD length = MAX_PATH;
            if (!process || !::QueryFullProcessImageNameW(process.get(), 0, image, &length)) continue;
            if (_wcsicmp(image, console.c_str()) != 0) continue;
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 10000);
        }
    }
};

TEST_P(GameFailure, TheGamePageSaysWhichGamesFailedAndTheEmulatorStillStarts) {
    const FailureCase& failure = GetParam();
    const std::wstring label = utility::ustring::utf8ToWide(failure.label);
    if (*failure.consoleMode != '\0') {
        testsupport::writeFile(markerFile(), failure.consoleMode);
        ASSERT_TRUE(testsupport::fileExists(markerFile()));
    }
    DownloaderApp app(failure.fileName);
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    app.main().click(L"installnowbtn");
    ASSERT_TRUE(app.waitForPage(3, 120s)) << "no game package page";

    SkinMap& map = app.main().map();
    if (failure.handledRequest != nullptr) {
        ASSERT_TRUE(requests.waitFor(failure.handledRequest, 60s)) << requests.text();
        map.setText(L"apkinstallprogresslabel", failure.handledLine);
        EXPECT_TRUE(testsupport::waitUntil(
            [&] { return app.main().mismatch(L"apkinstallprogresslabel") < kSameLook; }, 10s))
            << "the game line does not name the package being fetched";
        shoot(app, L"gamefailure_" + label + L"_handled");
    }

    // The emulator starts whatever failed; a failure keeps the page up with its line for a while.
    ASSERT_TRUE(playerRecord.waitFor("qorplayer.exe", 120s)) << "the emulator did not start";
    if (failure.failureLine != nullptr) {
        map.setText(L"apkfailedlabel", failure.failureLine);
        map.setVisible(L"apkfailedlabel", true);
        EXPECT_TRUE(testsupport::waitUntil([&] { return app.main().mismatch(L"apkfailedlabel") < kSameLook; }, 10s))
            << "the failure line is not shown after the emulator started";
        shoot(app, L"gamefailure_" + label + L"_failed");
    }
    if (failure.leaveBy != nullptr) app.main().click(failure.leaveBy);
    ASSERT_TRUE(app.waitForExit(60s)) << "the downloader did not end after starting the emulator";
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
    EXPECT_TRUE(app.process().windows(kConfirmationClass).empty()) << "the emulator runs: nothing to confirm";

    std::vector<std::string> expectedConsole;
    for (const std::string& call : failure.console) expectedConsole.push_back(replaced(call, "{I}", utf8(installPath)));
    EXPECT_EQ(recordedRuns(consoleRecord), expectedConsole);
    EXPECT_EQ(recordedRuns(playerRecord), std::vector<std::string>{failure.player});
    if (failure.gameFailed != nullptr) {
        EXPECT_TRUE(waitForHit(hits, "download_gameFailed", failure.gameFailed)) << hits.text();
    }
    if (failure.resolutionFailed) {
        EXPECT_TRUE(waitForHit(hits, "download_gameResolutionFailed", failure.openId)) << hits.text();
    }
    EXPECT_EQ(hits.contains("&ea=download_gameFailed&"), failure.gameFailed != nullptr) << hits.text();
    EXPECT_EQ(hits.contains("&ea=download_gameResolutionFailed&"), failure.resolutionFailed) << hits.text();
}

INSTANTIATE_TEST_SUITE_P(Games, GameFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace e2e
