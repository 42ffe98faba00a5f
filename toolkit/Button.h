#pragma once
// A clickable label: state images and colours for normal, hot, pushed, focused and disabled; raises
// "click" when released over itself, or on Space or Enter while focused.

#include "toolkit/Label.h"

namespace toolkit {

class CSkinButton : public CSkinLabel {
public:
    const wchar_t* typeName() const override { return L"Button"; }
    void* getInterface(const std::wstring& name) override;

    void setAttribute(const std::wstring& name, const std::wstring& value) override;
    bool isFocusable() const override { return true; }
    void handleEvent(ControlEvent& event) override;
    const wchar_t* cursor() const override;
    long accessibleRole() const override;
    long accessibleState() const override;
    std::wstring accessibleAction() const override;
    void doAccessibleAction() override { activate(); }

    void setNormalImage(const std::wstring& image);
    void setHotImage(const std::wstring& image);
    void setPushedImage(const std::wstring& image);
    void setFocusedImage(const std::wstring& image);
    void setDisabledImage(const std::wstring& image);
    void setHotBkColor(uint32_t argb);
    void setPushedBkColor(uint32_t argb);
    void setHotTextColor(uint32_t argb);
    void setPushedTextColor(uint32_t argb);

    // What a click does; buttons raise "click".
    virtual void activate();

protected:
    void paintBackground(Painter& painter) override;
    void paintStatusImage(Painter& painter) override;
    void paintBorder(Painter& painter) override;
    uint32_t currentTextColor() const override;
    uint32_t highContrastTextColor(const SystemColours& colours) const override;
    // In high contrast a button with a caption gets the scheme's face and frame; an icon button its
    // image's shape in the scheme's text colour.
    void paintHighContrastFace(Painter& painter, const SystemColours& colours);
    bool isHot() const;
    bool isPushed() const;
    // Drawn as a link: text alone under a hand cursor, no face of its own.
    bool looksLikeLink() const;
    // The state image to draw now, from the most specific state that has one.
    virtual const std::wstring& currentImage() const;

    std::wstring normalImage_, hotImage_, pushedImage_, focusedImage_, disabledImage_;
    uint32_t hotBkColor_ = 0, pushedBkColor_ = 0, hotTextColor_ = 0, pushedTextColor_ = 0;
    uint32_t focusBorderColor_ = 0xFF2196F3;
    bool handCursor_ = false;
};

}  // namespace toolkit
