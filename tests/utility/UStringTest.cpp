// String and path helpers, as tables of cases.

#include <gtest/gtest.h>

#include "utility/UString.h"

namespace us = utility::ustring;

namespace {

struct PathCase {
    std::wstring path;
    std::wstring stem;
    std::wstring parent;
};

class PathHelpers : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathHelpers, StemAndParent) {
    EXPECT_EQ(us::fileStem(GetParam().path), GetParam().stem);
    EXPECT_EQ(us::parentDir(GetParam().path), GetParam().parent);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PathHelpers,
    ::testing::Values(PathCase{L"C:\\dl\\pelora4_en_com.game_12345_x.exe", L"pelora4_en_com.game_12345_x", L"C:\\dl\\"},
                      PathCase{L"C:\\dl\\setup.tar.gz", L"setup.tar", L"C:\\dl\\"},
                      PathCase{L"C:\\dl\\noext", L"noext", L"C:\\dl\\"},
                      PathCase{L"C:/a/b/name.exe", L"name", L"C:/a/b/"},
                      PathCase{L"C:\\a\\b/c.exe", L"b/c", L"C:\\a\\"},  // a backslash wins over a later slash
                      PathCase{L"bare.exe", L"", L""},
                      PathCase{L"C:\\a\\b\\", L"", L"C:\\a\\"},
                      PathCase{L"C:\\a\\.hidden", L"", L"C:\\a\\"},
                      PathCase{L"x", L"", L""},
                      PathCase{L"", L"", L""},
                      PathCase{L"\\\\", L"", L"\\"}));

TEST(SplitText, TrimsPiecesAndKeepsEmptyOnes) {
    using Pieces = std::vector<std::wstring>;
    EXPECT_EQ(us::split(L"pelora4_en_com.game_12345", L"_"), (Pieces{L"pelora4", L"en", L"com.game", L"12345"}));
    EXPECT_EQ(us::split(L"a__b", L"_"), (Pieces{L"a", L"", L"b"}));
    EXPECT_EQ(us::split(L" a | b |", L"|"), (Pieces{L"a", L"b", L""}));
    EXPECT_EQ(us::split(L"  whole  ", L"|"), (Pieces{L"whole"}));
    EXPECT_EQ(us::split(L"a::b", L"::"), (Pieces{L"a", L"b"}));
    EXPECT_EQ(us::split(L"\ta\t|b", L"|"), (Pieces{L"\ta\t", L"b"}));  // only U+0020 is trimmed
    EXPECT_TRUE(us::split(L"", L"|").empty());
    EXPECT_TRUE(us::split(L"abc", L"").empty());
}

TEST(KeyValues, LowerCaseKeysDropTrailingBlanksAndSkipTheRest) {
    const auto values = us::parseKeyValues(
        {L"ApkUrl = http://h/a=b.apk ", L" Lead=x", L"noseparator", L"=novalue", L"  =blank", L"apkurl=second",
         L"empty="},
        L"=");
    const std::map<std::wstring, std::wstring> expected = {
        {L" lead", L"x"}, {L"apkurl", L"second"}, {L"empty", L""}};
    EXPECT_EQ(values, expected);

    std::wstring out = L"untouched";
    EXPECT_TRUE(us::lookup(values, L"apkurl", out));
    EXPECT_EQ(out, L"second");
    out = L"untouched";
    EXPECT_FALSE(us::lookup(values, L"ApkUrl", out));
    EXPECT_EQ(out, L"untouched");
}

TEST(HeaderValue, FindsCaseInsensitiveNamesUpToTheLineEnd) {
    const char* headers = "HTTP/1.1 200 OK\r\ncontent-length :  1234 \r\nLocation: http://h:81/x?a=b\r\nBroken 5\r\n\r\n";
    std::string out = "untouched";
    EXPECT_TRUE(us::headerValue(headers, "Content-Length", out));
    EXPECT_EQ(out, "1234");
    EXPECT_TRUE(us::headerValue(headers, "location", out));
    EXPECT_EQ(out, "http://h:81/x?a=b");
    out = "untouched";
    EXPECT_FALSE(us::headerValue(headers, "Broken", out));
    EXPECT_FALSE(us::headerValue(headers, "Transfer-Encoding", out));
    EXPECT_EQ(out, "untouched");
    EXPECT_TRUE(us::headerValue("Server: last", "server", out));
    EXPECT_EQ(out, "last");
}

TEST(Conversions, RoundTripAndHonourLengths) {
    const std::string utf8 = "\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4 abc";  // Korean and ASCII
    EXPECT_EQ(us::utf8ToWide(utf8), L"\ud55c\uad6d\uc5b4 abc");
    EXPECT_EQ(us::wideToUtf8(us::utf8ToWide(utf8)), utf8);
    EXPECT_EQ(us::toWide("abc\0def", -1, CP_UTF8), L"abc");
    EXPECT_EQ(us::toWide("abcdef", 2, CP_UTF8), L"ab");
    EXPECT_EQ(us::toWide(nullptr, 3, CP_UTF8), L"");
    EXPECT_EQ(us::toWide("abc", -2, CP_UTF8), L"");
    EXPECT_EQ(us::toNarrow(L"xyz", -1, CP_UTF8), "xyz");
    EXPECT_EQ(us::toNarrow(L"xyz", -5, CP_UTF8), "");
    EXPECT_EQ(us::ansiToUtf8(""), "");
    EXPECT_EQ(us::ansiToUtf8("plain"), "plain");
}

TEST(SmallHelpers, NumbersDigitsAndSuffixes) {
    EXPECT_EQ(us::fromInt(-42), L"-42");
    EXPECT_EQ(us::fromUnsigned(4294967295ul), L"4294967295");
    EXPECT_TRUE(us::isAllDigits(L"0123456789"));
    EXPECT_TRUE(us::isAllDigits(L""));
    EXPECT_FALSE(us::isAllDigits(L"12a"));
    EXPECT_FALSE(us::isAllDigits(L"\u0661"));  // Arabic-Indic one is not an ASCII digit
    EXPECT_TRUE(us::endsWith(std::wstring(L"file.tmp"), L".tmp"));
    EXPECT_FALSE(us::endsWith(std::wstring(L"file.TMP"), L".tmp"));
    EXPECT_TRUE(us::endsWith(std::string("a.exe"), std::string("")));
    EXPECT_FALSE(us::endsWith(std::string("e"), std::string(".exe")));
    EXPECT_FALSE(us::exeDir().empty());
    EXPECT_EQ(us::exeDir().back(), L'\\');
}

TEST(ReplaceAll, ReplacesEveryPlaceholderOnceAndNeverItsOwnOutput) {
    struct Case {
        const wchar_t *text, *from, *to, *expected;
    } cases[] = {
        {L"{game} and {game}", L"{game}", L"Chess", L"Chess and Chess"},
        {L"{n}", L"{n}", L"{n}{n}", L"{n}{n}"},  // a name holding the placeholder stays as it is
        {L"no placeholder", L"{n}", L"5", L"no placeholder"},
        {L"{n}", L"", L"5", L"{n}"},
        {L"", L"{n}", L"5", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(us::replaceAll(c.text, c.from, c.to), c.expected) << c.text;
}

}  // namespace
