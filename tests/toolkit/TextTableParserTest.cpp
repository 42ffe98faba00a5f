#include "toolkit/TextTableParser.h"

#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::vector<std::wstring>>;
using Texts = std::map<std::wstring, std::wstring>;
using toolkit::parseTextTable;
using toolkit::splitTableRows;

struct SplitCase {
    const char* name;
    std::string text;
    Rows rows;
};

TEST(TextTableParser, SplitsRowsAndCells) {
    const SplitCase cases[] = {
        {"empty", "", {}},
        {"only breaks and tabs", "\r\n\t\n\r\t\t", {}},
        {"CR LF", "a\tb\r\nc\td\r\n", {{L"a", L"b"}, {L"c", L"d"}}},
        {"LF alone", "a\tb\nc\td", {{L"a", L"b"}, {L"c", L"d"}}},
        {"CR alone", "a\tb\rc\td\r", {{L"a", L"b"}, {L"c", L"d"}}},
        {"blank lines between", "a\r\n\r\n\n\r\nb", {{L"a"}, {L"b"}}},
        {"two tabs give an empty cell", "a\t\tb", {{L"a", L"", L"b"}}},
        {"a tab at the end gives none", "a\tb\t\r\n", {{L"a", L"b"}}},
        {"two tabs at the end give one", "a\tb\t\t", {{L"a", L"b", L""}}},
        {"leading tabs are skipped", "\t\ta\tb", {{L"a", L"b"}}},
        {"spaces are kept", " a \t b ", {{L" a ", L" b "}}},
        {"UTF-8", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\tx", {{L"\x65E5\x672C\x8A9E", L"x"}}},
    };
    for (const SplitCase& c : cases) EXPECT_EQ(splitTableRows(c.text), c.rows) << c.name;
}

TEST(TextTableParser, ConvertsCellsOfAtMost512WideCharacters) {
    const std::string japanese = "\xE6\x97\xA5";  // one wide character from three bytes
    struct Case {
        std::string cell;
        std::wstring converted;
    } cases[] = {
        {std::string(512, 'x'), std::wstring(512, L'x')},
        {std::string(513, 'x'), L""},
        {[&] { std::string s; for (int i = 0; i < 512; ++i) s += japanese; return s; }(), std::wstring(512, L'\x65E5')},
        {[&] { std::string s; for (int i = 0; i < 513; ++i) s += japanese; return s; }(), L""},
    };
    for (const Case& c : cases) {
        const Rows rows = splitTableRows("k\t" + c.cell + "\tafter");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0], (std::vector<std::wstring>{L"k", c.converted, L"after"})) << c.cell.size();
    }
}

const std::string kHeader =
    "Code\tlanguage_code\ten_US\tzh_CN\tja_JP\r\n"
    "Language\tlanguage_name\tEnglish\tChinese\tJapanese\r\n";

struct ParseCase {
    const char* name;
    std::string text;
    std::wstring language;
    std::optional<Texts> texts;  // nothing: the table is rejected
};

TEST(TextTableParser, ParsesTheColumnOfTheLanguage) {
    const std::string body = kHeader + "Button\tok\tOK\tQueDing\tHai\r\nLabel\ttip\tTip\tTiShi\tHinto\r\n";
    const ParseCase cases[] = {
        {"empty language: first column", body, L"", Texts{{L"ok", L"OK"}, {L"tip", L"Tip"}}},
        {"unknown language: first column", body, L"xx_XX", Texts{{L"ok", L"OK"}, {L"tip", L"Tip"}}},
        {"zh_CN", body, L"zh_CN", Texts{{L"ok", L"QueDing"}, {L"tip", L"TiShi"}}},
        {"ja_JP", body, L"ja_JP", Texts{{L"ok", L"Hai"}, {L"tip", L"Hinto"}}},
        {"rows too short for the column leave their key out",
         kHeader + "Button\tok\tOK\tQueDing\r\nButton\tshort\r\nButton\tnone\r\n", L"ja_JP", Texts{}},
        {"rows too short for the first column", kHeader + "Button\tok\r\nButton\tyes\tYes\r\n", L"",
         Texts{{L"yes", L"Yes"}}},
        {"an empty cell is an empty text", kHeader + "Button\tok\t\tQueDing\r\n", L"", Texts{{L"ok", L""}}},
        {"a later row wins", kHeader + "Button\tok\tOne\r\nButton\tok\tTwo\r\n", L"", Texts{{L"ok", L"Two"}}},
        {"blank lines, LF and CR endings",
         "\n\nCode\tlanguage_code\ten_US\n\nLanguage\tlanguage_name\tEnglish\r\rButton\tok\tOK\n\r\n",
         L"", Texts{{L"ok", L"OK"}}},
        {"header only", kHeader, L"", Texts{}},
        {"empty", "", L"", std::nullopt},
        {"codes row of one cell", "Code\r\nLanguage\tlanguage_name\tEnglish\r\nButton\tok\tOK\r\n", L"",
         std::nullopt},
        {"row 2 not language_name",
         "Code\tlanguage_code\ten_US\r\nLanguage\tnames\tEnglish\r\nButton\tok\tOK\r\n", L"", std::nullopt},
        {"row 2 missing, row 1 says language_code", "Code\tlanguage_code\ten_US\r\n", L"", Texts{}},
        {"row 2 of one cell, row 1 says language_code",
         "Code\tlanguage_code\ten_US\r\nLanguage\r\nButton\tok\tOK\r\n", L"", Texts{{L"ok", L"OK"}}},
        {"row 2 of one cell, row 1 does not say language_code",
         "Code\tcodes\ten_US\r\nLanguage\r\nButton\tok\tOK\r\n", L"", std::nullopt},
    };
    for (const ParseCase& c : cases) {
        const auto table = parseTextTable(c.text, c.language);
        ASSERT_EQ(table.has_value(), c.texts.has_value()) << c.name;
        if (table) {
            EXPECT_EQ(table->texts, *c.texts) << c.name;
        }
    }
}

TEST(TextTableParser, KeepsTheCodesAndNamesRows) {
    const auto table = parseTextTable(kHeader, L"");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->codes, (std::vector<std::wstring>{L"Code", L"language_code", L"en_US", L"zh_CN", L"ja_JP"}));
    EXPECT_EQ(table->names,
              (std::vector<std::wstring>{L"Language", L"language_name", L"English", L"Chinese", L"Japanese"}));
}

}  // namespace
