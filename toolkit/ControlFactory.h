#pragma once
// Builds live controls from a layout: the window's size, caption, fonts and defaults into its paint
// manager, and the control tree with each type's defaults applied before its own attributes.

#include <memory>
#include <optional>
#include <string>

#include "toolkit/Control.h"
#include "toolkit/LayoutDocument.h"

namespace toolkit {

class CPaintManager;

// Lets a window make controls of its own types, or its own kinds of the built-in ones.
class IBuilderCallback {
public:
    // A new control for the markup type, or null to use the built-in one.
    virtual CSkinControl* createControl(const std::wstring& type) = 0;

protected:
    ~IBuilderCallback() = default;
};

// A built-in control of the markup type, or null for an unknown type.
std::unique_ptr<CSkinControl> createBuiltInControl(const std::wstring& type);

// Fills manager from layout; nothing on success, else where and why it failed.
std::optional<LayoutError> buildWindow(const WindowLayout& layout, const std::wstring& fileName,
                                       CPaintManager& manager, IBuilderCallback* callback);

}  // namespace toolkit
