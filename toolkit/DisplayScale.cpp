#include "toolkit/DisplayScale.h"

#include <algorithm>
#include <cmath>

namespace toolkit {

int DisplayScale::toDeviceThickness(int layout) const {
    return layout > 0 ? std::max(toDevice(layout), 1) : layout;
}

RECT DisplayScale::toDevice(const RECT& layout) const {
    if (isIdentity()) return layout;
    return RECT{toDevice(layout.left), toDevice(layout.top), toDevice(layout.right), toDevice(layout.bottom)};
}

// Layout pixel L spans the device pixels from toDevice(L) up to toDevice(L + 1), both rounded to the
// nearest: device pixel d lies in the last L with floor(L * factor + 0.5) <= d, so L < (d + 0.5) / factor.
int DisplayScale::toLayout(int device) const {
    if (isIdentity()) return device;
    return static_cast<int>(std::ceil((device + 0.5) * kBaseDpi / dpi_)) - 1;
}

int DisplayScale::toLayoutExtent(int device) const {
    if (isIdentity()) return device;
    return static_cast<int>(std::ceil(static_cast<double>(device) * kBaseDpi / dpi_ - 1e-9));
}

SIZE DisplayScale::toLayoutSize(SIZE device) const {
    return SIZE{::MulDiv(device.cx, kBaseDpi, static_cast<int>(dpi_)),
                ::MulDiv(device.cy, kBaseDpi, static_cast<int>(dpi_))};
}

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetDpiForSystemFunction = UINT(WINAPI*)();

// Windows 10 1607 and later; older systems have one DPI for every window.
template <typename Function>
Function user32Function(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

UINT screenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

}  // namespace

UINT windowDpi(HWND window) {
    static const auto getDpiForWindow = user32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    const UINT dpi = window && getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi > 0 ? dpi : systemDpi();
}

UINT systemDpi() {
    static const auto getDpiForSystem = user32Function<GetDpiForSystemFunction>("GetDpiForSystem");
    const UINT dpi = getDpiForSystem ? getDpiForSystem() : 0;
    return dpi > 0 ? dpi : screenDpi();
}

}  // namespace toolkit
