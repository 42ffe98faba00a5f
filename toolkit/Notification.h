#pragma once
// A named notification from a control to its window ("click", "selectchanged", "itemselect",
// "killfocus", "textchanged", "return"), and the listener that receives them.

#include <windows.h>

#include <string>

namespace toolkit {

class CSkinControl;

struct Notification {
    std::wstring type;
    CSkinControl* sender = nullptr;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyListener {
public:
    virtual void notify(Notification& notification) = 0;

protected:
    ~INotifyListener() = default;
};

}  // namespace toolkit
