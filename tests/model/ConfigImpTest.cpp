// Market settings: every derived value for each edition in mainland and international markets.

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "model/ConfigImp.h"
#include "config/ServiceAddresses.h"
#include "tests/support/ProcessLog.h"

namespace {

enum class Edition { P4, P64, P9, P3 };

void setEdition(ConfigImp& config, Edition edition) {
    switch (edition) {
    case Edition::P4: config.setPlayer4(); break;
    case Edition::P64: config.setPlayer64(); break;
    case Edition::P9: config.setPlayer9(); break;
    case Edition::P3: config.setPlayer3(); break;
    }
}

struct MarketCase {
    Edition edition;
    const wchar_t* language;
    const wchar_t* subFolder;
    const wchar_t* registryKey;
    const wchar_t* installerPath;  // after the content server
    const wchar_t* localInstaller;
    const wchar_t* languageFile;
};

class MarketProfile : public ::testing::TestWithParam<MarketCase> {};

TEST_P(MarketProfile, DerivesFoldersKeysAndAddresses) {
    const MarketCase& c = GetParam();
    ConfigImp config;
    config.setLanguage(c.language);
    setEdition(config, c.edition);
    const std::wstring server = std::wstring(c.language) == L"cn" ? config::kMainlandBase : config::kIntlBase;

    EXPECT_EQ(config.installSubFolder(), c.subFolder);
    EXPECT_EQ(config.registryKey(), c.registryKey);
    EXPECT_EQ(config.installerUrl(), server + c.installerPath);
    for (const wchar_t* folder : {L"C:\\dl", L"C:\\dl\\"}) {
        EXPECT_EQ(config.installerExePath(folder), std::wstring(L"C:\\dl\\") + c.localInstaller) << folder;
    }
    EXPECT_EQ(config.languageFile(), c.languageFile);
    EXPECT_EQ(config.getLanguage(), c.language);
    EXPECT_EQ(config.openIdConfigUrl(L"12345"), server + L"/player_files/openidconfig/12345.data");
}

INSTANTIATE_TEST_SUITE_P(
    EditionsByMarkets, MarketProfile,
    ::testing::Values(
        MarketCase{Edition::P4, L"en", L"Pelora\\Pelora4.0\\", L"Software\\Merrow\\Pelora",
                   L"/download/package/Pelora4.0.exe", L"Pelora.exe", L"language\\downloader_en.xml"},
        MarketCase{Edition::P4, L"cn", L"Vantor\\Pelora4.0\\", L"Software\\vantor\\Pelora",
                   L"/download/release/pelinst4.0.exe", L"pelinst.exe", L"language\\downloader_cn.xml"},
        MarketCase{Edition::P64, L"kr", L"Pelora\\Pelora64\\", L"Software\\Merrow\\Pelora64",
                   L"/download/package/Pelora64.exe", L"Pelora.exe", L"language\\downloader_kr.xml"},
        MarketCase{Edition::P64, L"cn", L"Vantor\\Pelora64\\", L"Software\\vantor\\Pelora64",
                   L"/download/release/pelinst64.exe", L"pelinst.exe", L"language\\downloader_cn.xml"},
        MarketCase{Edition::P9, L"ar", L"Pelora\\Pelora9\\", L"Software\\Merrow\\Pelora9",
                   L"/download/package/Pelora9.0.exe", L"Pelora.exe", L"language\\downloader_ar.xml"},
        MarketCase{Edition::P9, L"cn", L"Vantor\\Pelora9\\", L"Software\\vantor\\Pelora9",
                   L"/download/release/pelinst9.exe", L"pelinst.exe", L"language\\downloader_cn.xml"},
        MarketCase{Edition::P3, L"it", L"Pelora\\Pelora3.0\\", L"Software\\Caskel\\Pelora",
                   L"/download/package/Pelora3.0.exe", L"Pelora.exe", L"language\\downloader_en.xml"},
        MarketCase{Edition::P3, L"cn", L"Vantor\\Pelora3.0\\", L"Software\\Caskel2\\qorplayer",
                   L"/download/release/pelinst3.0.exe", L"pelinst.exe", L"language\\downloader_cn.xml"},
        // Market codes are compared exactly: "CN" is an international market without a language file.
        MarketCase{Edition::P4, L"CN", L"Pelora\\Pelora4.0\\", L"Software\\Merrow\\Pelora",
                   L"/download/package/Pelora4.0.exe", L"Pelora.exe", L"language\\downloader_en.xml"}));

TEST(ConfigImpDefaults, AreTheEnglishMarketAndPelora4) {
    ConfigImp config;
    EXPECT_EQ(config.getLanguage(), L"en");
    EXPECT_EQ(config.getAdId(), L"Pelora Installer");
    EXPECT_TRUE(config.isPlayer4());
    EXPECT_FALSE(config.isPlayer64());
    EXPECT_FALSE(config.isPlayer9());
    EXPECT_EQ(config.productName(), L"Pelora");
    EXPECT_EQ(config.installSubFolder(), L"Pelora\\Pelora4.0\\");
    EXPECT_EQ(config.cdnBase(), std::wstring(config::kIntlBase) + L"/player_files/en/vantor");
    EXPECT_EQ(&ConfigImp::instance(), &ConfigImp::instance());
}

TEST(ConfigImpEditions, AreExclusiveAndLogged) {
    testsupport::processLogPath();
    ConfigImp config;
    config.setPlayer64();
    EXPECT_TRUE(config.isPlayer64());
    EXPECT_FALSE(config.isPlayer4());
    EXPECT_TRUE(testsupport::logContains("\tConfigImp::setPlayer64\t("));
    EXPECT_TRUE(testsupport::logContains("):player is 64\r\n"));
    config.setPlayer9();
    EXPECT_TRUE(config.isPlayer9());
    EXPECT_FALSE(config.isPlayer64());
    config.setPlayer4();
    EXPECT_TRUE(testsupport::logContains("):player is 4\r\n"));
}

// The window's language switch while a worker derives addresses from the language.
TEST(ConfigImpLanguageSwitch, ReadersSeeOneLanguageOrTheOther) {
    ConfigImp config;
    std::atomic<bool> done{false};
    std::thread switcher([&] {
        for (int i = 0; i < 20000; ++i) config.setLanguage(i % 2 == 0 ? L"french-market-code" : L"de");
        done = true;
    });
    const std::set<std::wstring> files = {L"language\\downloader_en.xml", L"language\\downloader_de.xml"};
    int unexpected = 0;
    while (!done) {
        const std::wstring language = config.getLanguage();
        if (language != L"french-market-code" && language != L"de" && language != L"en") ++unexpected;
        if (files.count(config.languageFile()) == 0) ++unexpected;
    }
    switcher.join();
    EXPECT_EQ(unexpected, 0);
}

TEST(ConfigImpMainland, UsesTheMainlandServerForEveryAddress) {
    ConfigImp config;
    config.setLanguage(L"cn");
    const std::wstring home = std::wstring(config::kMainlandBase) + L"/cn/";
    EXPECT_EQ(config.cdnBase(), std::wstring(config::kMainlandBase) + L"/ld/vantor");
    EXPECT_EQ(config.websiteUrl(), home);
    EXPECT_EQ(config.socialUrl(), home);
    EXPECT_EQ(config.altDownloadUrl(), home);
}

// Listed markets each have their own page or id; any other market shares the international one.
struct LinkCase {
    const char* name;
    std::wstring (ConfigImp::*link)() const;
    std::vector<std::wstring> ownMarkets;
};

class MarketLinks : public ::testing::TestWithParam<LinkCase> {};

TEST_P(MarketLinks, AreDistinctPerListedMarket) {
    const LinkCase& c = GetParam();
    auto linkOf = [&](const std::wstring& language) {
        ConfigImp config;
        config.setLanguage(language);
        return (config.*c.link)();
    };
    std::set<std::wstring> seen{linkOf(L"cn")};
    const std::wstring shared = linkOf(L"en");
    for (const std::wstring& market : c.ownMarkets) {
        EXPECT_TRUE(seen.insert(linkOf(market)).second) << c.name << " repeats for " << market.c_str();
    }
    EXPECT_EQ(seen.count(shared), 0u) << c.name;
    EXPECT_EQ(linkOf(L"it"), shared);
    EXPECT_EQ(linkOf(L"xx"), shared);
}

INSTANTIATE_TEST_SUITE_P(
    Links, MarketLinks,
    ::testing::Values(
        LinkCase{"website", &ConfigImp::websiteUrl,
                 {L"tw", L"kr", L"vn", L"th", L"ru", L"pt", L"id", L"es", L"fr", L"jp", L"ar", L"fa", L"de"}},
        LinkCase{"social", &ConfigImp::socialUrl,
                 {L"tw", L"kr", L"vn", L"th", L"pt", L"ru", L"fr", L"jp", L"ar", L"fa", L"de", L"id"}},
        LinkCase{"tracking", &ConfigImp::trackingId,
                 {L"tw", L"kr", L"vn", L"th", L"ru", L"pt", L"jp", L"id", L"fr", L"es", L"de", L"ar", L"fa"}}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

}  // namespace
