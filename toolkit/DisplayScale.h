#pragma once
// The display scale a window is drawn at. Layouts, controls and hit testing work in layout pixels
// (pixels at 96 DPI); the frame, its fonts and the screen work in device pixels. At 96 DPI both are
// the same and every conversion is the identity.

#include <windows.h>

namespace toolkit {

constexpr UINT kBaseDpi = 96;

class DisplayScale {
public:
    DisplayScale() = default;
    explicit DisplayScale(UINT dpi) : dpi_(dpi >= 48 ? dpi : kBaseDpi) {}

    UINT dpi() const { return dpi_; }
    bool isIdentity() const { return dpi_ == kBaseDpi; }
    double factor() const { return static_cast<double>(dpi_) / kBaseDpi; }

    // A length or coordinate in device pixels, rounded to the nearest.
    int toDevice(int layout) const { return ::MulDiv(layout, static_cast<int>(dpi_), kBaseDpi); }
    // A thickness in device pixels: never thinner than one pixel when it was at least one.
    int toDeviceThickness(int layout) const;
    // Edges are scaled one by one, so neighbouring rectangles stay neighbours.
    RECT toDevice(const RECT& layout) const;
    SIZE toDevice(SIZE layout) const { return SIZE{toDevice(layout.cx), toDevice(layout.cy)}; }
    POINT toDevice(POINT layout) const { return POINT{toDevice(layout.x), toDevice(layout.y)}; }

    // The layout pixel that holds a device pixel.
    int toLayout(int device) const;
    POINT toLayout(POINT device) const { return POINT{toLayout(device.x), toLayout(device.y)}; }
    // A device extent in layout pixels, rounded up, so that what was measured still fits.
    int toLayoutExtent(int device) const;
    SIZE toLayoutExtent(SIZE device) const { return SIZE{toLayoutExtent(device.cx), toLayoutExtent(device.cy)}; }
    // A device size back in layout pixels, rounded to the nearest: the inverse of toDevice for sizes.
    SIZE toLayoutSize(SIZE device) const;

private:
    UINT dpi_ = kBaseDpi;
};

// The DPI Windows draws the window at now (its monitor's, for a per-monitor aware program); the
// system DPI where the system cannot tell it per window.
UINT windowDpi(HWND window);
// The DPI of the primary display, for drawing that has no window.
UINT systemDpi();

}  // namespace toolkit
