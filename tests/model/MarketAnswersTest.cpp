// The version service's answer and the channel's open-id configuration, as the market writes them and
// as a hostile market could: names that climb out of their folder, values that add data.ini lines or
// launch parameters, addresses of other schemes.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <tuple>

#include "model/ConfigImp.h"
#include "model/MarketAnswers.h"
#include "tests/support/ProcessLog.h"

namespace {

const std::string kVersionAnswer = R"({
  "mnq4": {"url": "http://h/p4.exe", "ver": "4.1", "md5": "x", "url_spare": "http://s/p4.exe"},
  "mnq64": {"url": "http://h/p64.exe", "url_spare": 64},
  "mnq9": {"url": 9},
  "mnq": {"url_spare": "http://h/p3-spare.exe"}
})";

struct EditionCase {
    const char* name;
    void (ConfigImp::*select)();
    const wchar_t* url;
    const wchar_t* spareUrl;
};

class VersionAnswer : public ::testing::TestWithParam<EditionCase> {};

TEST_P(VersionAnswer, GivesTheSelectedEditionsAddresses) {
    ConfigImp config;
    (config.*GetParam().select)();
    const std::optional<PlayerAddresses> addresses = playerAddressesFromVersionAnswer(kVersionAnswer, config);
    ASSERT_TRUE(addresses.has_value());
    EXPECT_EQ(addresses->url, GetParam().url);
    EXPECT_EQ(addresses->spareUrl, GetParam().spareUrl);
}

INSTANTIATE_TEST_SUITE_P(
    Editions, VersionAnswer,
    ::testing::Values(EditionCase{"bothAddresses", &ConfigImp::setPlayer4, L"http://h/p4.exe", L"http://s/p4.exe"},
                      EditionCase{"spareNotAString", &ConfigImp::setPlayer64, L"http://h/p64.exe", L""},
                      EditionCase{"urlNotAString", &ConfigImp::setPlayer9, L"", L""},
                      EditionCase{"onlyTheSpare", &ConfigImp::setPlayer3, L"", L"http://h/p3-spare.exe"}),
    [](const ::testing::TestParamInfo<EditionCase>& info) { return std::string(info.param.name); });

TEST(VersionAnswerDocument, WithoutTheEditionGivesNoAddress) {
    ConfigImp config;
    config.setPlayer3();
    const std::optional<PlayerAddresses> addresses = playerAddressesFromVersionAnswer(R"({"mnq4": {"url": "x"}})", config);
    ASSERT_TRUE(addresses.has_value());
    EXPECT_EQ(addresses->url, L"");
    EXPECT_EQ(addresses->spareUrl, L"");
}

TEST(VersionAnswerDocument, LeavesOutAddressesThatAreNotHttp) {
    ConfigImp config;
    config.setPlayer4();
    const std::optional<PlayerAddresses> addresses = playerAddressesFromVersionAnswer(
        R"({"mnq4": {"url": "file:///C:/Windows/evil.exe", "url_spare": "HTTPS://s/p4.exe"}})", config);
    ASSERT_TRUE(addresses.has_value());
    EXPECT_EQ(addresses->url, L"");
    EXPECT_EQ(addresses->spareUrl, L"HTTPS://s/p4.exe");
}

TEST(VersionAnswerDocument, IsUnusableWhenNotAnObject) {
    const ConfigImp config;
    for (const std::string broken : {"", "not json", "[1,2]", "\"text\"", "{\"mnq4\":"}) {
        EXPECT_FALSE(playerAddressesFromVersionAnswer(broken, config).has_value()) << broken;
    }
}

TEST(OpenIdConfig, FillsGamePackagesAndEveryInstallerSetting) {
    const std::string json = R"({
      "result": [
        {"app_download_url": "http://h/g.apk", "app_package_name": "com.example.game", "gamename": "\u6e38\u620f",
         "app_icon": "http://h/g.ico", "app_obb": "http://h/g.obb", "game_slt_url": "http://h/g.png",
         "resolution": "1280,720,240", "gameid": "777", "xapk": "1", "from_appstore": "1"},
        {"app_download_url": "", "app_package_name": "", "gameid": ""},
        {"gameid": "888", "xapk": "true", "from_appstore": "0"}
      ],
      "launch_h": "http://h/h.jpg", "launch_V": "http://h/v.jpg", "title": "Title", "runapp": "com.example.game",
      "qqlink": "http://h/q", "shortcutname": "Example", "shortcuturl": "http://h/s.ico", "heapsize": "512",
      "ad": 0, "runappstore": 0, "cleanmodel": 2, "root": false
    })";
    std::vector<GamePackage> games;
    InstallerSettings settings;
    readOpenIdConfig(json, games, settings);

    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(games[0].app_download_url, L"http://h/g.apk");
    EXPECT_EQ(games[0].app_package_name, L"com.example.game");
    EXPECT_EQ(games[0].gamename, L"\u6e38\u620f");
    EXPECT_EQ(games[0].app_icon, L"http://h/g.ico");
    EXPECT_EQ(games[0].app_obb, L"http://h/g.obb");
    EXPECT_EQ(games[0].game_slt_url, L"http://h/g.png");
    EXPECT_EQ(games[0].resolution, L"1280,720,240");
    EXPECT_EQ(games[0].gameid, L"777");
    EXPECT_TRUE(games[0].xapk);
    EXPECT_TRUE(games[0].from_appstore);
    EXPECT_EQ(games[1].gameid, L"888");
    EXPECT_FALSE(games[1].xapk) << "only exactly \"1\" is true";

    EXPECT_EQ(settings.launchImageH, L"http://h/h.jpg");
    EXPECT_EQ(settings.launchImageV, L"http://h/v.jpg");
    EXPECT_EQ(settings.windowTitle, L"Title");
    EXPECT_EQ(settings.runApp, L"com.example.game");
    EXPECT_EQ(settings.qqLink, L"http://h/q");
    EXPECT_EQ(settings.shortcutName, L"Example");
    EXPECT_EQ(settings.shortcutUrl, L"http://h/s.ico");
    EXPECT_EQ(settings.heapSize, L"512");
    EXPECT_FALSE(settings.adShow);
    EXPECT_FALSE(settings.runAppStore);
    EXPECT_TRUE(settings.cleanMode);
    EXPECT_EQ(settings.useRoot, 0);
}

TEST(OpenIdConfig, IgnoresMembersOfTheWrongTypeAndBrokenDocuments) {
    std::vector<GamePackage> games;
    InstallerSettings settings;
    readOpenIdConfig(R"({"ad": "0", "root": 1, "title": 5, "result": {"gameid": "1"}, "cleanmodel": true})", games,
                     settings);
    EXPECT_TRUE(games.empty());
    EXPECT_TRUE(settings.adShow);
    EXPECT_EQ(settings.useRoot, -1);
    EXPECT_EQ(settings.windowTitle, L"");
    EXPECT_FALSE(settings.cleanMode);

    for (const std::string broken : {"", "<html>404</html>", "[]", "{\"result\": ["}) {
        readOpenIdConfig(broken, games, settings);
    }
    EXPECT_TRUE(games.empty());
    EXPECT_TRUE(settings.adShow);
}

auto fieldsOf(const GamePackage& g) {
    return std::tie(g.app_download_url, g.app_package_name, g.gamename, g.game_slt_url, g.resolution, g.gameid,
                    g.app_icon, g.app_obb, g.from_appstore, g.xapk);
}

auto fieldsOf(const InstallerSettings& s) {
    return std::tie(s.launchImageH, s.launchImageV, s.windowTitle, s.adShow, s.runApp, s.runAppStore, s.qqLink,
                    s.shortcutName, s.shortcutUrl, s.cleanMode, s.heapSize, s.useRoot);
}

GamePackage gameWith(const std::function<void(GamePackage&)>& change) {
    GamePackage game;
    change(game);
    return game;
}

InstallerSettings settingsWith(const std::function<void(InstallerSettings&)>& change) {
    InstallerSettings settings;
    change(settings);
    return settings;
}

struct HostileCase {
    const char* name;
    std::string json;
    std::vector<GamePackage> games;
    InstallerSettings settings;
    // What the reading logged of the members it tidied or refused, in order.
    std::vector<std::string> logged;
};

// The messages of the log lines written while the action ran that tell of a tidied or refused member.
std::vector<std::string> checkLinesLoggedDuring(const std::function<void()>& action) {
    const size_t before = testsupport::flushedProcessLog().size();
    action();
    std::istringstream lines(testsupport::flushedProcessLog().substr(before));
    std::vector<std::string> messages;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t start = line.find("):");
        if (start == std::string::npos) continue;
        const std::string message = line.substr(start + 2);
        const auto endsWith = [&](const std::string& end) {
            return message.size() >= end.size() && message.compare(message.size() - end.size(), end.size(), end) == 0;
        };
        if (endsWith(" tidied") || endsWith(" refused, ignored")) messages.push_back(message);
    }
    return messages;
}

class HostileOpenIdConfig : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileOpenIdConfig, ReachesNothingButWhatEachMemberMeans) {
    std::vector<GamePackage> games;
    InstallerSettings settings;
    const std::vector<std::string> logged =
        checkLinesLoggedDuring([&] { readOpenIdConfig(GetParam().json, games, settings); });
    ASSERT_EQ(games.size(), GetParam().games.size());
    for (size_t i = 0; i < games.size(); ++i) EXPECT_EQ(fieldsOf(games[i]), fieldsOf(GetParam().games[i])) << i;
    EXPECT_EQ(fieldsOf(settings), fieldsOf(GetParam().settings));
    EXPECT_EQ(logged, GetParam().logged);
}

const HostileCase kHostileSettings[] = {
    {"shortcutNameClimbsOut", R"({"shortcutname": "..\\..\\evil", "shortcuturl": "http://h/s.ico"})", {},
     settingsWith([](auto& s) {
         s.shortcutName = L"__evil";
         s.shortcutUrl = L"http://h/s.ico";
     }),
     {"shortcutname tidied"}},
    {"shortcutNameWithSlashes", R"({"shortcutname": "/Windows/evil"})", {},
     settingsWith([](auto& s) { s.shortcutName = L"_Windows_evil"; }), {"shortcutname tidied"}},
    {"shortcutNameIsADevice", R"({"shortcutname": "com1.lnk"})", {},
     settingsWith([](auto& s) { s.shortcutName = L"_com1.lnk"; }), {"shortcutname tidied"}},
    {"shortcutNameOfDotsOnly", R"({"shortcutname": ".. "})", {}, InstallerSettings{},
     {"shortcutname refused, ignored"}},
    {"dataIniValuesWithLineBreaks",
     R"({"title": "Evil\r\n[setting]\r\nadshow=1", "heapsize": "512\ncleanmodel=1",)"
     R"( "qqlink": "http://h/q\r\nuseroot=0\u0000x"})",
     {},
     settingsWith([](auto& s) {
         s.windowTitle = L"Evil[setting]adshow=1";
         s.heapSize = L"512cleanmodel=1";
         s.qqLink = L"http://h/quseroot=0x";
     }),
     {"title tidied", "qqlink tidied", "heapsize tidied"}},
    {"runAppWithLaunchParameters", R"({"runapp": "a|b=c"})", {}, InstallerSettings{}, {"runapp refused, ignored"}},
    {"runAppWithLineBreak", R"({"runapp": "com.example.game\r\nadshow=1"})", {}, InstallerSettings{},
     {"runapp refused, ignored"}},
    {"addressesOfOtherSchemes",
     R"json({"launch_h": "file:///C:/Windows/win.ini", "launch_V": "javascript:alert(1)", "shortcutname": "Example",)json"
     R"( "shortcuturl": "\\\\server\\share\\s.ico"})",
     {},
     settingsWith([](auto& s) { s.shortcutName = L"Example"; }),
     {"launch_h refused, ignored", "launch_V refused, ignored", "shortcuturl refused, ignored"}},
};

INSTANTIATE_TEST_SUITE_P(Settings, HostileOpenIdConfig, ::testing::ValuesIn(kHostileSettings),
                         [](const auto& info) { return std::string(info.param.name); });

const HostileCase kHostileGames[] = {
    {"everyMemberHostile",
     R"({"result": [{"app_download_url": "http://h/g.apk", "app_package_name": "../../evil",)"
     R"( "gamename": "..\\..\\game", "app_icon": "http://h/a b.ico", "app_obb": "HTTPS://H/G.OBB",)"
     R"( "game_slt_url": "file:///x.png", "resolution": "1280,720,240 --index 1", "gameid": "7|show=false"}]})",
     {gameWith([](auto& g) {
         g.app_download_url = L"http://h/g.apk";
         g.gamename = L"__game";
         g.app_obb = L"HTTPS://H/G.OBB";
     })},
     InstallerSettings{},
     {"result[0].app_package_name refused, ignored", "result[0].gamename tidied", "result[0].app_icon refused, ignored",
      "result[0].game_slt_url refused, ignored", "result[0].resolution refused, ignored",
      "result[0].gameid refused, ignored"}},
    {"keptOnlyWhileSomethingToFetchRemains",
     R"({"result": [{"app_package_name": "a b", "gamename": "Lost"},)"
     R"( {"app_download_url": "javascript:x", "gameid": "7 8"},)"
     R"( {"app_package_name": "com.kept", "gamename": "CON"}]})",
     {gameWith([](auto& g) {
         g.app_package_name = L"com.kept";
         g.gamename = L"_CON";
     })},
     InstallerSettings{},
     {"result[0].app_package_name refused, ignored", "result[1].app_download_url refused, ignored",
      "result[1].gameid refused, ignored", "result[2].gamename tidied"}},
};

INSTANTIATE_TEST_SUITE_P(Games, HostileOpenIdConfig, ::testing::ValuesIn(kHostileGames),
                         [](const auto& info) { return std::string(info.param.name); });

// Names and values in other scripts than Latin, and every form at its edge, come through as they are.
const HostileCase kWellFormed[] = {
    {"nonAsciiAndEdgeForms",
     R"({"result": [{"app_download_url": "https://h/\u6e38\u620f.apk?a=1&b=%20#x",)"
     R"( "app_package_name": "com.example_2.Game", "gamename": "\u6e38\u620f \u00dcber. v1.2",)"
     R"( "resolution": "1280x720", "gameid": "abc777"}],)"
     R"( "title": "\u6807\u9898 [x] = \"y\";", "shortcutname": "\u00dcber Game", "runapp": "com.example.game",)"
     R"( "heapsize": "512", "qqlink": "http://h/q"})",
     {gameWith([](auto& g) {
         g.app_download_url = L"https://h/\u6e38\u620f.apk?a=1&b=%20#x";
         g.app_package_name = L"com.example_2.Game";
         g.gamename = L"\u6e38\u620f \u00dcber. v1.2";
         g.resolution = L"1280x720";
         g.gameid = L"abc777";
     })},
     settingsWith([](auto& s) {
         s.windowTitle = L"\u6807\u9898 [x] = \"y\";";
         s.shortcutName = L"\u00dcber Game";
         s.runApp = L"com.example.game";
         s.heapSize = L"512";
         s.qqLink = L"http://h/q";
     }),
     {}},
};

INSTANTIATE_TEST_SUITE_P(WellFormed, HostileOpenIdConfig, ::testing::ValuesIn(kWellFormed),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
