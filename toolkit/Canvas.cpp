#include "toolkit/Canvas.h"

#include <algorithm>
#include <cstring>

namespace toolkit {

Canvas::Canvas(int width, int height) : width_(std::max(width, 1)), height_(std::max(height, 1)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    dc_.reset(::CreateCompatibleDC(nullptr));
    if (!bitmap_ || !dc_ || !bits) return;
    previous_ = ::SelectObject(dc_.get(), bitmap_.get());
    pixels_ = static_cast<uint32_t*>(bits);
    clear();
}

Canvas::~Canvas() {
    if (previous_) ::SelectObject(dc_.get(), previous_);
}

uint32_t Canvas::pixel(int x, int y) const {
    if (!pixels_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    ::GdiFlush();
    return pixels_[static_cast<size_t>(y) * width_ + x];
}

void Canvas::clear() {
    if (!pixels_) return;
    ::GdiFlush();
    std::memset(pixels_, 0, static_cast<size_t>(width_) * height_ * sizeof(uint32_t));
}

}  // namespace toolkit
