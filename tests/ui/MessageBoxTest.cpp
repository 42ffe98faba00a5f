// The message boxes and the exit confirmation as real windows over a real owner, on the shipped
// skin, answered with real keys.

#include <gtest/gtest.h>

#include <vector>

#include "model/DownloaderModel.h"
#include "tests/support/MessagePump.h"
#include "tests/support/UserInput.h"
#include "tests/toolkit/SkinTestSupport.h"
#include "toolkit/Container.h"
#include "toolkit/InterfaceLanguage.h"
#include "toolkit/SkinPackage.h"
#include "ui/DownloaderBox.h"
#include "ui/MessageBox.h"

namespace {

using namespace std::chrono_literals;
using testsupport::pressKey;
using testsupport::pumpMessagesFor;
using testsupport::pumpMessagesUntil;

std::vector<HWND> windowsOfClass(const wchar_t* className) {
    std::vector<HWND> found;
    for (HWND window = ::FindWindowExW(nullptr, nullptr, className, nullptr); window;
         window = ::FindWindowExW(nullptr, window, className, nullptr)) {
        found.push_back(window);
    }
    return found;
}

class Boxes : public ::testing::Test {
protected:
    static void SetUpTestSuite() { toolkit::loadSkinPackage(::GetModuleHandleW(nullptr), 129); }

    void SetUp() override {
        owner_ = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 50, 50, 300, 200, nullptr, nullptr,
                                   nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        for (const wchar_t* box : {L"MessageBoxWindow", L"DownloaderBox"}) {
            for (HWND window : windowsOfClass(box)) ::DestroyWindow(window);
        }
        ::DestroyWindow(owner_);
        pumpMessagesFor(50ms);
    }

    // Waits until the box is the active window, so keys reach it.
    HWND activeBox(const wchar_t* className) {
        HWND box = nullptr;
        pumpMessagesUntil([&] {
            const auto boxes = windowsOfClass(className);
            box = boxes.empty() ? nullptr : boxes.front();
            if (box) ::SetForegroundWindow(box);
            return box && ::GetForegroundWindow() == box;
        });
        return box;
    }

    HWND owner_ = nullptr;
};

TEST_F(Boxes, SameTextOpensOneBoxAndEnterChoosesTheFirstSelection) {
    int confirmed = 0;
    const std::vector<msg::Selection> selections{{L"OK", [&] { ++confirmed; }, true}};
    msg::showMessageBox(owner_, 2, L"Error", L"The folder is not valid.", selections);
    msg::showMessageBox(owner_, 2, L"Error", L"The folder is not valid.", selections);
    ASSERT_NE(activeBox(L"MessageBoxWindow"), nullptr);
    EXPECT_EQ(windowsOfClass(L"MessageBoxWindow").size(), 1u);
    EXPECT_TRUE(msg::isMessageBoxOpen(L"The folder is not valid."));
    EXPECT_FALSE(::IsWindowEnabled(owner_)) << "the owner waits for the box";
    pressKey(VK_RETURN);
    EXPECT_TRUE(pumpMessagesUntil([&] { return windowsOfClass(L"MessageBoxWindow").empty(); }));
    EXPECT_EQ(confirmed, 1);
    EXPECT_TRUE(::IsWindowEnabled(owner_));
    EXPECT_FALSE(msg::isMessageBoxOpen(L"The folder is not valid.")) << "a later box may open again";
}

TEST_F(Boxes, SelectionsSitBetweenTheSpacersInOrderAndTabReachesTheSecond) {
    std::vector<int> chosen;
    msg::showMessageBox(owner_, 0, L"Notice", L"Slow?",
                        {{L"Browser", [&] { chosen.push_back(1); }, true}, {L"Close", [&] { chosen.push_back(2); }, false}});
    ASSERT_NE(activeBox(L"MessageBoxWindow"), nullptr);
    pressKey(VK_TAB);  // from the first selection to the second
    pressKey(VK_RETURN);
    EXPECT_TRUE(pumpMessagesUntil([&] { return windowsOfClass(L"MessageBoxWindow").empty(); }));
    EXPECT_EQ(chosen, std::vector<int>{2});
}

TEST_F(Boxes, EscapeClosesWithTheCloseCallback) {
    auto* box = new msg::MessageBoxWindow(owner_, L"common/xml_messagebox.xml");
    ASSERT_NE(box->create(owner_, L"", WS_POPUP, WS_EX_TOOLWINDOW), nullptr);
    int closed = 0;
    box->setCloseCallback([&] { ++closed; });
    box->addSelection(msg::confirmSelection());
    ::EnableWindow(owner_, FALSE);
    box->showWindow(true, true);
    ASSERT_NE(activeBox(L"MessageBoxWindow"), nullptr);
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(pumpMessagesUntil([&] { return windowsOfClass(L"MessageBoxWindow").empty(); }));
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(::IsWindowEnabled(owner_));
}

// The default selection is focused when the box opens, wherever it stands: Enter chooses it, Escape
// chooses nothing.
struct DefaultCase {
    const char* label;
    WORD key;
    std::vector<int> chosen;
};

std::ostream& operator<<(std::ostream& out, const DefaultCase& c) { return out << c.label; }

const DefaultCase kDefaultCases[] = {
    {"enter_chooses_the_default", VK_RETURN, {2}},
    {"escape_chooses_nothing", VK_ESCAPE, {}},
};

class DefaultSelection : public Boxes, public ::testing::WithParamInterface<DefaultCase> {};

TEST_P(DefaultSelection, KeysAnswerTheBoxAsOpened) {
    std::vector<int> chosen;
    msg::showMessageBox(owner_, 0, L"Notice", L"Slow?",
                        {{L"Browser", [&] { chosen.push_back(1); }, false},
                         {L"Wait", [&] { chosen.push_back(2); }, true, true},
                         {L"Close", [&] { chosen.push_back(3); }, false}});
    ASSERT_NE(activeBox(L"MessageBoxWindow"), nullptr);
    pressKey(GetParam().key);
    EXPECT_TRUE(pumpMessagesUntil([&] { return windowsOfClass(L"MessageBoxWindow").empty(); }));
    EXPECT_EQ(chosen, GetParam().chosen);
    EXPECT_TRUE(::IsWindowEnabled(owner_));
}

INSTANTIATE_TEST_SUITE_P(Keys, DefaultSelection, ::testing::ValuesIn(kDefaultCases),
                         [](const auto& info) { return std::string(info.param.label); });

// The taskbar and screen readers name a window by its own title.
TEST_F(Boxes, BoxWindowsCarryTheirTitles) {
    msg::showMessageBox(owner_, 2, L"Error title", L"Titled box", {msg::confirmSelection()});
    showExitConfirmation(owner_, 0);
    struct {
        const wchar_t* className;
        std::wstring title;
    } const boxes[] = {
        {L"MessageBoxWindow", L"Error title"},
        {L"DownloaderBox", DownloaderModel::instance()->getString(L"MSGBox_noice")},
    };
    for (const auto& box : boxes) {
        const std::vector<HWND> found = windowsOfClass(box.className);
        ASSERT_EQ(found.size(), 1u);
        wchar_t title[256] = {};
        ::GetWindowTextW(found.front(), title, 256);
        EXPECT_EQ(std::wstring(title), box.title) << testing::PrintToString(std::wstring(box.className));
    }
}

// Long translations widen the box instead of pushing buttons over its edges; short ones leave it.
TEST_F(Boxes, SelectionsThatNeedMoreRoomWidenTheBox) {
    struct {
        const char* label;
        std::vector<std::wstring> captions;
        bool wider;
    } const cases[] = {
        {"short", {L"OK", L"No"}, false},
        {"long", {L"Continue waiting for the download", L"Download it with the web browser", L"Quit the installer"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto* box = new msg::MessageBoxWindow(owner_, L"common/xml_messagebox.xml");
        ASSERT_NE(box->create(owner_, L"", WS_POPUP, WS_EX_TOOLWINDOW), nullptr);
        const int layoutWidth = box->paintManager().size().cx;
        for (const std::wstring& caption : c.captions) box->addSelection({caption, nullptr, true});
        box->showWindow(true, false);
        pumpMessagesFor(100ms);
        RECT window{};
        ::GetWindowRect(box->hwnd(), &window);
        EXPECT_EQ(window.right - window.left > layoutWidth, c.wider) << window.right - window.left;
        skintest::renderMarkup(box->paintManager());
        auto* bar = box->findControl<toolkit::CSkinContainer>(L"bottombar");
        const toolkit::CSkinControl* first = bar->childAt(1);
        const toolkit::CSkinControl* last = bar->childAt(bar->childCount() - 2);
        EXPECT_GE(first->rect().left, 0);
        EXPECT_LE(last->rect().right, window.right - window.left);
        for (size_t i = 1; i + 1 < bar->childCount(); ++i) {
            auto* button = static_cast<toolkit::CSkinLabel*>(bar->childAt(i));
            const int room = button->rect().right - button->rect().left - button->textPadding().left -
                             button->textPadding().right;
            EXPECT_LE(box->paintManager().measureText(button->text(), button->font()).cx, room)
                << testing::PrintToString(button->text());
        }
        ::DestroyWindow(box->hwnd());
    }
}

TEST_F(Boxes, ConfirmCaptionFollowsTheInterfaceLanguage) {
    const struct {
        const wchar_t* code;
        const wchar_t* caption;
    } languages[] = {{L"ko_KR", L"\xD655\xC778"}, {L"zh_CN", L"\x786E\x5B9A"}, {L"", L"OK"}};
    for (const auto& language : languages) {
        toolkit::switchInterfaceLanguage(language.code);
        EXPECT_EQ(msg::confirmSelection().text, language.caption) << testing::PrintToString(std::wstring(language.code));
    }
}

TEST_F(Boxes, IconKindsAndTheWidenedTextWithoutIcon) {
    EXPECT_EQ(msg::iconFile(0), L"common/msg_noice.png");
    EXPECT_EQ(msg::iconFile(2), L"common/msg_noice.png");
    EXPECT_EQ(msg::iconFile(3), L"common/msg_ok.png");
    EXPECT_EQ(msg::iconFile(5), L"");
    EXPECT_EQ(msg::iconFile(-1), L"");
    auto* box = new msg::MessageBoxWindow(owner_, L"common/xml_messagebox.xml");
    ASSERT_NE(box->create(owner_, L"", WS_POPUP, WS_EX_TOOLWINDOW), nullptr);
    box->setIcon(msg::iconFile(5));
    box->setText(L"No icon here");
    EXPECT_FALSE(box->findControl(L"msgiconimage")->isVisible());
    EXPECT_EQ(box->findControl(L"descriptlabel")->fixedWidth(), 340);
    EXPECT_EQ(box->key(), L"No icon here");
    box->addSelection(msg::confirmSelection());
    box->addSelection({L"Second", nullptr, false});
    auto* bar = box->findControl<toolkit::CSkinContainer>(L"bottombar");
    ASSERT_EQ(bar->childCount(), 4u);
    EXPECT_EQ(bar->childAt(1)->text(), L"OK") << "the confirm caption of the text table";
    EXPECT_EQ(static_cast<toolkit::CSkinLabel*>(bar->childAt(1))->textColor() >> 24, 0xFFu) << "a caption one can see";
    EXPECT_NE(bar->childAt(1)->getInterface(L"Selection"), nullptr);
    EXPECT_EQ(bar->childAt(2)->text(), L"Second");
    EXPECT_EQ(bar->childAt(3)->getInterface(L"Selection"), nullptr) << "the last spacer stays last";
    ::DestroyWindow(box->hwnd());
}

TEST_F(Boxes, ExitConfirmationOpenedTwiceLeavesOneAndNoReturnsToTheOwner) {
    showExitConfirmation(owner_, 0);
    showExitConfirmation(owner_, 0);
    ASSERT_NE(activeBox(L"DownloaderBox"), nullptr);
    EXPECT_TRUE(pumpMessagesUntil([&] { return windowsOfClass(L"DownloaderBox").size() == 1; }));
    EXPECT_NE(currentExitConfirmation(), nullptr);
    EXPECT_FALSE(::IsWindowEnabled(owner_));
    const HWND box = windowsOfClass(L"DownloaderBox").front();
    EXPECT_EQ(currentExitConfirmation()->hwnd(), box) << "the survivor is the current one";
    pressKey(VK_ESCAPE);  // answers "No"
    EXPECT_TRUE(pumpMessagesUntil([&] { return windowsOfClass(L"DownloaderBox").empty(); }));
    EXPECT_EQ(currentExitConfirmation(), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(owner_));
    EXPECT_TRUE(::IsWindowVisible(owner_));
}

}  // namespace
