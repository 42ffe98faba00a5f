// Drawing at display scales other than 100 %: the conversions between layout and device pixels, the
// scaled frame (places, borders, fonts, images and their @2x twins, nine-grids without seams), and a
// real window that moves to a monitor of another scale and still takes clicks where it shows things.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/MessagePump.h"
#include "tests/support/UserInput.h"
#include "tests/toolkit/SkinTestSupport.h"
#include "toolkit/Combo.h"
#include "toolkit/DisplayScale.h"
#include "toolkit/SkinWindow.h"

namespace {

using namespace toolkit;
using namespace std::chrono_literals;
using skintest::buildMarkup;
using skintest::renderMarkup;
using skintest::straight;
using testsupport::clickAt;
using testsupport::pumpMessagesFor;
using testsupport::pumpMessagesUntil;

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

const UINT kDpis[] = {96, 120, 144, 168, 192, 288};

TEST(DisplayScaleConversions, SizesSurviveTheRoundTripAndMeasuresStillFit) {
    for (UINT dpi : kDpis) {
        const DisplayScale scale(dpi);
        for (int length = 0; length <= 1000; ++length) {
            ASSERT_EQ(scale.toLayoutSize(scale.toDevice(SIZE{length, length})).cx, length) << dpi << " dpi";
            // What was measured in device pixels still fits once back in layout pixels.
            ASSERT_GE(scale.toDevice(scale.toLayoutExtent(length)), length) << dpi << " dpi, " << length;
            // Every device pixel belongs to the layout pixel whose device span holds it.
            const int layout = scale.toLayout(length);
            ASSERT_LE(scale.toDevice(layout), length) << dpi << " dpi, " << length;
            ASSERT_GT(scale.toDevice(layout + 1), length) << dpi << " dpi, " << length;
        }
        EXPECT_GE(scale.toDeviceThickness(1), 1) << dpi;
    }
}

TEST(DisplayScaleConversions, NeighbouringRectanglesStayNeighbours) {
    const struct {
        UINT dpi;
        RECT layout;
        RECT device;
    } cases[] = {
        {96, {3, 5, 7, 11}, {3, 5, 7, 11}},
        {120, {1, 2, 3, 5}, {1, 3, 4, 6}},  // 1.25, 2.5, 3.75, 6.25, rounded
        {144, {1, 1, 3, 3}, {2, 2, 5, 5}},  // 1.5 and 4.5 round up
        {192, {10, 20, 30, 40}, {20, 40, 60, 80}},
    };
    for (const auto& c : cases) {
        const RECT device = DisplayScale(c.dpi).toDevice(c.layout);
        EXPECT_EQ(device.left, c.device.left) << c.dpi;
        EXPECT_EQ(device.top, c.device.top) << c.dpi;
        EXPECT_EQ(device.right, c.device.right) << c.dpi;
        EXPECT_EQ(device.bottom, c.device.bottom) << c.dpi;
    }
    // Two rectangles that meet at 96 DPI meet at every scale: no gap, no overlap.
    for (UINT dpi : kDpis) {
        const DisplayScale scale(dpi);
        for (int edge = 0; edge < 200; ++edge) {
            ASSERT_EQ(scale.toDevice(RECT{0, 0, edge, 1}).right, scale.toDevice(RECT{edge, 0, 300, 1}).left);
        }
    }
}

class ScaledDrawing : public ::testing::Test {
protected:
    std::unique_ptr<CPaintManager> build(const std::string& markup, UINT dpi) {
        auto manager = buildMarkup(markup);
        manager->setDpi(dpi);
        return manager;
    }

    skintest::SkinFolder skin_;
};

TEST_F(ScaledDrawing, ControlsAndBordersTakeTheirScaledPlaces) {
    const std::string markup =
        "<Window size=\"100,60\"><VerticalLayout><Control height=\"10\"/>"
        "<Control name=\"box\" height=\"20\" bkcolor=\"#FF336699\" bordersize=\"1\" bordercolor=\"#FFFF0000\"/>"
        "</VerticalLayout></Window>";
    for (UINT dpi : {96u, 144u, 192u}) {
        auto manager = build(markup, dpi);
        auto canvas = renderMarkup(*manager);
        const DisplayScale scale(dpi);
        ASSERT_EQ(canvas->width(), scale.toDevice(100)) << dpi;
        ASSERT_EQ(canvas->height(), scale.toDevice(60)) << dpi;
        const RECT box = scale.toDevice(RECT{0, 10, 100, 30});
        EXPECT_EQ(straight(canvas->pixel(50, box.top - 1)), 0u) << dpi << ": above the box";
        EXPECT_EQ(straight(canvas->pixel(50, box.bottom)), 0u) << dpi << ": below the box";
        EXPECT_EQ(straight(canvas->pixel(50, (box.top + box.bottom) / 2)), 0xFF336699u) << dpi;
        // The border's red reaches in about as many device pixels as the scale makes of one.
        int redRows = 0;
        for (int y = box.top; y < box.bottom && (straight(canvas->pixel(50, y)) & 0xFFFF) < 0x4000; ++y) ++redRows;
        EXPECT_NEAR(redRows, scale.toDeviceThickness(1), 1) << dpi;
    }
}

TEST_F(ScaledDrawing, TextIsMeasuredAndDrawnAtTheScaledFontSize) {
    const std::string markup =
        "<Window size=\"300,60\"><Font id=\"0\" name=\"DejaVu Sans\" size=\"14\"/>"
        "<Label name=\"text\" font=\"0\" text=\"Installing the emulator\" textcolor=\"#FF000000\"/></Window>";
    auto small = build(markup, 96);
    auto large = build(markup, 192);
    const SIZE at96 = small->measureText(L"Installing the emulator", 0);
    const SIZE at192 = large->measureText(L"Installing the emulator", 0);
    // In layout pixels a text is about as wide at every scale; hinting moves it a little.
    EXPECT_NEAR(at192.cx, at96.cx, at96.cx / 20 + 2);
    EXPECT_NEAR(at192.cy, at96.cy, 2);
    // Drawn, the ink spans about twice as many device pixels.
    const auto inkWidth = [](const Canvas& canvas) {
        int left = canvas.width(), right = -1;
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                if ((canvas.pixel(x, y) >> 24) > 0x80) left = std::min(left, x), right = std::max(right, x);
            }
        }
        return right - left + 1;
    };
    const int ink96 = inkWidth(*renderMarkup(*small));
    const int ink192 = inkWidth(*renderMarkup(*large));
    EXPECT_NEAR(ink192, 2 * ink96, ink96 / 10 + 2);
}

// (At 100 % cells are drawn as they always were, pixel for pixel the same pictures.)
TEST_F(ScaledDrawing, TwinImagesServeFromOneAndAHalfAndSeamsNeverShow) {
    // The 1x image is red, its twin green: which one drew is plain to see.
    skin_.writeImage(L"face.png", 30, 30, std::vector<uint32_t>(30 * 30, kRed));
    skin_.writeImage(L"face@2x.png", 60, 60, std::vector<uint32_t>(60 * 60, kGreen));
    skin_.writeImage(L"plain.png", 30, 30, std::vector<uint32_t>(30 * 30, kBlue));
    const std::string markup =
        "<Window size=\"240,44\"><HorizontalLayout>"
        "<Control name=\"face\" bkimage=\"file='face.png' corner='8,8,8,8'\"/>"
        "<Control name=\"plain\" bkimage=\"file='plain.png' corner='8,8,8,8'\"/></HorizontalLayout></Window>";
    const struct {
        UINT dpi;
        uint32_t faceColour;
    } cases[] = {{120, kRed}, {132, kRed}, {144, kGreen}, {192, kGreen}, {288, kGreen}};
    for (const auto& c : cases) {
        auto manager = build(markup, c.dpi);
        auto canvas = renderMarkup(*manager);
        const struct {
            const wchar_t* name;
            uint32_t colour;
        } controls[] = {{L"face", c.faceColour}, {L"plain", kBlue}};
        for (const auto& control : controls) {
            const RECT area = manager->scale().toDevice(manager->findControl(control.name)->rect());
            int wrong = 0;
            for (int y = area.top; y < area.bottom; ++y) {
                for (int x = area.left; x < area.right; ++x) wrong += straight(canvas->pixel(x, y)) != control.colour;
            }
            EXPECT_EQ(wrong, 0) << c.dpi << " dpi: pixels of \"" << testing::PrintToString(control.name)
                                << "\" not in their image's colour (a seam between cells, or the wrong image)";
        }
    }
}

// A window that moves between monitors of different scales: everything follows the new DPI.
class MovingWindow : public ::testing::Test {
protected:
    void SetUp() override {
        skin_.writeLayout(L"scaled.xml",
                          "<Window size=\"300,200\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
                          "<HorizontalLayout height=\"40\"><Button name=\"left\" width=\"100\" bkcolor=\"#FF0000FF\"/>"
                          "<Button name=\"right\" width=\"100\" bkcolor=\"#FFFF0000\"/><Control/></HorizontalLayout>"
                          "<Combo name=\"combo\" height=\"30\" itemheight=\"24\" bkcolor=\"#FFDDDDDD\">"
                          "<ListLabelElement text=\"One\"/><ListLabelElement text=\"Two\"/></Combo>"
                          "<Control/></VerticalLayout></Window>");
        ASSERT_TRUE(window_.open(L"Scaled", 40, 40));
    }
    void TearDown() override {
        if (window_.hwnd()) ::DestroyWindow(window_.hwnd());
        pumpMessagesFor(50ms);
    }

    // As Windows tells a per-monitor aware window that it reached a monitor of another scale.
    void moveToMonitorOf(UINT dpi) {
        RECT placed{};
        ::GetWindowRect(window_.hwnd(), &placed);
        const SIZE size = DisplayScale(dpi).toDevice(window_.paintManager().size());
        RECT suggested{placed.left + 10, placed.top + 10, placed.left + 10 + size.cx, placed.top + 10 + size.cy};
        ::SendMessageW(window_.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        pumpMessagesFor(100ms);
    }

    POINT screenCentreOf(const wchar_t* name) {
        const RECT onScreen = window_.paintManager().toScreen(window_.findControl(name)->rect());
        return POINT{(onScreen.left + onScreen.right) / 2, (onScreen.top + onScreen.bottom) / 2};
    }

    skintest::SkinFolder skin_;
    skintest::LayoutWindow window_{L"ToolkitScaledWindowTest", L"scaled.xml"};
};

TEST_F(MovingWindow, FollowsTheNewScaleAndTakesClicksWhereItShowsControls) {
    const UINT startDpi = window_.paintManager().scale().dpi();
    EXPECT_EQ(startDpi, windowDpi(window_.hwnd()));
    moveToMonitorOf(192);
    RECT placed{};
    ::GetWindowRect(window_.hwnd(), &placed);
    EXPECT_EQ(placed.right - placed.left, 600);
    EXPECT_EQ(placed.bottom - placed.top, 400);
    EXPECT_EQ(window_.paintManager().size().cx, 300) << "the layout keeps its size";
    ASSERT_TRUE(pumpMessagesUntil([&] { return window_.paintManager().frame()->width() == 600; }));
    // The right button sits at layout x 100..200, device 200..400: a click at device 250 is on it,
    // where at 100 % it would have been on nothing.
    const POINT right = screenCentreOf(L"right");
    EXPECT_EQ(right.x - placed.left, 300);
    EXPECT_EQ(straight(window_.paintManager().frame()->pixel(right.x - placed.left, right.y - placed.top)), kRed);
    clickAt(POINT{placed.left + 250, right.y});
    ASSERT_TRUE(pumpMessagesUntil([&] { return !window_.clicked.empty(); }));
    EXPECT_EQ(window_.clicked.back(), L"right");
    clickAt(POINT{placed.left + 190, right.y});
    ASSERT_TRUE(pumpMessagesUntil([&] { return window_.clicked.size() == 2; }));
    EXPECT_EQ(window_.clicked.back(), L"left");
}

TEST_F(MovingWindow, TheComboListOpensAtItsComboScaleBelowIt) {
    moveToMonitorOf(144);
    clickAt(screenCentreOf(L"combo"));
    HWND list = nullptr;
    ASSERT_TRUE(pumpMessagesUntil([&] { return (list = ::FindWindowW(L"SkinComboDrop", nullptr)) != nullptr; }));
    RECT listRect{};
    ::GetWindowRect(list, &listRect);
    const RECT combo = window_.paintManager().toScreen(window_.findControl(L"combo")->rect());
    EXPECT_EQ(listRect.top, combo.bottom);
    EXPECT_EQ(listRect.left, combo.left);
    EXPECT_EQ(listRect.right - listRect.left, combo.right - combo.left);
    EXPECT_EQ(listRect.bottom - listRect.top, DisplayScale(144).toDevice(2 * 24 + 2));
    // The second entry, at its scaled place in the list.
    clickAt(POINT{listRect.left + 20, listRect.top + DisplayScale(144).toDevice(1 + 24 + 12)});
    EXPECT_TRUE(pumpMessagesUntil([&] { return window_.findControl<CSkinCombo>(L"combo")->currentSelection() == 1; }));
}

}  // namespace
