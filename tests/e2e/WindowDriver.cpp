#include "tests/e2e/WindowDriver.h"

#include "tests/e2e/AppProcess.h"
#include "tests/e2e/UserInput.h"

namespace e2e {

WindowDriver::WindowDriver(HWND window, const std::wstring& layout) : window_(window), map_(layout) {}

std::wstring WindowDriver::title() const { return windowTitle(window_); }

void WindowDriver::click(const std::wstring& control) { clickAt(centreOf(control)); }

void WindowDriver::activate() { clickAt(map_.neutralPoint(window_)); }

void WindowDriver::hover(const std::wstring& control) { moveMouseTo(centreOf(control)); }

}  // namespace e2e
