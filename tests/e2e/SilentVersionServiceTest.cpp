// A version service that accepts the downloader's question and never answers. The install click then
// waits about 8 s for the address; all that time the window answers at once, and the download goes to
// the built-in address and completes.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <thread>

#include "tests/e2e/DownloaderCase.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

using SilentVersionService = DownloaderCase;

// How long the window took to answer a message that needs no work; the time-out when it did not.
std::chrono::milliseconds answerTime(HWND window, std::chrono::milliseconds timeout) {
    const auto begin = std::chrono::steady_clock::now();
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout.count()), &result)) {
        return timeout;
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
}

TEST_F(SilentVersionService, TheWindowKeepsAnsweringAndTheBuiltInAddressServes) {
    ASSERT_TRUE(Market::get().setSwitches(L"version-service=stall"));
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    ASSERT_TRUE(requests.waitFor("GET /player_files/en/vantor ", 30s)) << requests.text();

    app.main().click(L"installnowbtn");
    ASSERT_TRUE(app.waitForPage(2, 10s)) << "the install click did not lead to the progress page";
    // Asked over and over while the address wait runs, until the built-in address is asked for.
    constexpr auto kAnswerLimit = 2000ms;
    std::chrono::milliseconds slowest{0};
    int asked = 0;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!requests.contains("GET /download/package/Pelora4.0.exe ") && std::chrono::steady_clock::now() < deadline) {
        slowest = std::max(slowest, answerTime(app.main().hwnd(), kAnswerLimit));
        ++asked;
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(requests.contains("GET /download/package/Pelora4.0.exe ")) << requests.text();
    EXPECT_GT(asked, 20) << "the wait was not watched";
    EXPECT_LT(slowest, kAnswerLimit) << "the window stopped answering during the address wait";

    ASSERT_TRUE(app.waitForPage(4, 120s)) << "no finish page";
    EXPECT_TRUE(waitForHit(hits, "download_defaultUrl", "0")) << hits.text();
    EXPECT_TRUE(hits.waitFor("&ea=download_Success&el=0_")) << hits.text();
    EXPECT_FALSE(installerRecord.text().empty()) << "the downloaded installer did not run";
    app.main().click(L"closebtn");
    ASSERT_TRUE(app.waitForExit(30s)) << "closing the finish page did not end the downloader";
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace e2e
