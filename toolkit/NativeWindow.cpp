#include "toolkit/NativeWindow.h"

#include <algorithm>

namespace toolkit {

CNativeWindow::~CNativeWindow() {
    if (hwnd_ && ::IsWindow(hwnd_)) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
}

HWND CNativeWindow::create(HWND owner, const std::wstring& title, DWORD style, DWORD exStyle, int x, int y,
                           int width, int height) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (!::GetClassInfoExW(instance, getWindowClassName(), &existing)) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = getClassStyle();
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
        windowClass.lpszClassName = getWindowClassName();
        if (!::RegisterClassExW(&windowClass)) return nullptr;
    }
    ::CreateWindowExW(exStyle, getWindowClassName(), title.c_str(), style, x, y, width, height, owner, nullptr,
                      instance, this);
    return hwnd_;
}

void CNativeWindow::centerWindow() {
    if (!hwnd_) return;
    RECT window{};
    ::GetWindowRect(hwnd_, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT around = monitor.rcWork;
    HWND owner = ::GetWindow(hwnd_, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &around);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    // Keep the whole window on the work area.
    x = std::max<int>(monitor.rcWork.left, std::min<int>(x, monitor.rcWork.right - width));
    y = std::max<int>(monitor.rcWork.top, std::min<int>(y, monitor.rcWork.bottom - height));
    ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CNativeWindow::showWindow(bool show, bool takeFocus) {
    if (hwnd_) ::ShowWindow(hwnd_, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

void CNativeWindow::close(UINT result) {
    if (hwnd_) ::PostMessageW(hwnd_, WM_CLOSE, result, 0);
}

LRESULT CNativeWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK CNativeWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CNativeWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<CNativeWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CNativeWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const LRESULT result = self->handleMessage(message, wParam, lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->onFinalMessage(hwnd);
        return result;
    }
    return self->handleMessage(message, wParam, lParam);
}

}  // namespace toolkit
