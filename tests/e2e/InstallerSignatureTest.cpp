// A release names the publisher whose signature the emulator installer must carry: an installer that
// does not carry it never runs with the downloader's rights. The user is told that the download
// failed (the file is not the genuine one), nothing else follows, and the refusal is reported.

#include <gtest/gtest.h>

#include <thread>

#include "tests/e2e/DownloaderCase.h"
#include "tests/e2e/LanguageFile.h"
#include "tests/support/TestFiles.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

constexpr int kDownloadFailedPage = 6;

class InstallerSignature : public DownloaderCase {};

TEST_F(InstallerSignature, AnUnsignedInstallerIsRefusedShownAndReported) {
    // The market serves the fake installer unsigned; this build requires the test publisher.
    DownloaderApp app(L"pelora4_en_com.example.game_90001_x.exe",
                      testsupport::toolPath(L"downloader_signer_test.exe"));
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    app.main().click(L"installnowbtn");
    ASSERT_TRUE(app.waitForPage(2, 10s)) << "the install click did not lead to the progress page";
    ASSERT_TRUE(app.waitForPage(kDownloadFailedPage, 120s)) << "the refusal was not shown";
    std::this_thread::sleep_for(400ms);
    shoot(app, L"signature_refused_6_download_failed");
    app.main().map().setText(L"downloadFailedLabel", languageStrings(L"en").get(L"download_failed_damaged"));
    EXPECT_LT(app.main().mismatch(L"downloadFailedLabel"), kSameLook) << "the page does not say the file is not genuine";

    EXPECT_TRUE(waitForHit(hits, "download_installerRefused", "90001_notSigned")) << hits.text();
    EXPECT_TRUE(installerRecord.text().empty()) << "the refused installer ran: " << installerRecord.text();
    EXPECT_TRUE(app.log().contains("installer refused: notSigned")) << app.log().text();

    // Nothing follows a refused installer: no game, no emulator.
    std::this_thread::sleep_for(2s);
    EXPECT_FALSE(app.pageSelected(3)) << "the game page followed a refused installer";
    EXPECT_TRUE(recordedRuns(consoleRecord).empty());
    EXPECT_TRUE(recordedRuns(playerRecord).empty());

    app.main().click(L"closebtn");
    ASSERT_TRUE(app.waitForExit(30s)) << "closing the failure page did not end the downloader";
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace e2e
