#pragma once
// A 32-bit top-down DIB section holding premultiplied BGRA pixels, with a memory DC that has it
// selected: the frame a layered window shows, and the surface painted off-screen for pictures.

#include <windows.h>

#include <cstdint>

#include "utility/ScopedHandle.h"

namespace toolkit {

class Canvas {
public:
    // A transparent canvas; width and height of at least 1.
    Canvas(int width, int height);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas();

    bool valid() const { return pixels_ != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    HDC dc() const { return dc_.get(); }
    uint32_t* pixels() { return pixels_; }
    const uint32_t* pixels() const { return pixels_; }

    // Premultiplied 0xAARRGGBB; 0 outside the canvas.
    uint32_t pixel(int x, int y) const;
    void clear();

private:
    int width_;
    int height_;
    utility::UniqueMemoryDc dc_;
    utility::UniqueGdiObject<HBITMAP> bitmap_;
    HGDIOBJ previous_ = nullptr;
    uint32_t* pixels_ = nullptr;
};

// Selects a GDI object into a DC for one scope.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~SelectedObject() { ::SelectObject(dc_, previous_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace toolkit
