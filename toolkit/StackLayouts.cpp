#include "toolkit/StackLayouts.h"

#include <algorithm>
#include <vector>

namespace toolkit {

namespace {

// One axis of a stack: along it children get fixed lengths or a share of the rest; across it they
// fill, or are aligned when they have a fixed size.
struct Axis {
    bool vertical;
    LONG RECT::*start() const { return vertical ? &RECT::top : &RECT::left; }
    LONG RECT::*end() const { return vertical ? &RECT::bottom : &RECT::right; }
    LONG RECT::*crossStart() const { return vertical ? &RECT::left : &RECT::top; }
    LONG RECT::*crossEnd() const { return vertical ? &RECT::right : &RECT::bottom; }
    LONG along(SIZE size) const { return vertical ? size.cy : size.cx; }
    LONG across(SIZE size) const { return vertical ? size.cx : size.cy; }
};

int alignedOffset(int space, int used, ChildAlign align) {
    if (align == ChildAlign::Center) return (space - used) / 2;
    if (align == ChildAlign::End) return space - used;
    return 0;
}

void stack(const std::vector<CSkinControl*>& children, const RECT& area, const Axis& axis, int gap,
           ChildAlign alongAlign, ChildAlign crossAlign) {
    if (children.empty()) return;
    const int length = area.*axis.end() - area.*axis.start();
    const int crossLength = area.*axis.crossEnd() - area.*axis.crossStart();
    std::vector<SIZE> wanted;
    int fixed = gap * static_cast<int>(children.size() - 1);
    int stretchers = 0;
    for (CSkinControl* child : children) {
        const RECT& pad = child->padding();
        wanted.push_back(child->estimateSize(SIZE{area.right - area.left, area.bottom - area.top}));
        fixed += pad.*axis.start() + pad.*axis.end() + axis.along(wanted.back());
        if (axis.along(wanted.back()) <= 0) ++stretchers;
    }
    const int rest = std::max(length - fixed, 0);
    // Without stretching children the row as a whole may be aligned.
    int position = area.*axis.start() + (stretchers == 0 ? alignedOffset(length, fixed, alongAlign) : 0);
    int shared = 0;
    for (size_t i = 0; i < children.size(); ++i) {
        CSkinControl* child = children[i];
        const RECT& pad = child->padding();
        int along = axis.along(wanted[i]);
        if (along <= 0) {
            ++shared;
            along = rest / stretchers + (shared == stretchers ? rest % stretchers : 0);
        }
        const int crossSpace = crossLength - pad.*axis.crossStart() - pad.*axis.crossEnd();
        int across = axis.across(wanted[i]);
        across = across > 0 ? std::min<int>(across, crossSpace) : crossSpace;
        RECT placed{};
        placed.*axis.start() = position + pad.*axis.start();
        placed.*axis.end() = placed.*axis.start() + along;
        placed.*axis.crossStart() =
            area.*axis.crossStart() + pad.*axis.crossStart() + alignedOffset(crossSpace, across, crossAlign);
        placed.*axis.crossEnd() = placed.*axis.crossStart() + across;
        child->setPosition(placed);
        position = placed.*axis.end() + pad.*axis.end() + gap;
    }
}

}  // namespace

void CSkinVerticalLayout::layoutChildren(const RECT& area) {
    stack(stackedChildren(), area, Axis{true}, childPadding_, childVAlign_, childAlign_);
}

void CSkinHorizontalLayout::layoutChildren(const RECT& area) {
    stack(stackedChildren(), area, Axis{false}, childPadding_, childAlign_, childVAlign_);
}

}  // namespace toolkit
