// Reading one key from real settings files of every shape.

#include <gtest/gtest.h>

#include "config/ConfigFile.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"

using namespace testsupport;

namespace {

struct SettingsCase {
    const char* name;
    std::string content;  // written to the file as is
    std::wstring expected;
};

class ConfigFileRead : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(ConfigFileRead, GivesTheTextOrTheDefaultAndLeavesTheFileAlone) {
    ScratchDir dir;
    const std::wstring path = dir / L"vantors.config";
    writeFile(path, GetParam().content);

    config::ConfigFile file;
    file.open(path);
    EXPECT_EQ(file.getString("languageId", L"default"), GetParam().expected);
    EXPECT_EQ(readFile(path), GetParam().content);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ConfigFileRead,
    ::testing::Values(SettingsCase{"text", R"({"languageId":"ko_KR"})", L"ko_KR"},
                      SettingsCase{"utf8", "{\"languageId\":\"\xe4\xb8\xad\xe6\x96\x87\"}", L"\u4e2d\u6587"},
                      SettingsCase{"null", R"({"languageId":null})", L"default"},
                      SettingsCase{"number", R"({"languageId":7})", L"default"},
                      SettingsCase{"missing", R"({"other":"x"})", L"default"},
                      SettingsCase{"dotsAreFlat", R"({"languageId.x":"no","languageId":"yes"})", L"yes"},
                      SettingsCase{"invalid", R"({"languageId":"ko_KR")", L"default"},
                      SettingsCase{"array", R"(["languageId"])", L"default"},
                      SettingsCase{"empty", "", L"default"},
                      SettingsCase{"crlf", "{\r\n  \"languageId\": \"th_TH\"\r\n}\r\n", L"th_TH"}),
    [](const ::testing::TestParamInfo<SettingsCase>& info) { return std::string(info.param.name); });

TEST(ConfigFile, MissingFileAndEmptyPathReadAsEmpty) {
    ScratchDir dir;
    config::ConfigFile missing;
    missing.open(dir / L"absent.config");
    EXPECT_EQ(missing.getString("languageId", L"d"), L"d");
    EXPECT_FALSE(fileExists(dir / L"absent.config"));

    config::ConfigFile unbound;
    unbound.open(L"");
    EXPECT_EQ(unbound.getString("languageId", L"d"), L"d");
}

}  // namespace
