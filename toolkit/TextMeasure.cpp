#include "toolkit/TextMeasure.h"

#include <algorithm>

#include "toolkit/Canvas.h"

namespace toolkit {

bool isRightToLeft(const std::wstring& text) {
    for (wchar_t c : text) {
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFEFC)) return true;
        if (::IsCharAlphaW(c)) return false;
    }
    return false;
}

// Measured the way DrawTextW draws, so shaped scripts (Arabic joins its letters) measure as shown.
SIZE measureText(HDC dc, HFONT font, const std::wstring& text, bool multiline, int maxWidth) {
    SelectedObject selected(dc, font);
    RECT bounds{0, 0, multiline ? std::max(maxWidth, 1) : 0, 0};
    const UINT lines = multiline ? DT_WORDBREAK : DT_SINGLELINE;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
                DT_CALCRECT | DT_NOPREFIX | lines | (isRightToLeft(text) ? DT_RTLREADING : 0));
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

}  // namespace toolkit
