#include "toolkit/PaintManager.h"

#include <commctrl.h>
#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <chrono>

#include "toolkit/AccessibleObject.h"
#include "toolkit/AccessibleTree.h"
#include "toolkit/Painter.h"
#include "toolkit/TextMeasure.h"

namespace toolkit {

namespace {

bool isWithin(const CSkinControl* control, const CSkinControl* ancestor) {
    for (; control; control = control->parent()) {
        if (control == ancestor) return true;
    }
    return false;
}

void collectFocusable(CSkinControl* control, std::vector<CSkinControl*>& out) {
    if (!control || !control->isVisible()) return;
    if (control->isFocusable() && control->isEnabled()) out.push_back(control);
    for (size_t i = 0; i < control->childCount(); ++i) collectFocusable(control->childAt(i), out);
}

bool keyDown(int key) { return (::GetKeyState(key) & 0x8000) != 0; }

void reapplyTree(CSkinControl* control) {
    if (!control) return;
    control->reapplyTextKeys();
    for (size_t i = 0; i < control->childCount(); ++i) reapplyTree(control->childAt(i));
}

// Window thread only, like the managers themselves.
std::vector<CPaintManager*>& liveManagers() {
    static std::vector<CPaintManager*> managers;
    return managers;
}

}  // namespace

CPaintManager::CPaintManager() : accessibleWindowRole_(ROLE_SYSTEM_CLIENT) { liveManagers().push_back(this); }

CPaintManager::~CPaintManager() {
    auto& managers = liveManagers();
    managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
    if (tooltip_) ::DestroyWindow(tooltip_);
    // Objects a screen reader still holds answer that they are gone.
    if (accessible_) accessible_->detach();
    // Controls may ask the manager to forget them while they go.
    hot_ = pushed_ = focused_ = tooltipControl_ = nullptr;
    root_.reset();
}

void CPaintManager::attach(HWND window) { window_ = window; }

void CPaintManager::setRoot(std::unique_ptr<CSkinControl> root) {
    root_ = std::move(root);
    if (root_) root_->attach(this, nullptr);
    needLayout();
}

CSkinControl* CPaintManager::findControl(const std::wstring& name) const {
    return root_ && !name.empty() ? root_->findByName(name) : nullptr;
}

void CPaintManager::reapplyTextKeys() { reapplyTree(root_.get()); }

const std::vector<CPaintManager*>& CPaintManager::all() { return liveManagers(); }

void CPaintManager::setSize(SIZE size) {
    if (size.cx == size_.cx && size.cy == size_.cy) return;
    size_ = size;
    needLayout();
}

void CPaintManager::setDpi(UINT dpi) {
    const DisplayScale scale(dpi);
    if (scale.dpi() == scale_.dpi()) return;
    scale_ = scale;
    fonts_.setScale(scale_);
    if (tooltip_) applyTooltipFont();
    needLayout();
}

RECT CPaintManager::toScreen(const RECT& layout) const {
    RECT device = scale_.toDevice(layout);
    if (window_) ::MapWindowPoints(window_, HWND_DESKTOP, reinterpret_cast<POINT*>(&device), 2);
    return device;
}

SIZE CPaintManager::measureText(const std::wstring& text, int fontId, bool multiline, int maxWidth) {
    return scale_.toLayoutExtent(toolkit::measureText(measuring_.dc(), fonts_.font(fontId, text), text, multiline,
                                                      scale_.toDevice(maxWidth)));
}

SIZE CPaintManager::measureTextForLayout(const std::wstring& text, int fontId) {
    const SIZE scaled = measureText(text, fontId);
    if (scale_.isIdentity()) return scaled;
    const SIZE base = toolkit::measureText(measuring_.dc(), fonts_.font(fontId, text, DisplayScale()), text);
    return SIZE{std::max(base.cx, scaled.cx), std::max(base.cy, scaled.cy)};
}

void CPaintManager::setDefaultAttributes(const std::wstring& type, AttributeList attributes) {
    defaults_[type] = std::move(attributes);
}

const AttributeList* CPaintManager::defaultAttributes(const std::wstring& type) const {
    auto found = defaults_.find(type);
    return found == defaults_.end() ? nullptr : &found->second;
}

void CPaintManager::addListener(INotifyListener* listener) {
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
        listeners_.push_back(listener);
    }
}

void CPaintManager::sendNotify(CSkinControl* sender, const std::wstring& type, WPARAM wParam, LPARAM lParam) {
    Notification notification{type, sender, wParam, lParam};
    const std::vector<INotifyListener*> listeners = listeners_;
    for (INotifyListener* listener : listeners) listener->notify(notification);
}

void CPaintManager::dispatch(CSkinControl* control, ControlEvent event) {
    if (!control) return;
    event.shift = keyDown(VK_SHIFT);
    event.control = keyDown(VK_CONTROL);
    control->handleEvent(event);
}

void CPaintManager::setFocus(CSkinControl* control) {
    if (control == focused_) return;
    CSkinControl* previous = focused_;
    focused_ = control;
    dispatch(previous, ControlEvent{EventType::KillFocus});
    if (window_ && control && ::GetFocus() != window_) ::SetFocus(window_);
    dispatch(focused_, ControlEvent{EventType::SetFocus});
    invalidate();
    if (focused_ && window_ && ::GetFocus() == window_) accessibleEvent(EVENT_OBJECT_FOCUS, focused_);
}

LRESULT CPaintManager::accessibleObject(WPARAM wParam, int id) {
    if (!accessible_) accessible_ = std::make_shared<AccessibleTree>(*this);
    IAccessible* object = createAccessibleObject(accessible_, id);
    if (!object) return 0;
    const LRESULT result = ::LresultFromObject(__uuidof(IAccessible), wParam, object);
    object->Release();
    return result;
}

// Screen readers listen for these whether or not they asked for the tree yet; without a listener
// the call costs next to nothing.
void CPaintManager::accessibleEvent(DWORD event, CSkinControl* control) {
    if (!window_) return;
    ::NotifyWinEvent(event, window_, OBJID_CLIENT, control ? -control->accessibleId() : CHILDID_SELF);
}

// A screen reader's call must not run a click inside it: a click may open a box or end the program.
void CPaintManager::runAccessibleAction(int id) {
    if (window_) {
        ::PostMessageW(window_, accessibleActionMessage(), static_cast<WPARAM>(id), 0);
    } else {
        doAccessibleAction(id);
    }
}

void CPaintManager::doAccessibleAction(int id) {
    AccessibleTree tree(*this);
    if (tree.action(id).empty()) return;
    if (const auto target = tree.find(id); target && target->control) target->control->doAccessibleAction();
}

UINT CPaintManager::accessibleActionMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"PeloraSkinAccessibleAction");
    return message;
}

void CPaintManager::moveFocus(bool backwards) {
    std::vector<CSkinControl*> order;
    collectFocusable(root_.get(), order);
    if (order.empty()) return;
    auto current = std::find(order.begin(), order.end(), focused_);
    size_t index = 0;
    if (current != order.end()) {
        const size_t at = static_cast<size_t>(current - order.begin());
        index = backwards ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
    } else if (backwards) {
        index = order.size() - 1;
    }
    focusVisible_ = true;
    setFocus(order[index]);
}

void CPaintManager::forget(CSkinControl* control) {
    if (isWithin(focused_, control)) {
        CSkinControl* previous = focused_;
        focused_ = nullptr;
        dispatch(previous, ControlEvent{EventType::KillFocus});
    }
    if (isWithin(hot_, control)) hot_ = nullptr;
    if (isWithin(pushed_, control)) pushed_ = nullptr;
    if (isWithin(tooltipControl_, control)) updateTooltip(nullptr);
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (isWithin(it->second.control, control) && window_) ::KillTimer(window_, it->first);
        it = isWithin(it->second.control, control) ? timers_.erase(it) : std::next(it);
    }
    invalidate();
}

// Layered windows updated with UpdateLayeredWindow get no WM_PAINT, so repaints are posted; many
// changes in one message become one repaint.
void CPaintManager::invalidate() {
    if (!window_ || repaintPending_) return;
    repaintPending_ = ::PostMessageW(window_, repaintMessage(), 0, 0) != FALSE;
}

UINT CPaintManager::repaintMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"PeloraSkinRepaint");
    return message;
}

void CPaintManager::needLayout() {
    layoutNeeded_ = true;
    invalidate();
}

void CPaintManager::layout() {
    layoutNeeded_ = false;
    if (root_) root_->setPosition(RECT{0, 0, size_.cx, size_.cy});
}

void CPaintManager::render(Canvas& canvas) {
    const auto started = std::chrono::steady_clock::now();
    if (layoutNeeded_) layout();
    canvas.clear();
    Painter painter(canvas, fonts_, scale_);
    const SIZE area = scale_.toLayoutSize(SIZE{canvas.width(), canvas.height()});
    if (const SystemColours* contrast = painter.highContrast()) {
        painter.fillRect(RECT{0, 0, area.cx, area.cy}, contrast->window);
    } else {
        painter.drawImage(RECT{0, 0, area.cx, area.cy}, layeredImage_);
    }
    if (root_) root_->paint(painter);
    ::GdiFlush();
    lastPaintMs_ = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
}

void CPaintManager::present() {
    const SIZE device = deviceSize();
    if (!window_ || device.cx <= 0 || device.cy <= 0) return;
    if (!frame_ || frame_->width() != device.cx || frame_->height() != device.cy) {
        frame_ = std::make_unique<Canvas>(device.cx, device.cy);
    }
    if (!frame_->valid()) return;
    render(*frame_);
    RECT placed{};
    ::GetWindowRect(window_, &placed);
    POINT position{placed.left, placed.top};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (::GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED) {
        SIZE frameSize = device;
        ::UpdateLayeredWindow(window_, nullptr, &position, &frameSize, frame_->dc(), &origin, 0, &blend, ULW_ALPHA);
        return;
    }
    HDC dc = ::GetDC(window_);
    ::BitBlt(dc, 0, 0, device.cx, device.cy, frame_->dc(), 0, 0, SRCCOPY);
    ::ReleaseDC(window_, dc);
}

bool CPaintManager::setTimer(CSkinControl* control, UINT id, UINT milliseconds) {
    if (!window_) return false;
    killTimer(control, id);
    const UINT_PTR windowId = nextTimerId_++;
    if (!::SetTimer(window_, windowId, milliseconds, nullptr)) return false;
    timers_[windowId] = ControlTimer{control, id};
    return true;
}

void CPaintManager::killTimer(CSkinControl* control, UINT id) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.control == control && it->second.id == id) {
            if (window_) ::KillTimer(window_, it->first);
            timers_.erase(it);
            return;
        }
    }
}

void CPaintManager::setHot(CSkinControl* control) {
    if (control == hot_) return;
    CSkinControl* previous = hot_;
    hot_ = control;
    dispatch(previous, ControlEvent{EventType::MouseLeave});
    dispatch(hot_, ControlEvent{EventType::MouseEnter});
    updateTooltip(nullptr);
}

void CPaintManager::updateTooltip(CSkinControl* control) {
    tooltipControl_ = control;
    if (!window_) return;
    if (!tooltip_) {
        tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                     0, 0, 0, 0, window_, nullptr, nullptr, nullptr);
        if (!tooltip_) return;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(window_);
        tool.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        applyTooltipFont();
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(window_);
    if (!control || control->tooltip().empty()) {
        ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
        return;
    }
    tool.lpszText = const_cast<wchar_t*>(control->tooltip().c_str());
    ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ::SendMessageW(tooltip_, TTM_TRACKPOSITION, 0,
                   MAKELPARAM(cursor.x + scale_.toDevice(12), cursor.y + scale_.toDevice(20)));
    ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

// The system's tooltip font is made for the system DPI; the tip follows its window's scale instead.
void CPaintManager::applyTooltipFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return;
    LOGFONTW font = metrics.lfStatusFont;
    font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(scale_.dpi()), static_cast<int>(systemDpi()));
    utility::UniqueGdiObject<HFONT> scaled(::CreateFontIndirectW(&font));
    if (!scaled) return;
    ::SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(scaled.get()), TRUE);
    tooltipFont_ = std::move(scaled);
}

LRESULT CPaintManager::hitTest(LPARAM lParam) {
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(window_, &point);
    point = scale_.toLayout(point);
    const RECT caption{caption_.left, caption_.top, size_.cx - caption_.right, caption_.bottom};
    if (caption_.bottom <= 0 || !::PtInRect(&caption, point)) return HTCLIENT;
    CSkinControl* control = root_ ? root_->findControlAt(point) : nullptr;
    while (control && !control->isMouseEnabled()) control = control->parent();
    const bool interactive = control && (control->isFocusable() || control->getInterface(L"Button"));
    return interactive ? HTCLIENT : HTCAPTION;
}

bool CPaintManager::onMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (message == WM_MOUSEWHEEL) ::ScreenToClient(window_, &point);
    point = scale_.toLayout(point);
    CSkinControl* under = root_ ? root_->findControlAt(point) : nullptr;
    while (under && !under->isMouseEnabled()) under = under->parent();
    ControlEvent event{EventType::MouseMove, point, wParam, lParam};
    switch (message) {
    case WM_MOUSEMOVE:
        if (!mouseTracking_) {
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof(track);
            track.dwFlags = TME_LEAVE | TME_HOVER;
            track.hwndTrack = window_;
            track.dwHoverTime = HOVER_DEFAULT;
            mouseTracking_ = ::TrackMouseEvent(&track) != FALSE;
        }
        // While a button is held only the pushed control is hot, so sliding off un-highlights it.
        setHot(pushed_ ? (under == pushed_ ? pushed_ : nullptr) : under);
        dispatch(pushed_ ? pushed_ : under, event);
        return true;
    case WM_MOUSELEAVE:
        mouseTracking_ = false;
        setHot(nullptr);
        return true;
    case WM_MOUSEHOVER:
        mouseTracking_ = false;
        updateTooltip(hot_);
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        updateTooltip(nullptr);
        focusVisible_ = false;
        setFocus(under && under->isFocusable() && under->isEnabled() ? under : nullptr);
        pushed_ = under;
        setHot(under);
        if (window_) ::SetCapture(window_);
        event.type = message == WM_LBUTTONDOWN ? EventType::ButtonDown : EventType::DoubleClick;
        dispatch(under, event);
        return true;
    case WM_LBUTTONUP: {
        CSkinControl* released = pushed_;
        pushed_ = nullptr;
        if (::GetCapture() == window_) ::ReleaseCapture();
        event.type = EventType::ButtonUp;
        dispatch(released, event);
        invalidate();
        return true;
    }
    case WM_MOUSEWHEEL:
        event.type = EventType::ScrollWheel;
        event.wParam = static_cast<WPARAM>(static_cast<short>(HIWORD(wParam)));
        dispatch(under, event);
        return true;
    default:
        return false;
    }
}

bool CPaintManager::onKey(UINT message, WPARAM wParam, LPARAM lParam) {
    // With Alt held keys arrive as system keys: Alt+Down and Alt+Up open and close a list; every
    // other system key (Alt+F4, Alt+Space) stays the system's.
    if (message == WM_SYSKEYDOWN) {
        if (!focused_ || (wParam != VK_DOWN && wParam != VK_UP)) return false;
        dispatch(focused_, ControlEvent{EventType::KeyDown, {}, wParam, lParam});
        return true;
    }
    if (message == WM_KEYDOWN && wParam == VK_TAB) {
        moveFocus(keyDown(VK_SHIFT));
        return true;
    }
    if (!focused_) return false;
    if (message == WM_CHAR && (wParam == L'\t' || wParam == 27)) return true;
    if (message == WM_KEYDOWN && (wParam == VK_SPACE || wParam == VK_RETURN)) focusVisible_ = true;
    dispatch(focused_, ControlEvent{message == WM_KEYDOWN ? EventType::KeyDown : EventType::Char, {}, wParam, lParam});
    return true;
}

bool CPaintManager::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    if (message == repaintMessage()) {
        repaintPending_ = false;
        present();
        return true;
    }
    if (message == accessibleActionMessage()) {
        doAccessibleAction(static_cast<int>(wParam));
        return true;
    }
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        ::BeginPaint(window_, &paint);
        ::EndPaint(window_, &paint);
        present();
        return true;
    }
    case WM_SHOWWINDOW:
        if (wParam) invalidate();
        return false;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        // High contrast turned on or off, or its scheme changed.
        invalidate();
        return false;
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED && LOWORD(lParam) > 0) {
            setSize(scale_.toLayoutSize(SIZE{LOWORD(lParam), HIWORD(lParam)}));
        }
        return false;
    case WM_NCHITTEST:
        result = hitTest(lParam);
        return true;
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT) return false;
        const wchar_t* cursor = hot_ ? hot_->cursor() : nullptr;
        ::SetCursor(::LoadCursorW(nullptr, cursor ? cursor : IDC_ARROW));
        result = TRUE;
        return true;
    }
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
    case WM_MOUSEHOVER:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEWHEEL:
        return onMouse(message, wParam, lParam);
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != window_ && pushed_) pushed_ = nullptr, invalidate();
        return false;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
        return onKey(message, wParam, lParam);
    case WM_GETOBJECT:
        if (static_cast<LONG>(lParam) != OBJID_CLIENT) return false;
        result = accessibleObject(wParam, 0);
        return true;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_COMPOSITION:
        // The focused text control places the input method's window at its caret; the composed
        // text then arrives as WM_CHAR through the default handling.
        dispatch(focused_, ControlEvent{EventType::ImeComposition, {}, wParam, lParam});
        return false;
    case WM_SETFOCUS:
        invalidate();
        if (focused_) accessibleEvent(EVENT_OBJECT_FOCUS, focused_);
        return false;
    case WM_DESTROY:
        // What a screen reader still holds of the window answers that it is gone.
        if (accessible_) accessible_->detach(), accessible_.reset();
        return false;
    case WM_KILLFOCUS:
        invalidate();
        return false;
    case WM_TIMER: {
        auto found = timers_.find(wParam);
        if (found == timers_.end()) return false;
        dispatch(found->second.control, ControlEvent{EventType::Timer, {}, found->second.id});
        return true;
    }
    default:
        return false;
    }
}

}  // namespace toolkit
