#pragma once
// Drives one window of the program under test by its layout's control names: real clicks at the
// controls' places on the screen, keys, and pictures of what the window shows.

#include <windows.h>

#include <string>

#include "tests/e2e/SkinMap.h"
#include "tests/e2e/WindowShot.h"
#include "toolkit/DisplayScale.h"

namespace e2e {

// A mismatch (below) at most this big is the same look: a few pixels of anti-aliasing may differ.
inline constexpr double kSameLook = 0.02;

class WindowDriver {
public:
    // window shows the layout (its skin file) drawn at dpi; the map starts in the layout's own state.
    // The DPI is the one the case gave the session: Wine answers GetDpiForWindow for another process's
    // window with the asking process's own system DPI, read once, not with the window's.
    WindowDriver(HWND window, const std::wstring& layout, UINT dpi = toolkit::kBaseDpi);

    HWND hwnd() const { return window_; }
    // The mirror of the window's layout; bring it into the window's state before clicking.
    SkinMap& map() { return map_; }

    bool exists() const { return ::IsWindow(window_) != FALSE; }
    bool visible() const { return ::IsWindowVisible(window_) != FALSE; }
    bool enabled() const { return ::IsWindowEnabled(window_) != FALSE; }
    std::wstring title() const;

    POINT centreOf(const std::wstring& control) { return map_.centreOnScreen(control, window_); }
    void click(const std::wstring& control);
    // Clicks where no control reacts, which makes the window the active one for keys.
    void activate();
    void hover(const std::wstring& control);
    // Rests the mouse on the control and reads the tooltip the program shows for it (the tooltip
    // window's own text); empty when none appeared.
    std::wstring tooltip(const std::wstring& control);
    WindowShot shoot(const std::wstring& name) const { return shootWindow(window_, name); }
    // The share of opaque pixels in the control's place that the screen shows otherwise than the mirror
    // paints them (0: the window shows exactly the mirror's state there, texts and hidden parts
    // included); 1 when there is no such control. The mouse is moved off the window's controls first.
    double mismatch(const std::wstring& control);

private:
    HWND window_;
    SkinMap map_;
};

}  // namespace e2e
