#pragma once
// The licence agreement shown on the licence page: resource "TXT" 130 (simplified Chinese) for the
// "cn" market, 131 (traditional Chinese) for "tw", 132 (English) for every other, in the running
// program. UTF-16 without terminator; empty when the resource is missing.

#include <string>

namespace ui {

std::wstring licenceText(const std::wstring& marketLanguage);

}  // namespace ui
