#include "toolkit/Label.h"

#include <oleacc.h>

#include <algorithm>

#include "toolkit/MarkupValues.h"
#include "toolkit/PaintManager.h"

namespace toolkit {

void* CSkinLabel::getInterface(const std::wstring& name) {
    return name == L"Label" ? this : CSkinControl::getInterface(name);
}

namespace {

HorizontalAlign horizontalAlign(const std::wstring& value) {
    if (value == L"center") return HorizontalAlign::Center;
    if (value == L"right") return HorizontalAlign::Right;
    return HorizontalAlign::Left;
}

VerticalAlign verticalAlign(const std::wstring& value) {
    if (value == L"top") return VerticalAlign::Top;
    if (value == L"bottom") return VerticalAlign::Bottom;
    return VerticalAlign::Center;
}

}  // namespace

void CSkinLabel::setAttribute(const std::wstring& name, const std::wstring& value) {
    if (name == L"font") {
        setFont(parseInteger(value).value_or(-1));
    } else if (name == L"textcolor") {
        setTextColor(parseColour(value).value_or(0xFF000000));
    } else if (name == L"disabledtextcolor") {
        setDisabledTextColor(parseColour(value).value_or(0xFFA0A0A0));
    } else if (name == L"textpadding") {
        if (auto rect = parseRect(value)) setTextPadding(RECT{rect->left, rect->top, rect->right, rect->bottom});
    } else if (name == L"align") {
        style_.align = horizontalAlign(value);
    } else if (name == L"valign") {
        style_.valign = verticalAlign(value);
    } else if (name == L"multiline") {
        style_.multiline = parseBool(value).value_or(false);
    } else if (name == L"showhtml") {
        setShowHtml(parseBool(value).value_or(false));
    } else if (name == L"endellipsis") {
        style_.ellipsis = parseBool(value).value_or(false);
    } else if (name == L"minwidthex") {
        autoWidthMin_ = parseInteger(value).value_or(0);
        relayout();
    } else {
        return CSkinControl::setAttribute(name, value);
    }
    invalidate();
}

SIZE CSkinLabel::estimateSize(SIZE available) {
    SIZE size = CSkinControl::estimateSize(available);
    if (autoWidthMin_ <= 0 || fixedWidth() > 0 || !manager()) return size;
    // Sizing to the text needs the window's fonts, so it waits until the label is attached.
    std::wstring shown = style_.markup ? L"" : text();
    if (style_.markup) {
        for (const TextRun& run : splitTextRuns(text())) shown += run.text;
    }
    const int textWidth =
        manager()->measureTextForLayout(shown, style_.fontId).cx + textPadding_.left + textPadding_.right;
    size.cx = std::max({textWidth, autoWidthMin_, minWidth()});
    return size;
}

// A label says something only when it has a text.
long CSkinLabel::accessibleRole() const { return accessibleName().empty() ? 0 : ROLE_SYSTEM_STATICTEXT; }

void CSkinLabel::setFont(int id) {
    style_.fontId = id;
    relayout();
}

void CSkinLabel::setTextColor(uint32_t argb) {
    style_.colour = argb;
    invalidate();
}

void CSkinLabel::setDisabledTextColor(uint32_t argb) {
    disabledTextColor_ = argb;
    invalidate();
}

void CSkinLabel::setTextPadding(const RECT& padding) {
    textPadding_ = padding;
    relayout();
}

void CSkinLabel::setShowHtml(bool markup) {
    style_.markup = markup;
    relayout();
}

uint32_t CSkinLabel::currentTextColor() const { return isEnabled() ? style_.colour : disabledTextColor_; }

uint32_t CSkinLabel::highContrastTextColor(const SystemColours& colours) const {
    return isEnabled() ? colours.windowText : colours.grayText;
}

uint32_t CSkinLabel::textColourFor(const Painter& painter) const {
    const SystemColours* contrast = painter.highContrast();
    return contrast ? highContrastTextColor(*contrast) : currentTextColor();
}

RECT CSkinLabel::textRect() const {
    const RECT& r = rect();
    return RECT{r.left + textPadding_.left, r.top + textPadding_.top, r.right - textPadding_.right,
                r.bottom - textPadding_.bottom};
}

void CSkinLabel::paintText(Painter& painter) {
    TextStyle style = style_;
    style.colour = textColourFor(painter);
    painter.drawText(textRect(), text(), style);
}

}  // namespace toolkit
