// A language change while windows are open: every "@key" text and tooltip of every open skinned
// window follows the new column of the text table, texts the program set itself stay, and layouts
// built afterwards start in the new language.

#include <gtest/gtest.h>

#include <memory>

#include "tests/toolkit/SkinTestSupport.h"
#include "toolkit/InterfaceLanguage.h"
#include "toolkit/SkinPackage.h"
#include "toolkit/SkinWindow.h"
#include "toolkit/TextTables.h"

namespace {

using namespace toolkit;

// The packaged test table (tests/toolkit/skin) holds en_US, zh_CN and ja_JP.
constexpr char kLayout[] =
    "<Window size=\"200,100\"><VerticalLayout>"
    "<Button name=\"close\" tooltip=\"@close_tip\" text=\"@minimize_tip\"/>"
    "<Label name=\"unknown\" text=\"@no_such_key\"/>"
    "<Button name=\"own\" tooltip=\"@close_tip\" text=\"@minimize_tip\"/>"
    "</VerticalLayout></Window>";

class LanguageWindow : public SkinWindow {
protected:
    const wchar_t* getWindowClassName() const override { return L"InterfaceLanguageTestWindow"; }
    std::wstring getSkinFile() const override { return L"language_test.xml"; }
    void onFinalMessage(HWND) override { delete this; }
};

struct LanguageCase {
    const char* label;
    const wchar_t* code;
    const wchar_t* closeTip;
    const wchar_t* minimize;
    const wchar_t* confirm;
};

// In this order, so that each switch starts from the language before it.
const LanguageCase kLanguages[] = {
    {"chinese", L"zh_CN", L"\x5173\x95ED", L"\x6700\x5C0F\x5316", L"\x786E\x5B9A"},
    {"japanese", L"ja_JP", L"\x9589\x3058\x308B", L"\x6700\x5C0F\x5316\xFF08\x65E5\x672C\xFF09", L"OK\xFF08\x65E5\x672C\xFF09"},
    {"unknown_code_gives_the_first_column", L"hi_IN", L"Close", L"Minimize", L"OK"},
    {"back_to_chinese", L"zh_CN", L"\x5173\x95ED", L"\x6700\x5C0F\x5316", L"\x786E\x5B9A"},
    {"no_code_gives_the_first_column", L"", L"Close", L"Minimize", L"OK"},
};

class InterfaceLanguage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { loadSkinPackage(::GetModuleHandleW(nullptr), 129); }
    void TearDown() override { switchInterfaceLanguage(L""); }
};

TEST_F(InterfaceLanguage, OpenWindowsFollowEverySwitch) {
    skintest::SkinFolder folder;
    folder.writeLayout(L"language_test.xml", kLayout);
    auto* window = new LanguageWindow();  // destroyed with its window below
    ASSERT_NE(window->create(nullptr, L"", WS_POPUP, WS_EX_TOOLWINDOW), nullptr);
    const HWND handle = window->hwnd();
    std::unique_ptr<CPaintManager> offScreen = skintest::buildMarkup(kLayout);
    for (CPaintManager* manager : {&window->paintManager(), offScreen.get()}) {
        manager->findControl(L"own")->setTooltip(L"own tip");
        manager->findControl(L"own")->setText(L"own text");
    }

    for (const LanguageCase& language : kLanguages) {
        SCOPED_TRACE(language.label);
        switchInterfaceLanguage(language.code);
        EXPECT_EQ(currentLanguage(), language.code);
        EXPECT_EQ(lookupText(L"confirm"), language.confirm) << "the message boxes' confirm caption";
        std::unique_ptr<CPaintManager> later = skintest::buildMarkup(kLayout);
        for (CPaintManager* manager : {&window->paintManager(), offScreen.get(), later.get()}) {
            CSkinControl* close = manager->findControl(L"close");
            EXPECT_EQ(close->tooltip(), language.closeTip);
            EXPECT_EQ(close->text(), language.minimize);
            EXPECT_EQ(manager->findControl(L"unknown")->text(), L"@no_such_key") << "no entry: as written";
        }
        for (CPaintManager* manager : {&window->paintManager(), offScreen.get()}) {
            EXPECT_EQ(manager->findControl(L"own")->tooltip(), L"own tip") << "the program's own tooltip stays";
            EXPECT_EQ(manager->findControl(L"own")->text(), L"own text") << "the program's own text stays";
        }
    }
    ::DestroyWindow(handle);
    // A window that is gone is no longer reached.
    switchInterfaceLanguage(L"ja_JP");
    EXPECT_EQ(offScreen->findControl(L"close")->tooltip(), L"\x9589\x3058\x308B");
}

}  // namespace
