#include "toolkit/Progress.h"

#include <oleacc.h>

#include <algorithm>

#include "toolkit/MarkupValues.h"
#include "toolkit/Painter.h"

namespace toolkit {

void* CSkinProgress::getInterface(const std::wstring& name) {
    return name == L"Progress" ? this : CSkinLabel::getInterface(name);
}

void CSkinProgress::setValue(int value) {
    value = std::clamp(value, min_, std::max(min_, max_));
    if (value_ == value) return;
    value_ = value;
    invalidate();
    notifyAccessible(EVENT_OBJECT_VALUECHANGE);
}

long CSkinProgress::accessibleRole() const { return ROLE_SYSTEM_PROGRESSBAR; }

std::wstring CSkinProgress::accessibleValue() const {
    const int span = std::max(max_ - min_, 1);
    return std::to_wstring((value_ - min_) * 100 / span) + L"%";
}

void CSkinProgress::setAttribute(const std::wstring& name, const std::wstring& value) {
    if (name == L"min") {
        min_ = parseInteger(value).value_or(0);
    } else if (name == L"max") {
        max_ = parseInteger(value).value_or(100);
    } else if (name == L"value") {
        setValue(parseInteger(value).value_or(0));
    } else if (name == L"foreimage") {
        foreImage_ = value;
    } else if (name == L"forecolor") {
        foreColor_ = parseColour(value).value_or(0);
    } else if (name == L"hor") {
        // Only horizontal bars are drawn.
    } else {
        return CSkinLabel::setAttribute(name, value);
    }
    invalidate();
}

void CSkinProgress::paintBackground(Painter& painter) {
    const SystemColours* contrast = painter.highContrast();
    if (!contrast) return CSkinLabel::paintBackground(painter);
    painter.fillRect(rect(), contrast->window);
    painter.frameRect(rect(), contrast->windowText, 1);
}

void CSkinProgress::paintStatusImage(Painter& painter) {
    if (max_ <= min_ || value_ <= min_) return;
    const RECT& r = rect();
    const long long span = static_cast<long long>(r.right - r.left) * (value_ - min_) / (max_ - min_);
    const RECT filled{r.left, r.top, r.left + static_cast<int>(span), r.bottom};
    if (const SystemColours* contrast = painter.highContrast()) return painter.fillRect(filled, contrast->highlight);
    // The fore image is laid over the filled part as a whole, so its rounded ends stay round.
    painter.fillRect(filled, foreColor_, borderRound_);
    painter.drawImage(filled, foreImage_);
}

}  // namespace toolkit
