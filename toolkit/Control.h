#pragma once
// The base of every control: name, text, tooltip, user data, visibility, placement in its
// container, background, border, and the markup attributes they come from. Controls belong to a
// window's paint manager and live on the window thread.

#include <windows.h>

#include <cstdint>
#include <string>

#include "toolkit/ControlEvent.h"

namespace toolkit {

class CPaintManager;
class Painter;

// A fresh accessible id, for what a screen reader sees apart from the controls (a combo's list).
int newAccessibleId();

class CSkinControl {
public:
    CSkinControl();
    virtual ~CSkinControl() = default;
    CSkinControl(const CSkinControl&) = delete;
    CSkinControl& operator=(const CSkinControl&) = delete;

    // The markup element this control is made from.
    virtual const wchar_t* typeName() const { return L"Control"; }
    // This control seen as the named interface ("Control", "Button", "Selection", ...), or null.
    virtual void* getInterface(const std::wstring& name);

    const std::wstring& name() const { return name_; }
    void setName(const std::wstring& name) { name_ = name; }
    const std::wstring& text() const { return text_; }
    virtual void setText(const std::wstring& text);
    const std::wstring& tooltip() const { return tooltip_; }
    void setTooltip(const std::wstring& tooltip);
    // The text-table key ("@close_tip") the text or the tooltip came from, empty when none; the
    // control's own setText or setTooltip forgets it.
    const std::wstring& textKey() const { return textKey_; }
    void setTextKey(const std::wstring& key) { textKey_ = key; }
    const std::wstring& tooltipKey() const { return tooltipKey_; }
    void setTooltipKey(const std::wstring& key) { tooltipKey_ = key; }
    // Looks the remembered keys up again, after the text table changed language.
    void reapplyTextKeys();
    const std::wstring& userData() const { return userData_; }
    void setUserData(const std::wstring& data) { userData_ = data; }

    bool isVisible() const { return visible_; }
    // Visible itself and in every container above it.
    bool isShown() const;
    virtual void setVisible(bool visible);
    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isMouseEnabled() const { return mouseEnabled_; }
    virtual bool isFocusable() const { return false; }
    bool isFocused() const;
    void setFocus();

    // Placement.
    const RECT& rect() const { return rect_; }
    virtual void setPosition(const RECT& rect) { rect_ = rect; }
    int fixedWidth() const { return fixedWidth_; }
    int fixedHeight() const { return fixedHeight_; }
    void setFixedWidth(int width);
    void setFixedHeight(int height);
    int minWidth() const { return minWidth_; }
    void setMinWidth(int width);
    const RECT& padding() const { return padding_; }
    void setPadding(const RECT& padding);
    bool isFloat() const { return float_; }
    const RECT& floatPos() const { return floatPos_; }
    // The size this control wants inside available space; 0 in a direction means "stretch".
    virtual SIZE estimateSize(SIZE available);

    // Appearance.
    void setBkColor(uint32_t argb);
    uint32_t bkColor() const { return bkColor_; }
    void setBkImage(const std::wstring& image);
    const std::wstring& bkImage() const { return bkImage_; }

    // Any markup attribute by name; unknown names are ignored.
    virtual void setAttribute(const std::wstring& name, const std::wstring& value);

    virtual void paint(Painter& painter);

    // The deepest visible control at point (window client coordinates), or null.
    virtual CSkinControl* findControlAt(POINT point);
    virtual CSkinControl* findByName(const std::wstring& name);
    virtual size_t childCount() const { return 0; }
    virtual CSkinControl* childAt(size_t) const { return nullptr; }

    // How assistive technology sees this control. Role 0 keeps it out of the accessible tree
    // (spacers, pictures, containers): its children are seen in its place.
    virtual long accessibleRole() const { return 0; }
    // The name a screen reader says: the one the program set, else the text without its markup,
    // else the tooltip (icon buttons).
    virtual std::wstring accessibleName() const;
    void setAccessibleName(const std::wstring& name);
    virtual std::wstring accessibleValue() const { return {}; }
    // States of its own kind (checked, expanded, ...); shown, enabled, focus and hot are common.
    virtual long accessibleState() const { return 0; }
    // What a click does, by name, and doing it; empty for a control a click does nothing to.
    virtual std::wstring accessibleAction() const { return {}; }
    virtual void doAccessibleAction() {}
    // Unique in the process while the control lives: names it in accessibility events.
    int accessibleId() const { return accessibleId_; }
    // Tells assistive technology that something of this control changed (EVENT_OBJECT_...).
    void notifyAccessible(DWORD event);

    virtual void handleEvent(ControlEvent& event);
    // The cursor over this control; null for the arrow.
    virtual const wchar_t* cursor() const { return nullptr; }

    CSkinControl* parent() const { return parent_; }
    CPaintManager* manager() const { return manager_; }
    virtual void attach(CPaintManager* manager, CSkinControl* parent);

    // Asks the window to paint again, or to lay out and paint again.
    void invalidate();
    void relayout();

protected:
    virtual void paintBackground(Painter& painter);
    virtual void paintStatusImage(Painter& painter) {}
    virtual void paintText(Painter& painter) {}
    virtual void paintBorder(Painter& painter);
    // Sends a notification from this control to its window.
    void notify(const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);
    // For controls whose text is their value, not their name: the name set, else the tooltip.
    std::wstring labelName() const { return accessibleName_.empty() ? tooltip_ : accessibleName_; }

    uint32_t borderColor_ = 0;
    int borderSize_ = 0;
    int borderRound_ = 0;

private:
    std::wstring name_;
    std::wstring text_;
    std::wstring tooltip_;
    std::wstring textKey_;
    std::wstring tooltipKey_;
    std::wstring userData_;
    std::wstring accessibleName_;
    int accessibleId_;
    bool visible_ = true;
    bool enabled_ = true;
    bool mouseEnabled_ = true;
    RECT rect_{};
    int fixedWidth_ = 0;
    int fixedHeight_ = 0;
    int minWidth_ = 0;
    RECT padding_{};
    bool float_ = false;
    RECT floatPos_{};
    uint32_t bkColor_ = 0;
    std::wstring bkImage_;
    CSkinControl* parent_ = nullptr;
    CPaintManager* manager_ = nullptr;
};

}  // namespace toolkit
