// The XML reader as the language loader sees it: which documents are accepted, the exact first error
// of those that are not, entity decoding, attributes, text content and the tree built from a
// language file.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/XmlDocument.h"
#include "common/XmlMarkup.h"

using common::XmlDocument;
using common::XmlMarkup;
using common::XmlNode;

namespace {

// Names each instantiated case after its table entry.
const auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

struct LoadCase {
    const char* name;
    std::wstring document;
    std::wstring error;  // empty when the document is well formed
};

class XmlLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(XmlLoad, AcceptsOrGivesTheFirstError) {
    const LoadCase& c = GetParam();
    XmlDocument document;
    EXPECT_EQ(document.load(c.document), c.error.empty());
    EXPECT_EQ(document.error(), c.error);
    EXPECT_EQ(document.root() != nullptr, c.error.empty());
}

// End tags, the root, and which message is kept when there are several.
INSTANTIATE_TEST_SUITE_P(
    XmlStructure, XmlLoad,
    ::testing::Values(
        LoadCase{"EmptyText", L"", L"Empty document"},
        LoadCase{"OnlyComment", L"<!-- nothing here -->", L"No root element"},
        LoadCase{"OnlyDeclarationAndBlanks", L"<?xml version=\"1.0\"?>\r\n  \t", L"No root element"},
        LoadCase{"TwoEmptyElements", L"<a/><b/>", L"Root element has sibling"},
        LoadCase{"SecondRootAfterComment", L"<a></a><!-- x --><a></a>", L"Root element has sibling"},
        LoadCase{"EndTagOfOuterElement", L"<a><b><c></a>",
                 L"End tag 'a' at offset 9 does not match start tag 'c' at offset 6"},
        LoadCase{"UnendedStringInLanguage", L"<Language><String id=\"x\">text</Language>",
                 L"End tag 'Language' at offset 29 does not match start tag 'String' at offset 10"},
        // "a" is left open too, but only the first message is kept.
        LoadCase{"EndTagWithoutStartTag", L"<a></b>", L"No start tag for end tag 'b' at offset 3"},
        LoadCase{"EndTagBeforeAnyElement", L"</a><a/>", L"No start tag for end tag 'a' at offset 0"},
        LoadCase{"EmptyEndTag", L"<a></></a>", L"No start tag for end tag '' at offset 3"},
        LoadCase{"EndTagNamesAPrefix", L"<ab></a>", L"No start tag for end tag 'a' at offset 4"},
        LoadCase{"EndTagExtendsTheName", L"<a></ab>", L"No start tag for end tag 'ab' at offset 3"},
        LoadCase{"NamesAreCaseSensitive", L"<A></a>", L"No start tag for end tag 'a' at offset 3"},
        LoadCase{"RootNotEnded", L"<a><b>text</b>", L"Element 'a' at offset 0 not ended"},
        LoadCase{"InnermostNotEndedIsNamed", L"<a>\r\n <b x='1'>", L"Element 'b' at offset 6 not ended"},
        // "/" after an unquoted value does not make an empty element.
        LoadCase{"SlashAfterUnquotedValue", L"<a b=1/>", L"Element 'a' at offset 0 not ended"},
        // Offsets count UTF-16 units: the emoji takes two.
        LoadCase{"OffsetsInUtf16Units", L"<\u540d\u5b57>\U0001F600</\u540d>",
                 L"No start tag for end tag '\u540d' at offset 6"}),
    kCaseName);

// Nodes the scanner cannot classify or that reach the end of the text.
INSTANTIATE_TEST_SUITE_P(
    XmlScanning, XmlLoad,
    ::testing::Values(
        LoadCase{"DigitStartsTagName", L"<a><1/></a>", L"Incorrect tag name character at offset 3"},
        LoadCase{"BlankStartsTagName", L"<a>< b/></a>", L"Incorrect tag name character at offset 3"},
        LoadCase{"LessThanAtEnd", L"<a>x<", L"Incorrect tag name character at offset 4"},
        LoadCase{"SingleDashComment", L"<a><!-x--></a>", L"Incorrect comment tag at offset 3"},
        LoadCase{"BracketWithoutCdata", L"<a><![DATA[x]]></a>", L"Incorrect tag at offset 3"},
        LoadCase{"UnknownDeclaration", L"<a><!X></a>", L"Incorrect ! tag at offset 3"},
        LoadCase{"StartTagWithOpenQuote", L"<a><b x='>/></a>", L"Element tag at offset 3 unterminated"},
        LoadCase{"EndTag", L"<a></a", L"Element end tag at offset 3 unterminated"},
        LoadCase{"Cdata", L"<a><![CDATA[x]]</a>", L"CDATA Section at offset 3 unterminated"},
        LoadCase{"ProcessingInstruction", L"<?xml version=\"1.0\">\n<a/>",
                 L"Processing instruction at offset 0 unterminated"},
        LoadCase{"Comment", L"<a/>\n<!-- x --", L"Comment at offset 5 unterminated"},
        LoadCase{"CommentNeedsItsOwnDashes", L"<a/><!-->", L"Comment at offset 4 unterminated"},
        LoadCase{"DoctypeSubset", L"<!DOCTYPE a [<!ENTITY x '>'>\n<a/>", L"Doctype at offset 0 unterminated"},
        LoadCase{"OtherDeclaration", L"<a/><!ENTITY x 'y'", L"tag at offset 4 unterminated"},
        // The first error stops the reading: nothing about the unended "a".
        LoadCase{"FirstErrorOnly", L"<a><!-- open", L"Comment at offset 3 unterminated"}),
    kCaseName);

INSTANTIATE_TEST_SUITE_P(
    XmlAccepted, XmlLoad,
    ::testing::Values(
        LoadCase{"DeclarationAndCommentsBeforeRoot",
                 L"\xFEFF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- English -->\r\n<!---->\r\n<Language/>", L""},
        LoadCase{"DoctypeWithSubset",
                 L"<!DOCTYPE Language SYSTEM \"a>b.dtd\" [<!ENTITY x 'y>z'> <!-- it's here -->]>\n<Language/>", L""},
        LoadCase{"MiscellanyAfterRoot", L"<a></a>\n<!-- end --><?pi x?>\r\n", L""},
        LoadCase{"GreaterThanInQuotedValues", L"<a title='x>y' b=\"1>2\"/>", L""},
        LoadCase{"EmptyElementForms", L"<a><b/><b /><b c='1'/><b c=\"1\"/></a>", L""},
        LoadCase{"SlashAfterUnquotedValueNeedsEndTag", L"<a b=1/></a>", L""},
        LoadCase{"BlanksInsideTags", L"<a\r\n\tb = 'x'\n></a\t>", L""},
        LoadCase{"NameCharacters", L"<ns:a_b.c-d><_x/><\u00e9t\u00e9/></ns:a_b.c-d>", L""},
        LoadCase{"CdataHoldsMarkup", L"<a><![CDATA[</b> <!-- & ]]></a>", L""},
        LoadCase{"DeclarationInsideContent", L"<a><!ELEMENT b ANY><!ATTLIST b c CDATA #IMPLIED><!NOTATION n SYSTEM 'x'></a>", L""}),
    kCaseName);

struct TextCase {
    const char* name;
    std::wstring content;
    std::wstring text;
};

class XmlText : public ::testing::TestWithParam<TextCase> {};

TEST_P(XmlText, OfAnElementWithoutChildren) {
    const TextCase& c = GetParam();
    XmlDocument document;
    ASSERT_TRUE(document.load(L"<r><s>" + c.content + L"</s></r>")) << document.error();
    ASSERT_EQ(document.root()->children().size(), 1u);
    EXPECT_EQ(document.root()->children()[0]->text(), c.text);
    EXPECT_EQ(document.root()->text(), L"");
}

INSTANTIATE_TEST_SUITE_P(
    XmlEntities, XmlText,
    ::testing::Values(
        TextCase{"AmpersandAndHex", L"A &amp; B &#x41;", L"A & B A"},
        TextCase{"AllNamed", L"&lt;&gt;&amp;&apos;&quot;", L"<>&'\""},
        TextCase{"Decimal", L"&#65;&#20013;", L"A\u4e2d"},
        TextCase{"UnknownNameStays", L"x &unknown; y", L"x &unknown; y"},
        TextCase{"ZeroStays", L"&#0;|&#x0;|&#;|&#x;", L"&#0;|&#x0;|&#;|&#x;"},
        TextCase{"MissingSemicolonStays", L"&amp &lt &#65 &", L"&amp &lt &#65 &"},
        TextCase{"NamesAreCaseSensitive", L"&AMP;&#X41;", L"&AMP;&#X41;"},
        // The number is read from the leading digits; the rest up to ";" is dropped.
        TextCase{"LeadingDigitsOnly", L"&#65zz;&#x42g;", L"AB"},
        TextCase{"SemicolonAfterSevenCharacters", L"&#0000065;&#x000043;", L"AC"},
        TextCase{"SemicolonAfterEightCharacters", L"&#00000065;", L"&#00000065;"},
        TextCase{"AmpersandStaysBeforeAReference", L"&&amp;", L"&&"},
        TextCase{"BeyondOneUnitMakesASurrogatePair", L"&#x1F600;&#128512;", L"\U0001F600\U0001F600"},
        TextCase{"BeyondUnicodeStays", L"&#x110000;", L"&#x110000;"}),
    kCaseName);

INSTANTIATE_TEST_SUITE_P(
    XmlContent, XmlText,
    ::testing::Values(
        TextCase{"NoContent", L"", L""},
        TextCase{"BlanksAreKept", L"  a  b \r\n", L"  a  b \r\n"},
        TextCase{"OnlyBlanks", L" \t ", L" \t "},
        TextCase{"CdataTakenLiterally", L"a<![CDATA[<b>&amp;]]>c", L"a<b>&amp;c"},
        TextCase{"BlanksAroundCdata", L" <![CDATA[x]]> ", L" x "},
        TextCase{"EmptyCdata", L"<![CDATA[]]>", L""},
        TextCase{"EntitiesDecodedOutsideCdataOnly", L"&lt;<![CDATA[&lt;]]>&gt;", L"<&lt;>"},
        TextCase{"CommentsAndInstructionsSkipped", L"a<!-- b -->c<?p d?>e", L"ace"},
        TextCase{"ChildElementHidesText", L"text<b>inner</b>more", L""},
        TextCase{"EmptyChildHidesText", L"text<b/>", L""}),
    kCaseName);

struct AttributeCase {
    const char* name;
    std::wstring root;
    std::wstring attribute;
    std::wstring value;
};

class XmlAttribute : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(XmlAttribute, ReadsTheValue) {
    const AttributeCase& c = GetParam();
    XmlDocument document;
    ASSERT_TRUE(document.load(c.root)) << document.error();
    EXPECT_EQ(document.root()->attribute(c.attribute), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    XmlQuoting, XmlAttribute,
    ::testing::Values(
        AttributeCase{"Double", L"<a id=\"v w\"/>", L"id", L"v w"},
        AttributeCase{"Single", L"<a id='v w'/>", L"id", L"v w"},
        AttributeCase{"BlanksAroundEquals", L"<a id \r\n= \t'v' />", L"id", L"v"},
        AttributeCase{"Unquoted", L"<a x=1 id=v></a>", L"id", L"v"},
        // An unquoted value runs up to a blank or ">", so a "/" there is part of it.
        AttributeCase{"UnquotedTakesASlashBeforeTheTagEnd", L"<a b=c/></a>", L"b", L"c/"},
        AttributeCase{"OtherQuoteInside", L"<a id='say \"hi\"' b=\"it's\"/>", L"b", L"it's"},
        AttributeCase{"EntitiesDecoded", L"<a id='&lt;&#65;&quot;&unknown;'/>", L"id", L"<A\"&unknown;"},
        AttributeCase{"WithoutValue", L"<a id x='1'/>", L"x", L"1"},
        AttributeCase{"FirstOfTwoWithOneName", L"<a id='1' id='2'/>", L"id", L"1"}),
    kCaseName);

INSTANTIATE_TEST_SUITE_P(
    XmlMissing, XmlAttribute,
    ::testing::Values(
        AttributeCase{"Absent", L"<a name='x'/>", L"id", L""},
        AttributeCase{"NamesAreCaseSensitive", L"<a ID='x'/>", L"id", L""},
        AttributeCase{"LongerName", L"<a idx='x'/>", L"id", L""},
        AttributeCase{"ValueIsNotAName", L"<a name='id'/>", L"id", L""},
        AttributeCase{"TagNameIsNotAnAttribute", L"<id/>", L"id", L""}),
    kCaseName);

TEST(XmlAttributes, KeepTagOrderAndOneValuePerName) {
    XmlDocument document;
    ASSERT_TRUE(document.load(L"<a z=\"1\" b='2' m=3 b='4' ></a>"));
    const std::vector<XmlNode::Attribute> expected{{L"z", L"1"}, {L"b", L"2"}, {L"m", L"3"}};
    EXPECT_EQ(document.root()->attributes(), expected);
}

TEST(XmlNodeAttributes, SettingAPresentNameReplacesItsValueInPlace) {
    XmlNode node(L"n");
    node.setAttribute(L"a", L"1");
    node.setAttribute(L"b", L"2");
    node.setAttribute(L"a", L"3");
    const std::vector<XmlNode::Attribute> expected{{L"a", L"3"}, {L"b", L"2"}};
    EXPECT_EQ(node.attributes(), expected);
    EXPECT_EQ(node.attribute(L"a"), L"3");
    EXPECT_EQ(node.attribute(L"c"), L"");
}

TEST(XmlMarkupNavigation, FindsElementsByNameAmongTheChildrenOfTheParent) {
    XmlMarkup markup;
    EXPECT_EQ(markup.getTagName(), L"");
    ASSERT_TRUE(markup.setDocument(L"<r><string id='lower'/><Group><String id='inner'/></Group>"
                                   L"<Str id='short'/><String id='a' b=\"2\">x</String><String id='b'/></r>"));
    EXPECT_FALSE(markup.outOfElement());
    EXPECT_EQ(markup.getText(), L"");
    ASSERT_TRUE(markup.findElement(L"r"));
    ASSERT_TRUE(markup.intoElement());

    ASSERT_TRUE(markup.findElement(L"String"));
    EXPECT_EQ(markup.getAttribute(L"id"), L"a");
    EXPECT_EQ(markup.getAttributeName(0), L"id");
    EXPECT_EQ(markup.getAttributeName(1), L"b");
    EXPECT_EQ(markup.getAttributeName(2), L"");
    EXPECT_EQ(markup.getText(), L"x");
    ASSERT_TRUE(markup.findElement(L"String"));
    EXPECT_EQ(markup.getAttribute(L"id"), L"b");
    EXPECT_FALSE(markup.findElement(L"String"));
    EXPECT_EQ(markup.getAttribute(L"id"), L"b") << "a failed find must not move";
    EXPECT_FALSE(markup.findElement());

    ASSERT_TRUE(markup.outOfElement());
    EXPECT_EQ(markup.getTagName(), L"r");
    EXPECT_FALSE(markup.findElement());
    EXPECT_FALSE(markup.outOfElement());
}

TEST(XmlMarkupNavigation, StartsAgainAtTheTopWithEachDocument) {
    XmlMarkup markup;
    ASSERT_TRUE(markup.setDocument(L"<a><b/></a>"));
    ASSERT_TRUE(markup.findElement());
    ASSERT_TRUE(markup.intoElement());
    ASSERT_TRUE(markup.findElement());
    EXPECT_FALSE(markup.setDocument(L"<c>"));
    EXPECT_EQ(markup.getError(), L"Element 'c' at offset 0 not ended");
    ASSERT_TRUE(markup.setDocument(L"<d/>"));
    EXPECT_EQ(markup.getError(), L"");
    ASSERT_TRUE(markup.findElement());
    EXPECT_EQ(markup.getTagName(), L"d");
}

// A language file as the skin ships it, read the way the language loader reads it.
const wchar_t kLanguageFile[] =
    L"\xFEFF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    L"<!-- Pelora downloader: English -->\r\n"
    L"<Language name=\"English\" code='en'>\r\n"
    L"\t<Font name=\"Tahoma\" size=\"9\"/>\r\n"
    L"\t<String id=\"title\">Pelora Downloader</String>\r\n"
    L"\t<String id=\"install\">Install now</String>\r\n"
    L"\t<String id=\"license\">I accept the &quot;Licence Agreement&quot; &amp; the Privacy Policy</String>\r\n"
    L"\t<!-- progress page -->\r\n"
    L"\t<String id=\"speed\">%s/s &lt;%d%%&gt;</String>\r\n"
    L"\t<String id=\"space\">At least 1&#160;GB of free space is needed on &apos;%s&apos;</String>\r\n"
    L"\t<String id=\"empty\"></String>\r\n"
    L"\t<String>no id</String>\r\n"
    L"\t<string id=\"lower\">wrong case</string>\r\n"
    L"\t<String id=\"chinese\">\u4e0b\u8f7d\u5b8c\u6210</String>\r\n"
    L"\t<String id=\"path\"><![CDATA[C:\\Pelora\\<edition>]]></String>\r\n"
    L"</Language>\r\n";

TEST(XmlTree, OfALanguageFile) {
    XmlDocument document;
    ASSERT_TRUE(document.load(kLanguageFile)) << document.error();
    const XmlNode* root = document.root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->name(), L"Language");
    EXPECT_EQ(root->text(), L"");
    const std::vector<XmlNode::Attribute> rootAttributes{{L"name", L"English"}, {L"code", L"en"}};
    EXPECT_EQ(root->attributes(), rootAttributes);
    ASSERT_EQ(root->children().size(), 11u);
    EXPECT_EQ(root->children()[0]->name(), L"Font");
    EXPECT_EQ(root->children()[0]->attribute(L"size"), L"9");
    EXPECT_EQ(root->children()[9]->name(), L"String");

    std::map<std::wstring, std::wstring> table;
    for (const std::unique_ptr<XmlNode>& child : root->children()) {
        EXPECT_TRUE(child->children().empty());
        const std::wstring& id = child->attribute(L"id");
        if (child->name() == L"String" && !id.empty() && !child->text().empty()) table[id] = child->text();
    }
    const std::map<std::wstring, std::wstring> expected{
        {L"title", L"Pelora Downloader"},
        {L"install", L"Install now"},
        {L"license", L"I accept the \"Licence Agreement\" & the Privacy Policy"},
        {L"speed", L"%s/s <%d%%>"},
        {L"space", L"At least 1\u00a0GB of free space is needed on '%s'"},
        {L"chinese", L"\u4e0b\u8f7d\u5b8c\u6210"},
        {L"path", L"C:\\Pelora\\<edition>"},
    };
    EXPECT_EQ(table, expected);
}

TEST(XmlTree, KeepsNestingAndDocumentOrder) {
    XmlDocument document;
    ASSERT_TRUE(document.load(L"<a><b><c>1</c><d/></b><!-- x --><e>2</e><b>3</b></a>"));
    const XmlNode* root = document.root();
    ASSERT_EQ(root->children().size(), 3u);
    const XmlNode& b = *root->children()[0];
    EXPECT_EQ(b.name(), L"b");
    EXPECT_EQ(b.text(), L"");
    ASSERT_EQ(b.children().size(), 2u);
    EXPECT_EQ(b.children()[0]->name(), L"c");
    EXPECT_EQ(b.children()[0]->text(), L"1");
    EXPECT_EQ(b.children()[1]->name(), L"d");
    EXPECT_EQ(root->children()[1]->text(), L"2");
    EXPECT_EQ(root->children()[2]->name(), L"b");
    EXPECT_EQ(root->children()[2]->text(), L"3");
}

TEST(XmlTree, IndexesMoreElementsThanOneBlockHolds) {
    constexpr int kStrings = 150000;  // over two blocks of 65536 records
    std::wstring text = L"<Language>";
    for (int i = 0; i < kStrings; ++i) {
        text += L"<String id=\"s" + std::to_wstring(i) + L"\">" + std::to_wstring(i) + L"</String>";
    }
    text += L"</Language>";
    XmlDocument document;
    ASSERT_TRUE(document.load(text)) << document.error();
    const auto& children = document.root()->children();
    ASSERT_EQ(children.size(), static_cast<size_t>(kStrings));
    for (int i : {0, 65534, 65535, 65536, 131071, 131072, kStrings - 1}) {
        EXPECT_EQ(children[i]->attribute(L"id"), L"s" + std::to_wstring(i));
        EXPECT_EQ(children[i]->text(), std::to_wstring(i));
    }
}

// Building and releasing the tree must not recurse once per level.
TEST(XmlTree, OfADeeplyNestedDocument) {
    constexpr int kDepth = 200000;
    std::wstring text;
    for (int i = 0; i < kDepth; ++i) text += L"<a>";
    text += L"deep";
    for (int i = 0; i < kDepth; ++i) text += L"</a>";
    XmlDocument document;
    ASSERT_TRUE(document.load(text)) << document.error();
    const XmlNode* node = document.root();
    int depth = 1;
    while (!node->children().empty()) {
        node = node->children()[0].get();
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(node->text(), L"deep");
}

TEST(XmlTree, FailedLoadDropsTheTreeOfTheLastOne) {
    XmlDocument document;
    ASSERT_TRUE(document.load(L"<a><b/></a>"));
    EXPECT_FALSE(document.load(L"<a><b/>"));
    EXPECT_EQ(document.root(), nullptr);
    EXPECT_EQ(document.error(), L"Element 'a' at offset 0 not ended");
    ASSERT_TRUE(document.load(L"<c/>"));
    EXPECT_EQ(document.root()->name(), L"c");
    EXPECT_EQ(document.error(), L"");
}

}  // namespace
