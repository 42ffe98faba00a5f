#pragma once
// A Win32 window owned by a C++ object: class registration on first use, the window procedure
// routed to a virtual message handler, and a final call once the window is gone. Window thread only.

#include <windows.h>

#include <string>

namespace toolkit {

class CNativeWindow {
public:
    CNativeWindow() = default;
    virtual ~CNativeWindow();
    CNativeWindow(const CNativeWindow&) = delete;
    CNativeWindow& operator=(const CNativeWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Registers the class when needed and creates the window; null on failure.
    HWND create(HWND owner, const std::wstring& title, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int width = CW_USEDEFAULT, int height = CW_USEDEFAULT);
    // Centres the window on its owner when it has a visible one, else on its monitor's work area.
    void centerWindow();
    void showWindow(bool show = true, bool takeFocus = true);
    // Asks the window to close; result travels as the WM_CLOSE wParam.
    void close(UINT result = IDOK);

protected:
    virtual const wchar_t* getWindowClassName() const = 0;
    virtual UINT getClassStyle() const { return CS_DBLCLKS; }
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs after WM_NCDESTROY; the object may delete itself here.
    virtual void onFinalMessage(HWND hwnd) {}

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

}  // namespace toolkit
