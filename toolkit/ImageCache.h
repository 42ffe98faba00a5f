#pragma once
// Process-wide cache of decoded skin images, keyed by file and mask colour. Window thread only.
// A file that cannot be read or decoded is remembered as missing and draws nothing.

#include <cstdint>
#include <optional>
#include <string>

#include "toolkit/SkinImage.h"

namespace toolkit {

// The image, read through readSkinFile on first use; null when missing.
const SkinImage* cachedImage(const std::wstring& file, std::optional<uint32_t> mask);

// Forgets every image, so the next use reads the files again (a changed skin folder, GDI+ shutdown).
void clearImageCache();

}  // namespace toolkit
