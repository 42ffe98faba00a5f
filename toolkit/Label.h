#pragma once
// A control that shows text: font, colours, padding, alignment, wrapping and markup runs. With
// "minwidthex" it sizes itself to its text, no narrower than that value.

#include "toolkit/Control.h"
#include "toolkit/Painter.h"

namespace toolkit {

class CSkinLabel : public CSkinControl {
public:
    const wchar_t* typeName() const override { return L"Label"; }
    void* getInterface(const std::wstring& name) override;

    void setAttribute(const std::wstring& name, const std::wstring& value) override;
    SIZE estimateSize(SIZE available) override;
    long accessibleRole() const override;

    void setFont(int id);
    int font() const { return style_.fontId; }
    void setTextColor(uint32_t argb);
    uint32_t textColor() const { return style_.colour; }
    void setDisabledTextColor(uint32_t argb);
    void setTextPadding(const RECT& padding);
    const RECT& textPadding() const { return textPadding_; }
    void setShowHtml(bool markup);
    bool showHtml() const { return style_.markup; }
    bool isMultiline() const { return style_.multiline; }

protected:
    void paintText(Painter& painter) override;
    // The text colour for the control's current state.
    virtual uint32_t currentTextColor() const;
    // The same in high contrast, from the system's colours.
    virtual uint32_t highContrastTextColor(const SystemColours& colours) const;
    // The colour to draw the text in now.
    uint32_t textColourFor(const Painter& painter) const;
    RECT textRect() const;

    TextStyle style_;
    uint32_t disabledTextColor_ = 0xFFA0A0A0;
    RECT textPadding_{};
    int autoWidthMin_ = 0;  // "minwidthex"; 0: not sized to the text
};

}  // namespace toolkit
