#pragma once
// Hosts a tree of controls in one window: layout, painting into a premultiplied frame shown with
// UpdateLayeredWindow, mouse and keyboard routing (hot, pushed, focus, capture), control timers,
// tooltips and notifications. Without a window it still lays out and paints, for pictures.
// Window thread only.

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/Canvas.h"
#include "toolkit/Control.h"
#include "toolkit/FontTable.h"
#include "toolkit/Notification.h"

namespace toolkit {

using AttributeList = std::vector<std::pair<std::wstring, std::wstring>>;

class CPaintManager {
public:
    CPaintManager();
    ~CPaintManager();
    CPaintManager(const CPaintManager&) = delete;
    CPaintManager& operator=(const CPaintManager&) = delete;

    // The window shown and read for input; null paints off-screen only.
    void attach(HWND window);
    HWND window() const { return window_; }

    void setRoot(std::unique_ptr<CSkinControl> root);
    CSkinControl* root() const { return root_.get(); }
    CSkinControl* findControl(const std::wstring& name) const;
    // Every control looks its text-table keys up again, after a language change.
    void reapplyTextKeys();
    // The paint managers that exist now, one per skinned window (and per off-screen layout).
    static const std::vector<CPaintManager*>& all();

    SIZE size() const { return size_; }
    void setSize(SIZE size);
    // Rectangle from the window's edges in which a drag moves the window; bottom 0: none.
    void setCaption(const RECT& caption) { caption_ = caption; }
    void setLayeredImage(const std::wstring& image) { layeredImage_ = image; }

    FontTable& fonts() { return fonts_; }
    // The size of text in font fontId, for controls that size themselves or place a caret.
    SIZE measureText(const std::wstring& text, int fontId, bool multiline = false, int maxWidth = 0);
    void setDefaultAttributes(const std::wstring& type, AttributeList attributes);
    const AttributeList* defaultAttributes(const std::wstring& type) const;

    void addListener(INotifyListener* listener);
    void sendNotify(CSkinControl* sender, const std::wstring& type, WPARAM wParam = 0, LPARAM lParam = 0);

    CSkinControl* focused() const { return focused_; }
    void setFocus(CSkinControl* control);
    // The focus is drawn once the keyboard has been used, as Windows does.
    bool focusVisible() const { return focusVisible_; }
    // Tab and Shift+Tab: the next or previous shown, enabled, focusable control.
    void moveFocus(bool backwards);
    CSkinControl* hot() const { return hot_; }
    CSkinControl* pushed() const { return pushed_; }

    // A control that goes away must be forgotten first.
    void forget(CSkinControl* control);

    void invalidate();
    void needLayout();
    // Lays out if needed and paints everything into canvas (which must have the window's size).
    void render(Canvas& canvas);
    // The last frame shown; null before the first.
    const Canvas* frame() const { return frame_.get(); }
    // Milliseconds the last full paint took.
    double lastPaintMs() const { return lastPaintMs_; }

    bool setTimer(CSkinControl* control, UINT id, UINT milliseconds);
    void killTimer(CSkinControl* control, UINT id);

    // Handles the window's message when it concerns the controls; result is what to return.
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    void layout();
    void present();
    void paintTree(Painter& painter);
    void setHot(CSkinControl* control);
    void dispatch(CSkinControl* control, ControlEvent event);
    bool onMouse(UINT message, WPARAM wParam, LPARAM lParam);
    bool onKey(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT hitTest(LPARAM lParam);
    void updateTooltip(CSkinControl* control);
    static UINT repaintMessage();

    HWND window_ = nullptr;
    std::unique_ptr<CSkinControl> root_;
    SIZE size_{};
    RECT caption_{};
    std::wstring layeredImage_;
    FontTable fonts_;
    Canvas measuring_{1, 1};
    std::map<std::wstring, AttributeList> defaults_;
    std::vector<INotifyListener*> listeners_;
    CSkinControl* focused_ = nullptr;
    CSkinControl* hot_ = nullptr;
    CSkinControl* pushed_ = nullptr;
    bool focusVisible_ = false;
    bool layoutNeeded_ = true;
    bool repaintPending_ = false;
    bool mouseTracking_ = false;
    std::unique_ptr<Canvas> frame_;
    double lastPaintMs_ = 0;
    struct ControlTimer {
        CSkinControl* control;
        UINT id;
    };
    std::map<UINT_PTR, ControlTimer> timers_;  // window timer id -> control's own id
    UINT_PTR nextTimerId_ = 0x1000;
    HWND tooltip_ = nullptr;
    CSkinControl* tooltipControl_ = nullptr;
};

}  // namespace toolkit
