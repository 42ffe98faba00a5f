#include "toolkit/AccessibleTree.h"

#include <oleacc.h>

#include "toolkit/Combo.h"
#include "toolkit/ListItem.h"
#include "toolkit/PaintManager.h"

namespace toolkit {

namespace {

bool isAccessible(const CSkinControl* control) { return control->accessibleRole() != 0; }

bool enabledInChain(const CSkinControl* control) {
    for (; control; control = control->parent()) {
        if (!control->isEnabled()) return false;
    }
    return true;
}

// Visits every control below and including control, the entries of combos too, until visit says stop.
template <typename Visit>
bool visitAll(CSkinControl* control, const Visit& visit) {
    if (!control) return false;
    if (visit(control)) return true;
    if (auto* combo = dynamic_cast<CSkinCombo*>(control)) {
        for (int i = 0; i < combo->itemCount(); ++i) {
            if (visit(combo->itemAt(i))) return true;
        }
    }
    for (size_t i = 0; i < control->childCount(); ++i) {
        if (visitAll(control->childAt(i), visit)) return true;
    }
    return false;
}

// The accessible control at or above control; null for the root.
CSkinControl* accessibleAncestor(CSkinControl* control) {
    while (control && !isAccessible(control)) control = control->parent();
    return control;
}

void collect(CSkinControl* control, std::vector<int>& out) {
    if (!control || !control->isVisible()) return;
    if (isAccessible(control)) return out.push_back(control->accessibleId());
    for (size_t i = 0; i < control->childCount(); ++i) collect(control->childAt(i), out);
}

CSkinCombo* comboOf(CSkinControl* control) {
    return control && control->getInterface(L"ListItem") ? dynamic_cast<CSkinCombo*>(control->parent()) : nullptr;
}

}  // namespace

HWND AccessibleTree::window() const { return manager_ ? manager_->window() : nullptr; }

std::optional<AccessibleTree::Target> AccessibleTree::find(int id) const {
    if (!manager_) return std::nullopt;
    if (id == 0) return Target{};
    std::optional<Target> found;
    visitAll(manager_->root(), [&](CSkinControl* control) {
        if (control->accessibleId() == id) found = Target{control, nullptr};
        auto* combo = dynamic_cast<CSkinCombo*>(control);
        if (combo && combo->listAccessibleId() == id) found = Target{nullptr, combo};
        return found.has_value();
    });
    return found;
}

std::vector<int> AccessibleTree::controlChildren(CSkinControl* control) const {
    std::vector<int> out;
    for (size_t i = 0; i < control->childCount(); ++i) collect(control->childAt(i), out);
    return out;
}

std::vector<int> AccessibleTree::children(int id) const {
    const std::optional<Target> target = find(id);
    if (!target) return {};
    if (target->listOf) {
        std::vector<int> entries;
        for (int i = 0; i < target->listOf->itemCount(); ++i) entries.push_back(target->listOf->itemAt(i)->accessibleId());
        return entries;
    }
    if (!target->control) {
        std::vector<int> out;
        collect(manager_->root(), out);
        return out;
    }
    if (auto* combo = dynamic_cast<CSkinCombo*>(target->control)) return {combo->listAccessibleId()};
    return controlChildren(target->control);
}

std::optional<int> AccessibleTree::parent(int id) const {
    const std::optional<Target> target = find(id);
    if (!target || (!target->control && !target->listOf)) return std::nullopt;
    if (target->listOf) return target->listOf->accessibleId();
    if (CSkinCombo* combo = comboOf(target->control)) return combo->listAccessibleId();
    CSkinControl* above = accessibleAncestor(target->control->parent());
    return above ? above->accessibleId() : 0;
}

long AccessibleTree::role(int id) const {
    const std::optional<Target> target = find(id);
    if (!target) return 0;
    if (target->listOf) return ROLE_SYSTEM_LIST;
    return target->control ? target->control->accessibleRole() : manager_->accessibleWindowRole();
}

std::wstring AccessibleTree::name(int id) const {
    const std::optional<Target> target = find(id);
    if (!target) return {};
    if (target->listOf) return target->listOf->accessibleName();
    if (target->control) return target->control->accessibleName();
    wchar_t title[256] = {};
    if (HWND hwnd = window()) ::GetWindowTextW(hwnd, title, 256);
    return title;
}

std::wstring AccessibleTree::value(int id) const {
    const std::optional<Target> target = find(id);
    return target && target->control ? target->control->accessibleValue() : std::wstring();
}

long AccessibleTree::state(int id) const {
    const std::optional<Target> target = find(id);
    if (!target) return STATE_SYSTEM_UNAVAILABLE;
    const bool windowFocused = window() && ::GetFocus() == window();
    if (target->listOf) return target->listOf->isDropped() ? 0 : STATE_SYSTEM_INVISIBLE;
    if (!target->control) {
        return STATE_SYSTEM_FOCUSABLE | (windowFocused && !manager_->focused() ? STATE_SYSTEM_FOCUSED : 0);
    }
    CSkinControl* control = target->control;
    long state = control->accessibleState();
    if (!control->isShown()) state |= STATE_SYSTEM_INVISIBLE;
    if (!enabledInChain(control)) state |= STATE_SYSTEM_UNAVAILABLE;
    if (control->isFocusable() && enabledInChain(control)) state |= STATE_SYSTEM_FOCUSABLE;
    if (windowFocused && manager_->focused() == control) state |= STATE_SYSTEM_FOCUSED;
    if (manager_->hot() == control) state |= STATE_SYSTEM_HOTTRACKED;
    return state;
}

std::wstring AccessibleTree::action(int id) const {
    const std::optional<Target> target = find(id);
    if (!target || !target->control) return {};
    CSkinControl* control = target->control;
    const bool reachable = comboOf(control) ? comboOf(control)->isShown() : control->isShown();
    return reachable && enabledInChain(control) ? control->accessibleAction() : std::wstring();
}

bool AccessibleTree::doAction(int id) const {
    if (action(id).empty()) return false;
    manager_->runAccessibleAction(id);
    return true;
}

bool AccessibleTree::focus(int id) const {
    const std::optional<Target> target = find(id);
    CSkinControl* control = target ? target->control : nullptr;
    if (!control || !control->isFocusable() || !control->isShown() || !enabledInChain(control)) return false;
    manager_->setFocus(control);
    return true;
}

bool AccessibleTree::location(int id, RECT& rect) const {
    const std::optional<Target> target = find(id);
    if (!target) return false;
    if (target->listOf) {
        RECT first{}, last{};
        const int count = target->listOf->itemCount();
        if (!target->listOf->dropRowOnScreen(0, first) || !target->listOf->dropRowOnScreen(count - 1, last)) return false;
        rect = RECT{first.left, first.top, last.right, last.bottom};
        return true;
    }
    if (!target->control) {
        const SIZE size = manager_->size();
        rect = manager_->toScreen(RECT{0, 0, size.cx, size.cy});
        return true;
    }
    if (auto* item = dynamic_cast<CSkinListItem*>(target->control)) {
        CSkinCombo* combo = comboOf(item);
        return combo && combo->dropRowOnScreen(item->index(), rect);
    }
    rect = manager_->toScreen(target->control->rect());
    return true;
}

std::optional<int> AccessibleTree::hitTest(POINT screen) const {
    HWND hwnd = window();
    if (!hwnd) return std::nullopt;
    POINT point = screen;
    ::MapWindowPoints(HWND_DESKTOP, hwnd, &point, 1);
    point = manager_->scale().toLayout(point);
    const SIZE size = manager_->size();
    if (point.x < 0 || point.y < 0 || point.x >= size.cx || point.y >= size.cy) return std::nullopt;
    CSkinControl* under = manager_->root() ? manager_->root()->findControlAt(point) : nullptr;
    CSkinControl* accessible = accessibleAncestor(under);
    return accessible ? accessible->accessibleId() : 0;
}

std::optional<int> AccessibleTree::focused() const {
    if (!window() || ::GetFocus() != window()) return std::nullopt;
    CSkinControl* accessible = accessibleAncestor(manager_->focused());
    return accessible ? accessible->accessibleId() : 0;
}

}  // namespace toolkit
