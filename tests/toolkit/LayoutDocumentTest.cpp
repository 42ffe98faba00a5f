#include "toolkit/LayoutDocument.h"

#include <gtest/gtest.h>

#include "common/XmlDocument.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "toolkit/SkinPackage.h"
#include "toolkit/TextTables.h"

namespace {

using namespace toolkit;
using testsupport::writeFile;

// Layout files are written to a scratch resource folder, where readSkinFile looks first.
class LayoutDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        setResourceFolder(disk_.path());
        setText(L"layout_greeting", L"Hello");
        setText(L"layout_close_tip", L"Close");
    }
    void TearDown() override {
        setResourceFolder(L"");
        loadTextTables();
    }

    void write(const std::wstring& name, const std::string& body) {
        writeFile(disk_ / name, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + body);
    }

    WindowLayout loaded(const std::wstring& name) {
        LayoutResult result = loadLayout(name);
        if (const auto* error = std::get_if<LayoutError>(&result)) {
            ADD_FAILURE() << "location " << error->location << " msg " << error->message;
            return {};
        }
        return std::get<WindowLayout>(std::move(result));
    }

    LayoutError failed(const std::wstring& name) {
        LayoutResult result = loadLayout(name);
        if (const auto* error = std::get_if<LayoutError>(&result)) return *error;
        ADD_FAILURE() << "loaded " << name;
        return {};
    }

    testsupport::ScratchDir disk_;
};

TEST_F(LayoutDocumentTest, WindowAttributesAndFonts) {
    write(L"main.xml",
          "<Window size=\"640,400\" caption=\"0,0,0,40\" mininfo=\"320,200\" layeredimage=\"bk.png\">"
          "<Font id=\"0\" name=\"Tahoma\" size=\"12\" default=\"true\"/>"
          "<Font id=\"1\" name=\"Arial\" size=\"14\" bold=\"true\" italic=\"true\"/>"
          "<Font id=\"x\" name=\"Bad\" size=\"big\" bold=\"yes\"/>"
          "<Control/></Window>");
    const WindowLayout window = loaded(L"main.xml");
    EXPECT_EQ(window.size, MarkupSize({640, 400}));
    EXPECT_EQ(window.caption, MarkupRect({0, 0, 0, 40}));
    EXPECT_EQ(window.minInfo, MarkupSize({320, 200}));
    EXPECT_EQ(window.layeredImage, L"bk.png");
    struct Expected {
        int id;
        std::wstring name;
        int size;
        bool bold, italic, isDefault;
    } fonts[] = {
        {0, L"Tahoma", 12, false, false, true},
        {1, L"Arial", 14, true, true, false},
        {0, L"Bad", 0, false, false, false},
    };
    ASSERT_EQ(window.fonts.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const FontEntry& font = window.fonts[i];
        EXPECT_EQ(font.id, fonts[i].id) << i;
        EXPECT_EQ(font.name, fonts[i].name) << i;
        EXPECT_EQ(font.size, fonts[i].size) << i;
        EXPECT_EQ(font.bold, fonts[i].bold) << i;
        EXPECT_EQ(font.italic, fonts[i].italic) << i;
        EXPECT_EQ(font.isDefault, fonts[i].isDefault) << i;
    }
    EXPECT_EQ(window.root.type, L"Control");
}

TEST_F(LayoutDocumentTest, MalformedWindowAttributesAreLeftUnset) {
    write(L"main.xml", "<Window size=\"640\" caption=\"a,b,c,d\"><Control/></Window>");
    const WindowLayout window = loaded(L"main.xml");
    EXPECT_FALSE(window.size);
    EXPECT_FALSE(window.caption);
    EXPECT_FALSE(window.minInfo);
    EXPECT_TRUE(window.layeredImage.empty());
}

TEST_F(LayoutDocumentTest, NestedLayoutsKeepOrderAndAttributes) {
    write(L"main.xml",
          "<Window><VerticalLayout name=\"root\" bkimage=\"file='bk.png' corner='1,1,1,1'\">"
          "<HorizontalLayout name=\"top\" height=\"40\"><Button name=\"minbtn\"/><Button name=\"closebtn\"/>"
          "</HorizontalLayout><TabLayout name=\"pages\"><Label name=\"a\" text=\"A\"/><Label name=\"b\"/>"
          "</TabLayout></VerticalLayout></Window>");
    const WindowLayout window = loaded(L"main.xml");
    const ControlLayout& root = window.root;
    EXPECT_EQ(root.type, L"VerticalLayout");
    ASSERT_EQ(root.attributes.size(), 2u);
    EXPECT_EQ(root.attributes[0], ControlLayout::Attribute(L"name", L"root"));
    EXPECT_EQ(root.attributes[1].first, L"bkimage");
    EXPECT_EQ(root.attribute(L"bkimage"), L"file='bk.png' corner='1,1,1,1'");
    EXPECT_EQ(root.attribute(L"missing"), L"");
    ASSERT_EQ(root.children.size(), 2u);
    const ControlLayout& top = root.children[0];
    EXPECT_EQ(top.type, L"HorizontalLayout");
    EXPECT_EQ(top.attribute(L"height"), L"40");
    ASSERT_EQ(top.children.size(), 2u);
    EXPECT_EQ(top.children[0].attribute(L"name"), L"minbtn");
    EXPECT_EQ(top.children[1].attribute(L"name"), L"closebtn");
    const ControlLayout& pages = root.children[1];
    EXPECT_EQ(pages.type, L"TabLayout");
    ASSERT_EQ(pages.children.size(), 2u);
    EXPECT_EQ(pages.children[0].attribute(L"text"), L"A");
    EXPECT_EQ(pages.children[1].attribute(L"name"), L"b");
}

TEST_F(LayoutDocumentTest, IncludesInsertTheControlsOfAnotherFile) {
    write(L"bars.xml", "<Window><Default name=\"VScrollBar\" value=\"width=&quot;8&quot;\"/>"
                       "<Font id=\"3\" name=\"Verdana\" size=\"9\"/></Window>");
    write(L"part.xml", "<Window><Label name=\"one\"/><Label name=\"two\"/></Window>");
    write(L"single.xml", "<Button name=\"alone\"/>");
    write(L"main.xml",
          "<Window><Include source=\"bars.xml\"/><VerticalLayout name=\"root\"><Label name=\"zero\"/>"
          "<Include source=\"part.xml\"/><Include source=\"single.xml\"/><Label name=\"three\"/>"
          "</VerticalLayout></Window>");
    const WindowLayout window = loaded(L"main.xml");
    ASSERT_EQ(window.defaults.size(), 1u);
    EXPECT_EQ(window.defaults[0], std::make_pair(std::wstring(L"VScrollBar"), std::wstring(L"width=\"8\"")));
    ASSERT_EQ(window.fonts.size(), 1u);
    EXPECT_EQ(window.fonts[0].name, L"Verdana");
    const std::wstring names[] = {L"zero", L"one", L"two", L"alone", L"three"};
    ASSERT_EQ(window.root.children.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(window.root.children[i].attribute(L"name"), names[i]);
    EXPECT_EQ(window.root.children[3].type, L"Button");
}

TEST_F(LayoutDocumentTest, AtTextsAreLookedUpWhenTheTableHasThem) {
    write(L"part.xml", "<Window><Button name=\"inner\" tooltip=\"@layout_close_tip\"/></Window>");
    write(L"main.xml",
          "<Window><VerticalLayout>"
          "<Label name=\"hit\" text=\"@layout_greeting\"/>"
          "<Label name=\"miss\" text=\"@layout_no_entry\"/>"
          "<Label name=\"alone\" text=\"@\" tooltip=\"@\"/>"
          "<Button name=\"tip\" tooltip=\"@layout_close_tip\" text=\"plain\"/>"
          "<Label name=\"other\" bkimage=\"@layout_greeting\" text=\"x@layout_greeting\"/>"
          "<Include source=\"part.xml\"/></VerticalLayout></Window>");
    const WindowLayout window = loaded(L"main.xml");
    struct Case {
        std::wstring attribute, expected;
    } cases[] = {
        {L"text", L"Hello"},  {L"text", L"@layout_no_entry"},
        {L"tooltip", L"@"},   {L"tooltip", L"Close"},
        {L"bkimage", L"@layout_greeting"}, {L"tooltip", L"Close"},
    };
    const auto& controls = window.root.children;
    ASSERT_EQ(controls.size(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(controls[i].attribute(cases[i].attribute), cases[i].expected) << i;
    EXPECT_EQ(controls[2].attribute(L"text"), L"@");
    EXPECT_EQ(controls[3].attribute(L"text"), L"plain");
    EXPECT_EQ(controls[4].attribute(L"text"), L"x@layout_greeting");
    // The keys stay with the layout, found or not, so a language change can look them up again.
    using Keys = std::vector<ControlLayout::Attribute>;
    const Keys keys[] = {
        {{L"text", L"@layout_greeting"}}, {{L"text", L"@layout_no_entry"}}, {}, {{L"tooltip", L"@layout_close_tip"}},
        {}, {{L"tooltip", L"@layout_close_tip"}},
    };
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(controls[i].textKeys, keys[i]) << i;
}

TEST_F(LayoutDocumentTest, FailuresNameTheirLocation) {
    write(L"self.xml", "<Window><Include source=\"self.xml\"/><Control/></Window>");
    write(L"ping.xml", "<Window><Include source=\"pong.xml\"/><Control/></Window>");
    write(L"pong.xml", "<Window><Include source=\"ping.xml\"/></Window>");
    write(L"broken.xml", "<Window><VerticalLayout></Window>");
    write(L"brokenpart.xml", "<Window><Label text=\"a></Window>");
    write(L"usesbroken.xml", "<Window><Include source=\"brokenpart.xml\"/><Control/></Window>");
    write(L"missinginclude.xml", "<Window><Include source=\"nowhere.xml\"/><Control/></Window>");
    write(L"notwindow.xml", "<VerticalLayout/>");
    write(L"empty.xml", "<Window><Font id=\"1\"/></Window>");
    for (int depth = 0; depth <= kMaxIncludeDepth; ++depth) {
        const std::string next = "deep" + std::to_string(depth + 1) + ".xml";
        write(L"deep" + std::to_wstring(depth) + L".xml",
              "<Window><Include source=\"" + next + "\"/><Control/></Window>");
    }
    struct Case {
        std::wstring file, location;
    } cases[] = {
        {L"self.xml", L"self.xml"},         {L"ping.xml", L"pong.xml"},
        {L"broken.xml", L"broken.xml"},     {L"usesbroken.xml", L"brokenpart.xml"},
        {L"missinginclude.xml", L"missinginclude.xml"}, {L"notwindow.xml", L"notwindow.xml"},
        {L"empty.xml", L"empty.xml"},       {L"absent.xml", L"absent.xml"},
        {L"deep0.xml", L"deep" + std::to_wstring(kMaxIncludeDepth) + L".xml"},
    };
    for (const Case& c : cases) {
        const LayoutError error = failed(c.file);
        EXPECT_EQ(error.location, c.location) << c.file;
        EXPECT_FALSE(error.message.empty()) << c.file;
    }
}

TEST_F(LayoutDocumentTest, IncludesUpToTheDepthLimitLoad) {
    for (int depth = 0; depth < kMaxIncludeDepth; ++depth) {
        write(L"deep" + std::to_wstring(depth) + L".xml",
              "<Window><Include source=\"deep" + std::to_string(depth + 1) + ".xml\"/></Window>");
    }
    write(L"deep" + std::to_wstring(kMaxIncludeDepth) + L".xml", "<Window><Control name=\"bottom\"/></Window>");
    EXPECT_EQ(loaded(L"deep0.xml").root.attribute(L"name"), L"bottom");
}

TEST_F(LayoutDocumentTest, BrokenMarkupMessageComesFromTheXmlReader) {
    const LayoutResult result = parseLayout("<Window><Control></Window>", L"inline.xml");
    ASSERT_TRUE(std::holds_alternative<LayoutError>(result));
    const LayoutError& error = std::get<LayoutError>(result);
    EXPECT_EQ(error.location, L"inline.xml");
    common::XmlDocument document;
    ASSERT_FALSE(document.load(L"<Window><Control></Window>"));
    EXPECT_EQ(error.message, document.error());
}

}  // namespace
