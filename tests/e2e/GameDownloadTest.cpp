// Downloaders that end by starting the emulator on their game: the install click, the download with
// its progress, the silent installer with the downloader's identity, the channel's settings, the game
// package page with the package, its expansion file and icon, the console's calls, the game's desktop
// shortcut, the emulator's start and the process's end with exit code 0.

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "tests/e2e/DownloaderCase.h"
#include "tests/support/ShellLink.h"
#include "tests/support/TestFiles.h"
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

class GameDownload : public DownloaderCase, public ::testing::WithParamInterface<GameCase> {
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

}  // namespace
}  // namespace e2e
