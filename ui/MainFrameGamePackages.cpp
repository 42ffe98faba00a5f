// The game package step: a worker downloads every package of the channel into the emulator's
// folder, sets the emulator's resolution, makes the games' shortcuts and installs them through the
// emulator's console tool, then the emulator starts on the last game. Controls change only on the
// window thread, through posted tasks.

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
    gameIndex_ = 0;
    std::wstring resolution;
    const std::vector<GamePackage> packages = downloaderModel().gamePackages();
    const std::wstring installPath = downloaderModel().getInstallPath();
    for (const GamePackage& package : packages) {
        postToWindow([this] { ++gameIndex_; });
        const ui::GameFiles files = ui::gameFiles(installPath, package);
        if (!package.app_obb.empty()) downloadInto(package.app_obb, files.expansion);
        if (!package.app_icon.empty()) downloadIcon(package.app_icon, files.icon);
        if (!package.resolution.empty()) resolution = package.resolution;
        downloadInto(package.app_download_url, files.application);
        if (packageWorker_.stopRequested()) return;
    }
    const std::wstring console = model::joinPath(installPath, L"qorconsole.exe");
    if (!resolution.empty()) {
        PEL_LOG(L"setup resolution %s", resolution.c_str());
        utility::process::execute(console, L"modify --index 0 --resolution " + resolution, INFINITE);
    }
    postToWindow([this] {
        setText(L"apkinstallprogresslabel", getString(L"Label_installingapp_waiting") + L" " + gameName_);
        packageTimerRunning_ = setWindowTimer(kPackageProgressTimer, 500);
    });
    packageWorker_.wait(kInstallPhaseDelayMs);
    if (packageWorker_.stopRequested()) return;
    const std::wstring player = model::joinPath(installPath, L"qorplayer.exe");
    std::wstring lastPackage;
    for (const GamePackage& package : packages) {
        const ui::GameFiles files = ui::gameFiles(installPath, package);
        if (!files.shortcut.empty() && ::GetFileAttributesW(files.icon.c_str()) != INVALID_FILE_ATTRIBUTES) {
            PEL_LOG(L"create short cut %s", package.gamename.c_str());
            helper::createShortcut(files.shortcut, files.icon, installPath, player, L"package=" + package.app_package_name);
        }
        lastPackage = package.app_package_name;
        utility::process::execute(console, ui::installCommand(files, package), kConsoleWaitMs);
        if (packageWorker_.stopRequested()) return;
    }
    postToWindow([this, player, lastPackage] {
        utility::process::shell(player, L"package=" + lastPackage);
        showWindow(false);
        ::PostQuitMessage(0);
    });
}

bool DMainFrame::onDownloadProgress(const char*, int, int64_t received, int64_t total) {
    const DWORD now = ::GetTickCount();
    if (now < lastPackagePost_ + 1000 && received < total) return true;
    lastPackagePost_ = now;
    postToWindow([this, received, total] { showPackageProgress(received, total); });
    return true;
}

bool DMainFrame::onDownloadFinished() { return true; }

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
