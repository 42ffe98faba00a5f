#include "tests/e2e/SkinMap.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "model/LanguageStrings.h"
#include "toolkit/Canvas.h"
#include "toolkit/Container.h"
#include "toolkit/ControlFactory.h"
#include "toolkit/GdiPlusSession.h"
#include "toolkit/LayoutDocument.h"
#include "toolkit/SkinPackage.h"
#include "toolkit/TabLayout.h"
#include "ui/LanguageTexts.h"
#include "utility/UString.h"

namespace e2e {

namespace {

void loadPackageOnce() {
    static toolkit::GdiPlusSession* const gdiPlus = [] {
        toolkit::loadSkinPackage(::GetModuleHandleW(nullptr), 129);
        return new toolkit::GdiPlusSession();  // kept for the whole test program
    }();
    (void)gdiPlus;
}

// What reveal changed, so it can be put back.
struct Revealed {
    std::vector<std::pair<toolkit::CSkinTabLayout*, int>> tabs;
    std::vector<toolkit::CSkinControl*> shown;
};

Revealed reveal(toolkit::CSkinControl* control) {
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
        } else if (!child->isVisible()) {
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
    loadPackageOnce();
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
    model::LanguageStrings strings;
    const std::optional<std::string> file = toolkit::readSkinFile(L"language\\downloader_" + code + L".xml");
    ASSERT_TRUE(file && strings.load(utility::ustring::utf8ToWide(*file))) << utility::ustring::wideToUtf8(code);
    for (const ui::ControlText& entry : ui::kLanguageTexts) setText(entry.control, strings.get(entry.key));
    setText(L"titlename", strings.get(L"titlename"));
}

void SkinMap::setText(const std::wstring& name, const std::wstring& text) {
    if (toolkit::CSkinControl* control = manager_->findControl(name)) control->setText(text);
}

void SkinMap::setVisible(const std::wstring& name, bool visible) {
    if (toolkit::CSkinControl* control = manager_->findControl(name)) control->setVisible(visible);
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
    toolkit::Canvas canvas(manager_->size().cx, manager_->size().cy);
    manager_->render(canvas);
    const RECT rect = control->rect();
    undo(changed);
    manager_->needLayout();
    return rect;
}

POINT SkinMap::centreOnScreen(const std::wstring& name, HWND window) {
    const RECT r = place(name);
    POINT point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(window, &point);
    return point;
}

POINT SkinMap::neutralPoint(HWND window) {
    toolkit::Canvas canvas(manager_->size().cx, manager_->size().cy);
    manager_->render(canvas);
    // The middle of the widest stretch of the top row where a click reaches no named control.
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
    POINT point{bestStart + bestLength / 2, y};
    ::ClientToScreen(window, &point);
    return point;
}

}  // namespace e2e
