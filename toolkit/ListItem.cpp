#include "toolkit/ListItem.h"

#include "toolkit/Combo.h"

namespace toolkit {

void* CSkinListItem::getInterface(const std::wstring& name) {
    return name == L"ListItem" ? this : CSkinLabel::getInterface(name);
}

void CSkinListItem::setOwner(CSkinCombo* combo, int index) {
    owner_ = combo;
    index_ = index;
}

bool CSkinListItem::select(bool takeFocus) { return owner_ && owner_->selectItem(index_, takeFocus); }

}  // namespace toolkit
