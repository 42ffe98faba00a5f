#pragma once
// The size of a text in a GDI font, on one line or wrapped at a width.

#include <windows.h>

#include <string>

namespace toolkit {

SIZE measureText(HDC dc, HFONT font, const std::wstring& text, bool multiline = false, int maxWidth = 0);

// Whether the text reads right to left (its first strong character is Arabic, Persian or Hebrew).
bool isRightToLeft(const std::wstring& text);

}  // namespace toolkit
