// The window's decisions that need no window: language codes, install folder input, and what a
// game package turns into on disk and on the emulator's command lines.

#include <gtest/gtest.h>

#include "ui/GamePackagePlan.h"
#include "ui/InstallPathInput.h"
#include "ui/LanguageCodes.h"

namespace {

using namespace ui;

TEST(LanguageCodes, BothDirections) {
    struct Case {
        const wchar_t* longCode;
        const wchar_t* shortCode;
    } cases[] = {{L"zh_CN", L"cn"}, {L"ko_KR", L"kr"}, {L"ja_JP", L"jp"}, {L"ar_IL", L"ar"},
                 {L"it_IT", L"it"}, {L"ms_MY", L"my"}, {L"uk_UA", L"ua"}, {L"in_ID", L"id"}};
    for (const Case& c : cases) {
        EXPECT_EQ(shortLanguageCode(c.longCode), c.shortCode);
        EXPECT_EQ(longLanguageCode(c.shortCode), c.longCode);
    }
    EXPECT_EQ(shortLanguageCode(L"xx_YY"), L"en");
    EXPECT_EQ(longLanguageCode(L"zz"), L"en_US");
    EXPECT_EQ(longLanguageCode(L"en_US"), L"en_US") << "a long code given as short";
}

TEST(LanguageCodes, StartupLanguageMovesToTheFront) {
    const std::vector<LanguageEntry> languages = {{L"en_US", L"English"}, {L"zh_TW", L"繁體中文"}, {L"ko_KR", L"한국어"}};
    const auto moved = startupLanguageFirst(languages, L"ko_KR");
    EXPECT_EQ(moved, (std::vector<LanguageEntry>{{L"ko_KR", L"한국어"}, {L"en_US", L"English"}, {L"zh_TW", L"繁體中文"}}));
    EXPECT_EQ(startupLanguageFirst(languages, L"fr_FR"), languages);
}

TEST(InstallPathInput, TidyForm) {
    struct Case {
        const wchar_t* input;
        const wchar_t* expected;
    } cases[] = {
        {L"D:/Games//Pelora ", L"D:\\Games\\Pelora\\"},
        {L"  C:\\Pelora\\", L"C:\\Pelora\\"},
        {L"C:\\Pelora \\", L"C:\\Pelora\\"},
        {L"C:\\\\\\\\x", L"C:\\\\\\x\\"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(tidyInstallPath(c.input), c.expected) << testing::PrintToString(c.input);
}

// Drive C: exists under Wine, so these folders are valid; "Q:" is not a drive.
TEST(InstallPathInput, CompletesFoldersTheInstallerWay) {
    const std::wstring sub = L"Pelora\\Pelora4.0\\";
    struct Case {
        const wchar_t* input;
        const wchar_t* expected;
    } cases[] = {
        {L"C:", L"C:\\Pelora\\Pelora4.0\\"},
        {L"C:\\", L"C:\\Pelora\\Pelora4.0\\"},
        {L"C:\\Games\\Pelora", L"C:\\Games\\Pelora\\"},
        {L"C:/Games//Pelora ", L"C:\\Games\\Pelora\\"},
        {L"C:\\Tools\\qorplayer", L"C:\\Tools\\qorplayer\\"},
        {L"C:\\Games", L"C:\\Games\\Pelora\\Pelora4.0\\"},
        {L"Q:\\Games//x", L"Q:\\Games//x\\Pelora\\Pelora4.0\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(completeInstallPath(c.input, sub, L"Pelora"), c.expected) << testing::PrintToString(c.input);
    }
}

GamePackage game(const wchar_t* name, const wchar_t* package) {
    GamePackage p;
    p.gamename = name;
    p.app_package_name = package;
    p.app_download_url = L"http://h/a.apk";
    return p;
}

TEST(GamePackagePlan, FilesAndInstallCommand) {
    GamePackage plain = game(L"Example Game", L"com.example.game");
    const GameFiles files = gameFiles(L"C:\\Pelora\\", plain);
    EXPECT_EQ(files.application, L"C:\\Pelora\\Example Game.apk");
    EXPECT_EQ(files.expansion, L"C:\\Pelora\\com.example.game.obb");
    EXPECT_EQ(files.icon, L"C:\\Pelora\\com.example.game.ico");
    EXPECT_EQ(files.shortcut, L"Example Game");
    EXPECT_EQ(installCommand(files, plain), L"installapk --index 0 --filename \"C:\\Pelora\\Example Game.apk\" --wait --hide");

    // A folder from the registry may lack its trailing separator: the files stay inside it.
    EXPECT_EQ(gameFiles(L"C:\\Pelora", plain).application, files.application);

    GamePackage withObb = plain;
    withObb.app_obb = L"http://h/main.obb";
    withObb.xapk = true;
    const GameFiles bundle = gameFiles(L"C:\\Pelora\\", withObb);
    EXPECT_EQ(bundle.application, L"C:\\Pelora\\Example Game.xapk");
    EXPECT_EQ(installCommand(bundle, withObb),
              L"installapk --index 0 --filename \"C:\\Pelora\\Example Game.xapk\" --packagename com.example.game "
              L"--fileobb \"C:\\Pelora\\com.example.game.obb\" --wait --hide");
}

// The names of a command line's game arrive unchecked: its files and shortcut still stay where they belong.
TEST(GamePackagePlan, NamesFromTheChannelNeverLeaveTheFolder) {
    const GameFiles files = gameFiles(L"C:\\P\\", game(L"..\\..\\Windows\\evil", L"../x:y"));
    EXPECT_EQ(files.application, L"C:\\P\\__Windows_evil.apk");
    EXPECT_EQ(files.icon, L"C:\\P\\_x_y.ico");
    EXPECT_EQ(files.shortcut, L"__Windows_evil");
    EXPECT_EQ(gameFiles(L"C:\\P\\", game(L"..", L"com.g")).shortcut, L"") << "no name, no shortcut";
    EXPECT_EQ(gameFiles(L"C:\\P\\", game(L"A \"quoted\" <game>|?*", L"com.g")).application,
              L"C:\\P\\A _quoted_ _game____.apk");
}

TEST(GamePackagePlan, WhichFirstPackagesStartTheEmulatorDirectly) {
    GamePackage store = game(L"G", L"com.g");
    store.from_appstore = true;
    store.game_slt_url = L"http://h/g.png";
    EXPECT_EQ(directLaunchArguments(store),
              L"apk=|show=true|package=com.g|downloadapkurl=http://h/a.apk;S.package=com.g;S.appname=G;"
              L"S.appicon=http://h/g.png;S.appsize=96");
    GamePackage byId = game(L"G", L"com.g");
    byId.gameid = L"77";
    EXPECT_EQ(directLaunchArguments(byId), L"apk=|show=true|package=com.g|downloadgameid=77");
    GamePackage nameOnly = game(L"G", L"com.g");
    nameOnly.app_download_url.clear();
    EXPECT_EQ(directLaunchArguments(nameOnly), L"apk=|show=true|package=com.g|downloadpackage=com.g");
    EXPECT_EQ(directLaunchArguments(game(L"G", L"com.g")), std::nullopt) << "fetched by the window";
    GamePackage nothing;
    EXPECT_EQ(directLaunchArguments(nothing), std::nullopt);
}

// What the console's answer to "installapk" makes of a game.
TEST(GamePackagePlan, InstallFailureReasons) {
    using End = utility::process::RunResult::End;
    struct Case {
        End end;
        DWORD exitCode;
        std::optional<std::wstring> reason;
    } cases[] = {
        {End::exited, 0, std::nullopt},
        {End::exited, 1, L"install"},
        {End::exited, 2, L"install"},
        {End::exited, 0xFFFFFFFF, L"install"},
        {End::timedOut, 0, L"timeout"},
        {End::failed, 0, L"install"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(installFailureReason({c.end, c.exitCode}), c.reason) << static_cast<int>(c.end) << " " << c.exitCode;
    }
}

}  // namespace
