#include "utility/WindowIPC.h"

#include "common/LogPrint.h"

namespace utility {

bool WindowIPC::create(const std::wstring& className, IWindowIPCHandle* handler) {
    window_.reset();
    handler_ = nullptr;
    const HINSTANCE module = ::GetModuleHandleW(nullptr);

    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = &WindowIPC::windowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = className.c_str();
    // Already registered by an earlier mailbox of this process: the class is the same.
    ::RegisterClassW(&windowClass);

    // A top-level popup rather than a message-only window: FindWindowExW with no parent only sees
    // top-level windows. Without WS_VISIBLE it never appears.
    ::CreateWindowExW(0, className.c_str(), L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module, this);
    if (!window_) {
        PEL_LOG(L"mailbox window not created, error %u", static_cast<unsigned>(::GetLastError()));
        return false;
    }
    handler_ = handler;
    return true;
}

LRESULT CALLBACK WindowIPC::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* mailbox = static_cast<WindowIPC*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        mailbox->window_.reset(window);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(mailbox));
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    auto* mailbox = reinterpret_cast<WindowIPC*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        // Destroyed from outside (or by our own owner): the owner must not destroy it again.
        if (mailbox != nullptr && mailbox->window_.get() == window) mailbox->window_.release();
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (message > WM_USER || message == WM_COPYDATA) {
        if (mailbox != nullptr && mailbox->window_.get() == window && mailbox->handler_ != nullptr) {
            mailbox->handler_->onHandleWindowIPC(message, wParam, lParam);
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace utility
