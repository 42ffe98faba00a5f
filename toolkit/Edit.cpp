#include "toolkit/Edit.h"

#include <imm.h>
#include <oleacc.h>

#include <algorithm>

#include "toolkit/MarkupValues.h"
#include "toolkit/PaintManager.h"

namespace toolkit {

namespace {

constexpr UINT kBlinkTimer = 1;
constexpr uint32_t kSelectionColour = 0x803399FF;

bool isWordCharacter(wchar_t c) { return ::IsCharAlphaNumericW(c) || c == L'_'; }

}  // namespace

void* CSkinEdit::getInterface(const std::wstring& name) {
    return name == L"Edit" ? this : CSkinLabel::getInterface(name);
}

void CSkinEdit::setText(const std::wstring& text) {
    CSkinLabel::setText(text.substr(0, maxChars_));
    caret_ = anchor_ = CSkinControl::text().size();
    scroll_ = 0;
    invalidate();
}

void CSkinEdit::setAttribute(const std::wstring& name, const std::wstring& value) {
    if (name == L"normalimage") {
        setNormalImage(value);
    } else if (name == L"hotimage") {
        setHotImage(value);
    } else if (name == L"focusedimage") {
        setFocusedImage(value);
    } else if (name == L"caretcolor") {
        caretColor_ = parseColour(value).value_or(caretColor_);
    } else if (name == L"nativebkcolor") {
        nativeBkColor_ = parseColour(value).value_or(0);
    } else if (name == L"hotbordercolor") {
        hotBorderColor_ = parseColour(value).value_or(0);
    } else if (name == L"focusbordercolor") {
        focusBorderColor_ = parseColour(value).value_or(0);
    } else if (name == L"maxchar") {
        maxChars_ = static_cast<size_t>(std::max(parseInteger(value).value_or(255), 1));
    } else {
        return CSkinLabel::setAttribute(name, value);
    }
    invalidate();
}

long CSkinEdit::accessibleRole() const { return ROLE_SYSTEM_TEXT; }

void CSkinEdit::setNormalImage(const std::wstring& image) { normalImage_ = image, invalidate(); }
void CSkinEdit::setHotImage(const std::wstring& image) { hotImage_ = image, invalidate(); }
void CSkinEdit::setFocusedImage(const std::wstring& image) { focusedImage_ = image, invalidate(); }

std::pair<size_t, size_t> CSkinEdit::selection() const {
    return {std::min(anchor_, caret_), std::max(anchor_, caret_)};
}

void CSkinEdit::setSelection(size_t anchor, size_t caret) {
    anchor_ = std::min(anchor, text().size());
    caret_ = std::min(caret, text().size());
    restartBlink();
}

void CSkinEdit::handleEvent(ControlEvent& event) {
    switch (event.type) {
    case EventType::ButtonDown:
        if (!isEnabled()) break;
        caret_ = positionAt(event.point.x);
        if (!event.shift) anchor_ = caret_;
        selecting_ = true;
        restartBlink();
        return;
    case EventType::MouseMove:
        if (selecting_) caret_ = positionAt(event.point.x), invalidate();
        return;
    case EventType::ButtonUp:
        selecting_ = false;
        return;
    case EventType::DoubleClick:
        setSelection(0, text().size());
        return;
    case EventType::KeyDown:
        if (isEnabled() && onKey(event)) return;
        break;
    case EventType::Char:
        if (isEnabled() && !event.control) onChar(static_cast<wchar_t>(event.wParam));
        return;
    case EventType::SetFocus:
        if (manager()->focusVisible()) setSelection(0, text().size());
        placeInputMethod();
        restartBlink();
        return;
    case EventType::KillFocus:
        manager()->killTimer(this, kBlinkTimer);
        anchor_ = caret_;
        selecting_ = false;
        invalidate();
        notify(L"killfocus");
        return;
    case EventType::Timer:
        caretShown_ = !caretShown_;
        invalidate();
        return;
    case EventType::ImeComposition:
        placeInputMethod();
        return;
    case EventType::MouseEnter:
    case EventType::MouseLeave:
        invalidate();
        return;
    default:
        break;
    }
    CSkinLabel::handleEvent(event);
}

bool CSkinEdit::onKey(const ControlEvent& event) {
    const std::wstring& current = text();
    size_t target = caret_;
    switch (event.wParam) {
    case VK_LEFT:
        if (!event.shift && anchor_ != caret_) target = selection().first;
        else if (target > 0) --target;
        while (event.control && target > 0 && !isWordCharacter(current[target - 1])) --target;
        while (event.control && target > 0 && isWordCharacter(current[target - 1])) --target;
        break;
    case VK_RIGHT:
        if (!event.shift && anchor_ != caret_) target = selection().second;
        else if (target < current.size()) ++target;
        while (event.control && target < current.size() && isWordCharacter(current[target])) ++target;
        break;
    case VK_HOME:
        target = 0;
        break;
    case VK_END:
        target = current.size();
        break;
    case VK_BACK:
        if (anchor_ == caret_ && caret_ > 0) anchor_ = caret_ - 1;
        replaceSelection(L"");
        return true;
    case VK_DELETE:
        if (anchor_ == caret_ && caret_ < current.size()) anchor_ = caret_ + 1;
        replaceSelection(L"");
        return true;
    case VK_RETURN:
        notify(L"return");
        return true;
    case 'A':
        if (!event.control) return false;
        setSelection(0, current.size());
        return true;
    case 'C':
    case VK_INSERT:
        if (!event.control) return false;
        copySelection();
        return true;
    case 'X':
        if (!event.control) return false;
        copySelection();
        replaceSelection(L"");
        return true;
    case 'V':
        if (!event.control) return false;
        paste();
        return true;
    default:
        return false;
    }
    caret_ = target;
    if (!event.shift) anchor_ = caret_;
    restartBlink();
    return true;
}

void CSkinEdit::onChar(wchar_t c) {
    if (c < L' ' || c == 0x7F) return;
    replaceSelection(std::wstring(1, c));
}

void CSkinEdit::replaceSelection(const std::wstring& inserted) {
    const auto [first, second] = selection();
    std::wstring updated = text().substr(0, first);
    const size_t room = maxChars_ > text().size() - (second - first) ? maxChars_ - (text().size() - (second - first)) : 0;
    const std::wstring kept = inserted.substr(0, room);
    if (kept.empty() && first == second) return;
    updated += kept + text().substr(second);
    CSkinLabel::setText(updated);
    caret_ = anchor_ = first + kept.size();
    restartBlink();
    notifyAccessible(EVENT_OBJECT_VALUECHANGE);
    notify(L"textchanged");
}

void CSkinEdit::copySelection() const {
    const auto [first, second] = selection();
    if (first == second || !::OpenClipboard(manager()->window())) return;
    ::EmptyClipboard();
    const size_t bytes = (second - first + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        auto* target = static_cast<wchar_t*>(::GlobalLock(memory));
        std::copy(text().begin() + first, text().begin() + second, target);
        target[second - first] = 0;
        ::GlobalUnlock(memory);
        if (!::SetClipboardData(CF_UNICODETEXT, memory)) ::GlobalFree(memory);
    }
    ::CloseClipboard();
}

void CSkinEdit::paste() {
    if (!::OpenClipboard(manager()->window())) return;
    std::wstring pasted;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
            pasted = chars;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    // One line: line breaks and tabs become blanks.
    std::replace_if(pasted.begin(), pasted.end(), [](wchar_t c) { return c < L' '; }, L' ');
    if (!pasted.empty()) replaceSelection(pasted);
}

int CSkinEdit::textX(size_t position) {
    return manager()->measureText(text().substr(0, position), style_.fontId).cx;
}

size_t CSkinEdit::positionAt(int x) {
    const int offset = x - textRect().left + scroll_;
    size_t best = 0;
    int bestDistance = offset < 0 ? -offset : offset;
    for (size_t i = 1; i <= text().size(); ++i) {
        const int distance = std::abs(textX(i) - offset);
        if (distance < bestDistance) best = i, bestDistance = distance;
    }
    return best;
}

void CSkinEdit::placeInputMethod() {
    HWND window = manager() ? manager()->window() : nullptr;
    if (!window) return;
    HIMC context = ::ImmGetContext(window);
    if (!context) return;
    const RECT area = textRect();
    COMPOSITIONFORM composition{};
    composition.dwStyle = CFS_POINT;
    const DisplayScale& scale = manager()->scale();
    composition.ptCurrentPos = scale.toDevice(POINT{area.left + textX(caret_) - scroll_, area.top});
    ::ImmSetCompositionWindow(context, &composition);
    CANDIDATEFORM candidate{};
    candidate.dwStyle = CFS_CANDIDATEPOS;
    candidate.ptCurrentPos = POINT{composition.ptCurrentPos.x, scale.toDevice(area.bottom)};
    ::ImmSetCandidateWindow(context, &candidate);
    ::ImmReleaseContext(window, context);
}

void CSkinEdit::restartBlink() {
    caretShown_ = true;
    if (isFocused()) manager()->setTimer(this, kBlinkTimer, ::GetCaretBlinkTime());
    invalidate();
}

void CSkinEdit::paintBackground(Painter& painter) {
    const SystemColours* contrast = painter.highContrast();
    painter.fillRect(rect(), contrast ? contrast->window : nativeBkColor_, borderRound_);
    CSkinLabel::paintBackground(painter);
}

void CSkinEdit::paintStatusImage(Painter& painter) {
    if (painter.highContrast()) return;  // the border stands for the frame
    const bool hot = manager()->hot() == this;
    if (isFocused() && painter.drawImage(rect(), focusedImage_)) return;
    if (hot && painter.drawImage(rect(), hotImage_)) return;
    painter.drawImage(rect(), normalImage_);
}

void CSkinEdit::paintText(Painter& painter) {
    const RECT area = textRect();
    const int width = area.right - area.left;
    // Keep the caret in view.
    const int caretX = textX(caret_);
    if (caretX - scroll_ > width - 2) scroll_ = caretX - width + 2;
    if (caretX < scroll_) scroll_ = caretX;
    Painter::ClipScope clip(painter, area);
    const auto [first, second] = selection();
    const SystemColours* contrast = painter.highContrast();
    if (first != second) {
        painter.fillRect(RECT{area.left + textX(first) - scroll_, area.top, area.left + textX(second) - scroll_,
                              area.bottom},
                         contrast ? (contrast->highlight & 0x80FFFFFF) : kSelectionColour);
    }
    TextStyle style = style_;
    style.colour = textColourFor(painter);
    style.align = HorizontalAlign::Left;
    style.multiline = style.markup = style.ellipsis = false;
    const int fullWidth = textX(text().size());
    painter.drawText(RECT{area.left - scroll_, area.top, area.left - scroll_ + fullWidth + 4, area.bottom}, text(),
                     style);
    if (isFocused() && caretShown_) {
        const int height = painter.lineHeight(style_.fontId);
        const int top = area.top + (area.bottom - area.top - height) / 2;
        const int x = area.left + caretX - scroll_;
        painter.fillRect(RECT{x, top, x + 1, top + height}, contrast ? contrast->windowText : caretColor_);
    }
}

void CSkinEdit::paintBorder(Painter& painter) {
    if (const SystemColours* contrast = painter.highContrast()) {
        painter.frameRect(rect(), isFocused() ? contrast->highlight : contrast->windowText, isFocused() ? 2 : 1);
        return;
    }
    uint32_t colour = borderColor_;
    if (isFocused() && focusBorderColor_) {
        colour = focusBorderColor_;
    } else if (manager()->hot() == this && hotBorderColor_) {
        colour = hotBorderColor_;
    }
    painter.drawBorder(rect(), colour, borderSize_, borderRound_);
}

}  // namespace toolkit
