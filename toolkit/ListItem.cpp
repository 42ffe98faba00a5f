#include "toolkit/ListItem.h"

#include <oleacc.h>

#include "toolkit/Combo.h"

namespace toolkit {

void* CSkinListItem::getInterface(const std::wstring& name) {
    return name == L"ListItem" ? this : CSkinLabel::getInterface(name);
}

void CSkinListItem::setOwner(CSkinCombo* combo, int index) {
    owner_ = combo;
    index_ = index;
}

long CSkinListItem::accessibleRole() const { return ROLE_SYSTEM_LISTITEM; }

long CSkinListItem::accessibleState() const {
    long state = STATE_SYSTEM_SELECTABLE;
    if (!owner_) return state;
    if (owner_->currentSelection() == index_) state |= STATE_SYSTEM_SELECTED;
    if (!owner_->isDropped()) state |= STATE_SYSTEM_INVISIBLE;
    if (owner_->isDropped() && owner_->dropHotIndex() == index_) state |= STATE_SYSTEM_FOCUSED | STATE_SYSTEM_FOCUSABLE;
    return state;
}

// As a click on the entry of the open list: the list closes, the entry is chosen.
void CSkinListItem::doAccessibleAction() {
    if (owner_) owner_->closeDrop();
    select(true);
}

bool CSkinListItem::select(bool takeFocus) { return owner_ && owner_->selectItem(index_, takeFocus); }

}  // namespace toolkit
