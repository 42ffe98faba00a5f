#pragma once
// What the window tells a control: mouse, keyboard, focus and timer events, in control terms.

#include <windows.h>

namespace toolkit {

enum class EventType {
    MouseEnter,
    MouseLeave,
    MouseMove,
    ButtonDown,
    ButtonUp,
    DoubleClick,
    ScrollWheel,
    KeyDown,
    Char,
    SetFocus,
    KillFocus,
    Timer,
    ImeComposition,
};

struct ControlEvent {
    EventType type;
    POINT point{};  // window client coordinates for mouse events
    WPARAM wParam = 0;  // key code, character, wheel delta or timer id
    LPARAM lParam = 0;
    bool shift = false;
    bool control = false;
};

}  // namespace toolkit
