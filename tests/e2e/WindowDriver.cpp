#include "tests/e2e/WindowDriver.h"

#include <commctrl.h>

#include <cstdlib>

#include "tests/e2e/AppProcess.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UserInput.h"
#include "toolkit/Canvas.h"
#include "toolkit/PngFile.h"

namespace e2e {

using testsupport::clickAt;
using testsupport::moveMouseTo;

namespace {

// A mismatch above this keeps both pictures, for whoever reads a failure.
constexpr double kKeepPicturesAbove = 0.02;

void keepPictures(const std::wstring& control, int width, int height, const std::vector<uint32_t>& painted,
                  const std::vector<uint32_t>& shown) {
    toolkit::Canvas mirror(width, height), screen(width, height);
    for (size_t i = 0; i < painted.size(); ++i) {
        mirror.pixels()[i] = painted[i];
        screen.pixels()[i] = 0xFF000000u | shown[i];
    }
    toolkit::savePng(mirror, shotFolder() + L"mismatch_" + control + L"_mirror.png");
    toolkit::savePng(screen, shotFolder() + L"mismatch_" + control + L"_shown.png");
}

}  // namespace

WindowDriver::WindowDriver(HWND window, const std::wstring& layout, UINT dpi) : window_(window), map_(layout) {
    toolkit::CPaintManager& manager = map_.manager();
    manager.setDpi(dpi);
    // The window lays its controls out in its client area, which a border makes smaller than the layout.
    RECT client{};
    if (window_ && ::GetClientRect(window_, &client) && client.right > 0 && client.bottom > 0) {
        manager.setSize(manager.scale().toLayoutSize(SIZE{client.right, client.bottom}));
    }
}

std::wstring WindowDriver::title() const { return windowTitle(window_); }

void WindowDriver::click(const std::wstring& control) { clickAt(centreOf(control)); }

void WindowDriver::activate() { clickAt(map_.neutralPoint(window_)); }

void WindowDriver::hover(const std::wstring& control) { moveMouseTo(centreOf(control)); }

std::wstring WindowDriver::tooltip(const std::wstring& control) {
    moveMouseTo(map_.neutralPoint(window_));  // a tooltip shown before goes, hovering starts anew
    hover(control);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window_, &pid);
    std::wstring text;
    testsupport::waitUntil([&] {
        for (HWND tip : visibleWindowsOf(pid, TOOLTIPS_CLASSW)) {
            wchar_t buffer[512] = {};
            DWORD_PTR copied = 0;
            // Another process's window: WM_GETTEXT is carried across, GetWindowTextW would not ask it.
            if (::SendMessageTimeoutW(tip, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                                      &copied) &&
                copied > 0) {
                text = buffer;
                return true;
            }
        }
        return false;
    });
    return text;
}

double WindowDriver::mismatch(const std::wstring& control) {
    moveMouseTo(map_.neutralPoint(window_));
    ::Sleep(150);  // the hot look goes
    RECT rect{};
    const std::vector<uint32_t> painted = map_.paint(control, rect);
    if (painted.empty()) return 1;
    POINT topLeft{rect.left, rect.top};
    ::ClientToScreen(window_, &topLeft);
    const RECT screen{topLeft.x, topLeft.y, topLeft.x + rect.right - rect.left, topLeft.y + rect.bottom - rect.top};
    const std::vector<uint32_t> shown = screenPixels(screen);
    if (shown.size() != painted.size()) return 1;
    size_t opaque = 0, different = 0;
    const auto channel = [](uint32_t colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); };
    for (size_t i = 0; i < painted.size(); ++i) {
        if ((painted[i] >> 24) != 0xFF) continue;
        ++opaque;
        for (int shift : {0, 8, 16}) {
            if (std::abs(channel(painted[i], shift) - channel(shown[i], shift)) > 24) {
                ++different;
                break;
            }
        }
    }
    const double share = opaque == 0 ? 1 : static_cast<double>(different) / static_cast<double>(opaque);
    if (share > kKeepPicturesAbove) keepPictures(control, rect.right - rect.left, rect.bottom - rect.top, painted, shown);
    return share;
}

}  // namespace e2e
