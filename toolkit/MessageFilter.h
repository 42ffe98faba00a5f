#pragma once
// Sees a window's messages before the toolkit does; set handled to keep them from it.

#include <windows.h>

namespace toolkit {

class IMessageFilter {
public:
    virtual LRESULT messageFilter(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

protected:
    ~IMessageFilter() = default;
};

}  // namespace toolkit
