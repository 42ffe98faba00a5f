#pragma once
// Pictures of windows as the screen shows them, kept with the test results
// (test-results/e2e-screens/NAME.png): the screen area of the window copied from the screen's DC,
// so a layered window appears exactly as it was composed.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

struct WindowShot {
    std::wstring path;     // where the picture went; empty when it could not be written
    int width = 0, height = 0;
    double coloured = 0;   // share of pixels that are neither black nor the desktop's background
    int distinctColours = 0;  // at most 64 counted
};

// The folder of the pictures (created on first use).
const std::wstring& shotFolder();

// Copies the window's screen rectangle into NAME.png of the folder.
WindowShot shootWindow(HWND window, const std::wstring& name);

// The screen's pixels in a rectangle, rows of 0xRRGGBB.
std::vector<uint32_t> screenPixels(const RECT& screen);

// The colour the screen shows at a point, 0xRRGGBB.
uint32_t screenColour(POINT screen);

}  // namespace e2e
