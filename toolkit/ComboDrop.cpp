#include "toolkit/ComboDrop.h"

#include <oleacc.h>

#include <algorithm>

#include "toolkit/Combo.h"
#include "toolkit/Painter.h"

namespace toolkit {

// The entries as one scrolling column; the hot entry follows the mouse and the arrow keys, and a
// screen reader is told of each entry it moves to.
class ComboListView : public CSkinControl {
public:
    ComboListView(CSkinCombo& combo, ComboDropWindow& drop) : combo_(combo), drop_(drop) {
        hot_ = std::max(combo.currentSelection(), 0);
    }

    bool isFocusable() const override { return true; }

    void paint(Painter& painter) override {
        const ComboItemStyle& style = combo_.itemStyle();
        const SystemColours* contrast = painter.highContrast();
        painter.fillRect(rect(), contrast ? contrast->window : combo_.dropBoxBkColor());
        Painter::ClipScope clip(painter, rect());
        for (int i = 0; i < combo_.itemCount(); ++i) {
            const RECT row = rowRect(i);
            if (row.bottom <= rect().top || row.top >= rect().bottom) continue;
            const bool selected = i == combo_.currentSelection();
            const bool hot = i == hot_;
            TextStyle text;
            text.fontId = style.fontId;
            if (contrast) {
                painter.fillRect(row, hot ? contrast->highlight : contrast->window);
                text.colour = hot ? contrast->highlightText : contrast->windowText;
            } else {
                painter.fillRect(row, hot ? style.hotBkColor : selected ? style.selectedBkColor : style.bkColor);
                text.colour = hot ? style.hotTextColor : selected ? style.selectedTextColor : style.textColor;
            }
            text.ellipsis = true;
            const RECT textArea{row.left + style.textPadding.left, row.top + style.textPadding.top,
                                row.right - style.textPadding.right, row.bottom - style.textPadding.bottom};
            painter.drawText(textArea, combo_.itemAt(i)->text(), text);
        }
        painter.drawBorder(rect(), contrast ? contrast->windowText : combo_.dropBoxBorderColor(), 1);
    }

    void handleEvent(ControlEvent& event) override {
        switch (event.type) {
        case EventType::MouseMove:
            setHot(indexAt(event.point));
            break;
        case EventType::ButtonUp:
            if (::PtInRect(&rect(), event.point) && indexAt(event.point) >= 0) drop_.choose(indexAt(event.point));
            break;
        case EventType::ScrollWheel:
            scrollBy(-static_cast<short>(event.wParam) / WHEEL_DELTA * combo_.itemStyle().height * 3);
            break;
        case EventType::KeyDown:
            onKey(event.wParam);
            break;
        default:
            break;
        }
    }

    // Placed once the window first paints; the hot entry is scrolled into view then.
    void setPosition(const RECT& rect) override {
        CSkinControl::setPosition(rect);
        ensureVisible(hot_);
    }

    int hot() const { return hot_; }

    RECT rowRect(int index) const {
        const int height = combo_.itemStyle().height;
        const int top = rect().top + index * height - scroll_;
        return RECT{rect().left + 1, top, rect().right - 1, top + height};
    }

    void announceHot() {
        if (CSkinListItem* item = combo_.itemAt(hot_)) item->notifyAccessible(EVENT_OBJECT_FOCUS);
    }

    void ensureVisible(int index) {
        const int height = combo_.itemStyle().height;
        const int viewHeight = rect().bottom - rect().top;
        if (index * height < scroll_) scroll_ = index * height;
        if ((index + 1) * height > scroll_ + viewHeight) scroll_ = (index + 1) * height - viewHeight;
        invalidate();
    }

private:
    int indexAt(POINT point) const {
        if (!::PtInRect(&rect(), point)) return -1;
        const int index = (point.y - rect().top + scroll_) / combo_.itemStyle().height;
        return index < combo_.itemCount() ? index : -1;
    }

    void setHot(int index) {
        if (index < 0 || index == hot_) return;
        hot_ = index;
        invalidate();
        announceHot();
    }

    void scrollBy(int delta) {
        const int content = combo_.itemCount() * combo_.itemStyle().height;
        scroll_ = std::clamp(scroll_ + delta, 0, std::max(0, content - static_cast<int>(rect().bottom - rect().top)));
        invalidate();
    }

    void onKey(WPARAM key) {
        const int last = combo_.itemCount() - 1;
        switch (key) {
        case VK_UP: hot_ = std::max(hot_ - 1, 0); break;
        case VK_DOWN: hot_ = std::min(hot_ + 1, last); break;
        case VK_HOME: hot_ = 0; break;
        case VK_END: hot_ = last; break;
        case VK_RETURN:
        case VK_SPACE: return drop_.choose(hot_);
        case VK_ESCAPE: return drop_.dismiss();
        default: return;
        }
        ensureVisible(hot_);
        announceHot();
    }

    CSkinCombo& combo_;
    ComboDropWindow& drop_;
    int hot_ = 0;
    int scroll_ = 0;
};

ComboDropWindow::ComboDropWindow(CSkinCombo& combo) : combo_(&combo) {}

ComboDropWindow* ComboDropWindow::open(CSkinCombo& combo) {
    HWND owner = combo.manager() ? combo.manager()->window() : nullptr;
    if (!owner || combo.itemCount() == 0) return nullptr;
    auto* drop = new ComboDropWindow(combo);
    const RECT& area = combo.rect();
    const int width = combo.dropBoxSize().cx > 0 ? combo.dropBoxSize().cx : area.right - area.left;
    const int height = std::min(combo.itemCount() * combo.itemStyle().height + 2,
                                std::max<int>(combo.dropBoxSize().cy, combo.itemStyle().height + 2));
    // The list is drawn at its combo's scale; the screen is in device pixels.
    drop->manager_.setDpi(combo.manager()->scale().dpi());
    drop->manager_.setSize(SIZE{width, height});
    const SIZE device = drop->manager_.deviceSize();
    const RECT onScreen = combo.manager()->toScreen(area);
    POINT below{onScreen.left, onScreen.bottom};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
    if (below.y + device.cy > monitor.rcWork.bottom) below.y = onScreen.top - device.cy;
    auto view = std::make_unique<ComboListView>(combo, *drop);
    ComboListView* list = view.get();
    drop->list_ = list;
    drop->manager_.setRoot(std::move(view));
    // Entries are drawn in the combo window's fonts.
    const FontSpec itemFont = combo.manager()->fonts().fontOf(combo.itemStyle().fontId);
    drop->manager_.fonts().setDefault(itemFont);
    drop->manager_.fonts().define(combo.itemStyle().fontId, itemFont);
    if (!drop->create(owner, L"", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED, below.x, below.y,
                      device.cx, device.cy)) {
        delete drop;
        return nullptr;
    }
    drop->manager_.attach(drop->hwnd());
    ::ShowWindow(drop->hwnd(), SW_SHOW);
    ::SetForegroundWindow(drop->hwnd());
    list->setFocus();
    list->announceHot();
    return drop;
}

int ComboDropWindow::hotIndex() const { return list_ ? list_->hot() : -1; }

bool ComboDropWindow::rowOnScreen(int index, RECT& rect) const {
    if (!list_ || closing_) return false;
    rect = manager_.toScreen(list_->rowRect(index));
    return true;
}

// Closing is posted: the list is usually asked to close from inside its own input handling.
void ComboDropWindow::dismiss() {
    if (closing_ || !hwnd()) return;
    closing_ = true;
    ::ShowWindow(hwnd(), SW_HIDE);
    ::PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}

void ComboDropWindow::choose(int index) {
    if (closing_) return;
    chosen_ = index;
    dismiss();
}

LRESULT ComboDropWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE && !closing_) {
            deactivated_ = true;
            dismiss();
        }
        break;
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_KEYDOWN:
        if (wParam == VK_TAB) return 0;
        break;
    case WM_GETOBJECT:
        // The open list is the combo's list in its window's accessible tree.
        if (static_cast<LONG>(lParam) == OBJID_CLIENT && combo_ && combo_->manager()) {
            return combo_->manager()->accessibleObject(wParam, combo_->listAccessibleId());
        }
        break;
    default:
        break;
    }
    LRESULT result = 0;
    if (manager_.window() && manager_.handleMessage(message, wParam, lParam, result)) return result;
    return CNativeWindow::handleMessage(message, wParam, lParam);
}

void ComboDropWindow::onFinalMessage(HWND) {
    CSkinCombo* combo = combo_;
    const int chosen = chosen_;
    const bool deactivated = deactivated_;
    delete this;
    if (!combo) return;
    combo->dropClosed(deactivated);
    // The list is gone before the choice is announced, so handlers see a closed combo.
    if (chosen >= 0) combo->selectItem(chosen, true);
}

}  // namespace toolkit
