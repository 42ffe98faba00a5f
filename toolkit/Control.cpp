#include "toolkit/Control.h"

#include <oleacc.h>

#include <atomic>

#include "toolkit/MarkupValues.h"
#include "toolkit/Painter.h"
#include "toolkit/PaintManager.h"
#include "toolkit/TextTables.h"

namespace toolkit {

// Accessibility events name a control by a negative child id; ids stay far from the child
// positions that also travel as child ids.
int newAccessibleId() {
    static std::atomic<int> next{1000};
    return next++;
}

CSkinControl::CSkinControl() : accessibleId_(newAccessibleId()) {}

void* CSkinControl::getInterface(const std::wstring& name) {
    return name == L"Control" ? this : nullptr;
}

void CSkinControl::setText(const std::wstring& text) {
    textKey_.clear();
    if (text_ == text) return;
    text_ = text;
    relayout();
    if (accessibleName_.empty()) notifyAccessible(EVENT_OBJECT_NAMECHANGE);
}

std::wstring CSkinControl::accessibleName() const {
    if (!accessibleName_.empty()) return accessibleName_;
    std::wstring plain;
    for (const TextRun& run : splitTextRuns(text_)) plain += run.text;
    return plain.empty() ? tooltip_ : plain;
}

void CSkinControl::setAccessibleName(const std::wstring& name) {
    if (accessibleName_ == name) return;
    accessibleName_ = name;
    notifyAccessible(EVENT_OBJECT_NAMECHANGE);
}

void CSkinControl::setTooltip(const std::wstring& tooltip) {
    tooltipKey_.clear();
    tooltip_ = tooltip;
}

void CSkinControl::reapplyTextKeys() {
    if (!textKey_.empty()) {
        const std::wstring key = textKey_;
        setText(resolveText(key));
        textKey_ = key;
    }
    if (!tooltipKey_.empty()) tooltip_ = resolveText(tooltipKey_);
}

bool CSkinControl::isShown() const {
    for (const CSkinControl* control = this; control; control = control->parent_) {
        if (!control->visible_) return false;
    }
    return true;
}

void CSkinControl::setVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    if (!visible && manager_) manager_->forget(this);
    relayout();
    // What a screen reader can reach changed with it.
    if (manager_) manager_->accessibleEvent(EVENT_OBJECT_REORDER, nullptr);
}

void CSkinControl::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (!enabled && manager_) manager_->forget(this);
    invalidate();
    notifyAccessible(EVENT_OBJECT_STATECHANGE);
}

bool CSkinControl::isFocused() const { return manager_ && manager_->focused() == this; }

void CSkinControl::setFocus() {
    if (manager_) manager_->setFocus(this);
}

void CSkinControl::setFixedWidth(int width) {
    fixedWidth_ = width < 0 ? 0 : width;
    relayout();
}

void CSkinControl::setFixedHeight(int height) {
    fixedHeight_ = height < 0 ? 0 : height;
    relayout();
}

void CSkinControl::setMinWidth(int width) {
    minWidth_ = width < 0 ? 0 : width;
    relayout();
}

void CSkinControl::setPadding(const RECT& padding) {
    padding_ = padding;
    relayout();
}

SIZE CSkinControl::estimateSize(SIZE) {
    const int width = fixedWidth_ > 0 && fixedWidth_ < minWidth_ ? minWidth_ : fixedWidth_;
    return SIZE{width, fixedHeight_};
}

void CSkinControl::setBkColor(uint32_t argb) {
    bkColor_ = argb;
    invalidate();
}

void CSkinControl::setBkImage(const std::wstring& image) {
    bkImage_ = image;
    invalidate();
}

namespace {

RECT asRect(const MarkupRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace

void CSkinControl::setAttribute(const std::wstring& name, const std::wstring& value) {
    if (name == L"name") {
        name_ = value;
    } else if (name == L"text") {
        setText(value);
    } else if (name == L"tooltip") {
        setTooltip(value);
    } else if (name == L"userdata") {
        userData_ = value;
    } else if (name == L"width") {
        setFixedWidth(parseInteger(value).value_or(0));
    } else if (name == L"height") {
        setFixedHeight(parseInteger(value).value_or(0));
    } else if (name == L"minwidth") {
        setMinWidth(parseInteger(value).value_or(0));
    } else if (name == L"padding") {
        if (auto rect = parseRect(value)) setPadding(asRect(*rect));
    } else if (name == L"float") {
        float_ = parseBool(value).value_or(false);
    } else if (name == L"pos") {
        if (auto rect = parseRect(value)) floatPos_ = asRect(*rect);
    } else if (name == L"visible") {
        setVisible(parseBool(value).value_or(true));
    } else if (name == L"enabled") {
        setEnabled(parseBool(value).value_or(true));
    } else if (name == L"mouse") {
        mouseEnabled_ = parseBool(value).value_or(true);
    } else if (name == L"bkcolor") {
        setBkColor(parseColour(value).value_or(0));
    } else if (name == L"bkimage") {
        setBkImage(value);
    } else if (name == L"bordercolor") {
        borderColor_ = parseColour(value).value_or(0);
    } else if (name == L"bordersize") {
        borderSize_ = parseInteger(value).value_or(0);
    } else if (name == L"borderround") {
        borderRound_ = parseInteger(value).value_or(0);
    }
    invalidate();
}

void CSkinControl::paint(Painter& painter) {
    Painter::ClipScope clip(painter, rect_);
    paintBackground(painter);
    paintStatusImage(painter);
    paintText(painter);
    paintBorder(painter);
}

void CSkinControl::paintBackground(Painter& painter) {
    // In high contrast only pictures keep their image; faces and fills give way to the scheme.
    if (painter.highContrast()) {
        if (text_.empty()) painter.drawImage(rect_, bkImage_);
        return;
    }
    painter.fillRect(rect_, bkColor_, borderRound_);
    painter.drawImage(rect_, bkImage_);
}

void CSkinControl::paintBorder(Painter& painter) {
    painter.drawBorder(rect_, borderColor_, borderSize_, borderRound_);
}

CSkinControl* CSkinControl::findControlAt(POINT point) {
    return visible_ && ::PtInRect(&rect_, point) ? this : nullptr;
}

CSkinControl* CSkinControl::findByName(const std::wstring& name) {
    return name_ == name ? this : nullptr;
}

void CSkinControl::handleEvent(ControlEvent& event) {
    // Wheel turns that no control takes scroll the nearest container that can.
    if (event.type == EventType::ScrollWheel && parent_) parent_->handleEvent(event);
}

void CSkinControl::attach(CPaintManager* manager, CSkinControl* parent) {
    manager_ = manager;
    parent_ = parent;
}

void CSkinControl::invalidate() {
    if (manager_) manager_->invalidate();
}

void CSkinControl::relayout() {
    if (manager_) manager_->needLayout();
}

void CSkinControl::notify(const wchar_t* type, WPARAM wParam, LPARAM lParam) {
    if (manager_) manager_->sendNotify(this, type, wParam, lParam);
}

void CSkinControl::notifyAccessible(DWORD event) {
    if (manager_) manager_->accessibleEvent(event, this);
}

}  // namespace toolkit
