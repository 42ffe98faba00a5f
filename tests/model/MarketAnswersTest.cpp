// The version service's answer and the channel's open-id configuration, as the market writes them.

#include <gtest/gtest.h>

#include "model/ConfigImp.h"
#include "model/MarketAnswers.h"

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

}  // namespace
