// Getting the emulator's installer onto the disk: its address from the version service, the channel's
// open-id configuration, and the download with its fallbacks (raw socket, the market's spare address,
// the built-in address).

#include "model/DownloaderModel.h"

#include "common/LogPrint.h"
#include "model/ConfigImp.h"
#include "model/MarketAnswers.h"
#include "net/CurlDownloader.h"
#include "net/HttpUrl.h"
#include "utility/UFile.h"
#include "utility/UiDispatcher.h"
#include "utility/UString.h"

namespace {

constexpr UINT kUrlWaitIntervalMs = 1000;
constexpr int kUrlWaitTicks = 8;
constexpr int kPlayerAttempts = 2;
constexpr int kPlayerAttemptWaitMs = 500;
constexpr DWORD kProgressIntervalMs = 1000;
constexpr int64_t kUnknownTotal = 300000000;
constexpr size_t kShortestOpenIdForConfig = 5;
// How long a try-again waits for the worker of the run before, which has already posted its outcome.
constexpr DWORD kFinishedWorkerStopMs = 2000;

// Whole seconds rounded up to the next multiple of 30, as the download events report them.
int elapseBucket(DWORD elapsedMs) { return static_cast<int>(((elapsedMs / 1000) + 29) / 30 * 30); }

}  // namespace

void DownloaderModel::_threadGetPlayerUrl() {
    PEL_LOG(L"start get player url");
    const ConfigImp& config = ConfigImp::instance();
    std::string answer;
    if (!urlClient_.download2mem_ex(answer, config.cdnBase()) && !versionLookup_.stopRequested()) {
        PEL_LOG(L"error 1");
        sendEvent(L"getPlayerUrl_error", openId_);
        answer.clear();
        PelCurlDownloader::downloadMemory(utility::ustring::wideToAnsi(config.cdnBase()), answer, &versionLookup_);
    }
    if (versionLookup_.stopRequested()) {
        PEL_LOG(L"get player url stopped");
    } else if (const std::optional<PlayerAddresses> addresses = playerAddressesFromVersionAnswer(answer, config)) {
        _keepPlayerAddresses(*addresses);
    } else {
        PEL_LOG(L"error 2");
        sendEvent(L"getPlayerUrl_error", openId_);
    }
    if (gamePackages().empty() && !urlWorker_.stopRequested()) _getPackageByOpenID();
}

// Under the lock the address wait takes too: once it has given up on the lookup, it may have chosen the
// built-in address, which a late answer must not replace.
void DownloaderModel::_keepPlayerAddresses(const PlayerAddresses& addresses) {
    std::lock_guard<std::mutex> guard(sharedLock_);
    if (versionLookup_.stopRequested()) return;
    if (!addresses.url.empty()) {
        playerUrl_ = addresses.url;
        playerDigest_ = addresses.digest;
    }
    playerSpareUrl_ = addresses.spareUrl;
}

void DownloaderModel::_getPackageByOpenID() {
    if (openId_.size() >= kShortestOpenIdForConfig) {
        PEL_LOG(L"start get package.");
        const std::wstring url = ConfigImp::instance().openIdConfigUrl(openId_);
        PEL_LOG(L"get package data by pelcurl ");
        std::string answer;
        PelCurlDownloader::downloadMemory(utility::ustring::wideToAnsi(url), answer, &urlWorker_);
        std::lock_guard<std::mutex> guard(sharedLock_);
        readOpenIdConfig(answer, gamePackages_, settings_);
    }
    PEL_LOG(L"package is %s", package_.c_str());
}

void DownloaderModel::startDownloadPlayer() { _beginDownload(false); }

void DownloaderModel::retryDownloadPlayer() {
    if (_downloadRunning() || installing_) {
        PEL_LOG(L"download again ignored: a download or an installation runs");
        return;
    }
    PEL_LOG(L"download player again");
    _beginDownload(true);
}

void DownloaderModel::_beginDownload(bool continuePartial) {
    if (stopping_) return;
    if (_downloadRunning()) {
        PEL_LOG(L"a download runs already");
        return;
    }
    continuePartial_ = continuePartial;
    if (!getPlayerUrl().empty()) {
        _startDownloadWorker();
        return;
    }
    PEL_LOG(L"start downloader. bug getting player url");
    urlWaitTicks_ = 0;
    urlWaitTimerId_ = utility::UiDispatcher::instance()->setTimer(kUrlWaitIntervalMs,
                                                                  utility::makeRunable([this] { _onUrlWaitTick(); }));
    // The window shows that the address is still awaited, rather than a bar that does not move.
    _postToUi([this] {
        if (progressCallback) progressCallback(-1, 0, 0);
    });
}

void DownloaderModel::_startDownloadWorker() {
    for (auto& client : downloadClients_) client.setStopSource(&downloadWorker_);
    // The worker of a run before has posted its outcome and is ending, if it has not ended yet.
    downloadWorker_.stop(kFinishedWorkerStopMs);
    // Before the start: a quick worker clears it again.
    downloading_ = true;
    if (!_startWorker(downloadWorker_, &DownloaderModel::_threadDownloadPlayer)) downloading_ = false;
}

void DownloaderModel::_onUrlWaitTick() {
    if (++urlWaitTicks_ < kUrlWaitTicks && getPlayerUrl().empty()) return;
    _abandonVersionLookup();
    bool builtIn = false;
    {
        std::lock_guard<std::mutex> guard(sharedLock_);
        if (playerUrl_.empty()) {
            playerUrl_ = ConfigImp::instance().installerUrl();
            builtIn = true;
        }
    }
    if (builtIn) sendEvent(L"download_defaultUrl", openId_);
    if (!stopping_) _startDownloadWorker();
    // Last, because killing the timer releases the task that is running this.
    const UINT_PTR timer = urlWaitTimerId_;
    urlWaitTimerId_ = 0;
    utility::UiDispatcher::instance()->killTimer(timer);
}

// Never waits: the worker ends by itself once its transfer has given up, and is joined at shutdown.
void DownloaderModel::_abandonVersionLookup() {
    versionLookup_.requestStop();
    urlClient_.stop();
}

void DownloaderModel::_threadDownloadPlayer() {
    PEL_LOG(L"download player");
    utility::ufile::makeDir(installPath_);
    lastProgressTick_ = 0;
    const std::wstring target = ConfigImp::instance().installerExePath(installPath_);
    const DWORD begin = ::GetTickCount();
    DownloadFailureTally tally;
    const bool succeeded = _downloadByENUrl(target, tally);
    const int elapse = elapseBucket(::GetTickCount() - begin);
    const std::wstring value = openId_ + L"_" + std::to_wstring(elapse);
    // Before the outcome is posted: the window may try again as soon as it hears of it.
    downloading_ = false;
    if (succeeded) {
        _postToUi([this] {
            if (downloadSucceededCallback) downloadSucceededCallback();
        });
        sendEvent(L"download_Success", value);
    } else {
        const DownloadFailure reason = tally.reason();
        PEL_LOG(L"download failed: %s", downloadFailureName(reason));
        _postToUi([this, reason] {
            if (downloadFailedCallback) downloadFailedCallback(reason);
        });
        sendEvent(L"download_Error", value);
    }
    PEL_LOG(L"download finished, success = %d, elapse = %d", succeeded ? 1 : 0, elapse);
}

bool DownloaderModel::_downloadByENUrl(const std::wstring& target, DownloadFailureTally& tally) {
    lastProgressTick_ = 0;
    const std::wstring playerUrl = getPlayerUrl();
    PEL_LOG(L"start download player playerurl is %s", playerUrl.c_str());
    const std::wstring temporary = target + L".tmp";
    if (continuePartial_) {
        PEL_LOG(L"continuing what an earlier run left in %s", temporary.c_str());
    } else {
        utility::ufile::removeFile(temporary);
        partial_.reset();
    }
    const InstallerDigest digest = _playerDigest();
    const auto fetch = [&](utility::CHttpClientWrapper& client, const std::wstring& url, bool rawSocket,
                           const wchar_t* route, const InstallerDigest& expected) {
        return _fetchChecked(client, url, rawSocket, temporary, expected, route, tally);
    };
    const auto nextTry = [this](bool downloaded) { return !downloaded && !downloadWorker_.stopRequested(); };

    bool downloaded = fetch(downloadClients_[1], playerUrl, false, L"url", digest);
    if (nextTry(downloaded)) {
        PEL_LOG(L"download 1 error");
        // The raw socket speaks plain http: a copy that came that way is only trusted when it can be
        // checked against the announced digest.
        if (utility::isHttpsUrl(playerUrl) && !digest.announced()) {
            PEL_LOG(L"download over plain http skipped: no digest to check it against");
        } else {
            downloaded = fetch(downloadClients_[2], playerUrl, true, L"socket", digest);
            if (downloaded) sendEvent(L"download_Success_socket", openId_);
        }
    }
    const std::wstring spareUrl = _playerSpareUrl();
    if (nextTry(downloaded)) {
        PEL_LOG(L"download 2 error");
        if (!spareUrl.empty()) {
            downloaded = fetch(downloadClients_[1], spareUrl, false, L"spare", digest);
            if (downloaded) sendEvent(L"download_Success_spare", openId_);
            if (nextTry(downloaded)) PEL_LOG(L"download spare error");
        }
    }
    InstallerDigest checkedAgainst = digest;
    if (nextTry(downloaded)) {
        // The built-in address may serve another version than the one announced: it is held to the
        // signature check before it runs, not to the announced digest.
        const std::wstring builtIn = ConfigImp::instance().installerUrl();
        checkedAgainst = InstallerDigest{};
        downloaded = fetch(downloadClients_[1], builtIn, false, L"default", checkedAgainst);
        if (!downloaded) {
            PEL_LOG(L"download %s error", builtIn.c_str());
            return false;
        }
    }
    if (!downloaded) return false;
    // A download that cannot take its place leaves nothing to run: it failed.
    if (!utility::ufile::moveFile(temporary, target)) return false;
    {
        std::lock_guard<std::mutex> guard(sharedLock_);
        installerDigest_ = checkedAgainst;
    }
    PEL_LOG(L"download file success file = %s", target.c_str());
    return true;
}

// One fallback's transfer. It continues the partial file when that came from the same address. When a
// digest is expected, a file that does not hash to it is deleted and the fallback counts as failed.
bool DownloaderModel::_fetchChecked(utility::CHttpClientWrapper& client, const std::wstring& url, bool rawSocket,
                                    const std::wstring& temporary, const InstallerDigest& digest,
                                    const wchar_t* route, DownloadFailureTally& tally) {
    const bool transferred = client.download2file_ex(this, temporary, url, kPlayerAttempts, kPlayerAttemptWaitMs,
                                                     rawSocket, partial_ ? &*partial_ : nullptr);
    if (std::optional<utility::CHttpClientWrapper::PartialFile> written = client.partialFile()) partial_ = written;
    if (!transferred) {
        PEL_LOG(L"download from %s failed: %s", url.c_str(), utility::transferFailureName(client.lastFailure()));
        tally.addTransfer(client.lastFailure());
        return false;
    }
    // Whole: nothing is left to continue, whatever the checks below make of it.
    partial_.reset();
    if (!digest.announced()) return true;
    bool matches = false;
    {
        const utility::UniqueHandle file = utility::ufile::openHeldForReading(temporary);
        matches = file && fileMatchesDigest(file.get(), digest);
    }
    if (matches) return true;
    PEL_LOG(L"download from %s does not match its %s, removed", url.c_str(), digest.name());
    utility::ufile::removeFile(temporary);
    sendEvent(L"download_digestError", openId_ + L"_" + route);
    tally.addDigestMismatch();
    return false;
}

std::wstring DownloaderModel::_playerSpareUrl() const {
    std::lock_guard<std::mutex> guard(sharedLock_);
    return playerSpareUrl_;
}

InstallerDigest DownloaderModel::_playerDigest() const {
    std::lock_guard<std::mutex> guard(sharedLock_);
    return playerDigest_;
}

bool DownloaderModel::onDownloadProgress(const char*, int, int64_t received, int64_t total) {
    receivedBytes_ = received;
    const DWORD now = ::GetTickCount();
    if (now < lastProgressTick_ + kProgressIntervalMs) return true;
    lastProgressTick_ = now;
    // An unknown total (-1) is passed on as such; the percentage is taken against a guess meanwhile.
    const int64_t percentBase = total != -1 ? total : received < kUnknownTotal ? kUnknownTotal : received + 1024;
    _postToUi([this, received, total, percentBase] {
        percent_ = static_cast<int>(static_cast<double>(received) / percentBase * 100);
        if (progressCallback) progressCallback(percent_, received, total);
    });
    return true;
}

// Posted like every other report: the window's handler changes controls, which only the window
// thread may touch. The file is complete, so its size is what was received.
bool DownloaderModel::onDownloadFinished() {
    const int64_t size = receivedBytes_;
    _postToUi([this, size] {
        percent_ = 100;
        if (progressCallback) progressCallback(100, size, size);
    });
    return true;
}
