#pragma once
// The base of the program's windows: a layered window whose content is built from a layout of the
// skin package, with notifications routed by (type, control name) and the usual handling of the
// title-bar buttons "closebtn", "minbtn", "maxbtn" and "restorebtn".

#include <windows.h>

#include <string>

#include "toolkit/ControlFactory.h"
#include "toolkit/MessageFilter.h"
#include "toolkit/NativeWindow.h"
#include "toolkit/NotifyRouter.h"
#include "toolkit/PaintManager.h"

namespace toolkit {

class SkinWindow : public CNativeWindow,
                   public CNotifyRouter,
                   public INotifyListener,
                   public IMessageFilter,
                   public IBuilderCallback {
public:
    SkinWindow() = default;

    // Creates the window (always layered); the layout is built while it is created, and a layout
    // that cannot be built ends the process (see reportLayoutFailure).
    HWND create(HWND owner, const std::wstring& title, DWORD style, DWORD exStyle);

    CPaintManager& paintManager() { return manager_; }
    template <typename T = CSkinControl>
    T* findControl(const std::wstring& name) const {
        return dynamic_cast<T*>(manager_.findControl(name));
    }

    // Gives the window a new size in layout pixels, at its display scale.
    void resizeTo(SIZE layoutSize);

    // Window timers arrive as WM_TIMER at handleMessage.
    bool setWindowTimer(UINT id, UINT milliseconds);
    void killWindowTimer(UINT id);

    void notify(Notification& notification) override;
    LRESULT messageFilter(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    CSkinControl* createControl(const std::wstring& type) override { return nullptr; }

protected:
    virtual std::wstring getSkinFolder() const { return L""; }
    virtual std::wstring getSkinFile() const = 0;
    // Runs once the layout is built, before the window is first shown.
    virtual void initWindow() {}
    virtual void onClick(Notification& notification);
    virtual LRESULT onClose(WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT onDestroy(WPARAM wParam, LPARAM lParam, bool& handled);

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void buildLayout();
    // Moving to a monitor of another scale: the suggested rectangle and everything drawn follow.
    void onDpiChanged(UINT dpi, const RECT& suggested);

    CPaintManager manager_;
};

// Shows "load resource errr. location:<location> msg:<message>" in a system message box titled
// "SkinUI" and ends the process with exit code 1.
[[noreturn]] void reportLayoutFailure(const LayoutError& error);

}  // namespace toolkit
