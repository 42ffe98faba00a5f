// Input the downloader does not expect: odd executable names and command lines, a broken language
// file, a broken main layout in a "downloader_skin" folder beside the program. Each has a clear
// outcome (a working window in a known language, or the skin error box and exit code 1), never a
// crash or a hang.

#include <gtest/gtest.h>

#include <thread>

#include "tests/e2e/DownloaderCase.h"
#include "tests/e2e/LanguageFile.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UserInput.h"
#include "utility/UString.h"

namespace e2e {

using testsupport::clickAt;

namespace {

using namespace std::chrono_literals;

struct OddStart {
    const char* label;
    std::wstring fileName;
    std::wstring arguments;
    const wchar_t* language;  // whose title the window shows
};

std::ostream& operator<<(std::ostream& out, const OddStart& c) { return out << c.label; }

const OddStart kOddStarts[] = {
    {"one_piece", L"Setup.exe", L"", L"en"},
    {"three_pieces", L"a_b_c.exe", L"", L"en"},
    {"empty_pieces", L"pelora4___x.exe", L"", L"en"},
    {"long_advertising_id", L"pelora64_kr_com.game.app_12345_abc_def_9.exe", L"", L"kr"},
    // Only the edition is read without regard to case: "KR" is no market with a language file.
    {"capitals", L"PELORA64_KR_com.game.app_12345_abc_def_9.exe", L"", L"en"},
    {"edition_9_thai", L"pelora9_th_777_x.exe", L"", L"th"},
    {"unknown_market", L"pelora4_zz_0_1_x.exe", L"", L"en"},
    {"non_ascii_market", L"pelora4_한국어_0_1_x.exe", L"", L"en"},
    {"long_name", L"pelora4_en_" + std::wstring(170, L'a') + L"_1_x.exe", L"", L"en"},
    {"lone_quote", L"pelora4_en_0_100_x.exe", L"\"", L"en"},
    {"empty_quotes", L"pelora4_en_0_100_x.exe", L"\"\"", L"en"},
    {"separators_only", L"pelora4_en_0_100_x.exe", L"|||==|=", L"en"},
    {"empty_values", L"pelora4_en_0_100_x.exe", L"\"name=|package=|apkurl=\"", L"en"},
    {"not_an_address", L"pelora4_en_0_100_x.exe", L"name=Odd|package=odd.package|apkurl=not an address", L"en"},
    {"very_long", L"pelora4_en_0_100_x.exe", L"name=" + std::wstring(6000, L'x') + L"|apkurl=" + std::wstring(3000, L'y'),
     L"en"},
};

class OddInput : public DownloaderCase, public ::testing::WithParamInterface<OddStart> {};

TEST_P(OddInput, ShowsTheWindowAndClosesCleanly) {
    const OddStart& odd = GetParam();
    DownloaderApp app(odd.fileName);
    ASSERT_TRUE(app.start(odd.arguments));
    ASSERT_NE(app.waitForMainWindow(odd.language), nullptr)
        << "no main window; exit code " << app.exitCode().value_or(STILL_ACTIVE);
    EXPECT_EQ(app.main().title(), languageStrings(odd.language).get(L"Title_wndTitle"));
    EXPECT_LT(app.main().mismatch(L"installnowbtn"), kSameLook) << "the install button in the expected language";
    shoot(app, L"odd_" + utility::ustring::utf8ToWide(odd.label));
    closeAndConfirm(app);
}

INSTANTIATE_TEST_SUITE_P(NamesAndCommandLines, OddInput, ::testing::ValuesIn(kOddStarts),
                         [](const auto& info) { return std::string(info.param.label); });

enum class Outcome { Window, KeysAsTexts, SkinError };

struct BrokenSkin {
    const char* label;
    const wchar_t* file;  // inside "downloader_skin"
    std::string content;
    Outcome outcome;
};

std::ostream& operator<<(std::ostream& out, const BrokenSkin& c) { return out << c.label; }

const BrokenSkin kBrokenSkins[] = {
    // Empty files on disk give way to the packaged ones.
    {"empty_language_file", L"language\\downloader_en.xml", "", Outcome::Window},
    {"empty_layout_file", L"mainframe.xml", "", Outcome::Window},
    {"broken_language_file", L"language\\downloader_en.xml",
     "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<StringBundle ver=\"100\"><String id=\"Title_wndTitle\">Broken",
     Outcome::KeysAsTexts},
    {"language_file_without_root", L"language\\downloader_en.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n",
     Outcome::KeysAsTexts},
    {"layout_of_one_line_end", L"mainframe.xml", "\n", Outcome::SkinError},
    {"layout_of_a_declaration", L"mainframe.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", Outcome::SkinError},
    {"layout_cut_short", L"mainframe.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Window size=\"640,400\"><VerticalLayout>",
     Outcome::SkinError},
    {"layout_without_controls", L"mainframe.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Window size=\"640,400\"/>",
     Outcome::SkinError},
};

class BrokenSkinFolder : public DownloaderCase, public ::testing::WithParamInterface<BrokenSkin> {};

TEST_P(BrokenSkinFolder, HasAClearOutcome) {
    const BrokenSkin& broken = GetParam();
    const std::wstring label = utility::ustring::utf8ToWide(broken.label);
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    const std::wstring skin = app.folder() + L"downloader_skin\\";
    ASSERT_TRUE(::CreateDirectoryW(skin.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((skin + L"language").c_str(), nullptr));
    testsupport::writeFile(skin + broken.file, broken.content);
    ASSERT_TRUE(app.start());

    if (broken.outcome == Outcome::SkinError) {
        const HWND box = app.process().waitForWindow(kSystemBoxClass, 40s);
        ASSERT_NE(box, nullptr) << "no skin error box; exit code " << app.exitCode().value_or(STILL_ACTIVE);
        EXPECT_EQ(windowTitle(box), L"SkinUI");
        std::this_thread::sleep_for(300ms);
        shootWindow(box, L"skin_" + label);
        EXPECT_TRUE(app.process().windows(kMainWindowClass).empty());
        const HWND ok = ::FindWindowExW(box, nullptr, L"Button", nullptr);
        ASSERT_NE(ok, nullptr);
        RECT r{};
        ::GetWindowRect(ok, &r);
        clickAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        ASSERT_TRUE(app.waitForExit(15s)) << "still running after the skin error box";
        EXPECT_EQ(app.exitCode(), std::optional<DWORD>(1));
        return;
    }
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window; exit code " << app.exitCode().value_or(STILL_ACTIVE);
    shoot(app, L"skin_" + label);
    if (broken.outcome == Outcome::KeysAsTexts) {
        EXPECT_EQ(app.main().title(), L"Title_wndTitle") << "texts never loaded show their keys";
        EXPECT_TRUE(app.log().waitFor("language load from string error", 5s)) << app.log().text();
        EXPECT_EQ(app.log().count("load language language"), 3u) << "three attempts";
    } else {
        EXPECT_EQ(app.main().title(), languageStrings(L"en").get(L"Title_wndTitle"));
        EXPECT_LT(app.main().mismatch(L"installnowbtn"), kSameLook);
    }
    closeAndConfirm(app);
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenSkinFolder, ::testing::ValuesIn(kBrokenSkins),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace e2e
