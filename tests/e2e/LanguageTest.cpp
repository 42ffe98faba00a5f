// The language combo of the title bar: choosing a language retitles the window with the language
// file's "Title_wndTitle", redraws every text in it, tooltips included, and shows that market's
// licence. A market language the table lacks starts in English.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "config/RegionLanguage.h"
#include "tests/e2e/DownloaderCase.h"
#include "tests/e2e/LanguageFile.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UserInput.h"
#include "toolkit/TextTables.h"
#include "utility/UString.h"

namespace e2e {

using testsupport::clickAt;
using testsupport::pressKey;

namespace {

using namespace std::chrono_literals;

constexpr int kComboItemHeight = 26;  // itemheight of "languageCombo"

// Where the combo's list shows a language: the table's order, with the start-up language first.
int comboIndexOf(const std::wstring& longCode) {
    std::vector<std::wstring> codes;
    for (size_t i = 0; i < toolkit::languageCount(); ++i) codes.push_back(toolkit::languageAt(i)->first);
    const std::wstring first = config::languageCodeFor(::GetUserDefaultUILanguage());
    const auto found = std::find(codes.begin(), codes.end(), first);
    if (found != codes.end()) std::rotate(codes.begin(), found, found + 1);
    const auto at = std::find(codes.begin(), codes.end(), longCode);
    return at == codes.end() ? -1 : static_cast<int>(at - codes.begin());
}

// Opens the combo and picks the language the way a person does: a click on its entry, or the arrow
// keys for an entry below the list's end.
void chooseLanguage(DownloaderApp& app, const std::wstring& longCode) {
    app.main().click(L"languageCombo");
    const HWND list = app.process().waitForWindow(L"SkinComboDrop", 5s);
    ASSERT_NE(list, nullptr) << "the combo's list did not open";
    std::this_thread::sleep_for(300ms);
    shootWindow(list, L"language_list");
    const int index = comboIndexOf(longCode);
    ASSERT_GE(index, 0);
    RECT listRect{};
    ::GetWindowRect(list, &listRect);
    if ((index + 1) * kComboItemHeight <= listRect.bottom - listRect.top) {
        clickAt(POINT{listRect.left + 40, listRect.top + index * kComboItemHeight + kComboItemHeight / 2});
    } else {
        for (int step = comboIndexOf(L"en_US"); step < index; ++step) pressKey(VK_DOWN);
        pressKey(VK_RETURN);
    }
}

struct LanguageCase {
    const char* label;
    const wchar_t* longCode;
    const wchar_t* shortCode;
};

std::ostream& operator<<(std::ostream& out, const LanguageCase& c) { return out << c.label; }

const LanguageCase kLanguages[] = {
    {"korean", L"ko_KR", L"kr"},
    {"arabic", L"ar_IL", L"ar"},
    {"simplified_chinese", L"zh_CN", L"cn"},
    {"traditional_chinese", L"zh_TW", L"tw"},
    {"italian_without_file", L"it_IT", L"it"},
};

using LanguageSwitchTest = DownloaderCase;

class LanguageSwitch : public DownloaderCase, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(LanguageSwitch, RetitlesRedrawsAndShowsTheMarketsLicence) {
    const LanguageCase& language = GetParam();
    const std::wstring label = utility::ustring::utf8ToWide(language.label);
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    WindowDriver& window = app.main();
    EXPECT_EQ(window.title(), languageStrings(L"en").get(L"Title_wndTitle"));
    EXPECT_LT(window.mismatch(L"installnowbtn"), kSameLook) << "English to start with";

    ASSERT_NO_FATAL_FAILURE(chooseLanguage(app, language.longCode));

    const std::wstring title = languageStrings(language.shortCode).get(L"Title_wndTitle");
    EXPECT_TRUE(testsupport::waitUntil([&] { return window.title() == title; }, 10s))
        << "title " << utf8(window.title()) << ", expected " << utf8(title);
    app.mirrorLanguage(language.shortCode);
    std::this_thread::sleep_for(300ms);
    shoot(app, L"language_" + label + L"_0_setup");
    for (const wchar_t* control : {L"installnowbtn", L"LicenseAgreementText", L"protocollinkbtn", L"userdefinitionBtn",
                                   L"titlename"}) {
        EXPECT_LT(window.mismatch(control), kSameLook) << utf8(control) << " shows the new language";
    }
    // The layout's "@" tooltips follow the table's column of the language; the community button's
    // tooltip comes from the language file.
    EXPECT_EQ(window.tooltip(L"minbtn"), tableText(language.longCode, L"minimize_tip"));
    EXPECT_EQ(window.tooltip(L"closebtn"), tableText(language.longCode, L"close_tip"));
    EXPECT_EQ(window.tooltip(L"joinfacebookBtn"), languageStrings(language.shortCode).get(L"facebook"));

    window.click(L"protocollinkbtn");
    ASSERT_TRUE(app.waitForPage(1, 10s)) << "no licence page";
    std::this_thread::sleep_for(300ms);
    shoot(app, L"language_" + label + L"_1_licence");
    EXPECT_LT(window.mismatch(L"protocoledit"), kSameLook) << "the licence of the market";
    EXPECT_LT(window.mismatch(L"confirmprotocolbtn"), kSameLook);
    window.click(L"confirmprotocolbtn");
    ASSERT_TRUE(app.waitForPage(0, 10s)) << "the licence button did not return";
    closeAndConfirm(app);
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageSwitch, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.label); });

// Custom mode keeps its caption on the install button across a language switch.
TEST_F(LanguageSwitchTest, CustomModeKeepsItsCaption) {
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    WindowDriver& window = app.main();
    window.click(L"userdefinitionBtn");
    ASSERT_NO_FATAL_FAILURE(chooseLanguage(app, L"ko_KR"));
    const model::LanguageStrings korean = languageStrings(L"kr");
    EXPECT_TRUE(testsupport::waitUntil([&] { return window.title() == korean.get(L"Title_wndTitle"); }, 10s));
    app.mirrorLanguage(L"kr");
    SkinMap& map = window.map();
    map.setVisible(L"userdefinitionsui", true);
    map.setVisible(L"userdefinitionLayout", false);
    map.setVisible(L"backLayout", true);
    map.setText(L"installnowbtn", korean.get(L"Button_install_now"));
    std::this_thread::sleep_for(300ms);
    shoot(app, L"language_custom_mode_korean");
    EXPECT_LT(window.mismatch(L"installnowbtn"), kSameLook) << "the custom-mode caption in Korean";
    EXPECT_LT(window.mismatch(L"backBtn"), kSameLook);
    closeAndConfirm(app);
}

// A market whose language the table does not offer ("in", long form "hi_IN") starts in English: its
// language file, the table's first column, and the English entry of the combo.
TEST_F(LanguageSwitchTest, MarketWithoutATableLanguageStartsInEnglish) {
    DownloaderApp app(L"pelora4_in_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(L"en"), nullptr) << "no main window";
    WindowDriver& window = app.main();
    EXPECT_TRUE(app.log().waitFor("no language entry for hi_IN, English shown", 5s)) << app.log().text();
    EXPECT_EQ(window.title(), languageStrings(L"en").get(L"Title_wndTitle"));
    shoot(app, L"language_market_in");
    for (const wchar_t* control : {L"installnowbtn", L"LicenseAgreementText", L"protocollinkbtn", L"titlename"}) {
        EXPECT_LT(window.mismatch(control), kSameLook) << utf8(control) << " in English";
    }
    EXPECT_EQ(window.tooltip(L"minbtn"), tableText(L"en_US", L"minimize_tip"));
    closeAndConfirm(app);
}

}  // namespace
}  // namespace e2e
