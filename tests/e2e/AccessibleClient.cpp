#include "tests/e2e/AccessibleClient.h"

#include <algorithm>
#include <utility>

#include "tests/support/MessagePump.h"
#include "utility/UString.h"

namespace e2e {

namespace {

// MinGW's liboleacc.a gives IID_IAccessible as an import thunk, not the GUID: every request with it
// is refused. The type's own id is right.
const IID kAccessible = __uuidof(IAccessible);

std::wstring takeText(HRESULT result, BSTR text) {
    std::wstring out;
    if (SUCCEEDED(result) && text) out.assign(text, ::SysStringLen(text));
    if (text) ::SysFreeString(text);
    return out;
}

std::vector<WinEventLog*>& liveLogs() {
    static std::vector<WinEventLog*> logs;
    return logs;
}

}  // namespace

ComApartment::ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

ComApartment::~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
}

AccessibleNode::AccessibleNode(IAccessible* object, long child) : object_(object), child_(child) {}

AccessibleNode::AccessibleNode(const AccessibleNode& other) : object_(other.object_), child_(other.child_) {
    if (object_) object_->AddRef();
}

AccessibleNode& AccessibleNode::operator=(AccessibleNode other) {
    std::swap(object_, other.object_);
    std::swap(child_, other.child_);
    return *this;
}

AccessibleNode::~AccessibleNode() {
    if (object_) object_->Release();
}

AccessibleNode AccessibleNode::ofWindow(HWND window, HRESULT* result) {
    IAccessible* object = nullptr;
    const HRESULT got = ::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kAccessible,
                                                     reinterpret_cast<void**>(&object));
    if (result) *result = got;
    return SUCCEEDED(got) && object ? AccessibleNode(object, CHILDID_SELF) : AccessibleNode();
}

VARIANT AccessibleNode::self() const {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = child_;
    return v;
}

AccessibleNode AccessibleNode::fromVariant(VARIANT& variant) const {
    AccessibleNode node;
    if (variant.vt == VT_DISPATCH && variant.pdispVal) {
        IAccessible* object = nullptr;
        if (SUCCEEDED(variant.pdispVal->QueryInterface(kAccessible, reinterpret_cast<void**>(&object))) && object) {
            node = AccessibleNode(object, CHILDID_SELF);
        }
    } else if (variant.vt == VT_I4 && object_) {
        object_->AddRef();
        node = AccessibleNode(object_, variant.lVal);
    }
    ::VariantClear(&variant);
    return node;
}

long AccessibleNode::number(HRESULT (STDMETHODCALLTYPE IAccessible::*read)(VARIANT, VARIANT*)) const {
    if (!object_) return 0;
    VARIANT number;
    ::VariantInit(&number);
    const HRESULT result = (object_->*read)(self(), &number);
    const long value = SUCCEEDED(result) && number.vt == VT_I4 ? number.lVal : 0;
    ::VariantClear(&number);
    return value;
}

std::wstring AccessibleNode::text(HRESULT (STDMETHODCALLTYPE IAccessible::*read)(VARIANT, BSTR*)) const {
    if (!object_) return {};
    BSTR text = nullptr;
    const HRESULT result = (object_->*read)(self(), &text);
    return takeText(result, text);
}

long AccessibleNode::role() const { return number(&IAccessible::get_accRole); }
std::wstring AccessibleNode::name() const { return text(&IAccessible::get_accName); }
std::wstring AccessibleNode::value() const { return text(&IAccessible::get_accValue); }
long AccessibleNode::state() const { return number(&IAccessible::get_accState); }
std::wstring AccessibleNode::defaultAction() const { return text(&IAccessible::get_accDefaultAction); }

HRESULT AccessibleNode::doDefaultAction() const { return object_ ? object_->accDoDefaultAction(self()) : E_POINTER; }

std::optional<RECT> AccessibleNode::location() const {
    if (!object_) return std::nullopt;
    long left = 0, top = 0, width = 0, height = 0;
    if (object_->accLocation(&left, &top, &width, &height, self()) != S_OK) return std::nullopt;
    return RECT{left, top, left + width, top + height};
}

long AccessibleNode::childCount() const {
    long count = 0;
    if (!object_ || child_ != CHILDID_SELF || FAILED(object_->get_accChildCount(&count))) return 0;
    return count;
}

std::vector<AccessibleNode> AccessibleNode::children() const {
    std::vector<AccessibleNode> out;
    const long count = childCount();
    if (count <= 0) return out;
    std::vector<VARIANT> found(static_cast<size_t>(count));
    long obtained = 0;
    if (FAILED(::AccessibleChildren(object_, 0, count, found.data(), &obtained))) return out;
    for (long i = 0; i < obtained; ++i) {
        AccessibleNode node = fromVariant(found[i]);
        if (node) out.push_back(node);
    }
    return out;
}

AccessibleNode AccessibleNode::child(long id) const {
    if (!object_) return {};
    VARIANT which;
    ::VariantInit(&which);
    which.vt = VT_I4;
    which.lVal = id;
    IDispatch* dispatch = nullptr;
    if (object_->get_accChild(which, &dispatch) != S_OK || !dispatch) {
        if (dispatch) dispatch->Release();
        return {};
    }
    VARIANT holder;
    ::VariantInit(&holder);
    holder.vt = VT_DISPATCH;
    holder.pdispVal = dispatch;
    return fromVariant(holder);
}

AccessibleNode AccessibleNode::parent() const {
    if (!object_) return {};
    if (child_ != CHILDID_SELF) {
        object_->AddRef();
        return AccessibleNode(object_, CHILDID_SELF);
    }
    IDispatch* dispatch = nullptr;
    if (object_->get_accParent(&dispatch) != S_OK || !dispatch) return {};
    VARIANT holder;
    ::VariantInit(&holder);
    holder.vt = VT_DISPATCH;
    holder.pdispVal = dispatch;
    return fromVariant(holder);
}

AccessibleNode AccessibleNode::focus() const {
    if (!object_) return {};
    VARIANT focused;
    ::VariantInit(&focused);
    if (object_->get_accFocus(&focused) != S_OK) {
        ::VariantClear(&focused);
        return {};
    }
    return fromVariant(focused);
}

AccessibleNode AccessibleNode::navigate(long direction) const {
    if (!object_) return {};
    VARIANT end;
    ::VariantInit(&end);
    if (object_->accNavigate(direction, self(), &end) != S_OK) {
        ::VariantClear(&end);
        return {};
    }
    return fromVariant(end);
}

AccessibleNode AccessibleNode::hitTest(POINT screen) const {
    if (!object_) return {};
    VARIANT hit;
    ::VariantInit(&hit);
    if (object_->accHitTest(screen.x, screen.y, &hit) != S_OK) {
        ::VariantClear(&hit);
        return {};
    }
    return fromVariant(hit);
}

std::vector<AccessibleNode> AccessibleNode::descendants() const {
    std::vector<AccessibleNode> out;
    for (const AccessibleNode& child : children()) {
        out.push_back(child);
        for (const AccessibleNode& below : child.descendants()) out.push_back(below);
    }
    return out;
}

std::string AccessibleNode::describe() const {
    if (!object_) return "(no object)";
    return roleText(role()) + " \"" + utility::ustring::wideToUtf8(name()) + "\"";
}

AccessibleNode findNode(const std::vector<AccessibleNode>& nodes, long role, const std::wstring& name) {
    for (const AccessibleNode& node : nodes) {
        if (node.role() == role && node.name() == name) return node;
    }
    return {};
}

int indexOf(const std::vector<AccessibleNode>& nodes, const AccessibleNode& node) {
    const long role = node.role();
    const std::wstring name = node.name();
    const std::optional<RECT> place = node.location();
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].role() != role || nodes[i].name() != name) continue;
        const std::optional<RECT> other = nodes[i].location();
        if (place.has_value() == other.has_value() && (!place || ::EqualRect(&*place, &*other))) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string roleText(long role) {
    wchar_t text[128] = {};
    if (::GetRoleTextW(static_cast<DWORD>(role), text, 128) == 0) return "role " + std::to_string(role);
    return utility::ustring::wideToUtf8(text);
}

WinEventLog::WinEventLog(DWORD pid, DWORD eventMin, DWORD eventMax) : pid_(pid) {
    // Wine 8 delivers nothing to an out-of-context hook limited to one process: the hook takes every
    // process's events, and the window's process sorts them.
    hook_ = ::SetWinEventHook(eventMin, eventMax, nullptr, &WinEventLog::onEvent, 0, 0,
                              WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (hook_) liveLogs().push_back(this);
}

WinEventLog::~WinEventLog() {
    if (!hook_) return;
    ::UnhookWinEvent(hook_);
    auto& logs = liveLogs();
    logs.erase(std::remove(logs.begin(), logs.end(), this), logs.end());
}

void CALLBACK WinEventLog::onEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child, DWORD,
                                   DWORD) {
    DWORD pid = 0;
    if (window) ::GetWindowThreadProcessId(window, &pid);
    for (WinEventLog* log : liveLogs()) {
        if (log->hook_ == hook && pid == log->pid_) log->events_.push_back(WinEvent{event, window, object, child});
    }
}

std::optional<WinEvent> WinEventLog::waitFor(const std::function<bool(const WinEvent&)>& matches,
                                             std::chrono::milliseconds timeout) {
    std::optional<WinEvent> found;
    testsupport::pumpMessagesUntil(
        [&] {
            // matches may ask the program, and events that come meanwhile are appended: by index, by copy.
            for (size_t i = 0; i < events_.size(); ++i) {
                const WinEvent event = events_[i];
                if (matches(event)) {
                    found = event;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

}  // namespace e2e
