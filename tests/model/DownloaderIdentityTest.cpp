// What a downloader's file name and command line say about it.

#include <gtest/gtest.h>

#include "model/DownloaderIdentity.h"

namespace {

struct StemCase {
    const char* name;
    std::wstring stem;
    NameIdentity expected;
};

class StemIdentity : public ::testing::TestWithParam<StemCase> {};

TEST_P(StemIdentity, ReadsTypeMarketPackageOpenIdAndAdvertisingId) {
    const NameIdentity identity = identityFromStem(GetParam().stem);
    const NameIdentity& expected = GetParam().expected;
    EXPECT_EQ(identity.type, expected.type);
    EXPECT_EQ(identity.market, expected.market);
    EXPECT_EQ(identity.package, expected.package);
    EXPECT_EQ(identity.openId, expected.openId);
    EXPECT_EQ(identity.googleId, expected.googleId);
}

INSTANTIATE_TEST_SUITE_P(
    Stems, StemIdentity,
    ::testing::Values(
        StemCase{"gameWithAdId", L"pelora64_kr_com.game.app_12345_abc_def_9",
                 {L"pelora64", L"kr", L"com.game.app", L"12345", L"abc_def"}},
        StemCase{"game", L"pelora4_en_com.example.game_12345_x", {L"pelora4", L"en", L"com.example.game", L"12345", L""}},
        StemCase{"fourPieces", L"pelora9_th_777_x", {L"pelora9", L"th", L"", L"777", L""}},
        StemCase{"digitsFivePieces", L"pelora4_ens_5000_a_b", {L"pelora4", L"ens", L"", L"5000", L"a"}},
        StemCase{"digitsMany", L"pelora4_en_5000_a_b_c_d", {L"pelora4", L"en", L"", L"5000", L"a_b_c"}},
        StemCase{"emptyPieceIsDigits", L"pelora4_en__a_b", {L"pelora4", L"en", L"", L"", L"a"}},
        StemCase{"blanksTrimmed", L" pelora3 _ tw _ 42 _x", {L"pelora3", L"tw", L"", L"42", L""}},
        StemCase{"onePiece", L"Setup", {}},
        StemCase{"threePieces", L"a_b_c", {}},
        StemCase{"empty", L"", {}}),
    [](const ::testing::TestParamInfo<StemCase>& info) { return std::string(info.param.name); });

struct CommandLineCase {
    const char* name;
    std::wstring commandLine;
    CommandLinePackage expected;
};

class CommandLineGame : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineGame, ReadsNamePackageAndAddress) {
    const CommandLinePackage result = packageFromCommandLine(GetParam().commandLine);
    EXPECT_EQ(result.found, GetParam().expected.found);
    EXPECT_EQ(result.name, GetParam().expected.name);
    EXPECT_EQ(result.package, GetParam().expected.package);
    EXPECT_EQ(result.apkUrl, GetParam().expected.apkUrl);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, CommandLineGame,
    ::testing::Values(
        CommandLineCase{"quoted", L"\"name=Game|package=com.g|apkurl=http://h/g.apk\"",
                        {L"Game", L"com.g", L"http://h/g.apk", true}},
        CommandLineCase{"capitalKeys", L"NAME=Game |Package=com.g| ApkUrl=http://h/g.apk?a=b",
                        {L"Game", L"com.g", L"http://h/g.apk?a=b", true}},
        CommandLineCase{"emptyApkUrl", L"name=Game|package=com.g|apkurl=", {L"Game", L"com.g", L"", true}},
        CommandLineCase{"laterKeyWins", L"name=A|name=B", {L"B", L"", L"", true}},
        CommandLineCase{"shortKeepsQuotes", L"\"a=b\"", {L"", L"", L"", true}},
        CommandLineCase{"noPairs", L"--silent", {L"", L"", L"", false}},
        CommandLineCase{"empty", L"", {L"", L"", L"", false}}),
    [](const ::testing::TestParamInfo<CommandLineCase>& info) { return std::string(info.param.name); });

}  // namespace
