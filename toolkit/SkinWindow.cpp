#include "toolkit/SkinWindow.h"

#include "toolkit/Control.h"

namespace toolkit {

HWND SkinWindow::create(HWND owner, const std::wstring& title, DWORD style, DWORD exStyle) {
    return CNativeWindow::create(owner, title, style, exStyle | WS_EX_LAYERED, 0, 0, 0, 0);
}

bool SkinWindow::setWindowTimer(UINT id, UINT milliseconds) {
    return hwnd() && ::SetTimer(hwnd(), id, milliseconds, nullptr) != 0;
}

void SkinWindow::killWindowTimer(UINT id) {
    if (hwnd()) ::KillTimer(hwnd(), id);
}

void SkinWindow::notify(Notification& notification) {
    route(notification);
    if (notification.type == L"click") onClick(notification);
}

LRESULT SkinWindow::messageFilter(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

void SkinWindow::onClick(Notification& notification) {
    const std::wstring& name = notification.sender->name();
    if (name == L"closebtn") {
        close(IDCLOSE);
    } else if (name == L"minbtn") {
        ::SendMessageW(hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (name == L"maxbtn") {
        ::SendMessageW(hwnd(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    } else if (name == L"restorebtn") {
        ::SendMessageW(hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    }
}

LRESULT SkinWindow::onClose(WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT SkinWindow::onDestroy(WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

void SkinWindow::resizeTo(SIZE layoutSize) {
    const SIZE device = manager_.scale().toDevice(layoutSize);
    ::SetWindowPos(hwnd(), nullptr, 0, 0, device.cx, device.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A box or a list is drawn at the scale of the window it belongs to.
void SkinWindow::buildLayout() {
    const std::wstring file = getSkinFolder() + getSkinFile();
    LayoutResult layout = loadLayout(file);
    if (const auto* error = std::get_if<LayoutError>(&layout)) reportLayoutFailure(*error);
    HWND owner = ::GetWindow(hwnd(), GW_OWNER);
    manager_.setDpi(windowDpi(owner ? owner : hwnd()));
    manager_.attach(hwnd());
    manager_.addListener(this);
    if (auto error = buildWindow(std::get<WindowLayout>(layout), file, manager_, this)) reportLayoutFailure(*error);
    resizeTo(manager_.size());
}

void SkinWindow::onDpiChanged(UINT dpi, const RECT& suggested) {
    const SIZE layoutSize = manager_.size();
    manager_.setDpi(dpi);
    // The layout keeps its size in layout pixels; the suggested rectangle gives the place.
    const SIZE device = manager_.scale().toDevice(layoutSize);
    ::SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, device.cx, device.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    manager_.invalidate();
}

LRESULT SkinWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled = false;
    LRESULT result = messageFilter(message, wParam, lParam, handled);
    if (handled) return result;
    switch (message) {
    case WM_NCCALCSIZE:
        // The skin draws the whole window: frame styles such as WS_BORDER leave no non-client edge,
        // so client and frame coordinates stay the same.
        return 0;
    case WM_CREATE:
        buildLayout();
        initWindow();
        return 0;
    case WM_DPICHANGED:
        onDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        result = onClose(wParam, lParam, handled);
        if (handled) return result;
        break;
    case WM_DESTROY:
        result = onDestroy(wParam, lParam, handled);
        if (handled) return result;
        break;
    default:
        break;
    }
    if (manager_.window() && manager_.handleMessage(message, wParam, lParam, result)) return result;
    return CNativeWindow::handleMessage(message, wParam, lParam);
}

void reportLayoutFailure(const LayoutError& error) {
    const std::wstring text = L"load resource errr. location:" + error.location + L" msg:" + error.message;
    ::MessageBoxW(nullptr, text.c_str(), L"SkinUI", MB_OK | MB_ICONERROR);
    ::ExitProcess(1);
}

}  // namespace toolkit
