#include "toolkit/RichEdit.h"

#include <oleacc.h>

#include <algorithm>

#include "toolkit/MarkupValues.h"
#include "toolkit/PaintManager.h"

namespace toolkit {

CSkinRichEdit::CSkinRichEdit() {
    style_.multiline = true;
    style_.valign = VerticalAlign::Top;
}

void* CSkinRichEdit::getInterface(const std::wstring& name) {
    return name == L"RichEdit" ? this : CSkinLabel::getInterface(name);
}

void CSkinRichEdit::setText(const std::wstring& text) {
    CSkinLabel::setText(text);
    contentHeight_ = -1;
    scroll_ = 0;
    if (autoScroll_) scrollTo(scrollRange());
}

void CSkinRichEdit::setAttribute(const std::wstring& name, const std::wstring& value) {
    if (name == L"vscrollbar") {
        scrollBar_ = parseBool(value).value_or(true);
    } else if (name == L"autovscroll") {
        autoScroll_ = parseBool(value).value_or(false);
    } else if (name == L"multiline" || name == L"readonly" || name == L"rich") {
        // Always multi-line and read-only; the text is plain.
    } else {
        return CSkinLabel::setAttribute(name, value);
    }
    invalidate();
}

void CSkinRichEdit::attach(CPaintManager* manager, CSkinControl* parent) {
    CSkinLabel::attach(manager, parent);
    const AttributeList* bar = manager ? manager->defaultAttributes(L"VScrollBar") : nullptr;
    if (!bar) return;
    for (const auto& [name, value] : *bar) {
        if (name == L"width") barWidth_ = std::max(parseInteger(value).value_or(barWidth_), 2);
        if (name == L"bkimage" || name == L"bknormalimage") barImage_ = value;
        if (name == L"thumbnormalimage") thumbImage_ = value;
        if (name == L"thumbhotimage") thumbHotImage_ = value;
        if (name == L"thumbpushedimage") thumbPushedImage_ = value;
    }
}

long CSkinRichEdit::accessibleRole() const { return ROLE_SYSTEM_TEXT; }

long CSkinRichEdit::accessibleState() const { return STATE_SYSTEM_READONLY; }

int CSkinRichEdit::contentHeight() {
    const RECT area = textRect();
    const int width = area.right - area.left - (scrollBar_ ? barWidth_ + 4 : 0);
    if (contentHeight_ < 0 || contentWidth_ != width) {
        contentWidth_ = width;
        contentHeight_ =
            text().empty() || !manager() ? 0 : manager()->measureText(text(), style_.fontId, true, width).cy;
    }
    return contentHeight_;
}

int CSkinRichEdit::scrollRange() {
    const RECT area = textRect();
    return std::max(0, contentHeight() - static_cast<int>(area.bottom - area.top));
}

void CSkinRichEdit::scrollTo(int position) {
    const int clamped = std::clamp(position, 0, scrollRange());
    if (clamped == scroll_) return;
    scroll_ = clamped;
    invalidate();
}

int CSkinRichEdit::lineStep() { return manager() ? manager()->measureText(L"Ag", style_.fontId).cy : 16; }

RECT CSkinRichEdit::barRect() const {
    const RECT& r = rect();
    return RECT{r.right - barWidth_ - 2, r.top + 2, r.right - 2, r.bottom - 2};
}

RECT CSkinRichEdit::thumbRect() {
    const RECT bar = barRect();
    const int track = bar.bottom - bar.top;
    const int content = std::max(contentHeight(), 1);
    const int view = textRect().bottom - textRect().top;
    const int thumb = std::clamp(track * view / content, 20, track);
    const int range = scrollRange();
    const int top = bar.top + (range > 0 ? (track - thumb) * scroll_ / range : 0);
    return RECT{bar.left, top, bar.right, top + thumb};
}

void CSkinRichEdit::handleEvent(ControlEvent& event) {
    switch (event.type) {
    case EventType::ScrollWheel:
        scrollTo(scroll_ - static_cast<int>(static_cast<short>(event.wParam)) / WHEEL_DELTA * lineStep() * 3);
        return;
    case EventType::ButtonDown: {
        const RECT thumb = thumbRect();
        const RECT bar = barRect();
        if (scrollRange() <= 0 || !::PtInRect(&bar, event.point)) return;
        if (::PtInRect(&thumb, event.point)) {
            dragOffset_ = event.point.y - thumb.top;
        } else {
            const int page = textRect().bottom - textRect().top;
            scrollTo(scroll_ + (event.point.y < thumb.top ? -page : page));
        }
        return;
    }
    case EventType::MouseMove: {
        const RECT thumb = thumbRect();
        const bool hot = ::PtInRect(&thumb, event.point) != FALSE;
        if (hot != thumbHot_) thumbHot_ = hot, invalidate();
        if (dragOffset_ < 0) return;
        const RECT bar = barRect();
        const int travel = (bar.bottom - bar.top) - (thumb.bottom - thumb.top);
        if (travel > 0) scrollTo((event.point.y - dragOffset_ - bar.top) * scrollRange() / travel);
        return;
    }
    case EventType::ButtonUp:
        dragOffset_ = -1;
        invalidate();
        return;
    case EventType::MouseLeave:
        thumbHot_ = false;
        invalidate();
        return;
    case EventType::KeyDown: {
        const int page = textRect().bottom - textRect().top;
        if (event.wParam == VK_UP) scrollTo(scroll_ - lineStep());
        if (event.wParam == VK_DOWN) scrollTo(scroll_ + lineStep());
        if (event.wParam == VK_PRIOR) scrollTo(scroll_ - page);
        if (event.wParam == VK_NEXT || event.wParam == VK_SPACE) scrollTo(scroll_ + page);
        if (event.wParam == VK_HOME) scrollTo(0);
        if (event.wParam == VK_END) scrollTo(scrollRange());
        return;
    }
    case EventType::SetFocus:
    case EventType::KillFocus:
        invalidate();
        return;
    default:
        CSkinLabel::handleEvent(event);
    }
}

void CSkinRichEdit::paintText(Painter& painter) {
    RECT area = textRect();
    Painter::ClipScope clip(painter, area);
    area.right -= scrollBar_ ? barWidth_ + 4 : 0;
    TextStyle style = style_;
    style.colour = textColourFor(painter);
    style.multiline = true;
    style.valign = VerticalAlign::Top;
    const RECT shifted{area.left, area.top - scroll_, area.right, area.top - scroll_ + contentHeight()};
    painter.drawText(shifted, text(), style);
}

void CSkinRichEdit::paintBorder(Painter& painter) {
    CSkinLabel::paintBorder(painter);
    if (scrollBar_ && scrollRange() > 0) {
        const RECT bar = barRect();
        painter.drawImage(bar, barImage_);
        const RECT thumb = thumbRect();
        const std::wstring& image = dragOffset_ >= 0 && !thumbPushedImage_.empty() ? thumbPushedImage_
                                    : thumbHot_ && !thumbHotImage_.empty()         ? thumbHotImage_
                                                                                   : thumbImage_;
        const SystemColours* contrast = painter.highContrast();
        if (contrast) {
            painter.fillRect(thumb, contrast->windowText, barWidth_ / 2);
        } else if (!painter.drawImage(thumb, image)) {
            painter.fillRect(thumb, 0x66000000, barWidth_ / 2);
        }
    }
    if (isFocused() && manager()->focusVisible()) {
        const SystemColours* contrast = painter.highContrast();
        if (contrast) return painter.frameRect(rect(), contrast->highlight, 2);
        painter.drawBorder(rect(), 0xFF2196F3, 1, borderRound_);
    }
}

}  // namespace toolkit
