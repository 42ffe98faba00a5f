// One downloader at a time: a second start while the first runs brings the first window to the front
// (restored, shown, the foreground window) and ends at once with exit code 0, saying "It's exist" in
// the log.

#include <gtest/gtest.h>

#include <thread>

#include "tests/e2e/DownloaderCase.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UserInput.h"
#include "utility/ScopedHandle.h"
#include "utility/UString.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

// How the first window waits when the second start comes: minimised, or behind another program's
// window that has the foreground.
struct FirstWindowState {
    const char* label;
    bool minimised;
};

std::ostream& operator<<(std::ostream& out, const FirstWindowState& c) { return out << c.label; }

const FirstWindowState kStates[] = {{"minimised", true}, {"behind_another_program", false}};

class SingleInstance : public DownloaderCase, public ::testing::WithParamInterface<FirstWindowState> {};

TEST_P(SingleInstance, ASecondStartRaisesTheFirstWindowAndEnds) {
    DownloaderApp first(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(first.start());
    ASSERT_NE(first.waitForMainWindow(), nullptr) << "no main window";
    WindowDriver& window = first.main();
    utility::UniqueWindow other;
    if (GetParam().minimised) {
        window.click(L"minbtn");
        ASSERT_TRUE(testsupport::waitUntil([&] { return ::IsIconic(window.hwnd()) != FALSE; }, 5s)) << "not minimised";
    } else {
        // A window of this process over the downloader's, activated by a click as a person would.
        RECT placed{};
        ::GetWindowRect(window.hwnd(), &placed);
        other.reset(::CreateWindowExW(0, L"STATIC", L"other program", WS_POPUP | WS_VISIBLE | WS_BORDER, placed.left,
                                      placed.top, placed.right - placed.left, placed.bottom - placed.top, nullptr,
                                      nullptr, nullptr, nullptr));
        ASSERT_TRUE(other);
        testsupport::clickAt(POINT{placed.left + 20, placed.top + 20});
        ASSERT_TRUE(testsupport::waitUntil([&] {
            testsupport::pumpMessagesFor(50ms);
            return ::GetForegroundWindow() == other.get();
        }, 5s)) << "the other window did not take the foreground";
    }

    DownloaderApp second(L"pelora4_en_com.example.game_12345_x.exe");
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.waitForExit(30s)) << "the second downloader kept running";
    EXPECT_EQ(second.exitCode(), std::optional<DWORD>(0));
    EXPECT_TRUE(second.log().waitFor("It's exist", 5s)) << second.log().text();

    EXPECT_TRUE(testsupport::waitUntil(
        [&] {
            testsupport::pumpMessagesFor(50ms);
            return !::IsIconic(window.hwnd()) && window.visible() && ::GetForegroundWindow() == window.hwnd();
        },
        10s))
        << "the first window was not brought to the front; the foreground is " << ::GetForegroundWindow();
    EXPECT_EQ(first.process().windows(kMainWindowClass).size(), 1u) << "still one main window";
    EXPECT_TRUE(first.process().running());
    std::this_thread::sleep_for(300ms);
    shoot(first, L"single_instance_raised_" + utility::ustring::utf8ToWide(GetParam().label));
    other.reset();
    closeAndConfirm(first);
}

INSTANTIATE_TEST_SUITE_P(FirstWindow, SingleInstance, ::testing::ValuesIn(kStates),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace e2e
