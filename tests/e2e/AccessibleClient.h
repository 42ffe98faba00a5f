#pragma once
// Another program's windows as a screen reader meets them through Microsoft Active Accessibility: the
// accessible object of a window's client (AccessibleObjectFromWindow, across the process boundary),
// its children, roles, names, values, states, places and default actions, and the WinEvents the
// program announces (out of context, delivered while the listening thread pumps its messages).

#include <windows.h>
#include <oleacc.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// COM for the calling thread, a single-threaded apartment as screen readers use.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool ok() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

// One accessible object: a full object, or a simple element of one (child id above 0).
class AccessibleNode {
public:
    AccessibleNode() = default;
    // Takes over one reference of object.
    AccessibleNode(IAccessible* object, long child);
    AccessibleNode(const AccessibleNode& other);
    AccessibleNode& operator=(AccessibleNode other);
    ~AccessibleNode();

    // The object of the window's client area; empty when the window gave none.
    static AccessibleNode ofWindow(HWND window, HRESULT* result = nullptr);

    explicit operator bool() const { return object_ != nullptr; }
    IAccessible* object() const { return object_; }
    long childId() const { return child_; }

    long role() const;
    std::wstring name() const;
    std::wstring value() const;
    long state() const;
    bool has(long stateBits) const { return (state() & stateBits) == stateBits; }
    // The default action's name; empty when there is none.
    std::wstring defaultAction() const;
    HRESULT doDefaultAction() const;
    // On the screen; nothing when the object gave no place.
    std::optional<RECT> location() const;

    long childCount() const;
    // Through AccessibleChildren, as clients walk a tree.
    std::vector<AccessibleNode> children() const;
    // get_accChild with a child id: a position (1..n), or a negative id of an event.
    AccessibleNode child(long id) const;
    AccessibleNode parent() const;
    AccessibleNode focus() const;
    AccessibleNode navigate(long direction) const;
    AccessibleNode hitTest(POINT screen) const;
    // Every object below this one, depth first, in the order of the children.
    std::vector<AccessibleNode> descendants() const;

    // "push button \"Quick install\"", for messages.
    std::string describe() const;

private:
    VARIANT self() const;
    // A number property (role, state) or a text property of this node itself.
    long number(HRESULT (STDMETHODCALLTYPE IAccessible::*read)(VARIANT, VARIANT*)) const;
    std::wstring text(HRESULT (STDMETHODCALLTYPE IAccessible::*read)(VARIANT, BSTR*)) const;
    // An object or element a call returned in a VARIANT; empty for nothing or CHILDID_SELF of none.
    AccessibleNode fromVariant(VARIANT& variant) const;

    IAccessible* object_ = nullptr;
    long child_ = CHILDID_SELF;
};

// The first of nodes with this role and name; empty when there is none.
AccessibleNode findNode(const std::vector<AccessibleNode>& nodes, long role, const std::wstring& name);
// Where it is among nodes (same role, name and place); -1 when it is not there.
int indexOf(const std::vector<AccessibleNode>& nodes, const AccessibleNode& node);

// The system's name of a role ("push button").
std::string roleText(long role);

struct WinEvent {
    DWORD event;
    HWND window;
    LONG object;
    LONG child;
};

// WinEvents of one process's windows, recorded from construction on.
class WinEventLog {
public:
    WinEventLog(DWORD pid, DWORD eventMin, DWORD eventMax);
    ~WinEventLog();
    WinEventLog(const WinEventLog&) = delete;
    WinEventLog& operator=(const WinEventLog&) = delete;
    bool listening() const { return hook_ != nullptr; }

    // Forgets what came so far.
    void clear() { events_.clear(); }
    const std::vector<WinEvent>& events() const { return events_; }
    // Pumps this thread's messages until an event that matches has come (one already recorded counts).
    std::optional<WinEvent> waitFor(const std::function<bool(const WinEvent&)>& matches,
                                    std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    static void CALLBACK onEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child, DWORD thread,
                                 DWORD time);

    DWORD pid_;
    HWINEVENTHOOK hook_ = nullptr;
    std::vector<WinEvent> events_;
};

}  // namespace e2e
