#pragma once
// The downloader's one main window: licence and folder on the setup page, then the emulator's
// download and installation, the game package step and the finish page. It starts no long work of
// its own except the game package worker; the model reports back through its four callbacks, which
// arrive on this window's thread. The object deletes itself when its window is gone.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "model/DownloadFailure.h"
#include "model/InstallOutcome.h"
#include "net/HttpClientWrapper.h"
#include "toolkit/SkinWindow.h"
#include "ui/TransferRate.h"
#include "utility/TaskThread.h"

class DMainFrame : public toolkit::SkinWindow, public utility::CHttpClientWrapper::IHttpDownloadSink {
public:
    // Pages of "maintab".
    enum Page {
        kSetupPage = 0,
        kLicencePage = 1,
        kProgressPage = 2,
        kGamePage = 3,
        kFinishPage = 4,
        kDownloadFailedPage = 6,
        kInstallFailedPage = 7
    };
    // Window timer that advances the game package install bar.
    static constexpr UINT kPackageProgressTimer = 800;

    DMainFrame();
    ~DMainFrame() override;

    // Game package downloads report here, on the package worker.
    bool onDownloadProgress(const char* data, int length, int64_t received, int64_t total) override;
    bool onDownloadFinished() override;

protected:
    const wchar_t* getWindowClassName() const override { return L"updateMframe"; }
    UINT getClassStyle() const override { return CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS; }
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void onFinalMessage(HWND hwnd) override;
    void initWindow() override;
    std::wstring getSkinFile() const override { return L"mainframe.xml"; }
    LRESULT onDestroy(WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT onClose(WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT messageFilter(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    // Pages and the setup page.
    void addRoutes();
    void selectPage(int page);
    void setCustomMode(bool custom);
    bool isCustomMode();
    void refreshSetupControls();
    void applyInstallPathInput(const std::wstring& text);
    void browseForFolder();
    bool checkBeforeInstall();
    void showError(const wchar_t* textKey);
    void onInstallClick();
    void onFinishClick();
    void onCloseRequest();
    static bool meansSomethingElse(toolkit::CSkinControl* focused);
    // Closes the window without asking: the program decided so.
    void closeForGood();
    void setText(const wchar_t* control, const std::wstring& text);
    std::wstring getString(const wchar_t* key) const;

    // The model's callbacks.
    void onPlayerProgress(int percent, int64_t received, int64_t total);
    void showTransferRate(int64_t received, int64_t total);
    void onPlayerDownloaded();
    void onPlayerDownloadFailed(DownloadFailure failure);
    void onPlayerInstalled(InstallOutcome outcome);

    // The failure pages and their ways out.
    void showInstallFailed(InstallOutcome outcome);
    void showFailurePage(int page, const wchar_t* retryButton);
    void returnToProgressPage();
    void onRetryDownloadClick();
    void onBrowserDownloadClick();
    void onRetryInstallClick();
    void onOpenLogFolderClick();
    void stopInstallingTimer();
    void showSlowDownloadTip();
    void leaveForBrowser(bool openBrowser, const std::wstring& speed);

    // The game package step.
    void startPackageWorker();
    void _threadDownloadApk();
    bool downloadInto(const std::wstring& url, const std::wstring& target);
    void downloadIcon(const std::wstring& url, const std::wstring& target);
    void stopPackageWorker();
    void setResolution(const std::wstring& console, const std::wstring& resolution);
    void reportFailedGame(const std::wstring& name, const std::wstring& reason, std::vector<std::wstring>& failedGames);
    void startPlayerAfterGames(const std::wstring& player, const std::wstring& lastPackage, bool linger);
    void leaveAfterGames();
    void showGameDownload(int index, const std::wstring& name);
    void showGameInstall(const std::wstring& name);
    void showFailedGames(const std::vector<std::wstring>& names);
    void showPackageProgress(int64_t received, int64_t total);
    void advancePackageInstallBar();
    void postToWindow(std::function<void()> task);

    // Interface language.
    void fillLanguageCombo();
    // Names for the controls a screen reader could not name from their own text.
    void applyAccessibleNames();
    void onLanguageComSelected(int index);
    void applyLanguageTexts();

    int currentPage_ = kSetupPage;
    bool installStarted_ = false;
    bool finished_ = false;
    int lastPercent_ = 0;
    int64_t lastReceived_ = 0;
    ui::TransferRate rate_;
    DWORD installClickTime_ = 0;
    std::wstring localeCode_;
    std::wstring gameName_;
    int gameIndex_ = 0;
    UINT_PTR installingTimer_ = 0;
    int installingStep_ = 0;
    bool packageTimerRunning_ = false;
    utility::TaskThread packageWorker_;
    utility::CHttpClientWrapper packageClient_;
    // The icons' own client, so that a stop reaches an icon transfer too.
    utility::CHttpClientWrapper iconClient_;
    DWORD lastPackagePost_ = 0;  // package worker only
    bool firstFrameLogged_ = false;
    bool closeApproved_ = false;
};
