// One downloader at a time: a second start while the first runs brings the first window to the front
// and ends at once with exit code 0, saying "It's exist" in the log.

#include <gtest/gtest.h>

#include <thread>

#include "tests/e2e/DownloaderCase.h"
#include "tests/support/TestFiles.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

using SingleInstance = DownloaderCase;

TEST_F(SingleInstance, ASecondStartRaisesTheFirstWindowAndEnds) {
    DownloaderApp first(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(first.start());
    ASSERT_NE(first.waitForMainWindow(), nullptr) << "no main window";
    WindowDriver& window = first.main();
    window.click(L"minbtn");
    ASSERT_TRUE(testsupport::waitUntil([&] { return ::IsIconic(window.hwnd()) != FALSE; }, 5s)) << "not minimised";

    DownloaderApp second(L"pelora4_en_com.example.game_12345_x.exe");
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.waitForExit(30s)) << "the second downloader kept running";
    EXPECT_EQ(second.exitCode(), std::optional<DWORD>(0));
    EXPECT_TRUE(second.log().waitFor("It's exist", 5s)) << second.log().text();

    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return !::IsIconic(window.hwnd()) && window.visible() && ::GetForegroundWindow() == window.hwnd(); }, 10s))
        << "the first window was not brought to the front";
    EXPECT_EQ(first.process().windows(kMainWindowClass).size(), 1u) << "still one main window";
    EXPECT_TRUE(first.process().running());
    std::this_thread::sleep_for(300ms);
    shoot(first, L"single_instance_raised");
    closeAndConfirm(first);
}

}  // namespace
}  // namespace e2e
