#include "toolkit/Combo.h"

#include <oleacc.h>

#include "toolkit/ComboDrop.h"
#include "toolkit/MarkupValues.h"
#include "toolkit/PaintManager.h"

namespace toolkit {

namespace {

// A click that lands on the combo right after it closed the list (the click outside that closed
// it) must not open it again.
constexpr DWORD kReopenGuardMs = 250;

}  // namespace

CSkinCombo::CSkinCombo() { textPadding_ = RECT{10, 0, 30, 0}; }

CSkinCombo::~CSkinCombo() {
    if (!drop_) return;
    drop_->detach();
    drop_->dismiss();
}

void* CSkinCombo::getInterface(const std::wstring& name) {
    return name == L"Combo" ? this : CSkinButton::getInterface(name);
}

CSkinListItem* CSkinCombo::addItem(std::unique_ptr<CSkinListItem> item) {
    if (!item) return nullptr;
    item->setOwner(this, static_cast<int>(items_.size()));
    item->attach(manager(), this);
    items_.push_back(std::move(item));
    return items_.back().get();
}

CSkinListItem* CSkinCombo::itemAt(int index) const {
    return index >= 0 && index < itemCount() ? items_[index].get() : nullptr;
}

bool CSkinCombo::selectItem(int index, bool takeFocus) {
    if (!itemAt(index)) return false;
    selected_ = index;
    setText(items_[index]->text());
    if (takeFocus) setFocus();
    invalidate();
    notifyAccessible(EVENT_OBJECT_VALUECHANGE);
    items_[index]->notifyAccessible(EVENT_OBJECT_SELECTION);
    notify(L"itemselect", static_cast<WPARAM>(index));
    return true;
}

void CSkinCombo::setAttribute(const std::wstring& name, const std::wstring& value) {
    if (name == L"dropboxsize") {
        if (auto size = parseSize(value)) dropBoxSize_ = SIZE{size->width, size->height};
    } else if (name == L"dropboxbkcolor") {
        dropBoxBkColor_ = parseColour(value).value_or(dropBoxBkColor_);
    } else if (name == L"dropboxbordercolor") {
        dropBoxBorderColor_ = parseColour(value).value_or(dropBoxBorderColor_);
    } else if (name == L"itemheight") {
        itemStyle_.height = std::max(parseInteger(value).value_or(itemStyle_.height), 8);
    } else if (name == L"itemtextpadding") {
        if (auto rect = parseRect(value)) itemStyle_.textPadding = RECT{rect->left, rect->top, rect->right, rect->bottom};
    } else if (name == L"itemfont") {
        itemStyle_.fontId = parseInteger(value).value_or(-1);
    } else if (name == L"itemtextcolor") {
        itemStyle_.textColor = parseColour(value).value_or(itemStyle_.textColor);
    } else if (name == L"itemselectedtextcolor") {
        itemStyle_.selectedTextColor = parseColour(value).value_or(itemStyle_.selectedTextColor);
    } else if (name == L"itemselectedbkcolor") {
        itemStyle_.selectedBkColor = parseColour(value).value_or(itemStyle_.selectedBkColor);
    } else if (name == L"itemhottextcolor") {
        itemStyle_.hotTextColor = parseColour(value).value_or(itemStyle_.hotTextColor);
    } else if (name == L"itembkcolor") {
        itemStyle_.bkColor = parseColour(value).value_or(itemStyle_.bkColor);
    } else if (name == L"itemhotbkcolor") {
        itemStyle_.hotBkColor = parseColour(value).value_or(itemStyle_.hotBkColor);
    } else {
        return CSkinButton::setAttribute(name, value);
    }
}

void CSkinCombo::handleEvent(ControlEvent& event) {
    if (event.type == EventType::KeyDown && isEnabled()) {
        const bool altDown = (::GetKeyState(VK_MENU) & 0x8000) != 0;
        if (event.wParam == VK_DOWN && altDown) return activate();
        if (event.wParam == VK_UP || event.wParam == VK_DOWN) {
            const int next = currentSelection() + (event.wParam == VK_DOWN ? 1 : -1);
            if (itemAt(next)) selectItem(next);
            return;
        }
    }
    CSkinButton::handleEvent(event);
}

void CSkinCombo::activate() {
    if (drop_ || ::GetTickCount() - closedByClickAt_ < kReopenGuardMs) return;
    drop_ = ComboDropWindow::open(*this);
    invalidate();
    notifyAccessible(EVENT_OBJECT_STATECHANGE);
}

long CSkinCombo::accessibleRole() const { return ROLE_SYSTEM_COMBOBOX; }

long CSkinCombo::accessibleState() const {
    return STATE_SYSTEM_HASPOPUP | (drop_ ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED);
}

std::wstring CSkinCombo::accessibleAction() const { return drop_ ? L"Close" : L"Open"; }

void CSkinCombo::doAccessibleAction() {
    if (drop_) return closeDrop();
    activate();
}

int CSkinCombo::dropHotIndex() const { return drop_ ? drop_->hotIndex() : -1; }

bool CSkinCombo::dropRowOnScreen(int index, RECT& rect) const { return drop_ && drop_->rowOnScreen(index, rect); }

void CSkinCombo::closeDrop() {
    if (drop_) drop_->dismiss();
}

void CSkinCombo::dropClosed(bool byClickElsewhere) {
    drop_ = nullptr;
    if (byClickElsewhere) closedByClickAt_ = ::GetTickCount();
    invalidate();
    notifyAccessible(EVENT_OBJECT_STATECHANGE);
}

}  // namespace toolkit
