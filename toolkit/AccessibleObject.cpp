#include "toolkit/AccessibleObject.h"

#include <atomic>
#include <new>
#include <string>
#include <vector>

namespace toolkit {

namespace {

// Oleacc's import library declares IID_IAccessible as an import that MinGW links as code, so the
// interface id is taken from the type itself.
const IID kAccessibleId = __uuidof(IAccessible);

HRESULT returnText(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = text.empty() ? nullptr : ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!text.empty() && !*out) return E_OUTOFMEMORY;
    return text.empty() ? S_FALSE : S_OK;
}

class CAccessibleObject final : public IAccessible {
public:
    CAccessibleObject(std::shared_ptr<AccessibleTree> tree, int id) : tree_(std::move(tree)), id_(id) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kAccessibleId) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch: clients use the vtable; scripting access is not offered.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return count ? S_OK : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        const std::optional<int> above = tree_->parent(id_);
        if (above) return (*parent = object(*above)) ? S_OK : E_OUTOFMEMORY;
        // The window itself, as the system describes it.
        return ::AccessibleObjectFromWindow(tree_->window(), static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                            reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        *count = static_cast<long>(tree_->children(id_).size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        int target = 0;
        const HRESULT resolved = resolve(child, target);
        if (FAILED(resolved)) return resolved;
        if (target == id_) return E_INVALIDARG;
        return (*out = object(target)) ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return text(child, name, &AccessibleTree::name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return text(child, value, &AccessibleTree::value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        return nothing(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return number(child, role, &AccessibleTree::role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return number(child, state, &AccessibleTree::state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return nothing(child, help); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return nothing(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        ::VariantInit(focus);
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        const std::optional<int> focused = tree_->focused();
        return focused ? node(*focused, focus) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (!selection) return E_POINTER;
        ::VariantInit(selection);
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        for (int child : tree_->children(id_)) {
            if (tree_->state(child) & STATE_SYSTEM_SELECTED) return node(child, selection);
        }
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return text(child, action, &AccessibleTree::action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        int target = 0;
        const HRESULT resolved = resolve(child, target);
        if (FAILED(resolved)) return resolved;
        if ((flags & SELFLAG_TAKEFOCUS) && !tree_->focus(target)) return E_INVALIDARG;
        if ((flags & SELFLAG_TAKESELECTION) && (tree_->role(target) != ROLE_SYSTEM_LISTITEM || !tree_->doAction(target))) {
            return E_INVALIDARG;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        *left = *top = *width = *height = 0;
        int target = 0;
        const HRESULT resolved = resolve(child, target);
        if (FAILED(resolved)) return resolved;
        RECT rect{};
        if (!tree_->location(target, rect)) return S_FALSE;
        *left = rect.left, *top = rect.top, *width = rect.right - rect.left, *height = rect.bottom - rect.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        ::VariantInit(end);
        int from = 0;
        const HRESULT resolved = resolve(start, from);
        if (FAILED(resolved)) return resolved;
        const std::optional<int> to = neighbour(from, direction);
        return to ? node(*to, end) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* found) override {
        if (!found) return E_POINTER;
        ::VariantInit(found);
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        const std::optional<int> hit = tree_->hitTest(POINT{x, y});
        return hit ? node(*hit, found) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        int target = 0;
        const HRESULT resolved = resolve(child, target);
        if (FAILED(resolved)) return resolved;
        return tree_->doAction(target) ? S_OK : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }

private:
    ~CAccessibleObject() = default;

    bool alive() const { return tree_->find(id_).has_value(); }

    IDispatch* object(int id) const { return createAccessibleObject(tree_, id); }

    // A child given as CHILDID_SELF is this node; a positive number is a child by position (as
    // simple elements are asked for); a negative one the node of that accessible id (as events
    // name them).
    HRESULT resolve(const VARIANT& child, int& target) const {
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        if (child.vt == VT_EMPTY) return target = id_, S_OK;
        if (child.vt != VT_I4) return E_INVALIDARG;
        if (child.lVal == CHILDID_SELF) return target = id_, S_OK;
        if (child.lVal < 0) {
            target = -child.lVal;
            return tree_->find(target) ? S_OK : E_INVALIDARG;
        }
        const std::vector<int> children = tree_->children(id_);
        if (static_cast<size_t>(child.lVal) > children.size()) return E_INVALIDARG;
        target = children[child.lVal - 1];
        return S_OK;
    }

    // This node as CHILDID_SELF, any other as its object.
    HRESULT node(int id, VARIANT* out) const {
        if (id == id_) {
            out->vt = VT_I4;
            out->lVal = CHILDID_SELF;
            return S_OK;
        }
        out->pdispVal = object(id);
        if (!out->pdispVal) return E_OUTOFMEMORY;
        out->vt = VT_DISPATCH;
        return S_OK;
    }

    std::optional<int> neighbour(int from, long direction) const {
        if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD) {
            const std::vector<int> children = tree_->children(from);
            if (children.empty()) return std::nullopt;
            return direction == NAVDIR_FIRSTCHILD ? children.front() : children.back();
        }
        if (direction != NAVDIR_NEXT && direction != NAVDIR_PREVIOUS) return std::nullopt;
        const std::optional<int> above = tree_->parent(from);
        if (!above) return std::nullopt;
        const std::vector<int> siblings = tree_->children(*above);
        for (size_t i = 0; i < siblings.size(); ++i) {
            if (siblings[i] != from) continue;
            if (direction == NAVDIR_NEXT && i + 1 < siblings.size()) return siblings[i + 1];
            if (direction == NAVDIR_PREVIOUS && i > 0) return siblings[i - 1];
        }
        return std::nullopt;
    }

    HRESULT text(const VARIANT& child, BSTR* out, std::wstring (AccessibleTree::*read)(int) const) const {
        if (!out) return E_POINTER;
        *out = nullptr;
        int target = 0;
        const HRESULT resolved = resolve(child, target);
        if (FAILED(resolved)) return resolved;
        return returnText(((*tree_).*read)(target), out);
    }

    HRESULT nothing(const VARIANT& child, BSTR* out) const {
        if (!out) return E_POINTER;
        *out = nullptr;
        int target = 0;
        const HRESULT resolved = resolve(child, target);
        return FAILED(resolved) ? resolved : S_FALSE;
    }

    HRESULT number(const VARIANT& child, VARIANT* out, long (AccessibleTree::*read)(int) const) const {
        if (!out) return E_POINTER;
        ::VariantInit(out);
        int target = 0;
        const HRESULT resolved = resolve(child, target);
        if (FAILED(resolved)) return resolved;
        out->vt = VT_I4;
        out->lVal = ((*tree_).*read)(target);
        return S_OK;
    }

    std::shared_ptr<AccessibleTree> tree_;
    int id_;
    std::atomic<ULONG> references_{1};
};

}  // namespace

IAccessible* createAccessibleObject(std::shared_ptr<AccessibleTree> tree, int id) {
    return new (std::nothrow) CAccessibleObject(std::move(tree), id);
}

}  // namespace toolkit
