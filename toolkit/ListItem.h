#pragma once
// An entry of a combo's list: a text, user data, and selecting it selects it in its combo.

#include "toolkit/Label.h"

namespace toolkit {

class CSkinCombo;

class CSkinListItem : public CSkinLabel {
public:
    const wchar_t* typeName() const override { return L"ListLabelElement"; }
    void* getInterface(const std::wstring& name) override;

    void setOwner(CSkinCombo* combo, int index);
    int index() const { return index_; }
    // Selects this entry in its combo, which raises "itemselect"; false when it has no combo.
    bool select(bool takeFocus = false);

    long accessibleRole() const override;
    long accessibleState() const override;
    std::wstring accessibleAction() const override { return L"Select"; }
    void doAccessibleAction() override;

private:
    CSkinCombo* owner_ = nullptr;
    int index_ = -1;
};

}  // namespace toolkit
