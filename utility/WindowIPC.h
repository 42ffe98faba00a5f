#pragma once
// A hidden top-level window that serves as a mailbox between processes: another process finds it by
// its class name (FindWindowExW with no parent) and posts to it. Messages above WM_USER and
// WM_COPYDATA go to the handler; the window answers 0 to them. Window thread only.

#include <windows.h>

#include <string>

#include "utility/ScopedHandle.h"

namespace utility {

class IWindowIPCHandle {
public:
    virtual int onHandleWindowIPC(UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~IWindowIPCHandle() = default;
};

class WindowIPC {
public:
    WindowIPC() = default;
    // Destroys the mailbox window on the calling thread, which must be the one that created it.
    ~WindowIPC() = default;
    WindowIPC(const WindowIPC&) = delete;
    WindowIPC& operator=(const WindowIPC&) = delete;

    // Registers the class (an existing registration is fine) and creates the window. False when no
    // window was made; the handler is kept only on success. A second call replaces the first window.
    bool create(const std::wstring& className, IWindowIPCHandle* handler);

    HWND hwnd() const { return window_.get(); }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    IWindowIPCHandle* handler_ = nullptr;
    UniqueWindow window_;  // recorded while the window is being created
};

}  // namespace utility
