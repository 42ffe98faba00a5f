// Closing the main window, by any way a person or the system closes a window. Outside a running
// download (0 %) the exit confirmation asks first: "No" (also Enter's answer) returns to the window,
// "Yes" ends the process and tells the collector "userCancel". During a download the window offers to
// keep waiting (the default), to use the browser, or to quit, and reports how fast the download went.
// Either way out ends the process soon after the last click, whether the servers answer or not.

#include <gtest/gtest.h>

#include <thread>

#include "tests/e2e/DownloaderCase.h"
#include "tests/e2e/LanguageFile.h"
#include "tests/e2e/MessageBoxMirror.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UserInput.h"
#include "utility/UString.h"

namespace e2e {

using testsupport::pressKey;

namespace {

using namespace std::chrono_literals;

using Close = DownloaderCase;

// The slow-download tip as the box shows it in English: "Keep waiting" first, the default and primary
// choice, then the two ways out.
void mirrorSlowTip(SkinMap& tip) {
    const model::LanguageStrings strings = languageStrings(L"en");
    mirrorMessage(tip, strings.get(L"MSGBox_noice"), strings.get(L"download_slowtip"));
    mirrorSelection(tip, L"keepwaiting", strings.get(L"download_keepwaiting"));
    mirrorSelection(tip, L"browser", strings.get(L"downloadBybrowser"), false);
    mirrorSelection(tip, L"close", strings.get(L"download_close"), false);
}

// Alt+F4 as a person presses it, on the window made active first.
void pressAltF4(WindowDriver& window) {
    window.activate();
    pressKey(VK_F4, VK_MENU);
}

TEST_F(Close, AtZeroPercentTheConfirmationAsksFirst) {
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";

    app.main().click(L"closebtn");
    std::unique_ptr<WindowDriver> box = app.waitForBox(kConfirmationClass, L"downloaderbox.xml");
    ASSERT_NE(box, nullptr) << "no exit confirmation";
    EXPECT_EQ(app.process().windows(kConfirmationClass).size(), 1u);
    EXPECT_FALSE(app.main().enabled()) << "the confirmation holds the main window";
    box->shoot(L"close_confirmation");
    box->click(L"btnRight");  // "No"
    ASSERT_TRUE(app.process().waitForNoWindow(kConfirmationClass)) << "\"No\" left the confirmation open";
    EXPECT_TRUE(testsupport::waitUntil([&] { return app.main().enabled() && app.main().visible(); }, 5s));
    EXPECT_TRUE(app.process().running());
    EXPECT_FALSE(hits.contains("&ea=userCancel&"));

    // Escape asks the same; this time "Yes".
    app.main().activate();
    pressKey(VK_ESCAPE);
    box = app.waitForBox(kConfirmationClass, L"downloaderbox.xml");
    ASSERT_NE(box, nullptr) << "Escape did not ask";
    box->click(L"btnLeft");  // "Yes"
    ASSERT_TRUE(app.waitForExit(20s)) << "\"Yes\" did not end the downloader";
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
    EXPECT_TRUE(waitForHit(hits, "userCancel", "0")) << hits.text();
}

// The confirmation opens with "No" focused, so a reflexive Enter keeps the program: the box goes, the
// window stays on the page it showed, and no cancellation is reported until the user really quits.
TEST_F(Close, EnterOnTheConfirmationKeepsTheProgram) {
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    app.main().activate();
    pressKey(VK_ESCAPE);
    std::unique_ptr<WindowDriver> box = app.waitForBox(kConfirmationClass, L"downloaderbox.xml");
    ASSERT_NE(box, nullptr) << "Escape did not ask";
    const size_t pageSelections = app.log().count("select page ");
    pressKey(VK_RETURN);
    ASSERT_TRUE(app.process().waitForNoWindow(kConfirmationClass)) << "Enter left the confirmation open";
    EXPECT_TRUE(testsupport::waitUntil([&] { return app.main().enabled() && app.main().visible(); }, 5s));
    EXPECT_TRUE(app.process().running());
    EXPECT_EQ(app.log().count("select page "), pageSelections) << "Enter changed the page";
    EXPECT_LT(app.main().mismatch(L"installnowbtn"), kSameLook) << "the setup page as it was";
    closeAndConfirm(app);
    ASSERT_TRUE(waitForHit(hits, "userCancel", "0")) << hits.text();
    EXPECT_EQ(hits.count("&ea=userCancel&"), 1u) << "Enter reported a cancellation\n" << hits.text();
}

struct SlowCase {
    const char* label;
    int selection;  // 0: download with the browser, 1: close
    std::chrono::milliseconds downloading;  // from the first package request to the close click
    const char* event;
    const char* speed;
};

std::ostream& operator<<(std::ostream& out, const SlowCase& c) { return out << c.label; }

const SlowCase kSlowCases[] = {
    {"browser_early", 0, 1500ms, "DownloadSlowUseBrowser3.0", "time<5"},
    {"close_after_a_while", 1, 7000ms, "DownloadSlowUserCancel3.0", "<200kb/s"},
};

class SlowDownload : public DownloaderCase, public ::testing::WithParamInterface<SlowCase> {};

TEST_P(SlowDownload, ClosingOffersTheBrowserAndReportsTheSpeed) {
    const SlowCase& slow = GetParam();
    ASSERT_TRUE(Market::get().setSwitches(L"slow-kbps=20"));  // about 30 s for the whole package
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    app.main().click(L"installnowbtn");
    ASSERT_TRUE(requests.waitFor("GET /cdn/en/pelora4.exe", 30s)) << requests.text();
    std::this_thread::sleep_for(slow.downloading);
    shoot(app, L"slow_" + utility::ustring::utf8ToWide(slow.label) + L"_2_downloading");
    // The mirror's progress page is as the layout starts it: an empty size line and an empty bar.
    EXPECT_GT(app.main().mismatch(L"downloadProgressLabel"), kSameLook) << "the size line shows the amounts";
    EXPECT_GT(app.main().mismatch(L"installprogressbar"), kSameLook) << "the bar has moved";

    app.main().click(L"closebtn");
    std::unique_ptr<WindowDriver> tip = app.waitForBox(kMessageBoxClass, L"common/xml_messagebox.xml");
    ASSERT_NE(tip, nullptr) << "no slow-download tip";
    EXPECT_TRUE(app.process().windows(kConfirmationClass).empty()) << "a download asks for the browser, not to quit";
    mirrorSlowTip(tip->map());
    tip->shoot(L"slow_" + utility::ustring::utf8ToWide(slow.label) + L"_tip");
    EXPECT_LT(tip->mismatch(L"descriptlabel"), kSameLook) << "the tip's text";
    const std::wstring chosen = slow.selection == 0 ? L"browser" : L"close";
    for (const wchar_t* selection : {L"keepwaiting", L"browser", L"close"}) {
        EXPECT_LT(tip->mismatch(selection), kSameLook) << "the selection \"" << utf8(selection) << "\" with its caption";
    }
    tip->click(chosen);

    ASSERT_TRUE(app.waitForExit(30s)) << "the selection did not end the downloader";
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
    EXPECT_TRUE(waitForHit(hits, slow.event, slow.speed)) << hits.text();
}

INSTANTIATE_TEST_SUITE_P(Choices, SlowDownload, ::testing::ValuesIn(kSlowCases),
                         [](const auto& info) { return std::string(info.param.label); });

// The last click ends the process soon even when no server answers any more: the version service
// keeps the address lookup waiting, the package trickles in, the collector never answers the hit.
struct StalledCase {
    const char* label;
    const wchar_t* switches;
    const char* closeAfter;  // the request after which the user closes
    bool slowTip;            // the close meets the slow-download tip ("close"), else the exit confirmation ("Yes")
    const char* event;
    const char* value;
};

std::ostream& operator<<(std::ostream& out, const StalledCase& c) { return out << c.label; }

const StalledCase kStalledCases[] = {
    {"confirmation_during_the_address_wait", L"version-service=stall&collector=stall", "GET /player_files/en/vantor ",
     false, "userCancel", "0"},
    {"slow_tip_during_a_creeping_download", L"version-service=stall&slow-kbps=1&collector=stall",
     "GET /download/package/Pelora4.0.exe ", true, "DownloadSlowUserCancel3.0", "<200kb/s"},
};

class StalledServers : public DownloaderCase, public ::testing::WithParamInterface<StalledCase> {};

TEST_P(StalledServers, TheLastClickEndsTheProcessSoon) {
    const StalledCase& stalled = GetParam();
    ASSERT_TRUE(Market::get().setSwitches(stalled.switches));
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    ASSERT_TRUE(hits.waitFor("&ea=download_run&")) << "the collector holds the first hit";
    app.main().click(L"installnowbtn");
    ASSERT_TRUE(app.waitForPage(2, 10s)) << "the install click did not lead to the progress page";
    ASSERT_TRUE(requests.waitFor(stalled.closeAfter, 60s)) << requests.text();
    // The first bytes reach the window's progress, which turns the close into the slow-download tip.
    if (stalled.slowTip) std::this_thread::sleep_for(2s);

    app.main().click(L"closebtn");
    std::unique_ptr<WindowDriver> box =
        stalled.slowTip ? app.waitForBox(kMessageBoxClass, L"common/xml_messagebox.xml")
                        : app.waitForBox(kConfirmationClass, L"downloaderbox.xml");
    ASSERT_NE(box, nullptr) << (stalled.slowTip ? "no slow-download tip" : "no exit confirmation");
    if (stalled.slowTip) mirrorSlowTip(box->map());
    box->click(stalled.slowTip ? L"close" : L"btnLeft");
    ASSERT_TRUE(app.waitForExit(6s)) << "still running 6 s after the last click";
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
    EXPECT_TRUE(waitForHit(hits, stalled.event, stalled.value)) << "the hit was not sent\n" << hits.text();
}

INSTANTIATE_TEST_SUITE_P(LastClicks, StalledServers, ::testing::ValuesIn(kStalledCases),
                         [](const auto& info) { return std::string(info.param.label); });

// Every way of closing the window leads to the same question: the keyboard's Alt+F4, the system
// menu's Close (Alt+Space), the taskbar's Close (WM_SYSCOMMAND) and a WM_CLOSE from another program.
struct ClosePath {
    const char* label;
    bool (*close)(DownloaderApp& app);
};

std::ostream& operator<<(std::ostream& out, const ClosePath& c) { return out << c.label; }

const ClosePath kClosePaths[] = {
    {"alt_f4",
     [](DownloaderApp& app) {
         pressAltF4(app.main());
         return true;
     }},
    {"system_menu_close",
     [](DownloaderApp& app) {
         app.main().activate();
         pressKey(VK_SPACE, VK_MENU);
         if (app.process().waitForWindow(L"#32768", 5s) == nullptr) return false;
         pressKey('C');  // "&Close"
         return true;
     }},
    {"taskbar_close", [](DownloaderApp& app) { return ::PostMessageW(app.main().hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0) != 0; }},
    {"close_message_from_outside",
     [](DownloaderApp& app) { return ::PostMessageW(app.main().hwnd(), WM_CLOSE, 0, 0) != 0; }},
};

class ClosePaths : public DownloaderCase, public ::testing::WithParamInterface<ClosePath> {};

TEST_P(ClosePaths, AtZeroPercentAskFirstAndNoKeepsTheProgram) {
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";

    ASSERT_TRUE(GetParam().close(app)) << "the system menu did not open";
    std::unique_ptr<WindowDriver> box = app.waitForBox(kConfirmationClass, L"downloaderbox.xml");
    ASSERT_NE(box, nullptr) << "closing did not ask";
    EXPECT_EQ(box->title(), languageStrings(L"en").get(L"MSGBox_noice")) << "the confirmation's window title";
    box->click(L"btnRight");  // "No"
    ASSERT_TRUE(app.process().waitForNoWindow(kConfirmationClass)) << "\"No\" left the confirmation open";
    EXPECT_TRUE(testsupport::waitUntil([&] { return app.main().enabled() && app.main().visible(); }, 5s));
    EXPECT_TRUE(app.main().exists()) << "the window was closed without asking";
    EXPECT_TRUE(app.process().running());
    EXPECT_FALSE(hits.contains("&ea=userCancel&"));
    closeAndConfirm(app);
}

INSTANTIATE_TEST_SUITE_P(Paths, ClosePaths, ::testing::ValuesIn(kClosePaths),
                         [](const auto& info) { return std::string(info.param.label); });

// Closing during a download with Alt+F4 offers the slow-download tip; a reflexive Enter or Escape on
// it keeps waiting, and the download goes on to the end.
struct TipAnswer {
    const char* label;
    WORD key;
};

std::ostream& operator<<(std::ostream& out, const TipAnswer& c) { return out << c.label; }

const TipAnswer kTipAnswers[] = {{"enter", VK_RETURN}, {"escape", VK_ESCAPE}};

class KeepWaiting : public DownloaderCase, public ::testing::WithParamInterface<TipAnswer> {};

TEST_P(KeepWaiting, TheTipsDefaultKeepsTheDownloadRunning) {
    ASSERT_TRUE(Market::get().setSwitches(L"slow-kbps=40"));  // about 15 s for the whole package
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    app.main().click(L"installnowbtn");
    ASSERT_TRUE(requests.waitFor("GET /cdn/en/pelora4.exe", 30s)) << requests.text();
    std::this_thread::sleep_for(2s);  // the first bytes reach the window's progress

    pressAltF4(app.main());
    std::unique_ptr<WindowDriver> tip = app.waitForBox(kMessageBoxClass, L"common/xml_messagebox.xml");
    ASSERT_NE(tip, nullptr) << "Alt+F4 during the download offered no tip";
    EXPECT_TRUE(app.process().windows(kConfirmationClass).empty());
    EXPECT_EQ(tip->title(), languageStrings(L"en").get(L"MSGBox_noice")) << "the tip's window title";
    mirrorSlowTip(tip->map());
    EXPECT_LT(tip->mismatch(L"keepwaiting"), kSameLook) << "\"Keep waiting\" first, in the primary style";
    EXPECT_LT(tip->mismatch(L"browser"), kSameLook);
    pressKey(GetParam().key);
    ASSERT_TRUE(app.process().waitForNoWindow(kMessageBoxClass)) << "the key left the tip open";
    EXPECT_TRUE(app.process().running());

    ASSERT_TRUE(app.waitForPage(4, 120s)) << "the download did not go on to the end";
    EXPECT_TRUE(hits.waitFor("&ea=download_Success&")) << hits.text();
    EXPECT_FALSE(hits.contains("&ea=DownloadSlowUseBrowser3.0&")) << hits.text();
    EXPECT_FALSE(hits.contains("&ea=DownloadSlowUserCancel3.0&")) << hits.text();
    EXPECT_FALSE(hits.contains("&ea=userCancel&")) << hits.text();
    app.main().click(L"closebtn");
    ASSERT_TRUE(app.waitForExit(30s)) << "closing the finish page did not end the downloader";
}

INSTANTIATE_TEST_SUITE_P(Keys, KeepWaiting, ::testing::ValuesIn(kTipAnswers),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace e2e
