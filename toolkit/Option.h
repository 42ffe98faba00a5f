#pragma once
// A check box: a button that toggles its selection and raises "selectchanged".

#include "toolkit/Button.h"

namespace toolkit {

class CSkinOption : public CSkinButton {
public:
    const wchar_t* typeName() const override { return L"Option"; }
    void* getInterface(const std::wstring& name) override;

    bool isSelected() const { return selected_; }
    // Raises "selectchanged" when the selection changes and notify is set.
    void selected(bool selected, bool notify = true);

    void setAttribute(const std::wstring& name, const std::wstring& value) override;
    void activate() override;
    long accessibleRole() const override;
    long accessibleState() const override;
    std::wstring accessibleAction() const override;

protected:
    const std::wstring& currentImage() const override;
    // In high contrast: a frame, filled while selected.
    void paintStatusImage(Painter& painter) override;

private:
    bool selected_ = false;
    std::wstring selectedImage_, selectedHotImage_;
};

}  // namespace toolkit
