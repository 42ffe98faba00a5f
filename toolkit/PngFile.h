#pragma once
// Writes a canvas to a PNG file with GDI+'s encoder, alpha kept.

#include <string>

#include "toolkit/Canvas.h"

namespace toolkit {

bool savePng(const Canvas& canvas, const std::wstring& path);

}  // namespace toolkit
