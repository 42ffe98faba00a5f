#pragma once
// A decoded skin image: premultiplied BGRA pixels and the GDI+ bitmap that draws them.

#include "toolkit/GdiPlus.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace toolkit {

class SkinImage {
public:
    SkinImage(int width, int height, std::vector<uint32_t> premultiplied);
    SkinImage(const SkinImage&) = delete;
    SkinImage& operator=(const SkinImage&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    Gdiplus::Bitmap& bitmap() const { return *bitmap_; }

private:
    int width_;
    int height_;
    std::vector<uint32_t> pixels_;  // the bitmap draws from this buffer
    std::unique_ptr<Gdiplus::Bitmap> bitmap_;
};

// Decodes PNG, JPEG, BMP or GIF bytes with stb_image. Pixels whose colour equals mask (its alpha
// ignored) become transparent. Nothing when the bytes are not an image.
std::unique_ptr<SkinImage> decodeSkinImage(const std::string& bytes, std::optional<uint32_t> mask);

}  // namespace toolkit
