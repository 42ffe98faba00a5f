#include "ui/MainFrame.h"

#include <shlobj.h>

#include "common/LogPrint.h"
#include "helper/Disk.h"
#include "model/ConfigImp.h"
#include "model/DownloaderModel.h"
#include "toolkit/Button.h"
#include "toolkit/Combo.h"
#include "toolkit/Edit.h"
#include "toolkit/Option.h"
#include "toolkit/Progress.h"
#include "toolkit/TabLayout.h"
#include "toolkit/TextTables.h"
#include "ui/DownloaderBox.h"
#include "ui/InstallPathInput.h"
#include "ui/LanguageCodes.h"
#include "ui/MessageBox.h"
#include "utility/ScopedHandle.h"
#include "utility/UiDispatcher.h"
#include "utility/USystem.h"

namespace {

// The chat group the mainland market invites its users to.
constexpr wchar_t kChatGroupUrl[] = L"https://qm.qq.com/q/pelora-players";

DownloaderModel& downloaderModel() { return *DownloaderModel::instance(); }

const wchar_t* const kBrowseImagesValid[] = {
    L"file='browse_button.png' source='0,0,28,28' corner='4,4,4,4'",
    L"file='browse_button.png' source='28,0,56,28' corner='4,4,4,4'",
    L"file='browse_button.png' source='56,0,84,28' corner='4,4,4,4'",
};
constexpr wchar_t kBrowseImageInvalid[] = L"file='error_edit_bg.png' source='0,0,10,10' corner='4,4,4,4'";

}  // namespace

DMainFrame::DMainFrame() = default;
DMainFrame::~DMainFrame() = default;

std::wstring DMainFrame::getString(const wchar_t* key) const { return downloaderModel().getString(key); }

void DMainFrame::setText(const wchar_t* control, const std::wstring& text) {
    if (toolkit::CSkinControl* found = findControl(control)) found->setText(text);
}

void DMainFrame::initWindow() {
    toolkit::FontTable& fonts = paintManager().fonts();
    fonts.setDefault(toolkit::FontSpec{L"微软雅黑", 12});
    for (int id = 0; id <= 6; ++id) fonts.define(id, toolkit::FontSpec{L"微软雅黑", 12 + 2 * id});
    addRoutes();
    refreshSetupControls();
    setText(L"pathedit", downloaderModel().getInstallPath());

    const bool mainland = ConfigImp::instance().getLanguage() == L"cn";
    if (toolkit::CSkinControl* chat = findControl(L"addQQGroupBtn")) chat->setVisible(mainland);
    if (toolkit::CSkinControl* facebook = findControl(L"joinfacebookBtn")) facebook->setVisible(!mainland);

    DownloaderModel& downloader = downloaderModel();
    downloader.progressCallback = [this](int percent, int64_t received, int64_t total) {
        onPlayerProgress(percent, received, total);
    };
    downloader.downloadSucceededCallback = [this] { onPlayerDownloaded(); };
    downloader.downloadFailedCallback = [this](DownloadFailure failure) { onPlayerDownloadFailed(failure); };
    downloader.installFinishedCallback = [this](InstallOutcome outcome) { onPlayerInstalled(outcome); };

    localeCode_ = !downloader.getLanguage().empty() ? ui::longLanguageCode(downloader.getLanguage())
                                                    : toolkit::currentLanguage();
    if (toolkit::CSkinControl* combo = findControl(L"languageCombo")) combo->setVisible(true);
    fillLanguageCombo();

    const bool player9 = ConfigImp::instance().isPlayer9();
    if (toolkit::CSkinControl* logo = findControl(L"logoControl9")) logo->setVisible(player9);
    if (toolkit::CSkinControl* logo = findControl(L"logoControl")) logo->setVisible(!player9);
}

void DMainFrame::addRoutes() {
    const auto click = [this](const wchar_t* name, std::function<void()> action) {
        addRoute(L"click", name, [action](toolkit::Notification&) { action(); });
    };
    click(L"installnowbtn", [this] { onInstallClick(); });
    click(L"userdefinitionBtn", [this] { setCustomMode(true); });
    click(L"backBtn", [this] { setCustomMode(false); });
    click(L"browsebtn", [this] { browseForFolder(); });
    click(L"protocollinkbtn", [this] { selectPage(kLicencePage); });
    click(L"confirmprotocolbtn", [this] { selectPage(kSetupPage); });
    click(L"joinfacebookBtn", [] { utility::usystem::openUrl(ConfigImp::instance().socialUrl()); });
    click(L"addQQGroupBtn", [] { utility::usystem::openUrl(kChatGroupUrl); });
    click(L"homepageBtn", [] {
        utility::usystem::openUrl(ConfigImp::instance().websiteUrl());
        downloaderModel().sendEvent(L"Download_googleDriver", L"downloadingPage");
    });
    click(L"tastenowbtn", [this] { onFinishClick(); });
    click(L"retryDownloadBtn", [this] { onRetryDownloadClick(); });
    click(L"browserDownloadBtn", [this] { onBrowserDownloadClick(); });
    click(L"retryInstallBtn", [this] { onRetryInstallClick(); });
    click(L"openLogFolderBtn", [this] { onOpenLogFolderClick(); });
    addRoute(L"killfocus", L"pathedit", [this](toolkit::Notification& notification) {
        applyInstallPathInput(notification.sender->text());
    });
    addRoute(L"selectchanged", L"acceptprotocolopt", [this](toolkit::Notification&) { refreshSetupControls(); });
    addRoute(L"itemselect", L"languageCombo", [this](toolkit::Notification& notification) {
        onLanguageComSelected(static_cast<int>(notification.wParam));
    });
}

void DMainFrame::selectPage(int page) {
    if (auto* tab = findControl<toolkit::CSkinTabLayout>(L"maintab")) tab->selectItem(page);
    currentPage_ = page;
    PEL_LOG(L"select page %d", page);
    setCustomMode(isCustomMode());
}

bool DMainFrame::isCustomMode() {
    toolkit::CSkinControl* quickLink = findControl(L"userdefinitionLayout");
    return quickLink && !quickLink->isVisible();
}

void DMainFrame::setCustomMode(bool custom) {
    if (toolkit::CSkinControl* folder = findControl(L"userdefinitionsui")) folder->setVisible(custom);
    if (toolkit::CSkinControl* quickLink = findControl(L"userdefinitionLayout")) quickLink->setVisible(!custom);
    if (toolkit::CSkinControl* backLink = findControl(L"backLayout")) backLink->setVisible(custom);
    setText(L"installnowbtn", getString(custom ? L"Button_install_now" : L"Button_install_fast"));
}

void DMainFrame::refreshSetupControls() {
    const std::wstring installPath = downloaderModel().getInstallPath();
    const bool valid = helper::disk::isValidInstallPath(installPath);
    auto* pathEdit = findControl<toolkit::CSkinEdit>(L"pathedit");
    if (pathEdit && pathEdit->text() != installPath) pathEdit->setText(installPath);
    if (toolkit::CSkinControl* error = findControl(L"errorpathnoticeui")) error->setVisible(!valid);
    auto* accept = findControl<toolkit::CSkinOption>(L"acceptprotocolopt");
    if (toolkit::CSkinControl* install = findControl(L"installnowbtn")) {
        install->setEnabled(valid && accept && accept->isSelected());
    }
    setCustomMode(isCustomMode());
    if (!pathEdit) return;
    pathEdit->setNormalImage(valid ? kBrowseImagesValid[0] : kBrowseImageInvalid);
    pathEdit->setHotImage(valid ? kBrowseImagesValid[1] : kBrowseImageInvalid);
    pathEdit->setFocusedImage(valid ? kBrowseImagesValid[2] : kBrowseImageInvalid);
}

void DMainFrame::applyInstallPathInput(const std::wstring& text) {
    if (text == downloaderModel().getInstallPath()) return;
    const ConfigImp& config = ConfigImp::instance();
    const std::wstring path = ui::completeInstallPath(text, config.installSubFolder(), config.productName());
    downloaderModel().setInstallPath(path);
    setText(L"pathedit", path);
    refreshSetupControls();
}

namespace {

int CALLBACK preselectDrive(HWND dialog, UINT message, LPARAM, LPARAM) {
    if (message == BFFM_INITIALIZED) ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(L"C:"));
    return 0;
}

}  // namespace

void DMainFrame::browseForFolder() {
    const std::wstring title = getString(L"Label_choice_path");
    BROWSEINFOW browse{};
    browse.hwndOwner = hwnd();
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    browse.lpfn = preselectDrive;
    utility::UniqueCoTaskMem<PIDLIST_ABSOLUTE> picked(::SHBrowseForFolderW(&browse));
    if (!picked) return;
    wchar_t folder[MAX_PATH] = {};
    if (::SHGetPathFromIDListW(picked.get(), folder)) applyInstallPathInput(folder);
}

void DMainFrame::showError(const wchar_t* textKey) {
    msg::showMessageBox(hwnd(), 2, getString(L"MsgBox_error"), getString(textKey), {msg::confirmSelection()});
}

bool DMainFrame::checkBeforeInstall() {
    auto* accept = findControl<toolkit::CSkinOption>(L"acceptprotocolopt");
    if (!accept || !accept->isSelected()) {
        showError(L"MsgBox_accept_protocol");
        return false;
    }
    const std::wstring installPath = downloaderModel().getInstallPath();
    if (!helper::disk::isValidInstallPath(installPath)) {
        showError(L"MsgBox_error_path");
        return false;
    }
    if (helper::disk::getFreeSpaceMB(installPath) < 1024) {
        showError(L"MsgBox_disk_notEnough");
        return false;
    }
    return true;
}

void DMainFrame::onInstallClick() {
    if (!checkBeforeInstall()) return;
    installStarted_ = true;
    selectPage(kProgressPage);
    if (toolkit::CSkinControl* combo = findControl(L"languageCombo")) combo->setVisible(false);
    installClickTime_ = ::GetTickCount();
    downloaderModel().startDownloadPlayer();
    downloaderModel().sendEvent(L"download_installBtnClick3.0", downloaderModel().getOpenId());
}

void DMainFrame::onFinishClick() {
    downloaderModel().launchPlayer();
    showWindow(false);
    ::PostQuitMessage(0);
}

void DMainFrame::onCloseRequest() {
    if (finished_) {
        showWindow(false);
        closeForGood();
        ::PostQuitMessage(0);
    } else if (lastPercent_ < 1 || lastPercent_ > 99) {
        showExitConfirmation(hwnd(), lastPercent_);
    } else {
        showSlowDownloadTip();
    }
}

void DMainFrame::closeForGood() {
    closeApproved_ = true;
    close(IDCLOSE);
}

// Alt+F4, the system menu's or the taskbar's Close, the title bar's close button and a WM_CLOSE from
// another program all ask the user first; only the program's own decision closes the window.
LRESULT DMainFrame::onClose(WPARAM wParam, LPARAM lParam, bool& handled) {
    if (closeApproved_) return SkinWindow::onClose(wParam, lParam, handled);
    handled = true;
    onCloseRequest();
    return 0;
}

// Enter on the setup page installs, as a dialog's default button would, from the folder edit and the
// licence box too; Escape anywhere asks to close.
LRESULT DMainFrame::messageFilter(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    handled = false;
    if (message != WM_KEYDOWN) return 0;
    if (wParam == VK_ESCAPE) {
        handled = true;
        onCloseRequest();
    } else if (wParam == VK_RETURN && currentPage_ == kSetupPage) {
        toolkit::CSkinControl* focused = paintManager().focused();
        if (meansSomethingElse(focused)) return 0;
        handled = true;
        if (focused && focused->getInterface(L"Edit")) applyInstallPathInput(focused->text());
        toolkit::CSkinControl* install = findControl(L"installnowbtn");
        if (install && install->isEnabled() && install->isShown()) onInstallClick();
    }
    return 0;
}

// A button, link or list whose own Enter does something other than installing; the licence box only
// ticks, so Enter on it installs.
bool DMainFrame::meansSomethingElse(toolkit::CSkinControl* focused) {
    if (!focused || focused->getInterface(L"Edit") || focused->getInterface(L"Option")) return false;
    return focused->getInterface(L"Button") != nullptr;
}

LRESULT DMainFrame::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kPackageProgressTimer) {
        advancePackageInstallBar();
        return 0;
    }
    const HWND window = hwnd();
    const LRESULT result = SkinWindow::handleMessage(message, wParam, lParam);
    // A message that destroyed the window has deleted this object too: nothing of it may be touched then.
    if (!::IsWindow(window)) return result;
    // When the user first sees the window: start-up time is read from the log.
    if (!firstFrameLogged_ && paintManager().frame()) {
        firstFrameLogged_ = true;
        PEL_LOG(L"main window first frame shown");
    }
    return result;
}

LRESULT DMainFrame::onDestroy(WPARAM wParam, LPARAM lParam, bool& handled) {
    if (packageTimerRunning_) killWindowTimer(kPackageProgressTimer), packageTimerRunning_ = false;
    DownloaderModel& downloader = downloaderModel();
    // The model must not call back into a window that is going away.
    downloader.progressCallback = nullptr;
    downloader.downloadSucceededCallback = nullptr;
    downloader.downloadFailedCallback = nullptr;
    downloader.installFinishedCallback = nullptr;
    // The model's workers end while this waits for the package worker; shutdown joins them.
    downloader.requestStop();
    stopPackageWorker();
    if (auto* dispatcher = utility::UiDispatcher::instance()) dispatcher->cancel(this);
    return SkinWindow::onDestroy(wParam, lParam, handled);
}

void DMainFrame::onFinalMessage(HWND) {
    stopInstallingTimer();
    delete this;
    ::PostQuitMessage(0);
}
