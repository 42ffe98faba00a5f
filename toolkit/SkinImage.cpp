#include "toolkit/SkinImage.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#include <stb/stb_image.h>

#include <climits>

namespace toolkit {

SkinImage::SkinImage(int width, int height, std::vector<uint32_t> premultiplied)
    : width_(width), height_(height), pixels_(std::move(premultiplied)) {
    bitmap_ = std::make_unique<Gdiplus::Bitmap>(width_, height_, width_ * 4, PixelFormat32bppPARGB,
                                                reinterpret_cast<BYTE*>(pixels_.data()));
}

namespace {

struct StbPixels {
    stbi_uc* data = nullptr;
    ~StbPixels() { stbi_image_free(data); }
};

uint32_t premultipliedPixel(const stbi_uc* rgba, std::optional<uint32_t> mask) {
    const uint32_t r = rgba[0], g = rgba[1], b = rgba[2];
    uint32_t a = rgba[3];
    if (mask && ((r << 16) | (g << 8) | b) == (*mask & 0xFFFFFF)) a = 0;
    return (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
}

}  // namespace

std::unique_ptr<SkinImage> decodeSkinImage(const std::string& bytes, std::optional<uint32_t> mask) {
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) return nullptr;
    int width = 0, height = 0, channels = 0;
    StbPixels decoded;
    decoded.data = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                         static_cast<int>(bytes.size()), &width, &height, &channels, 4);
    if (!decoded.data || width <= 0 || height <= 0) return nullptr;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = premultipliedPixel(decoded.data + i * 4, mask);
    return std::make_unique<SkinImage>(width, height, std::move(pixels));
}

}  // namespace toolkit
