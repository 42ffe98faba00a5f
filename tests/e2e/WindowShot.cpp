#include "tests/e2e/WindowShot.h"

#include <set>

#include "toolkit/Canvas.h"
#include "toolkit/PngFile.h"

namespace e2e {

const std::wstring& shotFolder() {
    static const std::wstring folder = [] {
        std::wstring path = PELORA_E2E_SCREENS;
        for (wchar_t& c : path) {
            if (c == L'/') c = L'\\';
        }
        ::CreateDirectoryW(path.c_str(), nullptr);
        return path + L"\\";
    }();
    return folder;
}

WindowShot shootWindow(HWND window, const std::wstring& name) {
    WindowShot shot;
    RECT r{};
    if (!::GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top) return shot;
    shot.width = r.right - r.left;
    shot.height = r.bottom - r.top;
    toolkit::Canvas canvas(shot.width, shot.height);
    const HDC screen = ::GetDC(nullptr);
    const BOOL copied = ::BitBlt(canvas.dc(), 0, 0, shot.width, shot.height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    ::ReleaseDC(nullptr, screen);
    if (!copied) return shot;
    ::GdiFlush();
    // The screen has no alpha: every pixel is opaque.
    const uint32_t background = canvas.pixels()[0] & 0xFFFFFF;
    size_t coloured = 0;
    std::set<uint32_t> colours;
    const size_t count = static_cast<size_t>(shot.width) * shot.height;
    for (size_t i = 0; i < count; ++i) {
        uint32_t& pixel = canvas.pixels()[i];
        pixel |= 0xFF000000u;
        const uint32_t rgb = pixel & 0xFFFFFF;
        if (rgb != 0 && rgb != background) ++coloured;
        if (colours.size() < 64) colours.insert(rgb);
    }
    shot.coloured = static_cast<double>(coloured) / static_cast<double>(count);
    shot.distinctColours = static_cast<int>(colours.size());
    const std::wstring path = shotFolder() + name + L".png";
    if (toolkit::savePng(canvas, path)) shot.path = path;
    return shot;
}

std::vector<uint32_t> screenPixels(const RECT& screen) {
    const int width = screen.right - screen.left, height = screen.bottom - screen.top;
    std::vector<uint32_t> pixels;
    if (width <= 0 || height <= 0) return pixels;
    toolkit::Canvas canvas(width, height);
    const HDC dc = ::GetDC(nullptr);
    ::BitBlt(canvas.dc(), 0, 0, width, height, dc, screen.left, screen.top, SRCCOPY | CAPTUREBLT);
    ::ReleaseDC(nullptr, dc);
    ::GdiFlush();
    pixels.assign(canvas.pixels(), canvas.pixels() + static_cast<size_t>(width) * height);
    for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

uint32_t screenColour(POINT screen) {
    const HDC dc = ::GetDC(nullptr);
    const COLORREF colour = ::GetPixel(dc, screen.x, screen.y);
    ::ReleaseDC(nullptr, dc);
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

}  // namespace e2e
