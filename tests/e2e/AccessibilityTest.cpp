// The downloader as a screen reader meets it, through Microsoft Active Accessibility from this
// process: the setup page's tree in the interface language (names, roles, states, places, the
// language combo with its list, the folder line of custom mode), what a cleared licence box changes
// and how the changes and focus moves are announced, the install button's default action, and the
// exit confirmation as a dialog.

#include <gtest/gtest.h>

#include <cwctype>
#include <iterator>
#include <set>
#include <thread>

#include "tests/e2e/AccessibleClient.h"
#include "tests/e2e/DownloaderCase.h"
#include "tests/e2e/LanguageFile.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UserInput.h"
#include "utility/UString.h"

namespace e2e {

using testsupport::pressKey;

namespace {

using namespace std::chrono_literals;

class Accessibility : public DownloaderCase {
protected:
    void SetUp() override {
        DownloaderCase::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(com.ok()) << "COM did not start on the test's thread";
    }

    // The tree of a window once its controls are there.
    static AccessibleNode treeOf(HWND window) {
        AccessibleNode root;
        HRESULT result = S_OK;
        testsupport::waitUntil([&] {
            root = AccessibleNode::ofWindow(window, &result);
            return root && root.childCount() > 0;
        });
        EXPECT_TRUE(root) << "AccessibleObjectFromWindow failed: 0x" << std::hex << result;
        return root;
    }

    ComApartment com;
};

std::string names(const std::vector<AccessibleNode>& nodes) {
    std::string out;
    for (const AccessibleNode& node : nodes) out += "\n  " + node.describe();
    return out;
}

// The node's place on the screen is the control's place in the window, as the mirror lays it out.
void expectPlacedAt(const AccessibleNode& node, WindowDriver& window, const std::wstring& control) {
    const std::optional<RECT> place = node.location();
    ASSERT_TRUE(place.has_value()) << node.describe() << " has no place";
    RECT expected = window.map().place(control);
    ::MapWindowPoints(window.hwnd(), HWND_DESKTOP, reinterpret_cast<POINT*>(&expected), 2);
    EXPECT_NEAR(place->left, expected.left, 2) << utf8(control);
    EXPECT_NEAR(place->top, expected.top, 2) << utf8(control);
    EXPECT_NEAR(place->right, expected.right, 2) << utf8(control);
    EXPECT_NEAR(place->bottom, expected.bottom, 2) << utf8(control);
}

bool isPercentage(const std::wstring& value) {
    if (value.size() < 2 || value.size() > 4 || value.back() != L'%') return false;
    for (size_t i = 0; i + 1 < value.size(); ++i) {
        if (!std::iswdigit(value[i])) return false;
    }
    const int percent = std::stoi(value.substr(0, value.size() - 1));
    return percent >= 0 && percent <= 100;
}

struct TreeCase {
    const char* label;
    const wchar_t* fileName;
    const wchar_t* shortCode;
    const wchar_t* longCode;
    const wchar_t* linkName;  // the licence link's text without its markup
};

std::ostream& operator<<(std::ostream& out, const TreeCase& c) { return out << c.label; }

const TreeCase kTreeCases[] = {
    {"english", L"pelora4_en_0_100_x.exe", L"en", L"en_US", L"License Agreement"},
    {"german", L"pelora4_de_0_100_x.exe", L"de", L"de_DE", L"Lizenzvereinbarung"},
};

class SetupTree : public Accessibility, public ::testing::WithParamInterface<TreeCase> {};

TEST_P(SetupTree, NamesRolesAndStatesInTheInterfaceLanguage) {
    const TreeCase& language = GetParam();
    const model::LanguageStrings strings = languageStrings(language.shortCode);
    DownloaderApp app(language.fileName);
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(language.shortCode), nullptr) << "no main window";
    WindowDriver& window = app.main();
    shoot(app, L"accessibility_" + utility::ustring::utf8ToWide(language.label) + L"_setup");

    const AccessibleNode root = treeOf(window.hwnd());
    ASSERT_TRUE(root);
    EXPECT_EQ(root.role(), ROLE_SYSTEM_CLIENT);
    EXPECT_EQ(root.name(), strings.get(L"Title_wndTitle")) << "the window's title names the tree";
    const std::vector<AccessibleNode> children = root.children();
    const std::vector<AccessibleNode> all = root.descendants();
    SCOPED_TRACE("the tree:" + names(all));

    const std::wstring linkName = language.linkName;
    const AccessibleNode install = findNode(children, ROLE_SYSTEM_PUSHBUTTON, strings.get(L"Button_install_fast"));
    const AccessibleNode box =
        findNode(children, ROLE_SYSTEM_CHECKBUTTON, strings.get(L"protocol_accept") + L" " + linkName);
    const AccessibleNode sentence = findNode(children, ROLE_SYSTEM_STATICTEXT, strings.get(L"protocol_accept"));
    const AccessibleNode link = findNode(children, ROLE_SYSTEM_LINK, linkName);
    const AccessibleNode custom = findNode(children, ROLE_SYSTEM_LINK, strings.get(L"Button_install_define"));
    const AccessibleNode minimise =
        findNode(children, ROLE_SYSTEM_PUSHBUTTON, tableText(language.longCode, L"minimize_tip"));
    const AccessibleNode close = findNode(children, ROLE_SYSTEM_PUSHBUTTON, tableText(language.longCode, L"close_tip"));
    const AccessibleNode community = findNode(children, ROLE_SYSTEM_PUSHBUTTON, strings.get(L"facebook"));
    ASSERT_TRUE(install) << "the install button";
    ASSERT_TRUE(box) << "the licence box, named by its sentence";
    EXPECT_TRUE(sentence) << "the sentence beside the box";
    ASSERT_TRUE(link) << "the licence link";
    EXPECT_TRUE(custom) << "the custom-install link";
    ASSERT_TRUE(minimise) << "the minimise button, named by its tooltip";
    ASSERT_TRUE(close) << "the close button, named by its tooltip";
    EXPECT_TRUE(community) << "the community button, named by its tooltip";

    EXPECT_TRUE(install.has(STATE_SYSTEM_FOCUSABLE));
    EXPECT_FALSE(install.has(STATE_SYSTEM_UNAVAILABLE));
    EXPECT_FALSE(install.has(STATE_SYSTEM_INVISIBLE));
    EXPECT_EQ(install.defaultAction(), L"Press");
    EXPECT_TRUE(box.has(STATE_SYSTEM_CHECKED | STATE_SYSTEM_FOCUSABLE));
    EXPECT_EQ(box.defaultAction(), L"Uncheck");
    EXPECT_EQ(link.defaultAction(), L"Jump");
    EXPECT_EQ(close.defaultAction(), L"Press");
    // Layout order: the title bar's buttons, then the page from top to bottom, left to right.
    const int order[] = {indexOf(children, minimise), indexOf(children, close),  indexOf(children, install),
                         indexOf(children, box),      indexOf(children, link),   indexOf(children, custom)};
    for (size_t i = 1; i < std::size(order); ++i) EXPECT_LT(order[i - 1], order[i]) << "position " << i;

    // Containers are flattened away: only the combo holds anything.
    for (const AccessibleNode& child : children) {
        if (child.role() != ROLE_SYSTEM_COMBOBOX) {
            EXPECT_EQ(child.childCount(), 0) << child.describe();
        }
    }

    // The language combo: the current language as its value, the closed list of every language.
    std::wstring current;
    std::set<std::wstring> offered;
    for (const auto& [code, name] : tableLanguages()) {
        offered.insert(name);
        if (code == language.longCode) current = name;
    }
    ASSERT_FALSE(current.empty()) << "the table has no " << utf8(language.longCode);
    AccessibleNode combo;
    for (const AccessibleNode& child : children) {
        if (child.role() == ROLE_SYSTEM_COMBOBOX) combo = child;
    }
    ASSERT_TRUE(combo) << "no combo box";
    EXPECT_EQ(combo.value(), current);
    EXPECT_TRUE(combo.has(STATE_SYSTEM_HASPOPUP | STATE_SYSTEM_COLLAPSED));
    EXPECT_FALSE(combo.has(STATE_SYSTEM_EXPANDED));
    EXPECT_EQ(combo.defaultAction(), L"Open");
    const std::vector<AccessibleNode> comboChildren = combo.children();
    ASSERT_EQ(comboChildren.size(), 1u) << "the combo holds its list";
    const AccessibleNode& list = comboChildren.front();
    EXPECT_EQ(list.role(), ROLE_SYSTEM_LIST);
    EXPECT_TRUE(list.has(STATE_SYSTEM_INVISIBLE)) << "the list is closed";
    std::set<std::wstring> listed, selected;
    for (const AccessibleNode& entry : list.children()) {
        EXPECT_EQ(entry.role(), ROLE_SYSTEM_LISTITEM) << entry.describe();
        listed.insert(entry.name());
        if (entry.has(STATE_SYSTEM_SELECTED)) selected.insert(entry.name());
    }
    EXPECT_EQ(listed, offered) << "every language of the table, by its name";
    EXPECT_EQ(selected, std::set<std::wstring>{current}) << "the current language alone is selected";

    // The other pages' controls and the hidden custom-mode line are not there.
    for (const AccessibleNode& node : all) {
        EXPECT_NE(node.role(), ROLE_SYSTEM_PROGRESSBAR) << node.describe();
        EXPECT_NE(node.role(), ROLE_SYSTEM_TEXT) << node.describe() << ": the folder edit and the licence are hidden";
    }
    for (const wchar_t* hidden : {L"Button_start_player", L"accept_protocol", L"Button_try_again",
                                  L"Button_install_back", L"progress_install_label", L"download_failed_title"}) {
        const std::wstring text = strings.get(hidden);
        ASSERT_FALSE(text.empty()) << utf8(hidden);
        for (const AccessibleNode& node : all) EXPECT_NE(node.name(), text) << utf8(hidden);
    }

    // Places in device pixels on the screen, and the way back from a point.
    expectPlacedAt(install, window, L"installnowbtn");
    expectPlacedAt(close, window, L"closebtn");
    const AccessibleNode hit = root.hitTest(window.centreOf(L"installnowbtn"));
    EXPECT_EQ(hit.describe(), install.describe()) << "the object at the install button's centre";
    EXPECT_EQ(install.parent().role(), ROLE_SYSTEM_CLIENT);
    EXPECT_EQ(install.navigate(NAVDIR_NEXT).describe(), box.describe());

    // Custom mode brings the folder line: the edit named by its label and holding the folder, and the
    // way back instead of the way there.
    window.click(L"userdefinitionBtn");
    AccessibleNode edit;
    testsupport::waitUntil([&] {
        edit = findNode(root.children(), ROLE_SYSTEM_TEXT, strings.get(L"Label_choice_path"));
        return static_cast<bool>(edit);
    });
    ASSERT_TRUE(edit) << "no folder edit in custom mode:" << names(root.children());
    EXPECT_TRUE(edit.value() == installPath || edit.value() + L"\\" == installPath) << utf8(edit.value());
    EXPECT_TRUE(edit.has(STATE_SYSTEM_FOCUSABLE));
    EXPECT_TRUE(findNode(root.children(), ROLE_SYSTEM_LINK, strings.get(L"Button_install_back")));
    EXPECT_FALSE(findNode(root.children(), ROLE_SYSTEM_LINK, strings.get(L"Button_install_define")));
    closeAndConfirm(app);
}

INSTANTIATE_TEST_SUITE_P(Accessibility, SetupTree, ::testing::ValuesIn(kTreeCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(Accessibility, StateChangesAndFocusMovesAreAnnounced) {
    const model::LanguageStrings strings = languageStrings(L"en");
    const std::wstring linkName = L"License Agreement";
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    WindowDriver& window = app.main();
    const AccessibleNode root = treeOf(window.hwnd());
    ASSERT_TRUE(root);
    const std::vector<AccessibleNode> children = root.children();
    const AccessibleNode install = findNode(children, ROLE_SYSTEM_PUSHBUTTON, strings.get(L"Button_install_fast"));
    const AccessibleNode box =
        findNode(children, ROLE_SYSTEM_CHECKBUTTON, strings.get(L"protocol_accept") + L" " + linkName);
    ASSERT_TRUE(install && box) << names(children);
    WinEventLog events(app.process().pid(), EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE);
    ASSERT_TRUE(events.listening());
    // What an event names, found as a screen reader finds it.
    const auto eventFrom = [&](DWORD type, const AccessibleNode& node) {
        return [&, type, expected = node.describe()](const WinEvent& event) {
            return event.event == type && event.window == window.hwnd() && event.object == OBJID_CLIENT &&
                   root.child(event.child).describe() == expected;
        };
    };

    window.click(L"acceptprotocolopt");
    EXPECT_TRUE(events.waitFor(eventFrom(EVENT_OBJECT_STATECHANGE, box))) << "the box's change was not announced";
    EXPECT_TRUE(events.waitFor(eventFrom(EVENT_OBJECT_STATECHANGE, install)))
        << "the button's change was not announced";
    shoot(app, L"accessibility_licence_cleared");
    EXPECT_FALSE(box.has(STATE_SYSTEM_CHECKED));
    EXPECT_EQ(box.defaultAction(), L"Check");
    EXPECT_TRUE(install.has(STATE_SYSTEM_UNAVAILABLE));
    EXPECT_FALSE(install.has(STATE_SYSTEM_FOCUSABLE));
    EXPECT_EQ(install.defaultAction(), L"") << "a disabled button offers nothing";
    EXPECT_EQ(install.doDefaultAction(), DISP_E_MEMBERNOTFOUND);

    // The click focused the box; Tab moves on to the licence link.
    EXPECT_TRUE(box.has(STATE_SYSTEM_FOCUSED)) << "the clicked box has the focus";
    events.clear();
    pressKey(VK_TAB);
    const std::optional<WinEvent> moved = events.waitFor(
        [&](const WinEvent& event) { return event.event == EVENT_OBJECT_FOCUS && event.window == window.hwnd(); });
    ASSERT_TRUE(moved) << "Tab announced no focus move";
    EXPECT_EQ(moved->object, OBJID_CLIENT);
    EXPECT_LT(moved->child, 0) << "an event names its control by a negative id";
    const AccessibleNode focused = root.child(moved->child);
    EXPECT_EQ(focused.role(), ROLE_SYSTEM_LINK) << focused.describe();
    EXPECT_EQ(focused.name(), linkName);
    EXPECT_TRUE(focused.has(STATE_SYSTEM_FOCUSED));
    EXPECT_EQ(root.focus().describe(), focused.describe()) << "the root tells the same focus";
    EXPECT_FALSE(box.has(STATE_SYSTEM_FOCUSED));

    // The box's own default action ticks it again, and install comes back.
    events.clear();
    EXPECT_EQ(box.doDefaultAction(), S_OK);
    EXPECT_TRUE(events.waitFor(eventFrom(EVENT_OBJECT_STATECHANGE, install)));
    EXPECT_TRUE(box.has(STATE_SYSTEM_CHECKED));
    EXPECT_FALSE(install.has(STATE_SYSTEM_UNAVAILABLE));
    EXPECT_EQ(install.defaultAction(), L"Press");
    EXPECT_FALSE(app.pageSelected(2)) << "the disabled button's action did nothing";
    closeAndConfirm(app);
}

TEST_F(Accessibility, TheInstallButtonsDefaultActionInstalls) {
    const model::LanguageStrings strings = languageStrings(L"en");
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    WindowDriver& window = app.main();
    const AccessibleNode root = treeOf(window.hwnd());
    ASSERT_TRUE(root);
    const AccessibleNode install =
        findNode(root.children(), ROLE_SYSTEM_PUSHBUTTON, strings.get(L"Button_install_fast"));
    ASSERT_TRUE(install) << names(root.children());
    WinEventLog events(app.process().pid(), EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE);
    ASSERT_TRUE(events.listening());

    ASSERT_EQ(install.doDefaultAction(), S_OK);
    ASSERT_TRUE(app.waitForPage(2, 20s)) << "the default action did not start the install";
    AccessibleNode bar;
    testsupport::pumpMessagesUntil([&] {
        bar = findNode(root.descendants(), ROLE_SYSTEM_PROGRESSBAR, strings.get(L"progress_install_label"));
        return static_cast<bool>(bar);
    });
    ASSERT_TRUE(bar) << "no progress bar named by its page's label:" << names(root.descendants());
    EXPECT_TRUE(isPercentage(bar.value())) << utf8(bar.value());
    EXPECT_TRUE(install.has(STATE_SYSTEM_INVISIBLE)) << "the setup page has gone";
    const std::optional<WinEvent> moved = events.waitFor(
        [&](const WinEvent& event) { return root.child(event.child).role() == ROLE_SYSTEM_PROGRESSBAR; }, 60s);
    EXPECT_TRUE(moved) << "the bar's progress was not announced";
    shoot(app, L"accessibility_progress");

    ASSERT_TRUE(app.waitForPage(4, 120s)) << "the installation did not finish";
    EXPECT_EQ(bar.value(), L"100%") << "the finished bar";
    window.click(L"closebtn");
    ASSERT_TRUE(app.waitForExit(30s)) << "closing the finish page did not end the downloader";
}

TEST_F(Accessibility, TheExitConfirmationIsADialogThatOffersNo) {
    const model::LanguageStrings strings = languageStrings(L"en");
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    app.main().activate();
    pressKey(VK_ESCAPE);
    std::unique_ptr<WindowDriver> box = app.waitForBox(kConfirmationClass, L"downloaderbox.xml");
    ASSERT_NE(box, nullptr) << "Escape did not ask";
    box->shoot(L"accessibility_exit_confirmation");
    EXPECT_EQ(box->title(), strings.get(L"MSGBox_noice")) << "the box's window has a title";

    const AccessibleNode root = treeOf(box->hwnd());
    ASSERT_TRUE(root);
    EXPECT_EQ(root.role(), ROLE_SYSTEM_DIALOG);
    EXPECT_EQ(root.name(), strings.get(L"MSGBox_noice"));
    const std::vector<AccessibleNode> children = root.children();
    SCOPED_TRACE("the box:" + names(children));
    EXPECT_TRUE(findNode(children, ROLE_SYSTEM_STATICTEXT, strings.get(L"MsgBox_exit"))) << "the question";
    const AccessibleNode yes = findNode(children, ROLE_SYSTEM_PUSHBUTTON, strings.get(L"Yes"));
    const AccessibleNode no = findNode(children, ROLE_SYSTEM_PUSHBUTTON, strings.get(L"No"));
    ASSERT_TRUE(yes && no);
    int yesButtons = 0;
    for (const AccessibleNode& child : children) yesButtons += child.name() == strings.get(L"Yes");
    EXPECT_EQ(yesButtons, 1) << "the hidden single-button variant stays out";
    EXPECT_TRUE(no.has(STATE_SYSTEM_FOCUSED | STATE_SYSTEM_FOCUSABLE)) << "the safe answer has the focus";
    EXPECT_FALSE(yes.has(STATE_SYSTEM_FOCUSED));
    EXPECT_EQ(root.focus().describe(), no.describe());
    expectPlacedAt(no, *box, L"btnRight");

    // A screen reader's user answers with the focused button's default action.
    EXPECT_EQ(no.defaultAction(), L"Press");
    ASSERT_EQ(no.doDefaultAction(), S_OK);
    ASSERT_TRUE(app.process().waitForNoWindow(kConfirmationClass)) << "\"No\" left the confirmation open";
    EXPECT_TRUE(testsupport::waitUntil([&] { return app.main().enabled() && app.main().visible(); }, 5s));
    EXPECT_TRUE(app.process().running());
    const AccessibleNode main = treeOf(app.main().hwnd());
    EXPECT_TRUE(findNode(main.children(), ROLE_SYSTEM_PUSHBUTTON, strings.get(L"Button_install_fast")))
        << "the setup page is still there";
    closeAndConfirm(app);
    ASSERT_TRUE(waitForHit(hits, "userCancel", "0")) << hits.text();
    EXPECT_EQ(hits.count("&ea=userCancel&"), 1u) << "only the final \"Yes\" reported a cancellation\n" << hits.text();
}

}  // namespace
}  // namespace e2e
