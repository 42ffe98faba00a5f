// The game package step: a worker downloads every package of the channel into the emulator's
// folder, sets the emulator's resolution, makes the games' shortcuts and installs them through the
// emulator's console tool, then the emulator starts on the last game. Every console call has a time
// limit. A game whose file did not arrive, or whose install failed, is named on the page, which then
// stays a few seconds after the emulator started. Controls change only on the window thread, through
// posted tasks.

#include "common/LogPrint.h"
#include "helper/Shortcut.h"
#include "model/DownloaderModel.h"
#include "model/JoinPath.h"
#include "toolkit/Progress.h"
#include "ui/GamePackagePlan.h"
#include "ui/MainFrame.h"
#include "ui/ProgressTexts.h"
#include "utility/Runable.h"
#include "utility/UFile.h"
#include "utility/UProcess.h"
#include "utility/UiDispatcher.h"

namespace {

DownloaderModel& downloaderModel() { return *DownloaderModel::instance(); }

constexpr int kAttempts = 3;
constexpr DWORD kAttemptWaitMs = 3000;
constexpr DWORD kIconAttemptWaitMs = 20;
constexpr DWORD kConsoleWaitMs = 120000;
// Changing the resolution is quick when it works; a console that hangs on it is left behind.
constexpr DWORD kModifyWaitMs = 30000;
// Long enough to read the failure line; the close button ends it earlier.
constexpr DWORD kFailureLingerMs = 5000;
constexpr DWORD kInstallPhaseDelayMs = 500;
constexpr DWORD kWorkerStopMs = 2000;

}  // namespace

void DMainFrame::postToWindow(std::function<void()> task) {
    if (auto* dispatcher = utility::UiDispatcher::instance()) dispatcher->post(this, utility::makeRunable(std::move(task)));
}

void DMainFrame::startPackageWorker() {
    if (packageWorker_.running()) return;
    packageClient_.setStopSource(&packageWorker_);
    iconClient_.setStopSource(&packageWorker_);
    utility::Runable* task = utility::makeRunable([this] { _threadDownloadApk(); });
    if (!packageWorker_.start(task)) task->release();
}

// Both clients are stopped before the wait, so a transfer stuck on a silent server ends at once.
void DMainFrame::stopPackageWorker() {
    packageWorker_.requestStop();
    packageClient_.stop();
    iconClient_.stop();
    packageWorker_.stop(kWorkerStopMs);
}

bool DMainFrame::downloadInto(const std::wstring& url, const std::wstring& target) {
    const std::wstring temporary = target + L".tmp";
    utility::ufile::removeFile(temporary);
    bool downloaded = packageClient_.download2file_ex(this, temporary, url, kAttempts, kAttemptWaitMs, false);
    if (!downloaded && !packageWorker_.stopRequested()) {
        downloaded = packageClient_.download2file_ex(this, temporary, url, kAttempts, kAttemptWaitMs, true);
    }
    if (downloaded) utility::ufile::moveFile(temporary, target);
    return downloaded;
}

// The icon is small and optional: a few quick tries without a sink.
void DMainFrame::downloadIcon(const std::wstring& url, const std::wstring& target) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (iconClient_.download2file(url, target, nullptr)) return;
        packageWorker_.wait(kIconAttemptWaitMs);
        if (packageWorker_.stopRequested()) return;
    }
}

void DMainFrame::_threadDownloadApk() {
    std::wstring resolution;
    const std::vector<GamePackage> packages = downloaderModel().gamePackages();
    const std::wstring installPath = downloaderModel().getInstallPath();
    std::vector<bool> downloaded;
    for (const GamePackage& package : packages) {
        const int index = static_cast<int>(downloaded.size()) + 1;
        postToWindow([this, index, name = package.gamename] { showGameDownload(index, name); });
        const ui::GameFiles files = ui::gameFiles(installPath, package);
        if (!package.app_obb.empty()) downloadInto(package.app_obb, files.expansion);
        if (!package.app_icon.empty()) downloadIcon(package.app_icon, files.icon);
        if (!package.resolution.empty()) resolution = package.resolution;
        downloaded.push_back(downloadInto(package.app_download_url, files.application));
        if (packageWorker_.stopRequested()) return;
    }
    const std::wstring console = model::joinPath(installPath, L"qorconsole.exe");
    if (!resolution.empty()) {
        PEL_LOG(L"setup resolution %s", resolution.c_str());
        setResolution(console, resolution);
    }
    postToWindow([this] { packageTimerRunning_ = setWindowTimer(kPackageProgressTimer, 500); });
    packageWorker_.wait(kInstallPhaseDelayMs);
    if (packageWorker_.stopRequested()) return;
    const std::wstring player = model::joinPath(installPath, L"qorplayer.exe");
    std::wstring lastPackage;
    std::vector<std::wstring> failedGames;
    for (size_t i = 0; i < packages.size(); ++i) {
        const GamePackage& package = packages[i];
        lastPackage = package.app_package_name;
        // Nothing arrived, so there is nothing to install, nor a game for a shortcut to start.
        if (!downloaded[i]) {
            reportFailedGame(package.gamename, L"download", failedGames);
            continue;
        }
        postToWindow([this, name = package.gamename] { showGameInstall(name); });
        const ui::GameFiles files = ui::gameFiles(installPath, package);
        if (!files.shortcut.empty() && ::GetFileAttributesW(files.icon.c_str()) != INVALID_FILE_ATTRIBUTES) {
            PEL_LOG(L"create short cut %s", package.gamename.c_str());
            helper::createShortcut(files.shortcut, files.icon, installPath, player, L"package=" + package.app_package_name);
        }
        const std::wstring command = ui::installCommand(files, package);
        const std::optional<std::wstring> reason =
            ui::installFailureReason(utility::process::run(console, command, kConsoleWaitMs));
        if (reason) {
            reportFailedGame(package.gamename, *reason, failedGames);
        }
        if (packageWorker_.stopRequested()) return;
    }
    startPlayerAfterGames(player, lastPackage, !failedGames.empty());
}

// A resolution the emulator did not take leaves its own; the games are installed all the same.
void DMainFrame::setResolution(const std::wstring& console, const std::wstring& resolution) {
    const std::wstring command = L"modify --index 0 --resolution " + resolution;
    if (utility::process::run(console, command, kModifyWaitMs).succeeded()) return;
    PEL_LOG(L"the console did not set the resolution %s", resolution.c_str());
    downloaderModel().sendEvent(L"download_gameResolutionFailed", downloaderModel().getOpenId());
}

void DMainFrame::reportFailedGame(const std::wstring& name, const std::wstring& reason,
                                  std::vector<std::wstring>& failedGames) {
    PEL_LOG(L"game %s could not be installed: %s", name.c_str(), reason.c_str());
    downloaderModel().sendEvent(L"download_gameFailed", downloaderModel().getOpenId() + L"_" + reason);
    failedGames.push_back(name);
    postToWindow([this, failedGames] { showFailedGames(failedGames); });
}

// The emulator starts whatever happened; after a failure the page stays a while, and since the emulator
// runs by then, a close needs no confirmation.
void DMainFrame::startPlayerAfterGames(const std::wstring& player, const std::wstring& lastPackage, bool linger) {
    postToWindow([this, player, lastPackage, linger] {
        utility::process::shell(player, L"package=" + lastPackage);
        finished_ = true;
        if (!linger) leaveAfterGames();
    });
    if (!linger) return;
    packageWorker_.wait(kFailureLingerMs);
    if (!packageWorker_.stopRequested()) postToWindow([this] { leaveAfterGames(); });
}

void DMainFrame::leaveAfterGames() {
    showWindow(false);
    ::PostQuitMessage(0);
}

bool DMainFrame::onDownloadProgress(const char*, int, int64_t received, int64_t total) {
    const DWORD now = ::GetTickCount();
    if (now < lastPackagePost_ + 1000 && received < total) return true;
    lastPackagePost_ = now;
    postToWindow([this, received, total] { showPackageProgress(received, total); });
    return true;
}

bool DMainFrame::onDownloadFinished() { return true; }

// The line names the package being handled from its start on, before any byte of it arrives.
void DMainFrame::showGameDownload(int index, const std::wstring& name) {
    gameIndex_ = index;
    gameName_ = name;
    showPackageProgress(0, -1);
}

void DMainFrame::showGameInstall(const std::wstring& name) {
    setText(L"apkinstallprogresslabel", getString(L"Label_installingapp_waiting") + L" " + name);
}

void DMainFrame::showFailedGames(const std::vector<std::wstring>& names) {
    setText(L"apkfailedlabel", ui::gameFailureLine(getString(L"game_install_failed"), names));
    if (toolkit::CSkinControl* line = findControl(L"apkfailedlabel")) line->setVisible(true);
}

void DMainFrame::showPackageProgress(int64_t received, int64_t total) {
    const int count = static_cast<int>(downloaderModel().gamePackages().size());
    setText(L"apkinstallprogresslabel", ui::gameProgressLine(getString(L"progress_downloading_label2"), gameName_,
                                                             gameIndex_, count, received, total));
    if (auto* bar = findControl<toolkit::CSkinProgress>(L"apkinstallprogressbar")) {
        bar->setValue(ui::gameBarValue(ui::gameDownloadPercent(received, total)));
    }
}

// The console tool reports no progress, so the bar walks towards 98 while it works.
void DMainFrame::advancePackageInstallBar() {
    static int counter = 0;
    counter = ui::nextGameInstallValue(counter);
    if (auto* bar = findControl<toolkit::CSkinProgress>(L"apkinstallprogressbar")) bar->setValue(counter);
    if (counter == 98) killWindowTimer(kPackageProgressTimer), packageTimerRunning_ = false;
}
