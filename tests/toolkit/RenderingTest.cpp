#include <gtest/gtest.h>

#include "tests/toolkit/SkinTestSupport.h"
#include "toolkit/Progress.h"

namespace {

using namespace toolkit;
using skintest::buildMarkup;
using skintest::renderMarkup;
using skintest::straight;

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000, kMagenta = 0xFFFF00FF;

// A 30x30 image whose 10-pixel corners are red, green, blue and white, and whose middle is black.
std::vector<uint32_t> cornerImage() {
    std::vector<uint32_t> pixels(30 * 30, kBlack);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            const bool left = x < 10, right = x >= 20, top = y < 10, bottom = y >= 20;
            uint32_t& p = pixels[y * 30 + x];
            if (top && left) p = kRed;
            if (top && right) p = kGreen;
            if (bottom && left) p = kBlue;
            if (bottom && right) p = kWhite;
        }
    }
    return pixels;
}

class Rendering : public ::testing::Test {
protected:
    skintest::SkinFolder skin_;
};

TEST_F(Rendering, BackgroundColourFillsOnlyTheControl) {
    auto manager = buildMarkup(
        "<Window size=\"100,60\"><VerticalLayout><Control height=\"20\"/>"
        "<Control name=\"box\" height=\"20\" bkcolor=\"#FF336699\"/></VerticalLayout></Window>");
    auto canvas = renderMarkup(*manager);
    EXPECT_EQ(canvas->pixel(50, 30), 0xFF336699u);
    EXPECT_EQ(canvas->pixel(50, 10), 0u) << "above the control stays transparent";
    EXPECT_EQ(canvas->pixel(50, 45), 0u);
}

TEST_F(Rendering, NineGridKeepsCornersUnstretched) {
    skin_.writeImage(L"grid.png", 30, 30, cornerImage());
    auto manager = buildMarkup(
        "<Window size=\"120,80\"><Control bkimage=\"file='grid.png' corner='10,10,10,10'\"/></Window>");
    auto canvas = renderMarkup(*manager);
    struct Probe {
        int x, y;
        uint32_t colour;
    } probes[] = {
        {3, 3, kRed},     {9, 9, kRed},     {116, 3, kGreen}, {110, 9, kGreen}, {3, 76, kBlue},
        {9, 70, kBlue},   {116, 76, kWhite}, {110, 70, kWhite}, {60, 40, kBlack}, {14, 40, kBlack},
    };
    for (const Probe& probe : probes) {
        EXPECT_EQ(straight(canvas->pixel(probe.x, probe.y)), probe.colour) << probe.x << "," << probe.y;
    }
}

TEST_F(Rendering, SourceDestAndMask) {
    std::vector<uint32_t> strip(20 * 10, kRed);
    for (int y = 0; y < 10; ++y) {
        for (int x = 10; x < 20; ++x) strip[y * 20 + x] = kMagenta;
    }
    skin_.writeImage(L"strip.png", 20, 10, strip);
    auto manager = buildMarkup(
        "<Window size=\"100,40\"><HorizontalLayout>"
        "<Control width=\"50\" bkimage=\"file='strip.png' source='0,0,10,10' dest='10,10,30,30'\"/>"
        "<Control width=\"50\" bkimage=\"file='strip.png' mask='#FFFF00FF'\"/></HorizontalLayout></Window>");
    auto canvas = renderMarkup(*manager);
    EXPECT_EQ(straight(canvas->pixel(20, 20)), kRed) << "inside dest";
    EXPECT_EQ(canvas->pixel(5, 5), 0u) << "outside dest";
    EXPECT_EQ(straight(canvas->pixel(60, 20)), kRed) << "left half of the masked image";
    EXPECT_EQ(canvas->pixel(90, 20) >> 24, 0u) << "the mask colour is transparent";
}

TEST_F(Rendering, MissingImageDrawsNothing) {
    auto manager = buildMarkup(
        "<Window size=\"50,50\" layeredimage=\"nowhere.png\"><Control bkimage=\"file='absent.png' corner='2,2,2,2'\"/>"
        "</Window>");
    auto canvas = renderMarkup(*manager);
    for (int y = 0; y < 50; y += 7) {
        for (int x = 0; x < 50; x += 7) ASSERT_EQ(canvas->pixel(x, y), 0u) << x << "," << y;
    }
}

// The coloured pixels of the canvas inside [left, right) x [top, bottom): count of those close to colour.
int pixelsNear(const Canvas& canvas, RECT area, uint32_t colour) {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const uint32_t p = straight(canvas.pixel(x, y));
            const auto close = [&](int shift) {
                return std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((colour >> shift) & 0xFF)) < 40;
            };
            if ((p >> 24) > 200 && close(16) && close(8) && close(0)) ++count;
        }
    }
    return count;
}

TEST_F(Rendering, MarkupRunsTakeTheirColours) {
    auto manager = buildMarkup(
        "<Window size=\"300,40\"><Label name=\"l\" showhtml=\"true\" font=\"0\" textcolor=\"#FF000000\" "
        "text=\"plain &lt;c #ff0000&gt;REDREDRED&lt;/c&gt; &lt;u #00ff00&gt;under&lt;/u&gt;\"/></Window>");
    manager->fonts().define(0, FontSpec{L"DejaVu Sans", 20});
    auto canvas = renderMarkup(*manager);
    const int plainWidth = manager->measureText(L"plain ", 0).cx;
    const int redWidth = manager->measureText(L"REDREDRED", 0).cx;
    EXPECT_GT(pixelsNear(*canvas, RECT{plainWidth, 0, plainWidth + redWidth, 40}, kRed), 30);
    EXPECT_EQ(pixelsNear(*canvas, RECT{0, 0, plainWidth - 2, 40}, kRed), 0) << "plain text is not red";
    EXPECT_GT(pixelsNear(*canvas, RECT{0, 0, plainWidth - 2, 40}, kBlack), 10);
    // The underline: a green row under the last run.
    const int underStart = plainWidth + redWidth + manager->measureText(L" ", 0).cx;
    EXPECT_GT(pixelsNear(*canvas, RECT{underStart, 20, underStart + 30, 40}, kGreen), 25);
}

TEST_F(Rendering, ProgressFillsUpToItsValue) {
    auto manager = buildMarkup(
        "<Window size=\"200,10\"><Progress name=\"bar\" min=\"0\" max=\"100\" value=\"25\" forecolor=\"#FF00FF00\" "
        "bkcolor=\"#FF0000FF\"/></Window>");
    auto canvas = renderMarkup(*manager);
    EXPECT_EQ(canvas->pixel(10, 5), kGreen);
    EXPECT_EQ(canvas->pixel(60, 5), kBlue);
    dynamic_cast<CSkinProgress*>(manager->findControl(L"bar"))->setValue(500);
    canvas = renderMarkup(*manager);
    EXPECT_EQ(canvas->pixel(195, 5), kGreen) << "clamped to the maximum";
}

TEST_F(Rendering, TextsInEveryScriptDrawGlyphs) {
    const wchar_t* texts[] = {L"Install", L"安装", L"설치", L"ติดตั้ง", L"تثبيت", L"Установить"};
    for (const wchar_t* text : texts) {
        auto manager = buildMarkup("<Window size=\"200,40\"><Label name=\"l\" textcolor=\"#FF000000\"/></Window>");
        manager->findControl(L"l")->setText(text);
        auto canvas = renderMarkup(*manager);
        EXPECT_GT(pixelsNear(*canvas, RECT{0, 0, 200, 40}, kBlack), 8) << "no glyphs for a script";
    }
}

}  // namespace
