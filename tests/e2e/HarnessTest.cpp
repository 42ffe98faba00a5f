// The harness itself on a real skinned window of another process: the skin viewer showing the main
// window's layout. Starting under another name, finding the window by class and process, clicks at
// the places the mirrored layout gives, keys, pictures, the exit code, and killing what is left.

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "tests/e2e/AppProcess.h"
#include "tests/e2e/WindowDriver.h"
#include "tests/e2e/WindowShot.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UserInput.h"

namespace e2e {

using testsupport::pressKey;
using testsupport::moveMouseTo;

namespace {

using namespace std::chrono_literals;

constexpr wchar_t kViewerClass[] = L"SkinViewerPreview";

class Harness : public ::testing::Test {
protected:
    // The viewer under a downloader's name, showing the main window with its language combo.
    void SetUp() override {
        ASSERT_TRUE(viewer.start(L"--set languageCombo.visible=true mainframe.xml"));
        const HWND window = viewer.waitForWindow(kViewerClass);
        ASSERT_NE(window, nullptr) << "no viewer window";
        driver = std::make_unique<WindowDriver>(window, L"mainframe.xml");
        driver->map().setVisible(L"languageCombo", true);
        std::this_thread::sleep_for(300ms);  // the first frame
    }

    AppProcess viewer{testsupport::toolPath(L"skinviewer.exe"), L"pelora4_en_0_100_x.exe"};
    std::unique_ptr<WindowDriver> driver;
};

TEST_F(Harness, FindsTheWindowOfItsOwnProcessAndPicturesIt) {
    RECT r{};
    ASSERT_TRUE(::GetWindowRect(driver->hwnd(), &r));
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 400);
    const WindowShot shot = driver->shoot(L"harness_viewer_setup");
    ASSERT_FALSE(shot.path.empty());
    EXPECT_GT(shot.coloured, 0.5) << "the picture shows the window, not a black area";
    EXPECT_GT(shot.distinctColours, 8);
}

TEST_F(Harness, ClicksAndKeysReachTheControlsTheLayoutNames) {
    const POINT box = driver->centreOf(L"acceptprotocolopt");
    const uint32_t checked = screenColour(box);
    driver->click(L"acceptprotocolopt");
    moveMouseTo(driver->map().neutralPoint(driver->hwnd()));  // not hot, so only the state tells
    EXPECT_TRUE(testsupport::waitUntil([&] { return screenColour(box) != checked; }, 3s)) << "the click cleared the box";
    driver->shoot(L"harness_viewer_unchecked");
    EXPECT_EQ(::GetForegroundWindow(), driver->hwnd()) << "the click activated the window";
    pressKey(VK_SPACE);
    EXPECT_TRUE(testsupport::waitUntil([&] { return screenColour(box) == checked; }, 3s)) << "space ticked it again";
    driver->click(L"closebtn");
    ASSERT_TRUE(viewer.waitForExit(10s));
    EXPECT_EQ(viewer.exitCode(), std::optional<DWORD>(0));
}

TEST_F(Harness, WhatStillRunsIsKilled) {
    const DWORD pid = viewer.pid();
    {
        AppProcess second(testsupport::toolPath(L"skinviewer.exe"), L"second.exe");
        ASSERT_TRUE(second.start(L"mainframe.xml"));
        ASSERT_NE(second.waitForWindow(kViewerClass), nullptr);
        EXPECT_NE(second.pid(), pid);
    }
    viewer.kill();
    EXPECT_FALSE(viewer.running());
    EXPECT_EQ(viewer.exitCode(), std::optional<DWORD>(0xDEAD));
}

}  // namespace
}  // namespace e2e
