#pragma once
// Read-only multi-line text that wraps and scrolls: the mouse wheel, the scroll bar's thumb (drawn
// with the "VScrollBar" defaults of the layout), and the arrow and page keys while focused.

#include "toolkit/Label.h"

namespace toolkit {

class CSkinRichEdit : public CSkinLabel {
public:
    CSkinRichEdit();
    const wchar_t* typeName() const override { return L"RichEdit"; }
    void* getInterface(const std::wstring& name) override;

    void setText(const std::wstring& text) override;
    void setAttribute(const std::wstring& name, const std::wstring& value) override;
    void attach(CPaintManager* manager, CSkinControl* parent) override;
    bool isFocusable() const override { return true; }
    void handleEvent(ControlEvent& event) override;
    long accessibleRole() const override;
    long accessibleState() const override;
    std::wstring accessibleName() const override { return labelName(); }
    std::wstring accessibleValue() const override { return text(); }

    int scrollPos() const { return scroll_; }
    // Pixels of text that do not fit; the largest scroll position.
    int scrollRange();
    void scrollTo(int position);

protected:
    void paintText(Painter& painter) override;
    void paintBorder(Painter& painter) override;

private:
    RECT barRect() const;
    RECT thumbRect();
    int contentHeight();
    int lineStep();

    bool scrollBar_ = true;
    bool autoScroll_ = false;
    int barWidth_ = 6;
    std::wstring barImage_, thumbImage_, thumbHotImage_, thumbPushedImage_;
    int scroll_ = 0;
    int contentHeight_ = -1;  // measured on demand; -1 after a change
    int contentWidth_ = 0;  // the width contentHeight_ was measured for
    int dragOffset_ = -1;  // where in the thumb a drag holds it; -1 when not dragging
    bool thumbHot_ = false;
};

}  // namespace toolkit
