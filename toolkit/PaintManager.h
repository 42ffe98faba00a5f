#pragma once
// Hosts a tree of controls in one window: layout, painting into a premultiplied frame shown with
// UpdateLayeredWindow, mouse and keyboard routing (hot, pushed, focus, capture), control timers,
// tooltips and notifications. Without a window it still lays out and paints, for pictures.
// Controls live in layout pixels; the frame, the mouse and the screen in device pixels of the
// manager's display scale. Window thread only.

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/Canvas.h"
#include "toolkit/Control.h"
#include "toolkit/DisplayScale.h"
#include "toolkit/FontTable.h"
#include "utility/ScopedHandle.h"
#include "toolkit/Notification.h"

namespace toolkit {

class AccessibleTree;

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

    // In layout pixels.
    SIZE size() const { return size_; }
    void setSize(SIZE size);
    // The frame's size: size() at the display scale.
    SIZE deviceSize() const { return scale_.toDevice(size_); }
    const DisplayScale& scale() const { return scale_; }
    // Draws everything at dpi from the next frame on: fonts, images, the frame and the input follow.
    void setDpi(UINT dpi);
    // A control rectangle on the screen, in device pixels; as in the client area without a window.
    RECT toScreen(const RECT& layout) const;
    // Rectangle from the window's edges in which a drag moves the window; bottom 0: none.
    void setCaption(const RECT& caption) { caption_ = caption; }
    void setLayeredImage(const std::wstring& image) { layeredImage_ = image; }

    FontTable& fonts() { return fonts_; }
    // The size of text in font fontId, for controls that size themselves or place a caret.
    SIZE measureText(const std::wstring& text, int fontId, bool multiline = false, int maxWidth = 0);
    // The room a control sized to its one-line text takes: what the text needs at 100 % unless it
    // needs more at this scale. Small fonts are hinted wider, so a layout that fits at 100 % keeps
    // its places at every scale, and text never gets less room than it needs.
    SIZE measureTextForLayout(const std::wstring& text, int fontId);
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

    // Accessibility: the role of the window itself (ROLE_SYSTEM_CLIENT, or DIALOG for a box), the
    // answer to WM_GETOBJECT for the node of accessible id (0: the window), an event for a control
    // (null: the window), and the default action of a node, run on the window's own turn.
    long accessibleWindowRole() const { return accessibleWindowRole_; }
    void setAccessibleWindowRole(long role) { accessibleWindowRole_ = role; }
    LRESULT accessibleObject(WPARAM wParam, int id);
    void accessibleEvent(DWORD event, CSkinControl* control);
    void runAccessibleAction(int id);

    // A control that goes away must be forgotten first.
    void forget(CSkinControl* control);

    void invalidate();
    void needLayout();
    // Lays out if needed and paints everything into canvas (which must have deviceSize()).
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
    void applyTooltipFont();
    static UINT repaintMessage();
    static UINT accessibleActionMessage();
    void doAccessibleAction(int id);

    HWND window_ = nullptr;
    std::unique_ptr<CSkinControl> root_;
    SIZE size_{};
    DisplayScale scale_;
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
    std::shared_ptr<AccessibleTree> accessible_;  // made when first asked for
    long accessibleWindowRole_;
    HWND tooltip_ = nullptr;
    utility::UniqueGdiObject<HFONT> tooltipFont_;
    CSkinControl* tooltipControl_ = nullptr;
};

}  // namespace toolkit
