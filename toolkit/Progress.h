#pragma once
// A horizontal bar: the background, then the fore image or colour over the part from min to value.

#include "toolkit/Label.h"

namespace toolkit {

class CSkinProgress : public CSkinLabel {
public:
    const wchar_t* typeName() const override { return L"Progress"; }
    void* getInterface(const std::wstring& name) override;

    int value() const { return value_; }
    // Clamped to [min, max].
    void setValue(int value);

    void setAttribute(const std::wstring& name, const std::wstring& value) override;
    long accessibleRole() const override;
    // The percentage done, as "42%".
    std::wstring accessibleValue() const override;

protected:
    // In high contrast: a frame in the scheme's text colour, filled in its highlight.
    void paintBackground(Painter& painter) override;
    void paintStatusImage(Painter& painter) override;

private:
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    std::wstring foreImage_;
    uint32_t foreColor_ = 0;
};

}  // namespace toolkit
