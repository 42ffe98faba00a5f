#include "toolkit/TabLayout.h"

#include "toolkit/MarkupValues.h"
#include "toolkit/PaintManager.h"

namespace toolkit {

void* CSkinTabLayout::getInterface(const std::wstring& name) {
    return name == L"TabLayout" ? this : CSkinContainer::getInterface(name);
}

bool CSkinTabLayout::selectItem(int index) {
    if (index < 0 || static_cast<size_t>(index) >= childCount()) return false;
    current_ = index;
    showOnly(index);
    return true;
}

void CSkinTabLayout::showOnly(int index) {
    for (size_t i = 0; i < childCount(); ++i) childAt(i)->setVisible(static_cast<int>(i) == index);
    relayout();
}

void CSkinTabLayout::setAttribute(const std::wstring& name, const std::wstring& value) {
    if (name == L"selectedid") {
        current_ = parseInteger(value).value_or(0);
        return relayout();
    }
    CSkinContainer::setAttribute(name, value);
}

void CSkinTabLayout::attach(CPaintManager* manager, CSkinControl* parent) {
    CSkinContainer::attach(manager, parent);
    // Built from markup the pages arrive one by one; once attached only the current one shows.
    if (static_cast<size_t>(current_) < childCount()) showOnly(current_);
}

void CSkinTabLayout::layoutChildren(const RECT& area) {
    for (CSkinControl* child : stackedChildren()) {
        const RECT& pad = child->padding();
        child->setPosition(RECT{area.left + pad.left, area.top + pad.top, area.right - pad.right,
                                area.bottom - pad.bottom});
    }
}

}  // namespace toolkit
