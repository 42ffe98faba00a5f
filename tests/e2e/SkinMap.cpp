#include "tests/e2e/SkinMap.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "model/ConfigImp.h"
#include "tests/e2e/LanguageFile.h"
#include "toolkit/Canvas.h"
#include "toolkit/Container.h"
#include "toolkit/ControlFactory.h"
#include "toolkit/LayoutDocument.h"
#include "toolkit/SkinPackage.h"
#include "toolkit/TabLayout.h"
#include "ui/LanguageTexts.h"
#include "ui/LicenceText.h"
#include "utility/UString.h"

namespace e2e {

namespace {

// What reveal changed, so it can be put back.
struct Revealed {
    std::vector<std::pair<toolkit::CSkinTabLayout*, int>> tabs;
    std::vector<toolkit::CSkinControl*> shown;
};

// Selects the pages holding the control and shows the hidden containers around it; the control's own
// visibility changes only when withSelf is set.
Revealed reveal(toolkit::CSkinControl* control, bool withSelf = true) {
    Revealed changed;
    for (toolkit::CSkinControl* child = control; child->parent(); child = child->parent()) {
        toolkit::CSkinControl* parent = child->parent();
        if (auto* tab = dynamic_cast<toolkit::CSkinTabLayout*>(parent)) {
            for (size_t i = 0; i < tab->childCount(); ++i) {
                if (tab->childAt(i) == child && tab->currentIndex() != static_cast<int>(i)) {
                    changed.tabs.emplace_back(tab, tab->currentIndex());
                    tab->selectItem(static_cast<int>(i));
                }
            }
        } else if (!child->isVisible() && (withSelf || child != control)) {
            child->setVisible(true);
            changed.shown.push_back(child);
        }
    }
    return changed;
}

void undo(const Revealed& changed) {
    for (toolkit::CSkinControl* control : changed.shown) control->setVisible(false);
    for (auto it = changed.tabs.rbegin(); it != changed.tabs.rend(); ++it) it->first->selectItem(it->second);
}

}  // namespace

SkinMap::SkinMap(const std::wstring& layout) : manager_(std::make_unique<toolkit::CPaintManager>()) {
    useEmbeddedSkin();
    toolkit::LayoutResult loaded = toolkit::loadLayout(layout);
    if (const auto* error = std::get_if<toolkit::LayoutError>(&loaded)) {
        ADD_FAILURE() << "layout " << utility::ustring::wideToUtf8(layout)
                      << " failed: " << utility::ustring::wideToUtf8(error->message);
        return;
    }
    if (auto error = toolkit::buildWindow(std::get<toolkit::WindowLayout>(loaded), layout, *manager_, nullptr)) {
        ADD_FAILURE() << "building " << utility::ustring::wideToUtf8(layout)
                      << " failed: " << utility::ustring::wideToUtf8(error->message);
    }
}

SkinMap::~SkinMap() = default;

void SkinMap::applyLanguage(const std::wstring& code) {
    const model::LanguageStrings strings = languageStrings(code);
    for (const ui::ControlText& entry : ui::kLanguageTexts) setText(entry.control, strings.get(entry.key));
    setText(L"titlename", strings.get(L"titlename"));
    setText(L"protocoledit", ui::licenceText(code));
    setText(L"confirmprotocolbtn", strings.get(L"accept_protocol"));
    ConfigImp::instance().setLanguage(code);
    if (toolkit::CSkinControl* home = manager_->findControl(L"homepageBtn")) {
        home->setAttribute(L"textcolor", L"#FFFFFFFF");
        home->setText(ConfigImp::instance().websiteUrl());
    }
}

void SkinMap::setText(const std::wstring& name, const std::wstring& text) {
    if (toolkit::CSkinControl* control = manager_->findControl(name)) control->setText(text);
}

void SkinMap::setVisible(const std::wstring& name, bool visible) {
    if (toolkit::CSkinControl* control = manager_->findControl(name)) control->setVisible(visible);
}

void SkinMap::setAttribute(const std::wstring& name, const std::wstring& attribute, const std::wstring& value) {
    if (toolkit::CSkinControl* control = manager_->findControl(name)) control->setAttribute(attribute, value);
}

void SkinMap::insertButton(const std::wstring& container, const std::wstring& text,
                           const std::vector<std::pair<std::wstring, std::wstring>>& attributes) {
    auto* bar = dynamic_cast<toolkit::CSkinContainer*>(manager_->findControl(container));
    ASSERT_NE(bar, nullptr) << utility::ustring::wideToUtf8(container);
    std::unique_ptr<toolkit::CSkinControl> button = toolkit::createBuiltInControl(L"Button");
    button->setText(text);
    for (const auto& [name, value] : attributes) button->setAttribute(name, value);
    bar->addAt(std::move(button), bar->childCount() == 0 ? 0 : bar->childCount() - 1);
}

RECT SkinMap::place(const std::wstring& name) {
    toolkit::CSkinControl* control = manager_->findControl(name);
    if (control == nullptr) return RECT{};
    const Revealed changed = reveal(control);
    manager_->needLayout();
    toolkit::Canvas canvas(manager_->deviceSize().cx, manager_->deviceSize().cy);
    manager_->render(canvas);
    const RECT rect = manager_->toScreen(control->rect());  // no window: device pixels of the canvas
    undo(changed);
    manager_->needLayout();
    return rect;
}

std::vector<uint32_t> SkinMap::paint(const std::wstring& name, RECT& rect) {
    std::vector<uint32_t> pixels;
    rect = place(name);
    toolkit::CSkinControl* control = manager_->findControl(name);
    if (control == nullptr) return pixels;
    // The place the control has when shown, painted as the mirror's state has it there.
    const Revealed changed = reveal(control, false);
    manager_->needLayout();
    toolkit::Canvas canvas(manager_->deviceSize().cx, manager_->deviceSize().cy);
    manager_->render(canvas);
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) pixels.push_back(canvas.pixel(x, y));
    }
    undo(changed);
    manager_->needLayout();
    return pixels;
}

POINT SkinMap::centreOnScreen(const std::wstring& name, HWND window) {
    const RECT r = place(name);
    POINT point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(window, &point);
    return point;
}

POINT SkinMap::neutralPoint(HWND window) {
    toolkit::Canvas canvas(manager_->deviceSize().cx, manager_->deviceSize().cy);
    manager_->render(canvas);
    // The middle of the widest stretch of the top row where a click reaches no named control; the
    // search runs in layout pixels, the point is given in the window's device pixels.
    const int y = 12;
    int bestStart = 0, bestLength = 0, start = -1;
    for (int x = 0; x <= manager_->size().cx; ++x) {
        toolkit::CSkinControl* hit =
            x < manager_->size().cx && manager_->root() ? manager_->root()->findControlAt(POINT{x, y}) : nullptr;
        const bool neutral = x < manager_->size().cx && (hit == nullptr || hit->name().empty() || !hit->isMouseEnabled() ||
                                                        hit == manager_->root() || hit->childCount() > 0);
        if (neutral && start < 0) start = x;
        if (!neutral && start >= 0) {
            if (x - start > bestLength) bestStart = start, bestLength = x - start;
            start = -1;
        }
    }
    POINT point = manager_->scale().toDevice(POINT{bestStart + bestLength / 2, y});
    ::ClientToScreen(window, &point);
    return point;
}

}  // namespace e2e
