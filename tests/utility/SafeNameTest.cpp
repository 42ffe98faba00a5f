// Names and values from outside, as tables: what a file name keeps and loses, and which texts pass as
// package names, addresses, resolutions and game ids.

#include <gtest/gtest.h>

#include "utility/SafeName.h"
#include "utility/UString.h"

namespace {

struct NameCase {
    std::wstring name;
    std::wstring safe;
};

std::ostream& operator<<(std::ostream& out, const NameCase& c) {
    return out << utility::ustring::wideToUtf8(c.name);
}

class SafeFileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(SafeFileName, StaysOneFileInsideItsFolder) {
    EXPECT_EQ(utility::safeFileName(GetParam().name), GetParam().safe);
    EXPECT_EQ(utility::safeFileName(GetParam().safe), GetParam().safe) << "a safe name changes no more";
}

INSTANTIATE_TEST_SUITE_P(
    WellFormed, SafeFileName,
    ::testing::Values(NameCase{L"Example Game", L"Example Game"}, NameCase{L"\u6e38\u620f \u00dcber", L"\u6e38\u620f \u00dcber"},
                      NameCase{L"v1.2 final", L"v1.2 final"}, NameCase{L"com.example.game", L"com.example.game"},
                      NameCase{L"COM10", L"COM10"}, NameCase{L"Console", L"Console"}, NameCase{L"", L""}));

INSTANTIATE_TEST_SUITE_P(
    Climbing, SafeFileName,
    ::testing::Values(NameCase{L"..\\..\\evil", L"__evil"}, NameCase{L"../x:y", L"_x_y"},
                      NameCase{L"C:\\Windows\\evil", L"C__Windows_evil"}, NameCase{L"\\\\server\\share", L"__server_share"},
                      NameCase{L"a/../../b", L"a___b"}));

INSTANTIATE_TEST_SUITE_P(
    Characters, SafeFileName,
    ::testing::Values(NameCase{L"A \"quoted\" <game>|?*", L"A _quoted_ _game____"},
                      NameCase{L"line\r\nbreak\ttab\x7f", L"line__break_tab_"}, NameCase{L"Wait... what", L"Wait. what"},
                      NameCase{L"name. . ", L"name"}, NameCase{L"Game...", L"Game"}));

INSTANTIATE_TEST_SUITE_P(
    NothingLeft, SafeFileName,
    ::testing::Values(NameCase{L".", L""}, NameCase{L"..", L""}, NameCase{L"...", L""}, NameCase{L" . ", L""},
                      NameCase{L"....", L""}));

INSTANTIATE_TEST_SUITE_P(
    Devices, SafeFileName,
    ::testing::Values(NameCase{L"CON", L"_CON"}, NameCase{L"con.txt", L"_con.txt"}, NameCase{L"Com1", L"_Com1"},
                      NameCase{L"LPT9.tar.gz", L"_LPT9.tar.gz"}, NameCase{L"nul .ico", L"_nul .ico"},
                      NameCase{L"AUX.", L"_AUX"}, NameCase{L"prn", L"_prn"}, NameCase{L"conout$", L"_conout$"}));

TEST(WithoutControlCharacters, KeepsEveryOtherCharacter) {
    EXPECT_EQ(utility::withoutControlCharacters(L"Evil\r\n[setting]\r\nadshow=1"), L"Evil[setting]adshow=1");
    EXPECT_EQ(utility::withoutControlCharacters(std::wstring(L"a\0b\tc\x7f", 6)), L"abc");
    EXPECT_EQ(utility::withoutControlCharacters(L"\u6807\u9898 [x] = \"y\";"), L"\u6807\u9898 [x] = \"y\";");
}

struct FormCase {
    std::wstring text;
    bool packageName;
    bool address;
    bool resolution;
    bool alphanumeric;
};

std::ostream& operator<<(std::ostream& out, const FormCase& c) {
    return out << utility::ustring::wideToUtf8(c.text);
}

class TextForm : public ::testing::TestWithParam<FormCase> {};

TEST_P(TextForm, PassesOnlyWhatItMeans) {
    EXPECT_EQ(utility::isAndroidPackageName(GetParam().text), GetParam().packageName);
    EXPECT_EQ(utility::isWebAddress(GetParam().text), GetParam().address);
    EXPECT_EQ(utility::isScreenResolution(GetParam().text), GetParam().resolution);
    EXPECT_EQ(utility::isAsciiAlphanumeric(GetParam().text), GetParam().alphanumeric);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextForm,
    ::testing::Values(
        // text                                       package address resolution alphanumeric
        FormCase{L"com.example.game",                 true,  false, false, false},
        FormCase{L"com.example_2.Game9",              true,  false, false, false},
        FormCase{L"777",                              true,  false, true,  true},
        FormCase{L"abc123XYZ",                        true,  false, false, true},
        FormCase{L"1280,720,240",                     false, false, true,  false},
        FormCase{L"1280x720",                         true,  false, true,  true},
        FormCase{L"http://h/g.apk",                   false, true,  false, false},
        FormCase{L"HTTPS://H:8080/p?q=1&r=%20#f",     false, true,  false, false},
        FormCase{L"http://h/\u6e38\u620f.apk",        false, true,  false, false},
        FormCase{L"",                                 false, false, false, false},
        FormCase{L"a|b=c",                            false, false, false, false},
        FormCase{L"com..game",                        false, false, false, false},
        FormCase{L".com.game",                        false, false, false, false},
        FormCase{L"com.game.",                        false, false, false, false},
        FormCase{L"com.exam ple",                     false, false, false, false},
        FormCase{L"com.example.game\r\n",             false, false, false, false},
        FormCase{L"com.\u00e9xample",                 false, false, false, false},
        FormCase{L"javascript:alert(1)",              false, false, false, false},
        FormCase{L"file:///C:/Windows/win.ini",       false, false, false, false},
        FormCase{L"ftp://h/x",                        false, false, false, false},
        FormCase{L"\\\\server\\share\\x.ico",         false, false, false, false},
        FormCase{L"http://",                          false, false, false, false},
        FormCase{L"http://h/a b.apk",                 false, false, false, false},
        FormCase{L"http://h/a|package=evil",          false, false, false, false},
        FormCase{L"http://h/\"quoted\"",              false, false, false, false},
        FormCase{L"http://h/a\r\nHost: x",            false, false, false, false},
        FormCase{L"1280,720,240 --index 1",           false, false, false, false},
        FormCase{L"1280,,720",                        false, false, false, false},
        FormCase{L",1280",                            false, false, false, false},
        FormCase{L"1280,",                            false, false, false, false},
        FormCase{L"1280X720",                         true,  false, false, true},
        FormCase{L"\uff17\uff17\uff17",               false, false, false, false},
        FormCase{L"7|show=false",                     false, false, false, false}));

}  // namespace
