// The start-up language: its order of sources and the Windows language mapping.

#include <gtest/gtest.h>

#include <windows.h>

#include "config/RegionLanguage.h"

namespace {

struct UiLanguageCase {
    LANGID id;
    const wchar_t* code;
};

class UiLanguage : public ::testing::TestWithParam<UiLanguageCase> {};

TEST_P(UiLanguage, MapsToTheProductsCode) {
    EXPECT_EQ(config::languageCodeFor(GetParam().id), GetParam().code) << GetParam().id;
}

INSTANTIATE_TEST_SUITE_P(
    Table, UiLanguage,
    ::testing::Values(UiLanguageCase{1028, L"zh_TW"}, UiLanguageCase{3076, L"zh_TW"},  // Taiwan, Hong Kong
                      UiLanguageCase{5124, L"zh_TW"}, UiLanguageCase{31748, L"zh_TW"},  // Macao, Hant
                      UiLanguageCase{2052, L"zh_CN"}, UiLanguageCase{4100, L"zh_CN"},   // PRC, Singapore
                      UiLanguageCase{1042, L"ko_KR"}, UiLanguageCase{1033, L"en_US"},
                      UiLanguageCase{2057, L"en_US"}, UiLanguageCase{1066, L"vi_VN"},
                      UiLanguageCase{1054, L"th_TH"}, UiLanguageCase{1049, L"ru_RU"},
                      UiLanguageCase{1058, L"uk_UA"}, UiLanguageCase{1046, L"pt_PT"},   // Brazil is pt_PT too
                      UiLanguageCase{1055, L"tr_TR"}, UiLanguageCase{1040, L"it_IT"},
                      UiLanguageCase{3082, L"es_ES"}, UiLanguageCase{1036, L"fr_FR"},
                      UiLanguageCase{1031, L"de_DE"}, UiLanguageCase{1041, L"ja_JP"},
                      UiLanguageCase{1057, L"in_ID"}, UiLanguageCase{1025, L"ar_IL"},
                      UiLanguageCase{1065, L"fa_IR"}, UiLanguageCase{1081, L"hi_IN"},
                      UiLanguageCase{1086, L"ms_MY"}, UiLanguageCase{1043, L""},        // Dutch
                      UiLanguageCase{1045, L""}));                                       // Polish

TEST(StartupLanguage, SettingsWinOverTheExplicitLanguageWhichWinsOverWindows) {
    constexpr LANGID korean = 1042;
    EXPECT_EQ(config::chooseStartupLanguage(L"th_TH", L"de_DE", korean), L"th_TH");
    EXPECT_EQ(config::chooseStartupLanguage(L"", L"de_DE", korean), L"de_DE");
    EXPECT_EQ(config::chooseStartupLanguage(L"", L"", korean), L"ko_KR");
    EXPECT_EQ(config::chooseStartupLanguage(L"", L"", 1043), L"");
}

}  // namespace
