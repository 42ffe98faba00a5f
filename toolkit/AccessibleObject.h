#pragma once
// One node of a window's accessible tree as Microsoft Active Accessibility sees it: an IAccessible
// that asks the tree about its node on every call. UI Automation reads it through its MSAA bridge.
// Called on the window thread (COM delivers calls from other processes through its message loop).

#include <windows.h>
#include <oleacc.h>

#include <memory>

#include "toolkit/AccessibleTree.h"

namespace toolkit {

// A new object for node id of tree, with one reference that the caller owns.
IAccessible* createAccessibleObject(std::shared_ptr<AccessibleTree> tree, int id);

}  // namespace toolkit
