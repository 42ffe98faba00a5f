// What a screen reader finds in a real skinned window: the tree it gets from
// AccessibleObjectFromWindow (roles, names, values, states, places), the default actions that do
// what clicks do, the events that announce focus moves, and objects that outlive their window.

#include <gtest/gtest.h>

#include <oleacc.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/MessagePump.h"
#include "tests/support/UserInput.h"
#include "tests/toolkit/SkinTestSupport.h"
#include "toolkit/Combo.h"
#include "toolkit/Option.h"
#include "toolkit/Progress.h"
#include "toolkit/SkinWindow.h"

namespace {

using namespace toolkit;
using namespace std::chrono_literals;
using testsupport::pressKey;
using testsupport::pumpMessagesFor;
using testsupport::pumpMessagesUntil;

const char kLayout[] =
    "<Window size=\"320,260\">"
    "<VerticalLayout bkcolor=\"#FFFFFFFF\">"
    "<HorizontalLayout height=\"30\"><Label name=\"title\" text=\"Setup\"/><Control name=\"spacer\"/>"
    "<Button name=\"closebtn\" width=\"30\" tooltip=\"Close\" normalimage=\"grey.png\"/></HorizontalLayout>"
    "<Label name=\"note\" height=\"20\" showhtml=\"true\" text=\"Read the &lt;c #ff0000&gt;licence&lt;/c&gt;\"/>"
    "<HorizontalLayout height=\"30\"><Option name=\"accept\" width=\"20\" selected=\"true\"/>"
    "<Button name=\"link\" width=\"80\" text=\"Licence\" showcursor=\"true\"/><Control/></HorizontalLayout>"
    "<Button name=\"install\" height=\"40\" text=\"Install\" normalimage=\"grey.png\"/>"
    "<Edit name=\"folder\" height=\"30\" text=\"C:\\Pelora\\\"/>"
    "<Combo name=\"language\" height=\"30\" itemheight=\"24\" tooltip=\"Language\">"
    "<ListLabelElement text=\"English\"/><ListLabelElement text=\"Deutsch\"/></Combo>"
    "<Progress name=\"bar\" height=\"10\" value=\"42\" visible=\"false\"/>"
    "<Control/></VerticalLayout></Window>";


// An IAccessible owned for one scope.
struct Object {
    IAccessible* p = nullptr;
    Object() = default;
    explicit Object(IAccessible* object) : p(object) {}
    Object(Object&& other) noexcept : p(other.p) { other.p = nullptr; }
    Object& operator=(Object&& other) noexcept {
        std::swap(p, other.p);
        return *this;
    }
    ~Object() {
        if (p) p->Release();
    }
    IAccessible* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

VARIANT self() {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
}

std::wstring text(HRESULT (STDMETHODCALLTYPE IAccessible::*read)(VARIANT, BSTR*), const Object& object) {
    BSTR value = nullptr;
    (object.p->*read)(self(), &value);
    std::wstring result = value ? value : L"";
    ::SysFreeString(value);
    return result;
}

long number(HRESULT (STDMETHODCALLTYPE IAccessible::*read)(VARIANT, VARIANT*), const Object& object) {
    VARIANT value;
    ::VariantInit(&value);
    if (FAILED((object.p->*read)(self(), &value)) || value.vt != VT_I4) return -1;
    return value.lVal;
}

std::wstring nameOf(const Object& object) { return text(&IAccessible::get_accName, object); }
long roleOf(const Object& object) { return number(&IAccessible::get_accRole, object); }
long stateOf(const Object& object) { return number(&IAccessible::get_accState, object); }

Object fromDispatch(IDispatch* dispatch) {
    IAccessible* object = nullptr;
    if (dispatch) dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&object)), dispatch->Release();
    return Object(object);
}

std::vector<Object> childrenOf(const Object& parent) {
    long count = 0;
    parent->get_accChildCount(&count);
    std::vector<VARIANT> raw(static_cast<size_t>(count));
    long got = 0;
    std::vector<Object> children;
    if (count == 0 || FAILED(::AccessibleChildren(parent.p, 0, count, raw.data(), &got))) return children;
    for (long i = 0; i < got; ++i) {
        if (raw[i].vt == VT_DISPATCH) children.push_back(fromDispatch(raw[i].pdispVal));
    }
    return children;
}

Object childNamed(const Object& parent, const std::wstring& name) {
    for (Object& child : childrenOf(parent)) {
        if (nameOf(child) == name) return std::move(child);
    }
    return Object();
}

class Accessibility : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        skin_.writeImage(L"grey.png", 4, 4, std::vector<uint32_t>(16, 0xFF808080));
        skin_.writeLayout(L"accessible.xml", kLayout);
        ASSERT_TRUE(window_.open(L"Pelora Setup", 60, 60));
    }
    void TearDown() override {
        if (window_.hwnd()) ::DestroyWindow(window_.hwnd());
        pumpMessagesFor(50ms);
        ::CoUninitialize();
    }

    Object root() {
        IAccessible* object = nullptr;
        EXPECT_EQ(::AccessibleObjectFromWindow(window_.hwnd(), static_cast<DWORD>(OBJID_CLIENT),
                                               __uuidof(IAccessible), reinterpret_cast<void**>(&object)),
                  S_OK);
        return Object(object);
    }

    skintest::SkinFolder skin_;
    skintest::LayoutWindow window_{L"ToolkitAccessibilityTest", L"accessible.xml", [](skintest::LayoutWindow& window) {
        window.findControl(L"accept")->setAccessibleName(L"I accept the licence");
    }};
};

TEST_F(Accessibility, TheTreeShowsWhatTheWindowShowsWithRolesNamesAndValues) {
    Object window = root();
    ASSERT_TRUE(window);
    EXPECT_EQ(nameOf(window), L"Pelora Setup");
    EXPECT_EQ(roleOf(window), ROLE_SYSTEM_CLIENT);
    const struct {
        const wchar_t* name;
        long role;
        const wchar_t* value;
    } expected[] = {
        {L"Setup", ROLE_SYSTEM_STATICTEXT, L""},
        {L"Close", ROLE_SYSTEM_PUSHBUTTON, L""},  // an icon button, named by its tooltip
        {L"Read the licence", ROLE_SYSTEM_STATICTEXT, L""},  // markup is not read out
        {L"I accept the licence", ROLE_SYSTEM_CHECKBUTTON, L""},
        {L"Licence", ROLE_SYSTEM_LINK, L""},
        {L"Install", ROLE_SYSTEM_PUSHBUTTON, L""},
        {L"", ROLE_SYSTEM_TEXT, L"C:\\Pelora\\"},
        {L"Language", ROLE_SYSTEM_COMBOBOX, L""},
    };
    std::vector<Object> children = childrenOf(window);
    ASSERT_EQ(children.size(), std::size(expected)) << "spacers, containers and the hidden bar are not in the tree";
    for (size_t i = 0; i < children.size(); ++i) {
        EXPECT_EQ(nameOf(children[i]), expected[i].name) << i;
        EXPECT_EQ(roleOf(children[i]), expected[i].role) << i;
        EXPECT_EQ(text(&IAccessible::get_accValue, children[i]), expected[i].value) << i;
        IDispatch* parent = nullptr;
        ASSERT_EQ(children[i]->get_accParent(&parent), S_OK);
        EXPECT_EQ(nameOf(fromDispatch(parent)), L"Pelora Setup");
    }
    window_.findControl<CSkinCombo>(L"language")->selectItem(1);
    EXPECT_EQ(text(&IAccessible::get_accValue, children[7]), L"Deutsch");
    window_.findControl(L"bar")->setVisible(true);
    std::vector<Object> shown = childrenOf(window);
    Object bar = std::move(shown.back());
    EXPECT_EQ(roleOf(bar), ROLE_SYSTEM_PROGRESSBAR);
    EXPECT_EQ(text(&IAccessible::get_accValue, bar), L"42%");
}

TEST_F(Accessibility, StatesFollowTheControls) {
    Object window = root();
    Object accept = childNamed(window, L"I accept the licence");
    Object install = childNamed(window, L"Install");
    ASSERT_TRUE(accept && install);
    EXPECT_TRUE(stateOf(accept) & STATE_SYSTEM_CHECKED);
    EXPECT_TRUE(stateOf(install) & STATE_SYSTEM_FOCUSABLE);
    EXPECT_FALSE(stateOf(install) & STATE_SYSTEM_UNAVAILABLE);
    window_.findControl<CSkinOption>(L"accept")->selected(false);
    window_.findControl(L"install")->setEnabled(false);
    EXPECT_FALSE(stateOf(accept) & STATE_SYSTEM_CHECKED);
    EXPECT_TRUE(stateOf(install) & STATE_SYSTEM_UNAVAILABLE);
    EXPECT_EQ(install->accDoDefaultAction(self()), DISP_E_MEMBERNOTFOUND) << "a disabled button does nothing";
    EXPECT_TRUE(text(&IAccessible::get_accDefaultAction, install).empty());
    window_.findControl(L"link")->setFocus();
    EXPECT_TRUE(stateOf(childNamed(window, L"Licence")) & STATE_SYSTEM_FOCUSED);
    VARIANT focus;
    ::VariantInit(&focus);
    ASSERT_EQ(window->get_accFocus(&focus), S_OK);
    ASSERT_EQ(focus.vt, VT_DISPATCH);
    EXPECT_EQ(nameOf(fromDispatch(focus.pdispVal)), L"Licence");
}

TEST_F(Accessibility, DefaultActionsDoWhatClicksDo) {
    Object window = root();
    Object install = childNamed(window, L"Install");
    Object accept = childNamed(window, L"I accept the licence");
    EXPECT_EQ(text(&IAccessible::get_accDefaultAction, install), L"Press");
    EXPECT_EQ(text(&IAccessible::get_accDefaultAction, childNamed(window, L"Licence")), L"Jump");
    EXPECT_EQ(text(&IAccessible::get_accDefaultAction, accept), L"Uncheck");
    ASSERT_EQ(install->accDoDefaultAction(self()), S_OK);
    EXPECT_TRUE(window_.clicked.empty()) << "the click runs on the window's own turn, not inside the call";
    EXPECT_TRUE(pumpMessagesUntil([&] { return window_.clicked == std::vector<std::wstring>{L"install"}; }));
    ASSERT_EQ(accept->accDoDefaultAction(self()), S_OK);
    EXPECT_TRUE(pumpMessagesUntil([&] { return !window_.findControl<CSkinOption>(L"accept")->isSelected(); }));
    EXPECT_EQ(text(&IAccessible::get_accDefaultAction, accept), L"Check");
}

TEST_F(Accessibility, PlacesAreOnTheScreenAtTheWindowsScale) {
    Object window = root();
    for (UINT dpi : {96u, 192u}) {
        RECT placed{};
        ::GetWindowRect(window_.hwnd(), &placed);
        const SIZE device = DisplayScale(dpi).toDevice(window_.paintManager().size());
        RECT suggested{placed.left, placed.top, placed.left + device.cx, placed.top + device.cy};
        ::SendMessageW(window_.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        Object install = childNamed(window, L"Install");
        long left = 0, top = 0, width = 0, height = 0;
        ASSERT_EQ(install->accLocation(&left, &top, &width, &height, self()), S_OK);
        const RECT expected = DisplayScale(dpi).toDevice(window_.findControl(L"install")->rect());
        EXPECT_EQ(left, placed.left + expected.left) << dpi;
        EXPECT_EQ(top, placed.top + expected.top) << dpi;
        EXPECT_EQ(width, expected.right - expected.left) << dpi;
        EXPECT_EQ(height, expected.bottom - expected.top) << dpi;
        VARIANT hit;
        ::VariantInit(&hit);
        ASSERT_EQ(window->accHitTest(left + width / 2, top + height / 2, &hit), S_OK) << dpi;
        ASSERT_EQ(hit.vt, VT_DISPATCH) << dpi;
        EXPECT_EQ(nameOf(fromDispatch(hit.pdispVal)), L"Install") << dpi;
    }
}

TEST_F(Accessibility, TheComboHoldsItsListAndAltDownOpensIt) {
    Object window = root();
    Object combo = childNamed(window, L"Language");
    std::vector<Object> parts = childrenOf(combo);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(roleOf(parts[0]), ROLE_SYSTEM_LIST);
    EXPECT_TRUE(stateOf(parts[0]) & STATE_SYSTEM_INVISIBLE) << "a closed list";
    EXPECT_TRUE(stateOf(combo) & STATE_SYSTEM_COLLAPSED);
    std::vector<Object> entries = childrenOf(parts[0]);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(nameOf(entries[1]), L"Deutsch");
    EXPECT_EQ(roleOf(entries[1]), ROLE_SYSTEM_LISTITEM);
    window_.findControl(L"language")->setFocus();
    pressKey(VK_DOWN, VK_MENU);
    ASSERT_TRUE(pumpMessagesUntil([&] { return window_.findControl<CSkinCombo>(L"language")->isDropped(); }))
        << "Alt+Down opens the list";
    EXPECT_TRUE(stateOf(combo) & STATE_SYSTEM_EXPANDED);
    EXPECT_FALSE(stateOf(parts[0]) & STATE_SYSTEM_INVISIBLE);
    pressKey(VK_DOWN);
    pumpMessagesFor(50ms);
    EXPECT_TRUE(stateOf(entries[1]) & STATE_SYSTEM_FOCUSED) << "the arrow keys move through the open list";
    ASSERT_EQ(entries[1]->accDoDefaultAction(self()), S_OK);
    EXPECT_TRUE(pumpMessagesUntil([&] { return window_.findControl<CSkinCombo>(L"language")->currentSelection() == 1; }));
    EXPECT_TRUE(stateOf(entries[1]) & STATE_SYSTEM_SELECTED);
}

// Out-of-context hooks are called from this thread's message loop, as they are in a screen reader.
std::vector<std::pair<HWND, LONG>> g_focusEvents;

void CALLBACK noteFocus(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (object == OBJID_CLIENT) g_focusEvents.emplace_back(window, child);
}

TEST_F(Accessibility, FocusMovesAreAnnouncedAndTheirControlsFound) {
    g_focusEvents.clear();
    HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, noteFocus, 0, 0,
                                           WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    window_.findControl(L"install")->setFocus();
    pressKey(VK_TAB);
    const bool announced = pumpMessagesUntil([&] {
        return !g_focusEvents.empty() && g_focusEvents.back().second == -window_.findControl(L"folder")->accessibleId();
    });
    ::UnhookWinEvent(hook);
    ASSERT_TRUE(announced) << "no focus event named the folder edit";
    EXPECT_EQ(g_focusEvents.back().first, window_.hwnd());
    VARIANT child;
    ::VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = g_focusEvents.back().second;
    IDispatch* found = nullptr;
    ASSERT_EQ(root()->get_accChild(child, &found), S_OK);
    Object folder = fromDispatch(found);
    EXPECT_EQ(roleOf(folder), ROLE_SYSTEM_TEXT);
    EXPECT_TRUE(stateOf(folder) & STATE_SYSTEM_FOCUSED);
}

TEST_F(Accessibility, ObjectsOutlivingTheirWindowSayTheyAreGone) {
    Object install = childNamed(root(), L"Install");
    ASSERT_TRUE(install);
    ::DestroyWindow(window_.hwnd());
    pumpMessagesFor(50ms);
    BSTR name = nullptr;
    EXPECT_EQ(install->get_accName(self(), &name), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(install->accDoDefaultAction(self()), CO_E_OBJNOTCONNECTED);
}

}  // namespace
