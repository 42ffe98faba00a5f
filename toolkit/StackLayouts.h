#pragma once
// Containers that stack their visible children: top to bottom, or left to right. Children with a
// fixed size along the stack get it; the others share what is left equally.

#include "toolkit/Container.h"

namespace toolkit {

class CSkinVerticalLayout : public CSkinContainer {
public:
    const wchar_t* typeName() const override { return L"VerticalLayout"; }

protected:
    void layoutChildren(const RECT& area) override;
};

class CSkinHorizontalLayout : public CSkinContainer {
public:
    const wchar_t* typeName() const override { return L"HorizontalLayout"; }

protected:
    void layoutChildren(const RECT& area) override;
};

}  // namespace toolkit
