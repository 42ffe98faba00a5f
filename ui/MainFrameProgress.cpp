// The main window's progress page: the emulator's download and installation, and the slow-download
// tip offered when the user closes the window during a download.

#include "model/ConfigImp.h"
#include "model/DownloaderModel.h"
#include "toolkit/Progress.h"
#include "ui/GamePackagePlan.h"
#include "ui/MainFrame.h"
#include "ui/MessageBox.h"
#include "ui/ProgressTexts.h"
#include "ui/TransferRate.h"
#include "utility/AsyncRun.h"
#include "utility/Runable.h"
#include "utility/UiDispatcher.h"
#include "utility/USystem.h"

namespace {

DownloaderModel& downloaderModel() { return *DownloaderModel::instance(); }

bool arabicInterface() { return ConfigImp::instance().getLanguage() == L"ar"; }

}  // namespace

void DMainFrame::onPlayerProgress(int percent, int64_t received, int64_t total) {
    lastReceived_ = received;
    if (percent == -1) {
        setText(L"loadingprogresslabel", getString(L"Label_getversion_info"));
        setText(L"downloadProgressLabel", L"");
        return;
    }
    if (received == 0 || total == 0) return;
    showTransferRate(received, total);
    setText(L"downloadProgressLabel", ui::sizeLine(received, total));
    setText(L"loadingprogresslabel",
            ui::statusLine(getString(L"Label_downloading"), percent, received, total, arabicInterface()));
    if (auto* bar = findControl<toolkit::CSkinProgress>(L"installprogressbar")) {
        bar->setValue(ui::downloadBarValue(percent, arabicInterface()));
    }
    lastPercent_ = percent < 2 ? 1 : percent;
}

void DMainFrame::showTransferRate(int64_t received, int64_t total) {
    rate_.add(::GetTickCount(), received);
    const ui::TimeLeftTexts timeLeft{getString(L"progress_left_seconds"), getString(L"progress_left_minutes"),
                                     getString(L"progress_left_hours")};
    setText(L"downloadSpeedLabel", ui::rateLine(rate_.bytesPerSecond(), received, total, timeLeft));
}

void DMainFrame::onPlayerDownloaded() {
    setText(L"loadingprogresslabel", getString(L"Label_installing_waiting"));
    setText(L"downloadSpeedLabel", L"");
    if (toolkit::CSkinControl* sizeLine = findControl(L"downloadProgressLabel")) sizeLine->setVisible(false);
    stopInstallingTimer();
    utility::runAsyncThenCollect([] { downloaderModel()._threadInsPlayer(); });
    installingStep_ = 0;
    // The installer reports nothing, so the bar is walked from 64 to 100 meanwhile.
    installingTimer_ = utility::UiDispatcher::instance()->setTimer(1500, utility::makeRunable([this] {
        if (auto* bar = findControl<toolkit::CSkinProgress>(L"installprogressbar")) {
            bar->setValue(ui::installBarValue(installingStep_));
        }
    }));
}

void DMainFrame::stopInstallingTimer() {
    if (installingTimer_ == 0) return;
    if (auto* dispatcher = utility::UiDispatcher::instance()) dispatcher->killTimer(installingTimer_);
    installingTimer_ = 0;
}

void DMainFrame::onPlayerInstalled(InstallOutcome outcome) {
    stopInstallingTimer();
    if (outcome != InstallOutcome::Installed) {
        // No emulator came of the installer: no game and no emulator start can follow.
        showInstallFailed(outcome);
        return;
    }
    if (auto* bar = findControl<toolkit::CSkinProgress>(L"installprogressbar")) bar->setValue(100);
    const std::vector<GamePackage> packages = downloaderModel().gamePackages();
    if (!packages.empty()) {
        const GamePackage& first = packages.front();
        if (const std::optional<std::wstring> arguments = ui::directLaunchArguments(first)) {
            downloaderModel().runPlayer(*arguments);
            ::PostQuitMessage(0);
            return;
        }
        selectPage(kGamePage);
        setText(L"apkinstallprogresslabel", getString(L"progress_downloading_label") + L" " + first.gamename);
        gameName_ = first.gamename;
        startPackageWorker();
        return;
    }
    if (!downloaderModel().getPackage().empty()) {
        downloaderModel().launchPlayer();
        ::PostQuitMessage(0);
        return;
    }
    selectPage(kFinishPage);
    finished_ = true;
}

// Keeping on waiting is the default: a reflexive Enter (or Escape) must not end a running download.
void DMainFrame::showSlowDownloadTip() {
    const unsigned elapsed = (::GetTickCount() - installClickTime_) / 1000;
    const auto leave = [this, elapsed](bool openBrowser) {
        return [this, elapsed, openBrowser] { leaveForBrowser(openBrowser, ui::speedLabel(lastReceived_, elapsed)); };
    };
    msg::showMessageBox(hwnd(), 0, getString(L"MSGBox_noice"), getString(L"download_slowtip"),
                        {{getString(L"download_keepwaiting"), nullptr, true, true},
                         {getString(L"downloadBybrowser"), leave(true), false},
                         {getString(L"download_close"), leave(false), false}});
}

// The tip's two ways out end the program after reporting the speed; one also opens the browser on
// the package being downloaded. The window goes first: the report is sent on its own thread and
// shutdown gives it a bounded time.
void DMainFrame::leaveForBrowser(bool openBrowser, const std::wstring& speed) {
    showWindow(false);
    if (openBrowser) utility::usystem::openUrl(downloaderModel().getPlayerUrl());
    downloaderModel().sendEventNow(openBrowser ? L"DownloadSlowUseBrowser3.0" : L"DownloadSlowUserCancel3.0", speed);
    closeForGood();
    ::PostQuitMessage(0);
}
