#include "toolkit/Option.h"

#include <oleacc.h>

#include "toolkit/MarkupValues.h"
#include "toolkit/Painter.h"

namespace toolkit {

void* CSkinOption::getInterface(const std::wstring& name) {
    return name == L"Option" ? this : CSkinButton::getInterface(name);
}

void CSkinOption::selected(bool selected, bool notifyChange) {
    if (selected_ == selected) return;
    selected_ = selected;
    invalidate();
    notifyAccessible(EVENT_OBJECT_STATECHANGE);
    if (notifyChange) notify(L"selectchanged");
}

void CSkinOption::setAttribute(const std::wstring& name, const std::wstring& value) {
    if (name == L"selected") {
        selected(parseBool(value).value_or(false), false);
    } else if (name == L"selectedimage") {
        selectedImage_ = value;
    } else if (name == L"selectedhotimage") {
        selectedHotImage_ = value;
    } else {
        return CSkinButton::setAttribute(name, value);
    }
    invalidate();
}

void CSkinOption::activate() { selected(!selected_); }

long CSkinOption::accessibleRole() const { return ROLE_SYSTEM_CHECKBUTTON; }

long CSkinOption::accessibleState() const { return selected_ ? STATE_SYSTEM_CHECKED : 0; }

std::wstring CSkinOption::accessibleAction() const { return selected_ ? L"Uncheck" : L"Check"; }

void CSkinOption::paintStatusImage(Painter& painter) {
    const SystemColours* contrast = painter.highContrast();
    if (!contrast) return CSkinButton::paintStatusImage(painter);
    const uint32_t ink = isEnabled() ? contrast->buttonText : contrast->grayText;
    painter.frameRect(rect(), ink, 1);
    const RECT& r = rect();
    if (selected_) painter.fillRect(RECT{r.left + 3, r.top + 3, r.right - 3, r.bottom - 3}, ink);
}

const std::wstring& CSkinOption::currentImage() const {
    if (selected_ && isEnabled() && isHot() && !selectedHotImage_.empty()) return selectedHotImage_;
    if (selected_ && !selectedImage_.empty()) return selectedImage_;
    return CSkinButton::currentImage();
}

}  // namespace toolkit
