// High contrast: the scheme's colours replace the skin's, so that texts, faces, the focus and the
// progress bars stay readable. Wine cannot turn high contrast on, so the toolkit is told to draw as
// if it were, with this system's colours.

#include <gtest/gtest.h>

#include "tests/toolkit/SkinTestSupport.h"
#include "toolkit/HighContrast.h"
#include "toolkit/Option.h"

namespace {

using namespace toolkit;
using skintest::buildMarkup;
using skintest::renderMarkup;
using skintest::straight;

class HighContrast : public ::testing::Test {
protected:
    void SetUp() override { forceHighContrast(true); }
    void TearDown() override { forceHighContrast(false); }

    // How many pixels of the control's place have exactly this colour.
    static int pixelsOf(const Canvas& canvas, CPaintManager& manager, const wchar_t* name, uint32_t colour) {
        const RECT r = manager.scale().toDevice(manager.findControl(name)->rect());
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) count += straight(canvas.pixel(x, y)) == colour;
        }
        return count;
    }

    skintest::SkinFolder skin_;
};

TEST_F(HighContrast, TheSchemesColoursReplaceTheSkins) {
    skin_.writeImage(L"face.png", 4, 4, std::vector<uint32_t>(16, 0xFF2196F3));
    auto manager = buildMarkup(
        "<Window size=\"200,160\" layeredimage=\"face.png\"><VerticalLayout>"
        "<Label name=\"text\" height=\"30\" text=\"Installing\" textcolor=\"#FFFFFFFF\" bkcolor=\"#FF2196F3\"/>"
        "<Button name=\"button\" height=\"40\" text=\"Install\" normalimage=\"face.png\" textcolor=\"#FFFFFFFF\"/>"
        "<Option name=\"box\" width=\"16\" height=\"16\" selected=\"true\" normalimage=\"face.png\"/>"
        "<Progress name=\"bar\" height=\"10\" value=\"50\" foreimage=\"face.png\" bkimage=\"face.png\"/>"
        "<Control/></VerticalLayout></Window>");
    const SystemColours colours = *highContrastColours();
    for (UINT dpi : {96u, 192u}) {
        manager->setDpi(dpi);
        auto canvas = renderMarkup(*manager);
        EXPECT_EQ(straight(canvas->pixel(canvas->width() - 2, canvas->height() - 2)), colours.window) << dpi;
        EXPECT_GT(pixelsOf(*canvas, *manager, L"text", colours.windowText), 10) << dpi << ": the text in the scheme's";
        EXPECT_EQ(pixelsOf(*canvas, *manager, L"text", 0xFF2196F3), 0) << dpi << ": the skin's fill gives way";
        EXPECT_GT(pixelsOf(*canvas, *manager, L"button", colours.buttonFace), 100) << dpi;
        EXPECT_GT(pixelsOf(*canvas, *manager, L"button", colours.buttonText), 20) << dpi << ": frame and caption";
        EXPECT_EQ(pixelsOf(*canvas, *manager, L"button", 0xFF2196F3), 0) << dpi << ": no skin face";
        const RECT bar = manager->scale().toDevice(manager->findControl(L"bar")->rect());
        const int middle = (bar.top + bar.bottom) / 2;
        EXPECT_EQ(straight(canvas->pixel(bar.left + (bar.right - bar.left) / 4, middle)), colours.highlight) << dpi;
        EXPECT_EQ(straight(canvas->pixel(bar.left + (bar.right - bar.left) * 3 / 4, middle)), colours.window) << dpi;
        const int checked = pixelsOf(*canvas, *manager, L"box", colours.buttonText);
        dynamic_cast<CSkinOption*>(manager->findControl(L"box"))->selected(false);
        auto cleared = renderMarkup(*manager);
        EXPECT_GT(checked, pixelsOf(*cleared, *manager, L"box", colours.buttonText)) << dpi << ": a ticked box is filled";
        dynamic_cast<CSkinOption*>(manager->findControl(L"box"))->selected(true);
    }
}

}  // namespace
