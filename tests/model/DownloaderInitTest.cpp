// The model's start from a downloader's name and command line: identity, market settings, campaign
// id, game packages and the proposed install folder.

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "model/ConfigImp.h"
#include "model/DownloaderModel.h"
#include "tests/model/LoggedLine.h"
#include "tests/model/MarketReset.h"
#include "tests/support/ProcessLog.h"
#include "utility/ScopedHandle.h"

namespace {

enum class Edition { P4, P64, P9, P3 };

struct InitCase {
    const char* name;
    std::wstring stem;
    const wchar_t* commandLine;
    std::wstring openId;
    std::wstring modelLanguage;
    std::wstring market;
    Edition edition;
    std::wstring package;
    std::wstring googleId;
    std::wstring adId;
    size_t games;
};

Edition editionOf(const ConfigImp& config) {
    if (config.isPlayer4()) return Edition::P4;
    if (config.isPlayer64()) return Edition::P64;
    if (config.isPlayer9()) return Edition::P9;
    return Edition::P3;
}

class ModelInit : public ::testing::TestWithParam<InitCase> {
protected:
    void SetUp() override {
        testsupport::processLogPath();
        resetMarket();
    }
    void TearDown() override { resetMarket(); }
};

TEST_P(ModelInit, TakesIdentityFromTheNameAndCommandLine) {
    const InitCase& c = GetParam();
    DownloaderModel model;
    model.initFromName(c.stem, c.commandLine);
    const ConfigImp& config = ConfigImp::instance();
    EXPECT_EQ(model.getOpenId(), c.openId);
    EXPECT_EQ(model.getLanguage(), c.modelLanguage);
    EXPECT_EQ(config.getLanguage(), c.market);
    EXPECT_EQ(editionOf(config), c.edition);
    EXPECT_EQ(model.getPackage(), c.package);
    EXPECT_EQ(model.getGoogleId(), c.googleId);
    EXPECT_EQ(config.getAdId(), c.adId);
    const auto games = model.gamePackages();
    ASSERT_EQ(games.size(), c.games);
    if (c.games == 1) {
        EXPECT_EQ(games[0].gamename, L"Game");
        EXPECT_EQ(games[0].app_package_name, L"com.g");
        EXPECT_EQ(games[0].app_download_url, L"http://h/g.apk");
        EXPECT_FALSE(games[0].from_appstore);
    }
}

const wchar_t* const kGameLine = L"\"name=Game|package=com.g|apkurl=http://h/g.apk\"";
const wchar_t* const kCapitalGameLine = L"NAME=Game|PACKAGE=com.g|APKURL=http://h/g.apk";
const wchar_t* const kNoApkLine = L"name=Game|package=com.g|apkurl=";
const std::wstring kDefaultAd = L"Pelora Installer";

INSTANTIATE_TEST_SUITE_P(
    Names, ModelInit,
    ::testing::Values(
        InitCase{"edition64", L"pelora64_kr_com.game.app_12345_abc_def_9", nullptr, L"12345", L"kr", L"kr",
                 Edition::P64, L"com.game.app", L"abc_def", kDefaultAd, 0},
        InitCase{"edition9", L"pelora9_th_777_x", nullptr, L"777", L"th", L"th", Edition::P9, L"", L"", kDefaultAd, 0},
        InitCase{"ens", L"pelora4_ens_5000_a_b", nullptr, L"5000", L"en_US", L"en", Edition::P4, L"", L"a", kDefaultAd,
                 0},
        InitCase{"edition3Upper", L"PELORA3_tw_42_x", nullptr, L"42", L"tw", L"tw", Edition::P3, L"", L"", kDefaultAd,
                 0},
        InitCase{"unknownType", L"other_jp_42_x", nullptr, L"42", L"jp", L"jp", Edition::P4, L"", L"", kDefaultAd, 0},
        InitCase{"longMarket", L"pelora64_english_42_x", nullptr, L"42", L"en_US", L"en", Edition::P64, L"", L"",
                 kDefaultAd, 0},
        InitCase{"shortPackage", L"pelora4_en_a.b.c_42_x", nullptr, L"42", L"en", L"en", Edition::P4, L"", L"",
                 kDefaultAd, 0},
        InitCase{"partnerOpenId", L"pelora4_en_2500_x", nullptr, L"2500", L"en", L"en", Edition::P4, L"", L"",
                 L"Pelora Installer_200", 0},
        InitCase{"openId3000", L"pelora4_en_3000_x", nullptr, L"3000", L"en", L"en", Edition::P4, L"", L"",
                 kDefaultAd, 0},
        InitCase{"openId2000", L"pelora4_en_2000_x", nullptr, L"2000", L"en", L"en", Edition::P4, L"", L"",
                 kDefaultAd, 0},
        InitCase{"plainName", L"Setup", nullptr, L"100", L"en_US", L"en", Edition::P4, L"", L"", kDefaultAd, 0},
        InitCase{"threePieces", L"a_b_c", nullptr, L"100", L"en_US", L"en", Edition::P4, L"", L"", kDefaultAd, 0},
        InitCase{"quotedGame", L"Setup", kGameLine, L"100", L"en_US", L"en", Edition::P4, L"", L"", kDefaultAd, 1},
        InitCase{"capitalKeys", L"Setup", kCapitalGameLine, L"100", L"en_US", L"en", Edition::P4, L"", L"",
                 kDefaultAd, 1},
        InitCase{"emptyApkUrl", L"Setup", kNoApkLine, L"100", L"en_US", L"en", Edition::P4, L"", L"", kDefaultAd, 0}),
    [](const ::testing::TestParamInfo<InitCase>& info) { return std::string(info.param.name); });

struct InitLogCase {
    const char* name;
    std::wstring stem;
    std::vector<std::string> lines;  // beginnings of lines logged under DownloaderModel::init
};

class ModelInitLog : public ::testing::TestWithParam<InitLogCase> {};

TEST_P(ModelInitLog, WritesIdentityAndCommandLineLinesUnderInit) {
    testsupport::processLogPath();
    resetMarket();
    DownloaderModel model;
    model.initFromName(GetParam().stem, kNoApkLine);
    for (const std::string& line : GetParam().lines) EXPECT_TRUE(loggedLine("DownloaderModel::init", line)) << line;
    resetMarket();
}

INSTANTIATE_TEST_SUITE_P(
    Names, ModelInitLog,
    ::testing::Values(
        InitLogCase{"fullName", L"pelora4_en_com.example.game_12345_x",
                    {"DownloaderModel exe filename= pelora4_en_com.example.game_12345_x\r\n",
                     "type: pelora4, package:com.example.game, openID:12345 google id \r\n",
                     "model. type: pelora4, language en package:com.example.game, openID:12345\r\n",
                     "openid is 12345, package is com.example.game\r\n", "cmdline is Game, com.g, \r\n"}},
        InitLogCase{"threePieces", L"a_b_c",
                    {"DownloaderModel exe filename= a_b_c\r\n", "type: , package:, openID: google id \r\n",
                     "model. type: , language  package:, openID:\r\n", "openid is 100, package is \r\n"}}),
    [](const ::testing::TestParamInfo<InitLogCase>& info) { return std::string(info.param.name); });

// Writes "InstallDir" under HKEY_CURRENT_USER\key for the test's time.
class RegisteredInstall {
public:
    RegisteredInstall(std::wstring key, const std::wstring& folder) : key_(std::move(key)) {
        utility::UniqueKey opened;
        ::RegCreateKeyW(HKEY_CURRENT_USER, key_.c_str(), opened.receive());
        ::RegSetValueExW(opened.get(), L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    }
    ~RegisteredInstall() {
        utility::UniqueKey opened;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, opened.receive()) == ERROR_SUCCESS) {
            ::RegDeleteValueW(opened.get(), L"InstallDir");
        }
    }

private:
    std::wstring key_;
};

struct RegistryCase {
    const char* name;
    std::wstring stem;
    std::wstring key;
};

class InstallFolderFromRegistry : public ::testing::TestWithParam<RegistryCase> {};

TEST_P(InstallFolderFromRegistry, ReusesTheEditionsEarlierFolder) {
    resetMarket();
    const std::wstring folder = L"D:\\Games\\" + std::wstring(GetParam().name, GetParam().name + strlen(GetParam().name));
    RegisteredInstall install(GetParam().key, folder);
    DownloaderModel model;
    model.initFromName(GetParam().stem, nullptr);
    EXPECT_EQ(model.getInstallPath(), folder);
    resetMarket();
}

INSTANTIATE_TEST_SUITE_P(
    EditionsAndMarkets, InstallFolderFromRegistry,
    ::testing::Values(RegistryCase{"p4en", L"pelora4_en_42_x", L"Software\\Merrow\\Pelora"},
                      RegistryCase{"p4cn", L"pelora4_cn_42_x", L"Software\\vantor\\Pelora"},
                      RegistryCase{"p64kr", L"pelora64_kr_42_x", L"Software\\Merrow\\Pelora64"},
                      RegistryCase{"p9cn", L"pelora9_cn_42_x", L"Software\\vantor\\Pelora9"},
                      RegistryCase{"p3en", L"pelora3_en_42_x", L"Software\\Caskel\\Pelora"},
                      RegistryCase{"p3cn", L"pelora3_cn_42_x", L"Software\\Caskel2\\qorplayer"},
                      RegistryCase{"p3tw", L"pelora3_tw_42_x", L"Software\\Caskel\\qorplayer-tw"},
                      RegistryCase{"p9kr", L"pelora9_kr_42_x", L"Software\\Caskel\\qorplayer-kr"}),
    [](const ::testing::TestParamInfo<RegistryCase>& info) { return std::string(info.param.name); });

TEST(InstallFolderProposed, IsAnAbsoluteFolderOnADriveWhenNothingIsRegistered) {
    testsupport::processLogPath();
    resetMarket();
    DownloaderModel model;
    model.initFromName(L"pelora64_en_42_x", nullptr);
    const std::wstring path = model.getInstallPath();
    ASSERT_GE(path.size(), 3u);
    EXPECT_EQ(path.substr(1, 2), L":\\") << path.c_str();
    EXPECT_EQ(path.substr(3), L"Pelora\\Pelora64\\");
    EXPECT_TRUE(testsupport::logContains("):get install path from MaxFreeSpace: "));
    resetMarket();
}

}  // namespace
