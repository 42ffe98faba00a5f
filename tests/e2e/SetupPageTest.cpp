// The setup page's checks: a folder typed in custom mode is completed and judged, an invalid one
// shows the error line and keeps the install button disabled; a cleared licence box disables it too;
// Enter on the focused licence box installs and leaves it ticked; a drive with too little free space
// refuses the installation with one error box however often the button is pressed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "tests/e2e/AccessibleClient.h"
#include "tests/e2e/DownloaderCase.h"
#include "tests/e2e/LanguageFile.h"
#include "tests/e2e/MessageBoxMirror.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UserInput.h"
#include "toolkit/TextTables.h"
#include "utility/UString.h"

namespace e2e {

using testsupport::pressKey;
using testsupport::typeText;

namespace {

using namespace std::chrono_literals;

// Custom mode as the window shows it after "userdefinitionBtn".
void mirrorCustomMode(WindowDriver& window) {
    SkinMap& map = window.map();
    map.setVisible(L"userdefinitionsui", true);
    map.setVisible(L"userdefinitionLayout", false);
    map.setVisible(L"backLayout", true);
    map.setText(L"installnowbtn", languageStrings(L"en").get(L"Button_install_now"));
}

// Types a folder into the folder edit and leaves it with Tab, as a user does.
void typeFolder(WindowDriver& window, const std::wstring& folder) {
    window.click(L"pathedit");
    pressKey('A', VK_CONTROL);
    typeText(folder);
    pressKey(VK_TAB);
}

struct FolderCase {
    const char* label;
    const wchar_t* typed;
    bool valid;
};

std::ostream& operator<<(std::ostream& out, const FolderCase& c) { return out << c.label; }

const FolderCase kFolders[] = {
    {"missing_drive", L"Q:\\Games", false},
    {"bad_character", L"C:\\bad|name", false},
    {"blank_folder_name", L"C:\\Games\\   \\x", false},
    {"relative", L"Games\\Pelora", false},
    {"good_folder", L"C:\\Games\\Pelora", true},
};

class FolderInput : public DownloaderCase, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(FolderInput, AnInvalidFolderShowsTheErrorLineAndKeepsInstallDisabled) {
    const FolderCase& folder = GetParam();
    const std::wstring label = utility::ustring::utf8ToWide(folder.label);
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    WindowDriver& window = app.main();
    window.click(L"userdefinitionBtn");
    mirrorCustomMode(window);
    typeFolder(window, folder.typed);
    std::this_thread::sleep_for(300ms);
    shoot(app, L"folder_" + label);

    window.map().setVisible(L"errorpathnoticeui", !folder.valid);
    EXPECT_LT(window.mismatch(L"errorpathnoticeui"), kSameLook) << (folder.valid ? "no error line" : "the error line");
    window.map().setAttribute(L"installnowbtn", L"enabled", folder.valid ? L"true" : L"false");
    EXPECT_LT(window.mismatch(L"installnowbtn"), kSameLook) << (folder.valid ? "install enabled" : "install disabled");

    if (!folder.valid) {
        window.click(L"installnowbtn");
        pressKey(VK_RETURN);
        std::this_thread::sleep_for(1s);
        EXPECT_FALSE(app.pageSelected(2)) << "an invalid folder does not install";
        EXPECT_TRUE(app.process().windows(kMessageBoxClass).empty());
    }
    closeAndConfirm(app);
}

INSTANTIATE_TEST_SUITE_P(Typed, FolderInput, ::testing::ValuesIn(kFolders),
                         [](const auto& info) { return std::string(info.param.label); });

using SetupChecks = DownloaderCase;

TEST_F(SetupChecks, AClearedLicenceBoxDisablesInstall) {
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    WindowDriver& window = app.main();
    EXPECT_LT(window.mismatch(L"installnowbtn"), kSameLook) << "install starts enabled";
    window.click(L"acceptprotocolopt");
    window.map().setAttribute(L"installnowbtn", L"enabled", L"false");
    window.map().setAttribute(L"acceptprotocolopt", L"selected", L"false");
    EXPECT_LT(window.mismatch(L"installnowbtn"), kSameLook) << "install disabled";
    EXPECT_LT(window.mismatch(L"acceptprotocolopt"), kSameLook) << "the box is cleared";
    shoot(app, L"setup_licence_cleared");
    window.click(L"installnowbtn");
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(app.pageSelected(2));
    closeAndConfirm(app);
}

// Enter installs from the focused licence box, as from a dialog's default button, and leaves it ticked.
// Where the focus is comes from the window's accessible tree, as a screen reader would tell it.
TEST_F(SetupChecks, EnterOnTheFocusedLicenceBoxInstalls) {
    ComApartment com;
    ASSERT_TRUE(com.ok());
    const model::LanguageStrings strings = languageStrings(L"en");
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    WindowDriver& window = app.main();
    const AccessibleNode root = AccessibleNode::ofWindow(window.hwnd());
    ASSERT_TRUE(root) << "the window gave no accessible object";
    const AccessibleNode box =
        findNode(root.children(), ROLE_SYSTEM_CHECKBUTTON, strings.get(L"protocol_accept") + L" License Agreement");
    ASSERT_TRUE(box) << "no licence box in the window's tree";
    window.activate();
    // The title bar's controls come first in the Tab order.
    for (int presses = 0; presses < 12 && !box.has(STATE_SYSTEM_FOCUSED); ++presses) pressKey(VK_TAB);
    ASSERT_TRUE(box.has(STATE_SYSTEM_FOCUSED)) << "Tab never reached the licence box";
    shoot(app, L"setup_licence_box_focused");

    pressKey(VK_RETURN);
    ASSERT_TRUE(app.waitForPage(2, 20s)) << "Enter on the licence box did not install";
    EXPECT_TRUE(box.has(STATE_SYSTEM_CHECKED)) << "Enter cleared the box";
    ASSERT_TRUE(app.waitForPage(4, 120s)) << "the installation did not finish";
    window.click(L"closebtn");
    ASSERT_TRUE(app.waitForExit(30s)) << "closing the finish page did not end the downloader";
}

// A drive letter whose volume has less than 1024 MiB free, given by the environment: Wine's drives map
// to the host's folders, and only the host can mount a small volume for one.
TEST_F(SetupChecks, TooLittleFreeSpaceShowsOneErrorBox) {
    const char* drive = std::getenv("PELORA_E2E_SMALL_DRIVE");
    if (drive == nullptr || *drive == '\0') {
        GTEST_SKIP() << "no small drive: Wine reports the host's free space for C: and Z:, which cannot be made "
                        "smaller than 1024 MiB from inside the session; map a drive letter to a volume with less "
                        "than 1024 MiB free (a small tmpfs linked as dosdevices/s:) and set "
                        "PELORA_E2E_SMALL_DRIVE=S: to run this case";
    }
    DownloaderApp app(L"pelora4_en_0_100_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    WindowDriver& window = app.main();
    window.click(L"userdefinitionBtn");
    mirrorCustomMode(window);
    typeFolder(window, utility::ustring::utf8ToWide(drive));
    std::this_thread::sleep_for(300ms);
    window.map().setVisible(L"errorpathnoticeui", false);
    EXPECT_LT(window.mismatch(L"errorpathnoticeui"), kSameLook) << "the small drive's folder is valid: no error line";

    shoot(app, L"setup_small_drive");
    // The box opens over the window and takes the keyboard, so presses after the first are clicks.
    for (int press = 0; press < 3; ++press) window.click(L"installnowbtn");
    std::unique_ptr<WindowDriver> box = app.waitForBox(kMessageBoxClass, L"common/xml_messagebox.xml");
    DWORD_PTR ignored = 0;
    ASSERT_NE(box, nullptr) << "no error box; the main window "
                            << (::SendMessageTimeoutW(window.hwnd(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored)
                                    ? "answers"
                                    : "does not answer");
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(app.process().windows(kMessageBoxClass).size(), 1u) << "one box however often install is pressed";
    EXPECT_FALSE(app.pageSelected(2));
    box->shoot(L"setup_disk_not_enough");
    const model::LanguageStrings strings = languageStrings(L"en");
    mirrorMessage(box->map(), strings.get(L"MsgBox_error"), strings.get(L"MsgBox_disk_notEnough"));
    mirrorSelection(box->map(), L"confirm", toolkit::lookupText(L"confirm").value_or(L"confirm"));
    EXPECT_LT(box->mismatch(L"descriptlabel"), kSameLook) << "the box says the disk is too small";
    EXPECT_LT(box->mismatch(L"confirm"), kSameLook) << "the confirm button with its caption";
    box->click(L"confirm");
    ASSERT_TRUE(app.process().waitForNoWindow(kMessageBoxClass)) << "the confirm button did not close the box";
    EXPECT_TRUE(testsupport::waitUntil([&] { return window.enabled(); }, 5s));
    closeAndConfirm(app);
}

}  // namespace
}  // namespace e2e
