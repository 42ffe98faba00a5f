#include <gtest/gtest.h>

#include "tests/toolkit/SkinTestSupport.h"
#include "toolkit/Combo.h"
#include "toolkit/ControlFactory.h"
#include "toolkit/Label.h"
#include "toolkit/Option.h"
#include "toolkit/StackLayouts.h"
#include "toolkit/TabLayout.h"

namespace {

using namespace toolkit;
using skintest::buildMarkup;

std::string window(const std::string& body) { return "<Window size=\"200,100\">" + body + "</Window>"; }

RECT placed(CPaintManager& manager, const wchar_t* name) {
    skintest::renderMarkup(manager);
    CSkinControl* control = manager.findControl(name);
    return control ? control->rect() : RECT{-1, -1, -1, -1};
}

struct PlacementCase {
    const char* what;
    const char* body;
    const wchar_t* control;
    RECT expected;
};

const PlacementCase kPlacements[] = {
    {"fixed height, then the rest", "<VerticalLayout><Control height=\"30\"/><Control name=\"b\"/></VerticalLayout>",
     L"b", {0, 30, 200, 100}},
    {"stretching children share equally", "<VerticalLayout><Control name=\"a\"/><Control/></VerticalLayout>", L"a",
     {0, 0, 200, 50}},
    {"padding is an outer margin", "<VerticalLayout><Control name=\"a\" height=\"20\" padding=\"5,6,7,8\"/></VerticalLayout>",
     L"a", {5, 6, 193, 26}},
    {"narrow child centred across", "<VerticalLayout childalign=\"center\"><Control name=\"a\" width=\"50\" height=\"10\"/></VerticalLayout>",
     L"a", {75, 0, 125, 10}},
    {"row centred when nothing stretches",
     "<HorizontalLayout childalign=\"center\"><Control name=\"a\" width=\"40\"/><Control width=\"60\"/></HorizontalLayout>",
     L"a", {50, 0, 90, 100}},
    {"inset and child padding",
     "<HorizontalLayout inset=\"10,0,10,0\" childpadding=\"4\"><Control width=\"30\"/><Control name=\"b\"/></HorizontalLayout>",
     L"b", {44, 0, 190, 100}},
    {"short child centred vertically",
     "<HorizontalLayout childvalign=\"vcenter\"><Control name=\"a\" width=\"10\" height=\"20\"/></HorizontalLayout>", L"a",
     {0, 40, 10, 60}},
    {"floating child at its pos",
     "<VerticalLayout><Control name=\"a\" float=\"true\" pos=\"10,20,60,50\"/><Control name=\"b\"/></VerticalLayout>", L"a",
     {10, 20, 60, 50}},
    {"floating child takes no space",
     "<VerticalLayout><Control float=\"true\" pos=\"10,20,60,50\"/><Control name=\"b\"/></VerticalLayout>", L"b",
     {0, 0, 200, 100}},
    {"hidden child gives its space",
     "<VerticalLayout><Control height=\"30\" visible=\"false\"/><Control name=\"b\"/></VerticalLayout>", L"b",
     {0, 0, 200, 100}},
    {"nested container inside padding",
     "<VerticalLayout inset=\"10,10,10,10\"><HorizontalLayout height=\"40\"><Control width=\"20\"/><Control name=\"b\"/>"
     "</HorizontalLayout></VerticalLayout>",
     L"b", {30, 10, 190, 50}},
    {"tab page fills the tab layout",
     "<VerticalLayout><Control height=\"20\"/><TabLayout selectedid=\"1\"><Control/><Control name=\"p\"/></TabLayout>"
     "</VerticalLayout>",
     L"p", {0, 20, 200, 100}},
    {"more fixed size than room leaves stretchers empty",
     "<VerticalLayout><Control height=\"150\"/><Control name=\"b\"/></VerticalLayout>", L"b", {0, 150, 200, 150}},
};

TEST(ControlTree, PlacesChildren) {
    for (const PlacementCase& test : kPlacements) {
        auto manager = buildMarkup(window(test.body));
        const RECT rect = placed(*manager, test.control);
        EXPECT_TRUE(::EqualRect(&rect, &test.expected))
            << test.what << ": got " << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
    }
}

TEST(ControlTree, TabLayoutShowsOnlyTheSelectedPage) {
    auto manager = buildMarkup(window(
        "<TabLayout name=\"tab\"><Control name=\"p0\"/><Control name=\"p1\"/><Control name=\"p2\"/></TabLayout>"));
    auto* tab = dynamic_cast<CSkinTabLayout*>(manager->findControl(L"tab"));
    ASSERT_NE(tab, nullptr);
    EXPECT_TRUE(manager->findControl(L"p0")->isVisible());
    EXPECT_FALSE(manager->findControl(L"p1")->isVisible());
    EXPECT_TRUE(tab->selectItem(2));
    EXPECT_FALSE(manager->findControl(L"p0")->isVisible());
    EXPECT_TRUE(manager->findControl(L"p2")->isVisible());
    EXPECT_FALSE(tab->selectItem(3)) << "no such page";
    EXPECT_EQ(tab->currentIndex(), 2);
}

TEST(ControlTree, DefaultsComeBeforeOwnAttributes) {
    auto manager = buildMarkup(
        "<Window size=\"100,100\"><Default name=\"Label\" value=\"textcolor=&quot;#FF112233&quot; font=&quot;2&quot;\"/>"
        "<VerticalLayout><Label name=\"plain\"/><Label name=\"own\" textcolor=\"#FF445566\"/><Button name=\"other\"/>"
        "</VerticalLayout></Window>");
    auto* plain = dynamic_cast<CSkinLabel*>(manager->findControl(L"plain"));
    auto* own = dynamic_cast<CSkinLabel*>(manager->findControl(L"own"));
    auto* other = dynamic_cast<CSkinLabel*>(manager->findControl(L"other"));
    ASSERT_TRUE(plain && own && other);
    EXPECT_EQ(plain->textColor(), 0xFF112233u);
    EXPECT_EQ(plain->font(), 2);
    EXPECT_EQ(own->textColor(), 0xFF445566u);
    EXPECT_EQ(own->font(), 2);
    EXPECT_EQ(other->font(), -1) << "defaults are per type";
}

TEST(ControlTree, FontsFromTheLayout) {
    auto manager = buildMarkup(
        "<Window size=\"100,100\"><Font id=\"0\" name=\"Tahoma\" size=\"13\" default=\"true\"/>"
        "<Font id=\"3\" name=\"Arial\" size=\"20\" bold=\"true\"/><Control/></Window>");
    EXPECT_EQ(manager->fonts().fontOf(-1).face, L"Tahoma");
    EXPECT_EQ(manager->fonts().fontOf(-1).size, 13);
    EXPECT_EQ(manager->fonts().fontOf(3).size, 20);
    EXPECT_TRUE(manager->fonts().fontOf(3).bold);
    EXPECT_EQ(manager->fonts().fontOf(7).face, L"Tahoma") << "unknown ids use the default";
}

TEST(ControlTree, ComboTakesItsListItems) {
    auto manager = buildMarkup(window(
        "<Combo name=\"combo\"><ListLabelElement text=\"One\" userdata=\"1\"/><ListLabelElement text=\"Two\"/></Combo>"));
    auto* combo = dynamic_cast<CSkinCombo*>(manager->findControl(L"combo"));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->itemCount(), 2);
    EXPECT_EQ(combo->itemAt(0)->userData(), L"1");
    EXPECT_TRUE(combo->itemAt(1)->select());
    EXPECT_EQ(combo->currentSelection(), 1);
    EXPECT_EQ(combo->text(), L"Two");
    EXPECT_EQ(combo->itemAt(2), nullptr);
}

TEST(ControlTree, InterfacesByName) {
    auto manager = buildMarkup(window("<VerticalLayout><Option name=\"o\"/><Label name=\"l\"/></VerticalLayout>"));
    CSkinControl* option = manager->findControl(L"o");
    CSkinControl* label = manager->findControl(L"l");
    EXPECT_EQ(option->getInterface(L"Option"), option);
    EXPECT_EQ(option->getInterface(L"Button"), option);
    EXPECT_EQ(option->getInterface(L"Control"), option);
    EXPECT_EQ(label->getInterface(L"Button"), nullptr);
    EXPECT_EQ(label->getInterface(L"Selection"), nullptr);
}

TEST(ControlTree, LabelSizedToItsText) {
    auto manager = buildMarkup(window(
        "<HorizontalLayout><Label name=\"short\" text=\"Hi\" minwidthex=\"40\"/>"
        "<Label name=\"long\" text=\"A much longer text\" textpadding=\"5,0,5,0\" minwidthex=\"1\"/><Control/>"
        "</HorizontalLayout>"));
    const RECT shortRect = placed(*manager, L"short");
    const RECT longRect = placed(*manager, L"long");
    EXPECT_EQ(shortRect.right - shortRect.left, 40) << "never narrower than minwidthex";
    const int textWidth = manager->measureText(L"A much longer text", -1).cx;
    EXPECT_EQ(longRect.right - longRect.left, textWidth + 10);
}

TEST(ControlTree, BuildFailuresNameTheirCause) {
    struct Failure {
        const char* markup;
        const wchar_t* message;
    } failures[] = {
        {"<Window><Gadget/></Window>", L"unknown control type \"Gadget\""},
        {"<Window><Label><Control/></Label></Window>", L"\"Label\" cannot hold \"Control\""},
        {"<Window><Default name=\"Label\" value=\"textcolor=#FF000000\"/><Control/></Window>",
         L"malformed default attributes for \"Label\""},
    };
    for (const Failure& failure : failures) {
        LayoutResult layout = parseLayout(failure.markup, L"bad.xml");
        ASSERT_TRUE(std::holds_alternative<WindowLayout>(layout)) << failure.markup;
        CPaintManager manager;
        const std::optional<LayoutError> error =
            buildWindow(std::get<WindowLayout>(layout), L"bad.xml", manager, nullptr);
        ASSERT_TRUE(error.has_value()) << failure.markup;
        EXPECT_EQ(error->location, L"bad.xml");
        EXPECT_EQ(error->message, failure.message);
    }
}

}  // namespace
