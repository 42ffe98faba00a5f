#pragma once
// What assistive technology sees of one window: the window's client as the root, and under it every
// control that shows and means something to a user (a role other than 0), containers flattened
// away; a combo holds its list, the list its entries. Nodes are named by accessible ids, 0 for the
// root, so that a screen reader's object outlives nothing: once its control or the window is gone it
// answers that it is no longer connected. Window thread only, as the controls.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace toolkit {

class CPaintManager;
class CSkinControl;
class CSkinCombo;

class AccessibleTree {
public:
    explicit AccessibleTree(CPaintManager& manager) : manager_(&manager) {}
    // The window is going away.
    void detach() { manager_ = nullptr; }
    bool isAttached() const { return manager_ != nullptr; }

    // What a node is: a control, the list of a combo, or the root (both null).
    struct Target {
        CSkinControl* control = nullptr;
        CSkinCombo* listOf = nullptr;
    };
    // Nothing when the id names nothing that exists now.
    std::optional<Target> find(int id) const;
    std::vector<int> children(int id) const;
    // The root for a node under no other; nothing for the root itself.
    std::optional<int> parent(int id) const;

    long role(int id) const;
    std::wstring name(int id) const;
    std::wstring value(int id) const;
    long state(int id) const;
    std::wstring action(int id) const;
    // Runs the action later, on the window's own turn; false when the node has none now.
    bool doAction(int id) const;
    bool focus(int id) const;
    // On the screen, in device pixels; false when it is not placed anywhere.
    bool location(int id, RECT& rect) const;
    // The node at a screen point: the deepest one, or the root; nothing outside the window.
    std::optional<int> hitTest(POINT screen) const;
    // The node that has the keyboard focus; nothing when the window has not.
    std::optional<int> focused() const;

    HWND window() const;

private:
    std::vector<int> controlChildren(CSkinControl* control) const;

    CPaintManager* manager_;
};

}  // namespace toolkit
