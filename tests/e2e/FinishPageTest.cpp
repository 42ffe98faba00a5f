// A plain downloader (no game, no package) ends on the finish page after a good installation. The
// finish page's button starts the emulator; its close button ends at once without asking. Either
// way the process ends with exit code 0.

#include <gtest/gtest.h>

#include <thread>

#include "tests/e2e/DownloaderCase.h"
#include "tests/support/TestFiles.h"
#include "utility/UString.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

struct FinishCase {
    const char* label;
    const wchar_t* leaveBy;     // the control that ends the run: "tastenowbtn" or "closebtn"
};

std::ostream& operator<<(std::ostream& out, const FinishCase& c) { return out << c.label; }

const FinishCase kFinishes[] = {
    {"installed", L"tastenowbtn"},
    {"installed_then_closed", L"closebtn"},
};

class FinishPage : public DownloaderCase, public ::testing::WithParamInterface<FinishCase> {};

TEST_P(FinishPage, ItsButtonStartsTheEmulatorAndClosingEndsAtOnce) {
    const FinishCase& finish = GetParam();
    const std::wstring label = utility::ustring::utf8ToWide(finish.label);
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    app.main().click(L"installnowbtn");
    ASSERT_TRUE(app.waitForPage(2, 10s)) << "the install click did not lead to the progress page";
    ASSERT_TRUE(app.waitForPage(4, 120s)) << "no finish page";
    std::this_thread::sleep_for(400ms);
    shoot(app, L"finish_" + label + L"_4_finish");
    for (const wchar_t* control : {L"progress_finish_label", L"tastenowbtn"}) {
        EXPECT_LT(app.main().mismatch(control), kSameLook) << utf8(control) << " on the finish page";
    }
    EXPECT_TRUE(hits.waitFor("&ea=download_Success&el=0_")) << hits.text();
    EXPECT_FALSE(installerRecord.text().empty()) << "the installer did not run";
    EXPECT_TRUE(recordedRuns(playerRecord).empty()) << "the emulator waits for the button";

    app.main().click(finish.leaveBy);
    ASSERT_TRUE(app.waitForExit(30s)) << utf8(finish.leaveBy) << " did not end the downloader";
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));
    EXPECT_TRUE(app.process().windows(kConfirmationClass).empty());
    if (std::wstring(finish.leaveBy) == L"tastenowbtn") {
        ASSERT_TRUE(playerRecord.waitFor("qorplayer.exe", 20s)) << "the emulator did not start";
        EXPECT_EQ(recordedRuns(playerRecord), std::vector<std::string>{""}) << "a plain downloader names no package";
    } else {
        std::this_thread::sleep_for(2s);
        EXPECT_TRUE(recordedRuns(playerRecord).empty()) << "closing starts nothing";
        EXPECT_FALSE(hits.contains("&ea=userCancel&")) << "closing the finish page asks nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(Downloads, FinishPage, ::testing::ValuesIn(kFinishes),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace e2e
