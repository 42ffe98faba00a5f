// The downloader on a display scaled above 100 %: the session's LogPixels is set before the program
// starts (and put back after the case, whatever happens), the main window comes at the scale's size,
// shows what the mirror drawn at that DPI shows, and real clicks at the controls' scaled places work.
// Pictures of each page reached at the scale go to e2e-screens.

#include <gtest/gtest.h>

#include <thread>

#include "tests/e2e/DownloaderCase.h"
#include "tests/support/RegistryValueGuard.h"
#include "tests/support/TestFiles.h"
#include "utility/UString.h"

namespace e2e {

namespace {

using namespace std::chrono_literals;

struct ScaleCase {
    const char* label;
    DWORD dpi;
    LONG width, height;  // of the 640x400 main window at that scale
};

std::ostream& operator<<(std::ostream& out, const ScaleCase& c) { return out << c.label; }

const ScaleCase kScales[] = {
    {"dpi192", 192, 1280, 800},
    {"dpi144", 144, 960, 600},
};

class ScaledWindow : public DownloaderCase, public ::testing::WithParamInterface<ScaleCase> {
protected:
    void SetUp() override {
        DownloaderCase::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // Wine hands every program started afterwards this DPI; the guard puts the old value back when
        // the case ends, failed or not.
        ASSERT_TRUE(logPixels.setDword(GetParam().dpi));
        ASSERT_EQ(logPixels.currentDword(), std::optional<DWORD>(GetParam().dpi));
    }

    testsupport::RegistryValueGuard logPixels{L"Control Panel\\Desktop", L"LogPixels"};
};

TEST_P(ScaledWindow, IsDrawnAndClickedAtTheScale) {
    const ScaleCase& scale = GetParam();
    const std::wstring label = utility::ustring::utf8ToWide(scale.label);
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    app.setDisplayDpi(scale.dpi);
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    WindowDriver& window = app.main();
    RECT placed{};
    ASSERT_TRUE(::GetWindowRect(window.hwnd(), &placed));
    EXPECT_EQ(placed.right - placed.left, scale.width);
    EXPECT_EQ(placed.bottom - placed.top, scale.height);
    shoot(app, label + L"_setup");
    for (const wchar_t* control : {L"titlename", L"setupArt", L"productHeadline", L"installnowbtn",
                                   L"acceptprotocolopt", L"LicenseAgreementText", L"protocollinkbtn",
                                   L"userdefinitionBtn", L"closebtn"}) {
        EXPECT_LT(window.mismatch(control), kSameLook) << utf8(control) << " as the mirror draws it at " << scale.dpi;
    }

    window.click(L"installnowbtn");
    ASSERT_TRUE(app.waitForPage(2, 20s)) << "the click at the install button's scaled place did not install";
    std::this_thread::sleep_for(300ms);
    shoot(app, label + L"_progress");
    ASSERT_TRUE(app.waitForPage(4, 120s)) << "the installation did not finish";
    std::this_thread::sleep_for(300ms);
    shoot(app, label + L"_finish");
    window.click(L"closebtn");
    ASSERT_TRUE(app.waitForExit(30s)) << "the click at the close button's scaled place did not end the downloader";
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(DisplayScale, ScaledWindow, ::testing::ValuesIn(kScales),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace e2e
