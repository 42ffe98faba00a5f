#include "toolkit/Button.h"

#include <oleacc.h>

#include <algorithm>

#include "toolkit/MarkupValues.h"
#include "toolkit/PaintManager.h"

namespace toolkit {

void* CSkinButton::getInterface(const std::wstring& name) {
    return name == L"Button" ? this : CSkinLabel::getInterface(name);
}

void CSkinButton::setAttribute(const std::wstring& name, const std::wstring& value) {
    if (name == L"normalimage") {
        setNormalImage(value);
    } else if (name == L"hotimage") {
        setHotImage(value);
    } else if (name == L"pushedimage") {
        setPushedImage(value);
    } else if (name == L"focusedimage") {
        setFocusedImage(value);
    } else if (name == L"disabledimage") {
        setDisabledImage(value);
    } else if (name == L"hotbkcolor") {
        setHotBkColor(parseColour(value).value_or(0));
    } else if (name == L"pushbkcolor") {
        setPushedBkColor(parseColour(value).value_or(0));
    } else if (name == L"hottextcolor") {
        setHotTextColor(parseColour(value).value_or(0));
    } else if (name == L"pushedtextcolor") {
        setPushedTextColor(parseColour(value).value_or(0));
    } else if (name == L"focusbordercolor") {
        focusBorderColor_ = parseColour(value).value_or(0);
    } else if (name == L"showcursor") {
        handCursor_ = parseBool(value).value_or(false);
    } else {
        return CSkinLabel::setAttribute(name, value);
    }
    invalidate();
}

void CSkinButton::setNormalImage(const std::wstring& image) { normalImage_ = image, invalidate(); }
void CSkinButton::setHotImage(const std::wstring& image) { hotImage_ = image, invalidate(); }
void CSkinButton::setPushedImage(const std::wstring& image) { pushedImage_ = image, invalidate(); }
void CSkinButton::setFocusedImage(const std::wstring& image) { focusedImage_ = image, invalidate(); }
void CSkinButton::setDisabledImage(const std::wstring& image) { disabledImage_ = image, invalidate(); }
void CSkinButton::setHotBkColor(uint32_t argb) { hotBkColor_ = argb, invalidate(); }
void CSkinButton::setPushedBkColor(uint32_t argb) { pushedBkColor_ = argb, invalidate(); }
void CSkinButton::setHotTextColor(uint32_t argb) { hotTextColor_ = argb, invalidate(); }
void CSkinButton::setPushedTextColor(uint32_t argb) { pushedTextColor_ = argb, invalidate(); }

bool CSkinButton::isHot() const { return manager() && manager()->hot() == this; }

// Pushed while the button is held and the mouse is still over it.
bool CSkinButton::isPushed() const { return manager() && manager()->pushed() == this && isHot(); }

void CSkinButton::handleEvent(ControlEvent& event) {
    if (!isEnabled()) return CSkinLabel::handleEvent(event);
    switch (event.type) {
    case EventType::ButtonUp:
        if (::PtInRect(&rect(), event.point)) activate();
        break;
    case EventType::KeyDown:
        if (event.wParam == VK_SPACE || event.wParam == VK_RETURN) activate();
        break;
    case EventType::MouseEnter:
    case EventType::MouseLeave:
    case EventType::ButtonDown:
    case EventType::SetFocus:
    case EventType::KillFocus:
        invalidate();
        break;
    default:
        CSkinLabel::handleEvent(event);
    }
}

const wchar_t* CSkinButton::cursor() const { return handCursor_ && isEnabled() ? IDC_HAND : nullptr; }

void CSkinButton::activate() { notify(L"click"); }

bool CSkinButton::looksLikeLink() const {
    return handCursor_ && normalImage_.empty() && bkImage().empty() && bkColor() == 0;
}

long CSkinButton::accessibleRole() const { return looksLikeLink() ? ROLE_SYSTEM_LINK : ROLE_SYSTEM_PUSHBUTTON; }

long CSkinButton::accessibleState() const {
    return (isPushed() ? STATE_SYSTEM_PRESSED : 0) | (looksLikeLink() ? STATE_SYSTEM_LINKED : 0);
}

// Windows' own names for these actions, which screen readers know.
std::wstring CSkinButton::accessibleAction() const { return looksLikeLink() ? L"Jump" : L"Press"; }

void CSkinButton::paintBackground(Painter& painter) {
    if (const SystemColours* contrast = painter.highContrast()) return paintHighContrastFace(painter, *contrast);
    uint32_t colour = bkColor();
    if (isEnabled() && isPushed() && pushedBkColor_) {
        colour = pushedBkColor_;
    } else if (isEnabled() && isHot() && hotBkColor_) {
        colour = hotBkColor_;
    }
    painter.fillRect(rect(), colour, borderRound_);
    painter.drawImage(rect(), bkImage());
}

const std::wstring& CSkinButton::currentImage() const {
    if (!isEnabled() && !disabledImage_.empty()) return disabledImage_;
    if (isEnabled() && isPushed() && !pushedImage_.empty()) return pushedImage_;
    if (isEnabled() && isHot() && !hotImage_.empty()) return hotImage_;
    if (isFocused() && !focusedImage_.empty()) return focusedImage_;
    return normalImage_;
}

void CSkinButton::paintStatusImage(Painter& painter) {
    if (const SystemColours* contrast = painter.highContrast()) {
        if (!text().empty() || looksLikeLink()) return;
        const bool lit = isEnabled() && (isHot() || isPushed());
        painter.drawImage(rect(), normalImage_, lit ? contrast->highlightText : contrast->buttonText);
        return;
    }
    painter.drawImage(rect(), currentImage());
}

void CSkinButton::paintHighContrastFace(Painter& painter, const SystemColours& colours) {
    if (looksLikeLink()) return;
    const bool lit = isEnabled() && (isHot() || isPushed());
    painter.fillRect(rect(), lit ? colours.highlight : colours.buttonFace, borderRound_);
    if (!text().empty()) painter.frameRect(rect(), isEnabled() ? colours.buttonText : colours.grayText, 1);
}

uint32_t CSkinButton::highContrastTextColor(const SystemColours& colours) const {
    if (!isEnabled()) return colours.grayText;
    if (looksLikeLink()) return colours.hotLight;
    return isHot() || isPushed() ? colours.highlightText : colours.buttonText;
}

void CSkinButton::paintBorder(Painter& painter) {
    CSkinLabel::paintBorder(painter);
    if (isFocused() && manager()->focusVisible()) {
        const SystemColours* contrast = painter.highContrast();
        if (contrast) return painter.frameRect(rect(), contrast->highlight, 2);
        const int radius = borderRound_ > 0 ? borderRound_ : 3;
        painter.drawBorder(rect(), focusBorderColor_, 2, radius);
        // A light line inside the ring keeps the focus visible on faces of the ring's own colour.
        const RECT& r = rect();
        painter.drawBorder(RECT{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2}, 0xFFFFFFFF, 1, std::max(radius - 2, 1));
    }
}

uint32_t CSkinButton::currentTextColor() const {
    if (!isEnabled()) return CSkinLabel::currentTextColor();
    if (isPushed() && pushedTextColor_) return pushedTextColor_;
    if (isHot() && hotTextColor_) return hotTextColor_;
    return style_.colour;
}

}  // namespace toolkit
