// The pages that say a step failed, each with a way out: the download-failed page (what went wrong,
// a new try that continues the partial file, the installer's address in the browser) and the
// install-failed page (a new try, the log folder for support). Neither goes on to games or the
// emulator.

#include <shlwapi.h>

#include "common/LogPrint.h"
#include "config/DataPaths.h"
#include "model/ConfigImp.h"
#include "model/DownloaderModel.h"
#include "ui/MainFrame.h"
#include "utility/UString.h"
#include "utility/USystem.h"

namespace {

DownloaderModel& downloaderModel() { return *DownloaderModel::instance(); }

// What the user reads about a failed download, by its cause.
const wchar_t* failureTextKey(DownloadFailure failure) {
    switch (failure) {
    case DownloadFailure::ServerRefused: return L"download_failed_server";
    case DownloadFailure::NotGenuine: return L"download_failed_damaged";
    case DownloadFailure::NoConnection: break;
    }
    return L"download_failed_connection";
}

void report(const wchar_t* event, const wchar_t* detail) {
    DownloaderModel& model = downloaderModel();
    model.sendEvent(event, detail ? model.getOpenId() + L"_" + detail : model.getOpenId());
}

}  // namespace

void DMainFrame::onPlayerDownloadFailed(DownloadFailure failure) {
    stopInstallingTimer();
    showFailurePage(kDownloadFailedPage, L"retryDownloadBtn");
    setText(L"downloadFailedLabel", getString(failureTextKey(failure)));
    report(L"download_failPage", downloadFailureName(failure));
}

void DMainFrame::showInstallFailed(InstallOutcome outcome) {
    showFailurePage(kInstallFailedPage, L"retryInstallBtn");
    report(L"install_failPage", installOutcomeName(outcome));
}

// Nothing runs while a failure page is shown, so closing it ends the program at once.
void DMainFrame::showFailurePage(int page, const wchar_t* retryButton) {
    selectPage(page);
    finished_ = true;
    if (toolkit::CSkinControl* retry = findControl(retryButton)) retry->setFocus();
}

// Back to the progress page; the bar keeps its place and moves again on real progress only.
void DMainFrame::returnToProgressPage() {
    finished_ = false;
    selectPage(kProgressPage);
    rate_.clear();
    setText(L"downloadSpeedLabel", L"");
    if (toolkit::CSkinControl* sizeLine = findControl(L"downloadProgressLabel")) sizeLine->setVisible(true);
}

void DMainFrame::onRetryDownloadClick() {
    PEL_LOG(L"download tried again");
    returnToProgressPage();
    setText(L"loadingprogresslabel", getString(L"Label_getversion_info"));
    report(L"download_tryAgain", L"download");
    downloaderModel().retryDownloadPlayer();
}

void DMainFrame::onBrowserDownloadClick() {
    const std::wstring url = downloaderModel().getPlayerUrl();
    PEL_LOG(L"download in browser: %s", url.c_str());
    utility::usystem::openUrl(url);
    report(L"download_useBrowser", nullptr);
}

// The installer is there and was checked: it runs again. Without it the download comes first.
void DMainFrame::onRetryInstallClick() {
    report(L"download_tryAgain", L"install");
    returnToProgressPage();
    const std::wstring installer = ConfigImp::instance().installerExePath(downloaderModel().getInstallPath());
    if (::PathFileExistsW(installer.c_str())) {
        PEL_LOG(L"installation tried again");
        onPlayerDownloaded();
        return;
    }
    PEL_LOG(L"installer gone, downloading it again");
    setText(L"loadingprogresslabel", getString(L"Label_getversion_info"));
    downloaderModel().retryDownloadPlayer();
}

void DMainFrame::onOpenLogFolderClick() {
    const std::wstring folder = utility::ustring::parentDir(config::logPath(config::kDownloaderKind));
    PEL_LOG(L"open log folder %s", folder.c_str());
    utility::usystem::openFolder(folder);
    report(L"install_openLogs", nullptr);
}
