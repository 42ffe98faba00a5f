#include "toolkit/TextTables.h"

#include <gtest/gtest.h>

#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "toolkit/SkinPackage.h"

namespace {

using testsupport::writeFile;
using toolkit::lookupText;
using Language = std::pair<std::wstring, std::wstring>;
using Texts = std::map<std::wstring, std::optional<std::wstring>>;

// The packaged multi_language.tsv (tests/toolkit/skin) holds en_US, zh_CN and ja_JP.
class TextTablesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { toolkit::loadSkinPackage(::GetModuleHandleW(nullptr), 129); }
    void SetUp() override { toolkit::setResourceFolder(disk_.path()); }
    void TearDown() override {
        toolkit::setResourceFolder(L"");
        toolkit::setCurrentLanguage(L"");
        toolkit::loadTextTables();
    }

    void expectTexts(const Texts& texts) {
        for (const auto& [key, text] : texts) EXPECT_EQ(lookupText(key), text) << key;
    }

    testsupport::ScratchDir disk_;
};

std::string table(const std::string& rows) {
    return "Code\tlanguage_code\ten_US\tzh_CN\r\nLanguage\tlanguage_name\tEnglish\tChinese\r\n" + rows;
}

TEST_F(TextTablesTest, PackagedTableInTheCurrentLanguage) {
    struct Case {
        std::wstring language;
        std::wstring confirm, closeTip;
    } cases[] = {
        {L"", L"OK", L"Close"},
        {L"xx_XX", L"OK", L"Close"},
        {L"zh_CN", L"\x786E\x5B9A", L"\x5173\x95ED"},
        {L"ja_JP", L"OK\xFF08\x65E5\x672C\xFF09", L"\x9589\x3058\x308B"},
    };
    for (const Case& c : cases) {
        toolkit::setCurrentLanguage(c.language);
        toolkit::loadTextTables();
        EXPECT_EQ(toolkit::currentLanguage(), c.language);
        EXPECT_EQ(lookupText(L"confirm"), c.confirm) << c.language;
        EXPECT_EQ(lookupText(L"close_tip"), c.closeTip) << c.language;
        EXPECT_FALSE(lookupText(L"missing")) << c.language;
    }
}

TEST_F(TextTablesTest, LanguageListOfThePackagedTable) {
    toolkit::loadTextTables();
    ASSERT_EQ(toolkit::languageCount(), 3u);
    EXPECT_EQ(toolkit::languageAt(0), Language(L"en_US", L"English"));
    EXPECT_EQ(toolkit::languageAt(1), Language(L"zh_CN", L"\x7B80\x4F53\x4E2D\x6587"));
    EXPECT_EQ(toolkit::languageAt(2), Language(L"ja_JP", L"\x65E5\x672C\x8A9E"));
    EXPECT_FALSE(toolkit::languageAt(3));
}

TEST_F(TextTablesTest, LaterTablesOverrideKeyByKey) {
    writeFile(disk_ / L"multi_language_online.tsv", table("Button\tconfirm\tOnline\r\nButton\textra\tExtra\r\n"));
    writeFile(disk_ / L"multi_language_patch.tsv", table("Button\tconfirm\tPatched\tDaBuDing\r\n"));
    toolkit::loadTextTables();
    expectTexts({{L"confirm", L"Patched"}, {L"extra", L"Extra"}, {L"close_tip", L"Close"},
                 {L"minimize_tip", L"Minimize"}});
    ASSERT_EQ(toolkit::languageCount(), 2u);
    EXPECT_EQ(toolkit::languageAt(1), Language(L"zh_CN", L"Chinese"));
}

TEST_F(TextTablesTest, UnusableTablesAreIgnoredEntirely) {
    const std::string badRows[] = {
        "Code\tlanguage_code\ten_US\r\nLanguage\tnames\tEnglish\r\nButton\tconfirm\tPatched\r\n",
        "Code\r\nLanguage\tlanguage_name\tEnglish\r\nButton\tconfirm\tPatched\r\n",
        "",
    };
    for (const std::string& bad : badRows) {
        writeFile(disk_ / L"multi_language_patch.tsv", bad);
        toolkit::loadTextTables();
        expectTexts({{L"confirm", L"OK"}, {L"close_tip", L"Close"}});
        EXPECT_EQ(toolkit::languageCount(), 3u) << bad;
    }
}

// A usable disk table is read instead of the packaged one; an empty or oversized one is not.
TEST_F(TextTablesTest, DiskTableReplacesThePackagedOneUpTo4MiB) {
    const std::string disk = table("Button\tconfirm\tDisk\r\n");
    struct Case {
        const char* name;
        std::string bytes;
        bool fromDisk;
    } cases[] = {
        {"plain", disk, true},
        {"exactly 4 MiB", disk + std::string(4194304 - disk.size(), '\n'), true},
        {"one byte over 4 MiB", disk + std::string(4194305 - disk.size(), '\n'), false},
        {"empty", "", false},
    };
    for (const Case& c : cases) {
        writeFile(disk_ / L"multi_language.tsv", c.bytes);
        toolkit::loadTextTables();
        if (c.fromDisk) {
            expectTexts({{L"confirm", L"Disk"}, {L"close_tip", std::nullopt}});
        } else {
            expectTexts({{L"confirm", L"OK"}, {L"close_tip", L"Close"}});
        }
    }
}

TEST_F(TextTablesTest, LanguageListSkipsMissingNames) {
    writeFile(disk_ / L"multi_language_patch.tsv",
              "Code\tlanguage_code\ten_US\tzh_CN\tko_KR\r\nLanguage\tlanguage_name\tEnglish\r\n");
    toolkit::loadTextTables();
    ASSERT_EQ(toolkit::languageCount(), 3u);
    EXPECT_EQ(toolkit::languageAt(0), Language(L"en_US", L"English"));
    EXPECT_FALSE(toolkit::languageAt(1));
    EXPECT_FALSE(toolkit::languageAt(2));
}

TEST_F(TextTablesTest, LanguageListNeedsThreeCodeCells) {
    writeFile(disk_ / L"multi_language_patch.tsv", "Code\tlanguage_code\r\nLanguage\tlanguage_name\r\n");
    toolkit::loadTextTables();
    EXPECT_EQ(toolkit::languageCount(), 0u);
    EXPECT_FALSE(toolkit::languageAt(0));
    expectTexts({{L"confirm", L"OK"}});
}

TEST_F(TextTablesTest, SetTextInsertsAndReplaces) {
    toolkit::loadTextTables();
    toolkit::setText(L"confirm", L"Sure");
    toolkit::setText(L"new_key", L"New");
    expectTexts({{L"confirm", L"Sure"}, {L"new_key", L"New"}, {L"close_tip", L"Close"}});
}

}  // namespace
