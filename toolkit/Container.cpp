#include "toolkit/Container.h"

#include <algorithm>

#include "toolkit/MarkupValues.h"
#include "toolkit/Painter.h"
#include "toolkit/PaintManager.h"

namespace toolkit {

void* CSkinContainer::getInterface(const std::wstring& name) {
    return name == L"Container" ? this : CSkinControl::getInterface(name);
}

CSkinControl* CSkinContainer::add(std::unique_ptr<CSkinControl> control) {
    return addAt(std::move(control), children_.size());
}

CSkinControl* CSkinContainer::addAt(std::unique_ptr<CSkinControl> control, size_t index) {
    if (!control) return nullptr;
    CSkinControl* added = control.get();
    added->attach(manager(), this);
    children_.insert(children_.begin() + std::min(index, children_.size()), std::move(control));
    relayout();
    return added;
}

bool CSkinContainer::remove(CSkinControl* control) {
    auto found = std::find_if(children_.begin(), children_.end(),
                              [control](const auto& child) { return child.get() == control; });
    if (found == children_.end()) return false;
    if (manager()) manager()->forget(control);
    children_.erase(found);
    relayout();
    return true;
}

CSkinControl* CSkinContainer::childAt(size_t index) const {
    return index < children_.size() ? children_[index].get() : nullptr;
}

namespace {

ChildAlign childAlign(const std::wstring& value) {
    if (value == L"center" || value == L"vcenter") return ChildAlign::Center;
    if (value == L"right" || value == L"bottom") return ChildAlign::End;
    return ChildAlign::Start;
}

}  // namespace

void CSkinContainer::setAttribute(const std::wstring& name, const std::wstring& value) {
    if (name == L"inset") {
        if (auto rect = parseRect(value)) inset_ = RECT{rect->left, rect->top, rect->right, rect->bottom};
    } else if (name == L"childpadding") {
        childPadding_ = parseInteger(value).value_or(0);
    } else if (name == L"childalign") {
        childAlign_ = childAlign(value);
    } else if (name == L"childvalign") {
        childVAlign_ = childAlign(value);
    } else {
        return CSkinControl::setAttribute(name, value);
    }
    relayout();
}

void CSkinContainer::setPosition(const RECT& rect) {
    CSkinControl::setPosition(rect);
    layoutChildren(RECT{rect.left + inset_.left, rect.top + inset_.top, rect.right - inset_.right,
                        rect.bottom - inset_.bottom});
    placeFloating();
}

void CSkinContainer::placeFloating() {
    for (const auto& child : children_) {
        if (!child->isFloat() || !child->isVisible()) continue;
        const RECT& pos = child->floatPos();
        RECT placed{rect().left + pos.left, rect().top + pos.top, rect().left + pos.right, rect().top + pos.bottom};
        const SIZE wanted = child->estimateSize(SIZE{0, 0});
        if (pos.right <= pos.left && wanted.cx > 0) placed.right = placed.left + wanted.cx;
        if (pos.bottom <= pos.top && wanted.cy > 0) placed.bottom = placed.top + wanted.cy;
        child->setPosition(placed);
    }
}

std::vector<CSkinControl*> CSkinContainer::stackedChildren() const {
    std::vector<CSkinControl*> stacked;
    for (const auto& child : children_) {
        if (child->isVisible() && !child->isFloat()) stacked.push_back(child.get());
    }
    return stacked;
}

int CSkinContainer::rowWidth() const {
    const std::vector<CSkinControl*> stacked = stackedChildren();
    int width = inset_.left + inset_.right;
    if (!stacked.empty()) width += childPadding_ * static_cast<int>(stacked.size() - 1);
    const SIZE available{rect().right - rect().left, rect().bottom - rect().top};
    for (CSkinControl* child : stacked) {
        width += child->padding().left + child->padding().right + std::max<int>(child->estimateSize(available).cx, 0);
    }
    return width;
}

void CSkinContainer::paint(Painter& painter) {
    Painter::ClipScope clip(painter, rect());
    paintBackground(painter);
    paintBorder(painter);
    for (const auto& child : children_) {
        if (!child->isVisible() || !painter.isVisible(child->rect())) continue;
        child->paint(painter);
    }
}

CSkinControl* CSkinContainer::findControlAt(POINT point) {
    if (!isVisible() || !::PtInRect(&rect(), point)) return nullptr;
    // Later children paint above earlier ones, so they are asked first.
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        if (CSkinControl* found = (*it)->findControlAt(point)) return found;
    }
    return this;
}

CSkinControl* CSkinContainer::findByName(const std::wstring& name) {
    if (CSkinControl::findByName(name)) return this;
    for (const auto& child : children_) {
        if (CSkinControl* found = child->findByName(name)) return found;
    }
    return nullptr;
}

void CSkinContainer::attach(CPaintManager* manager, CSkinControl* parent) {
    CSkinControl::attach(manager, parent);
    for (const auto& child : children_) child->attach(manager, this);
}

}  // namespace toolkit
