#pragma once
// The one object that does the downloader's work: who it is (from its file name and command line),
// where the emulator goes, fetching and installing the emulator, starting it, and reporting events.
// The window drives it and learns the outcomes through the four callbacks, always on the window
// thread. Every flow runs without a window.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/DownloadFailure.h"
#include "model/DownloadFailureTally.h"
#include "model/GamePackage.h"
#include "model/InstallOutcome.h"
#include "model/InstallerSettings.h"
#include "model/LanguageStrings.h"
#include "model/MarketAnswers.h"
#include "net/AnalyticsReporter.h"
#include "net/HttpClientWrapper.h"
#include "utility/TaskThread.h"

class DownloaderModel final : public utility::CHttpClientWrapper::IHttpDownloadSink {
public:
    // The process-wide model, created on first use.
    static DownloaderModel* instance();
    // Stops and destroys the process-wide model (shutdown).
    static void destroyInstance();

    DownloaderModel();
    ~DownloaderModel();
    DownloaderModel(const DownloaderModel&) = delete;
    DownloaderModel& operator=(const DownloaderModel&) = delete;

    // percent -1 (with 0, 0): waiting for the installer's address.
    std::function<void(int percent, int64_t received, int64_t total)> progressCallback;
    std::function<void()> downloadSucceededCallback;
    // Every fallback failed, or the installer was refused before it ran (NotGenuine).
    std::function<void(DownloadFailure)> downloadFailedCallback;
    std::function<void(InstallOutcome)> installFinishedCallback;

    // Identity from the running executable's name and the command line (may be null), the install
    // folder, and the start of the player-URL worker. Window thread, once.
    void init(const wchar_t* commandLine);
    // The same for a given executable stem.
    void initFromName(const std::wstring& exeStem, const wchar_t* commandLine);

    std::wstring getOpenId() const { return openId_; }
    std::wstring getInstallPath() const { return installPath_; }
    void setInstallPath(const std::wstring& path) { installPath_ = path; }
    std::wstring getLanguage() const { return language_; }
    void setLanguage(const std::wstring& language) { language_ = language; }
    std::wstring getPackage() const { return package_; }
    std::wstring getGoogleId() const { return googleId_; }
    // Copies: the player-URL worker fills these while the window may read them.
    std::vector<GamePackage> gamePackages() const;
    InstallerSettings installerSettings() const;
    std::wstring getPlayerUrl() const;
    void setInstanceHandle(HINSTANCE instance) { instanceHandle_ = instance; }

    // Analytics: queued, or sent at once on a thread of its own; neither waits for the network.
    void sendEvent(const std::wstring& name, const std::wstring& value);
    void sendEventNow(const std::wstring& name, const std::wstring& value);
    // Gives the events sent at once up to timeoutMs to arrive, then gives them up. True when all arrived.
    bool finishImmediateEvents(DWORD timeoutMs);

    // Downloads the emulator's installer once its address is known (waiting up to 8 s for it, without
    // ever blocking the window thread). Window thread.
    void startDownloadPlayer();
    // The whole download again, continuing the partial file where an earlier run from the same address
    // stopped. Does nothing (logged) while a download or an installation runs. Window thread.
    void retryDownloadPlayer();

    // The installation: closes running emulators, runs the installer, writes the channel's settings once
    // the emulator is in place. A refused installer is deleted and reported as a failed download.
    // A pool thread, never the window thread.
    void _threadInsPlayer();
    // Runs the installer and waits for it; what it left in the install folder decides the outcome.
    InstallOutcome runInstallerAndWait(const std::wstring& installerPath, const std::wstring& parameters);
    void killPlayerProcesses();
    // How long the installer may run before the model stops waiting (3 minutes; tests shorten it).
    void setInstallerWaitMs(DWORD milliseconds) { installerWaitMs_ = milliseconds; }
    // The subject the installer's Authenticode signature must name before it runs; empty: not checked.
    void setInstallerSigner(const std::wstring& subject) { installerSigner_ = subject; }
    // The installer's parameters for this downloader's identity.
    std::wstring installerParameters() const;

    // Starts the installed emulator, de-elevated where the system allows it. Window thread.
    void runPlayer(const std::wstring& parameters);
    void launchPlayer();

    // The window's language strings, from a language document. Window thread.
    bool loadLanguage(const std::wstring& xml);
    // The text for the id, or the id itself.
    std::wstring getString(const std::wstring& id) const;

    // The single-instance test: false when this process is the only downloader (it then holds the
    // instance mutex until stop()); true when another one runs, after asking it to show its window.
    bool popupExistPwnd();

    // Asks every worker and transfer to end and returns at once; nothing starts afterwards, and new
    // events are dropped. Window thread.
    void requestStop();
    // Shutdown: requests the stop, then waits for the workers, together at most 2 s from the first
    // request, closes the instance mutex and drops pending UI tasks. Window thread.
    void stop();

    bool onDownloadProgress(const char* data, int length, int64_t received, int64_t total) override;
    bool onDownloadFinished() override;

private:
    void _calcInstallPath();
    // Starts work on the worker; false, with the task released, when the worker runs already.
    bool _startWorker(utility::TaskThread& worker, void (DownloaderModel::*work)());
    void _threadGetPlayerUrl();
    void _keepPlayerAddresses(const PlayerAddresses& addresses);
    void _getPackageByOpenID();
    void _beginDownload(bool continuePartial);
    bool _downloadRunning() const { return downloading_ || urlWaitTimerId_ != 0; }
    void _startDownloadWorker();
    void _threadDownloadPlayer();
    bool _downloadByENUrl(const std::wstring& target, DownloadFailureTally& tally);
    bool _fetchChecked(utility::CHttpClientWrapper& client, const std::wstring& url, bool rawSocket,
                       const std::wstring& temporary, const InstallerDigest& digest, const wchar_t* route,
                       DownloadFailureTally& tally);
    std::wstring _playerSpareUrl() const;
    InstallerDigest _playerDigest() const;
    void _onUrlWaitTick();
    void _abandonVersionLookup();
    DWORD _stopTimeLeft() const;
    void _installPlayer();
    void _finishInstallation(std::function<void()> report);
    // Nothing when the installer was refused before it ran.
    std::optional<InstallOutcome> _runCheckedInstaller(const std::wstring& installer, const std::wstring& parameters);
    bool _playerInstalled() const;
    void _writeChannelSettings();
    const wchar_t* _installerRefusal(HANDLE installer, const std::wstring& path) const;
    void _reportCreateProcessError(DWORD error);
    void _downloadChannelFiles(const std::wstring& dataFolder);
    void _downloadChannelFile(const std::wstring& url, const std::wstring& path);
    void _postToUi(std::function<void()> task);
    const void* _uiOwner() const { return &urlWaitTimerId_; }

    std::wstring package_;
    utility::TaskThread urlWorker_;
    // Stop source of the version lookup alone (no thread of its own): the address wait gives up on the
    // lookup while the same worker still fetches the channel's configuration.
    utility::TaskThread versionLookup_;
    utility::CHttpClientWrapper urlClient_;
    utility::TaskThread downloadWorker_;
    utility::CHttpClientWrapper downloadClients_[3];
    HANDLE instanceMutex_ = nullptr;
    std::wstring installPath_;
    std::wstring openId_ = L"100";
    // Guards playerUrl_, playerSpareUrl_, playerDigest_, installerDigest_, gamePackages_ and settings_.
    mutable std::mutex sharedLock_;
    std::wstring playerUrl_;
    std::wstring playerSpareUrl_;
    InstallerDigest playerDigest_;  // announced with playerUrl_ and playerSpareUrl_
    // What the installer in place was checked against: the announced digest, or none when the file
    // came from the built-in address.
    InstallerDigest installerDigest_;
    std::wstring language_ = L"en_US";
    std::wstring googleId_;
    UINT_PTR urlWaitTimerId_ = 0;
    int urlWaitTicks_ = 0;
    // From the start of the download worker until its outcome is posted.
    std::atomic<bool> downloading_{false};
    // Set on the window thread before the worker starts: this run continues the partial file.
    bool continuePartial_ = false;
    // Download worker only: where the partial ".tmp" file's bytes came from, and the file size that the
    // last transfer reached (for the final report).
    std::optional<utility::CHttpClientWrapper::PartialFile> partial_;
    int64_t receivedBytes_ = 0;
    // From the start of the installation task until its outcome is posted.
    std::atomic<bool> installing_{false};
    std::atomic<bool> stopping_{false};
    DWORD stopRequestedAt_ = 0;
    DWORD lastProgressTick_ = 0;
    int percent_ = 0;
    model::LanguageStrings languageStrings_;
    std::vector<GamePackage> gamePackages_;
    AnalyticsReporter analytics_;
    InstallerSettings settings_;
    HINSTANCE instanceHandle_ = nullptr;
    DWORD installerWaitMs_ = 180000;
    std::wstring installerSigner_;
};
