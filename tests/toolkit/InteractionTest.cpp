// A real layered window under the test display, driven by real input (SendInput): hot images,
// clicks, the check box, typing, the clipboard, the combo's list, keyboard focus and the caption.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/MessagePump.h"
#include "tests/support/UserInput.h"
#include "tests/toolkit/SkinTestSupport.h"
#include "toolkit/Combo.h"
#include "toolkit/Edit.h"
#include "toolkit/Option.h"
#include "toolkit/SkinWindow.h"

namespace {

using namespace toolkit;
using namespace std::chrono_literals;
using testsupport::clickAt;
using testsupport::moveMouseTo;
using testsupport::pressKey;
using testsupport::pumpMessagesFor;
using testsupport::pumpMessagesUntil;
using testsupport::typeText;

constexpr uint32_t kBlue = 0xFF0000FF, kRed = 0xFFFF0000;

const char kLayout[] =
    "<Window size=\"320,240\" caption=\"0,0,0,30\">"
    "<VerticalLayout bkcolor=\"#FFFFFFFF\">"
    "<HorizontalLayout height=\"30\" bkcolor=\"#FF202020\"><Control/>"
    "<Button name=\"closebtn\" width=\"30\" bkcolor=\"#FF808080\"/></HorizontalLayout>"
    "<HorizontalLayout height=\"40\">"
    "<Button name=\"btn\" width=\"80\" normalimage=\"blue.png\" hotimage=\"red.png\" text=\"Go\"/>"
    "<Option name=\"opt\" width=\"80\" text=\"Check\"/><Control/></HorizontalLayout>"
    "<Edit name=\"edit\" height=\"30\" nativebkcolor=\"#FFF0F0F0\"/>"
    "<Edit name=\"edit2\" height=\"30\" nativebkcolor=\"#FFE0E0E0\"/>"
    "<Combo name=\"combo\" height=\"30\" itemheight=\"24\" bkcolor=\"#FFDDDDDD\">"
    "<ListLabelElement text=\"One\"/><ListLabelElement text=\"Two\"/><ListLabelElement text=\"Three\"/></Combo>"
    "<Control/></VerticalLayout></Window>";

class TestWindow : public SkinWindow {
public:
    std::vector<std::pair<std::wstring, std::wstring>> notifications;  // (type, control name)
    bool destroyed = false;

    void notify(Notification& notification) override {
        notifications.emplace_back(notification.type, notification.sender->name());
        SkinWindow::notify(notification);
    }
    size_t count(const std::wstring& type, const std::wstring& name) const {
        size_t n = 0;
        for (const auto& entry : notifications) n += entry.first == type && entry.second == name;
        return n;
    }

protected:
    const wchar_t* getWindowClassName() const override { return L"ToolkitInteractionTest"; }
    std::wstring getSkinFile() const override { return L"interaction.xml"; }
    LRESULT onDestroy(WPARAM, LPARAM, bool& handled) override {
        destroyed = true;
        handled = false;
        return 0;
    }
};

class Interaction : public ::testing::Test {
protected:
    void SetUp() override {
        skin_.writeImage(L"blue.png", 4, 4, std::vector<uint32_t>(16, kBlue));
        skin_.writeImage(L"red.png", 4, 4, std::vector<uint32_t>(16, kRed));
        skin_.writeLayout(L"interaction.xml", kLayout);
        ASSERT_NE(window_.create(nullptr, L"Interaction", WS_POPUP, 0), nullptr);
        ::SetWindowPos(window_.hwnd(), HWND_TOP, 100, 100, 0, 0, SWP_NOSIZE);
        window_.showWindow();
        ::SetForegroundWindow(window_.hwnd());
        ASSERT_TRUE(pumpMessagesUntil([&] { return frame() != nullptr; }));
        moveMouseTo(POINT{5, 5});  // start away from the window
    }
    void TearDown() override {
        if (!window_.destroyed && window_.hwnd()) ::DestroyWindow(window_.hwnd());
        pumpMessagesFor(50ms);
    }


    const Canvas* frame() { return window_.paintManager().frame(); }
    template <typename T = CSkinControl>
    T* control(const wchar_t* name) {
        return window_.findControl<T>(name);
    }
    // The screen point at the centre of a control.
    POINT centreOf(const wchar_t* name) {
        const RECT& r = control(name)->rect();
        POINT point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ::ClientToScreen(window_.hwnd(), &point);
        return point;
    }
    uint32_t framePixelAt(const wchar_t* name) {
        pumpMessagesFor(80ms);  // let the repaint happen
        const RECT& r = control(name)->rect();
        return frame()->pixel((r.left + r.right) / 2, r.top + 3);
    }
    HWND dropList() { return ::FindWindowW(L"SkinComboDrop", nullptr); }

    skintest::SkinFolder skin_;
    TestWindow window_;
};

TEST_F(Interaction, HotImageFollowsTheMouse) {
    EXPECT_EQ(framePixelAt(L"btn"), kBlue);
    moveMouseTo(centreOf(L"btn"));
    ASSERT_TRUE(pumpMessagesUntil([&] { return window_.paintManager().hot() == control(L"btn"); }));
    EXPECT_EQ(framePixelAt(L"btn"), kRed);
    moveMouseTo(centreOf(L"edit2"));
    EXPECT_EQ(framePixelAt(L"btn"), kBlue);
}

TEST_F(Interaction, ClicksRaiseTheirNotifications) {
    clickAt(centreOf(L"btn"));
    EXPECT_TRUE(pumpMessagesUntil([&] { return window_.count(L"click", L"btn") == 1; }));
    clickAt(centreOf(L"opt"));
    EXPECT_TRUE(pumpMessagesUntil([&] { return window_.count(L"selectchanged", L"opt") == 1; }));
    EXPECT_TRUE(control<CSkinOption>(L"opt")->isSelected());
    clickAt(centreOf(L"opt"));
    EXPECT_TRUE(pumpMessagesUntil([&] { return window_.count(L"selectchanged", L"opt") == 2; }));
    EXPECT_FALSE(control<CSkinOption>(L"opt")->isSelected());
}

TEST_F(Interaction, PressingAndSlidingOffIsNoClick) {
    moveMouseTo(centreOf(L"btn"));
    testsupport::pressLeftButton();
    moveMouseTo(centreOf(L"edit2"));
    testsupport::releaseLeftButton();
    pumpMessagesFor(100ms);
    EXPECT_EQ(window_.count(L"click", L"btn"), 0u);
}

TEST_F(Interaction, EditTakesTypingReturnAndLosesFocusOnTab) {
    clickAt(centreOf(L"edit"));
    ASSERT_TRUE(pumpMessagesUntil([&] { return control(L"edit")->isFocused(); }));
    typeText(L"abc");
    typeText(L"한국어 中文");
    EXPECT_TRUE(pumpMessagesUntil([&] { return control(L"edit")->text() == L"abc한국어 中文"; }))
        << "got " << testing::PrintToString(control(L"edit")->text());
    EXPECT_EQ(window_.count(L"textchanged", L"edit"), 9u);
    pressKey(VK_BACK);
    pressKey(VK_LEFT);
    pressKey(VK_LEFT, VK_SHIFT);
    typeText(L"X");
    EXPECT_EQ(control(L"edit")->text(), L"abc한국어X中") << "the selected blank was replaced";
    pressKey(VK_RETURN);
    EXPECT_TRUE(pumpMessagesUntil([&] { return window_.count(L"return", L"edit") == 1; }));
    pressKey(VK_TAB);
    EXPECT_TRUE(pumpMessagesUntil([&] { return window_.count(L"killfocus", L"edit") == 1; }));
    EXPECT_TRUE(control(L"edit2")->isFocused());
}

TEST_F(Interaction, ClipboardCopiesAndPastes) {
    clickAt(centreOf(L"edit"));
    typeText(L"C:\\Games\\Pelora");
    pressKey('A', VK_CONTROL);
    pressKey('C', VK_CONTROL);
    clickAt(centreOf(L"edit2"));
    pressKey('V', VK_CONTROL);
    EXPECT_TRUE(pumpMessagesUntil([&] { return control(L"edit2")->text() == L"C:\\Games\\Pelora"; }))
        << "got " << testing::PrintToString(control(L"edit2")->text());
    pressKey('A', VK_CONTROL);
    pressKey('X', VK_CONTROL);
    EXPECT_EQ(control(L"edit2")->text(), L"");
}

TEST_F(Interaction, ComboListOpensAndChoosesWithTheMouse) {
    clickAt(centreOf(L"combo"));
    ASSERT_TRUE(pumpMessagesUntil([&] { return dropList() && ::IsWindowVisible(dropList()); }));
    RECT list{};
    ::GetWindowRect(dropList(), &list);
    const RECT& combo = control(L"combo")->rect();
    POINT comboBottom{combo.left, combo.bottom};
    ::ClientToScreen(window_.hwnd(), &comboBottom);
    EXPECT_EQ(list.top, comboBottom.y) << "the list opens below the combo";
    clickAt(POINT{list.left + 20, list.top + 1 + 24 * 2 + 12});  // the third entry
    EXPECT_TRUE(pumpMessagesUntil([&] { return window_.count(L"itemselect", L"combo") == 1; }));
    EXPECT_EQ(control<CSkinCombo>(L"combo")->currentSelection(), 2);
    EXPECT_EQ(control(L"combo")->text(), L"Three");
    EXPECT_TRUE(pumpMessagesUntil([&] { return dropList() == nullptr; }));
}

TEST_F(Interaction, ComboListClosesOnEscapeAndOnAClickOutside) {
    clickAt(centreOf(L"combo"));
    ASSERT_TRUE(pumpMessagesUntil([&] { return dropList() != nullptr; }));
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(pumpMessagesUntil([&] { return dropList() == nullptr; }));
    clickAt(centreOf(L"combo"));
    ASSERT_TRUE(pumpMessagesUntil([&] { return dropList() != nullptr; }));
    clickAt(centreOf(L"edit"));
    EXPECT_TRUE(pumpMessagesUntil([&] { return dropList() == nullptr; }));
    EXPECT_EQ(window_.count(L"itemselect", L"combo"), 0u);
    pressKey(VK_DOWN);
    EXPECT_TRUE(pumpMessagesUntil([&] { return dropList() == nullptr; })) << "keys went to the edit";
}

TEST_F(Interaction, KeyboardMovesFocusAndActivates) {
    pressKey(VK_TAB);  // closebtn
    pressKey(VK_TAB);  // btn
    ASSERT_TRUE(pumpMessagesUntil([&] { return control(L"btn")->isFocused(); }));
    EXPECT_TRUE(window_.paintManager().focusVisible());
    pressKey(VK_SPACE);
    EXPECT_TRUE(pumpMessagesUntil([&] { return window_.count(L"click", L"btn") == 1; }));
    pressKey(VK_TAB);  // opt
    pressKey(VK_RETURN);
    EXPECT_TRUE(pumpMessagesUntil([&] { return control<CSkinOption>(L"opt")->isSelected(); }));
    pressKey(VK_TAB, VK_SHIFT);
    EXPECT_TRUE(pumpMessagesUntil([&] { return control(L"btn")->isFocused(); }));
    // Keyboard focus is drawn: the focus border in the button's top-left corner area.
    pumpMessagesFor(80ms);
    const RECT& r = control(L"btn")->rect();
    EXPECT_EQ(skintest::straight(frame()->pixel(r.left + 20, r.top)) & 0xFFFFFF, 0x2196F3u);
}

TEST_F(Interaction, CaptionDragsTheWindowAndCloseButtonCloses) {
    RECT before{};
    ::GetWindowRect(window_.hwnd(), &before);
    moveMouseTo(POINT{before.left + 40, before.top + 12});
    // The system's move loop runs inside this thread's message handling, so the drag is sent from
    // another thread while this one pumps.
    std::thread drag([&] {
        testsupport::pressLeftButton();
        moveMouseTo(POINT{before.left + 80, before.top + 42});
        moveMouseTo(POINT{before.left + 100, before.top + 62});
        testsupport::releaseLeftButton();
    });
    RECT after{};
    const bool moved = pumpMessagesUntil([&] {
        ::GetWindowRect(window_.hwnd(), &after);
        return after.left == before.left + 60 && after.top == before.top + 50;
    });
    pumpMessagesUntil([&] { return false; }, 600ms);
    drag.join();
    EXPECT_TRUE(moved) << "window at " << after.left << "," << after.top;
    clickAt(centreOf(L"closebtn"));
    EXPECT_TRUE(pumpMessagesUntil([&] { return window_.destroyed; }));
}

}  // namespace
