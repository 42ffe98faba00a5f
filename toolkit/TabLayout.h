#pragma once
// A container that shows one child at a time, each filling it, selected by index.

#include "toolkit/Container.h"

namespace toolkit {

class CSkinTabLayout : public CSkinContainer {
public:
    const wchar_t* typeName() const override { return L"TabLayout"; }
    void* getInterface(const std::wstring& name) override;

    int currentIndex() const { return current_; }
    // False, changing nothing, when index names no child.
    bool selectItem(int index);

    void setAttribute(const std::wstring& name, const std::wstring& value) override;
    void attach(CPaintManager* manager, CSkinControl* parent) override;

protected:
    void layoutChildren(const RECT& area) override;

private:
    void showOnly(int index);

    int current_ = 0;
};

}  // namespace toolkit
