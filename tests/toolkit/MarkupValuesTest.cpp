#include "toolkit/MarkupValues.h"

#include <gtest/gtest.h>

#include "common/XmlDocument.h"

namespace {

using namespace toolkit;

TEST(MarkupValuesTest, Integers) {
    const std::pair<std::wstring, std::optional<int>> cases[] = {
        {L"0", 0}, {L"42", 42}, {L"-7", -7}, {L"999999999", 999999999}, {L"", std::nullopt},
        {L"-", std::nullopt}, {L"1000000000", std::nullopt}, {L"4a", std::nullopt}, {L"+4", std::nullopt},
        {L"--4", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parseInteger(text), expected) << text;
}

TEST(MarkupValuesTest, Colours) {
    const std::pair<std::wstring, std::optional<uint32_t>> cases[] = {
        {L"#FF112233", 0xFF112233u}, {L"#00000000", 0u}, {L"#ffAbCdEf", 0xFFABCDEFu},
        {L"#112233", std::nullopt}, {L"#FF1122334", std::nullopt}, {L"FF112233", std::nullopt},
        {L"#GG112233", std::nullopt}, {L"0xFF112233", std::nullopt}, {L"", std::nullopt}, {L"#", std::nullopt},
        {L"# F112233", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parseColour(text), expected) << text;
}

TEST(MarkupValuesTest, MaskColoursAlsoTakeHexPrefix) {
    const std::pair<std::wstring, std::optional<uint32_t>> cases[] = {
        {L"0xffff00ff", 0xFFFF00FFu}, {L"0XFF000000", 0xFF000000u}, {L"#ffff00ff", 0xFFFF00FFu},
        {L"0xff00ff", std::nullopt}, {L"0x", std::nullopt}, {L"0xffff00fg", std::nullopt}, {L"ffff00ff", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parseMaskColour(text), expected) << text;
}

TEST(MarkupValuesTest, Rectangles) {
    const std::pair<std::wstring, std::optional<MarkupRect>> cases[] = {
        {L"1,2,3,4", MarkupRect{1, 2, 3, 4}}, {L"0, 10 ,-5,  20", MarkupRect{0, 10, -5, 20}},
        {L"1,2,3", std::nullopt}, {L"1,2,3,4,5", std::nullopt}, {L"1,,3,4", std::nullopt},
        {L"1,2,3,x", std::nullopt}, {L"1;2;3;4", std::nullopt}, {L"", std::nullopt}, {L"1.5,2,3,4", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parseRect(text), expected) << text;
}

TEST(MarkupValuesTest, Sizes) {
    const std::pair<std::wstring, std::optional<MarkupSize>> cases[] = {
        {L"640,400", MarkupSize{640, 400}}, {L"0,0", MarkupSize{0, 0}}, {L" 5 , 6 ", MarkupSize{5, 6}},
        {L"640", std::nullopt}, {L"640,400,1", std::nullopt}, {L"640,", std::nullopt}, {L"a,b", std::nullopt},
        {L"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parseSize(text), expected) << text;
}

TEST(MarkupValuesTest, Booleans) {
    const std::pair<std::wstring, std::optional<bool>> cases[] = {
        {L"true", true}, {L"false", false}, {L"TRUE", std::nullopt}, {L"1", std::nullopt},
        {L"", std::nullopt}, {L" true", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parseBool(text), expected) << text;
}

struct ImageCase {
    std::wstring text;
    bool valid;
    std::wstring file;
    std::optional<MarkupRect> source, dest, corner;
    std::optional<uint32_t> mask;
};

void expectImage(const std::optional<ImageAttributes>& image, const ImageCase& c) {
    ASSERT_EQ(image.has_value(), c.valid) << c.text;
    if (!c.valid) return;
    EXPECT_EQ(image->file, c.file) << c.text;
    EXPECT_EQ(image->source, c.source) << c.text;
    EXPECT_EQ(image->dest, c.dest) << c.text;
    EXPECT_EQ(image->corner, c.corner) << c.text;
    EXPECT_EQ(image->mask, c.mask) << c.text;
}

TEST(MarkupValuesTest, ImageAttributeStrings) {
    const MarkupRect r1234{1, 2, 3, 4};
    const ImageCase cases[] = {
        {L"min.png", true, L"min.png", {}, {}, {}, {}},
        {L"common/images/bk.bmp", true, L"common/images/bk.bmp", {}, {}, {}, {}},
        {L"file='btn_login.png' source='0,0,60,44' corner='20,20,20,20' mask='0xffff00ff'", true,
         L"btn_login.png", MarkupRect{0, 0, 60, 44}, {}, MarkupRect{20, 20, 20, 20}, 0xFFFF00FFu},
        {L"  file='a b.png'   dest='1,2,3,4'  ", true, L"a b.png", {}, r1234, {}, {}},
        {L"mask='#80000000' file='x.png'", true, L"x.png", {}, {}, {}, 0x80000000u},
        {L"file='x.png' fade='128' xtiled='true'", true, L"x.png", {}, {}, {}, {}},
        {L"file='x.png'source='1,2,3,4'", true, L"x.png", r1234, {}, {}, {}},
        {L"", false, {}, {}, {}, {}, {}},
        {L"source='1,2,3,4'", false, {}, {}, {}, {}, {}},
        {L"file='x.png", false, {}, {}, {}, {}, {}},
        {L"file=x.png", false, {}, {}, {}, {}, {}},
        {L"file='x.png' source='1,2,3'", false, {}, {}, {}, {}, {}},
        {L"file='x.png' mask='red'", false, {}, {}, {}, {}, {}},
        {L"file='x.png' ='1'", false, {}, {}, {}, {}, {}},
        {L"file='x.png' corner", false, {}, {}, {}, {}, {}},
    };
    for (const ImageCase& c : cases) expectImage(parseImageAttributes(c.text), c);
}

TEST(MarkupValuesTest, ImageAttributeWrittenWithXmlApostrophes) {
    common::XmlDocument document;
    ASSERT_TRUE(document.load(L"<Button normalimage=\"file=&apos;btn.png&apos; source=&apos;0,44,60,88&apos; "
                              L"mask=&apos;0xffff00ff&apos;\"/>"));
    expectImage(parseImageAttributes(document.root()->attribute(L"normalimage")),
                {L"", true, L"btn.png", MarkupRect{0, 44, 60, 88}, {}, {}, 0xFFFF00FFu});
}

TEST(MarkupValuesTest, TextRuns) {
    using Runs = std::vector<TextRun>;
    const std::pair<std::wstring, Runs> cases[] = {
        {L"", {}},
        {L"plain", {{L"plain", {}, false}}},
        {L"a <c #ff0000>red</c> b", {{L"a ", {}, false}, {L"red", 0xFFFF0000u, false}, {L" b", {}, false}}},
        {L"<u #0000FF>link</u>", {{L"link", 0xFF0000FFu, true}}},
        {L"<c #112233>x</c><u #445566>y</u>",
         {{L"x", 0xFF112233u, false}, {L"y", 0xFF445566u, true}}},
        {L"<c #ff0000></c>z", {{L"z", {}, false}}},
        {L"1 < 2", {{L"1 < 2", {}, false}}},
        {L"<b>bold</b>", {{L"<b>bold</b>", {}, false}}},
        {L"<c #ff0000>open", {{L"<c #ff0000>open", {}, false}}},
        {L"<c #ff00>x</c>", {{L"<c #ff00>x</c>", {}, false}}},
        {L"<c ff0000>x</c>", {{L"<c ff0000>x</c>", {}, false}}},
        {L"<c#ff0000>x</c>", {{L"<c#ff0000>x</c>", {}, false}}},
        {L"<c #ff0000>x</u>", {{L"<c #ff0000>x</u>", {}, false}}},
        {L"<c #gg0000>x</c>", {{L"<c #gg0000>x</c>", {}, false}}},
        {L"a<", {{L"a<", {}, false}}},
        {L"<<c #000000>k</c>", {{L"<", {}, false}, {L"k", 0xFF000000u, false}}},
    };
    for (const auto& [text, runs] : cases) EXPECT_EQ(splitTextRuns(text), runs) << text;
}

}  // namespace
