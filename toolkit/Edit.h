#pragma once
// A single-line text entry drawn by the toolkit: caret, selection, keyboard editing, the clipboard
// and input methods. Raises "textchanged" on every change, "return" on Enter and "killfocus" when
// the focus leaves it.

#include "toolkit/Label.h"

namespace toolkit {

class CSkinEdit : public CSkinLabel {
public:
    const wchar_t* typeName() const override { return L"Edit"; }
    void* getInterface(const std::wstring& name) override;

    void setText(const std::wstring& text) override;
    void setAttribute(const std::wstring& name, const std::wstring& value) override;
    bool isFocusable() const override { return true; }
    void handleEvent(ControlEvent& event) override;
    const wchar_t* cursor() const override { return IDC_IBEAM; }
    long accessibleRole() const override;
    std::wstring accessibleName() const override { return labelName(); }
    std::wstring accessibleValue() const override { return text(); }

    void setNormalImage(const std::wstring& image);
    void setHotImage(const std::wstring& image);
    void setFocusedImage(const std::wstring& image);

    size_t caret() const { return caret_; }
    // The selected range [first, second), first <= second.
    std::pair<size_t, size_t> selection() const;
    void setSelection(size_t anchor, size_t caret);

protected:
    void paintBackground(Painter& painter) override;
    void paintStatusImage(Painter& painter) override;
    void paintText(Painter& painter) override;
    void paintBorder(Painter& painter) override;

private:
    bool onKey(const ControlEvent& event);
    void onChar(wchar_t c);
    void replaceSelection(const std::wstring& text);
    void copySelection() const;
    void paste();
    size_t positionAt(int x);
    int textX(size_t position);
    void placeInputMethod();
    void restartBlink();

    std::wstring normalImage_, hotImage_, focusedImage_;
    uint32_t caretColor_ = 0xFF333333;
    uint32_t nativeBkColor_ = 0;
    uint32_t hotBorderColor_ = 0;
    uint32_t focusBorderColor_ = 0;
    size_t maxChars_ = 255;
    size_t caret_ = 0;
    size_t anchor_ = 0;
    int scroll_ = 0;  // pixels of text scrolled out on the left
    bool caretShown_ = true;
    bool selecting_ = false;
};

}  // namespace toolkit
