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

void DownloaderModel::startDownloadPlayer() {
    if (stopping_) return;
    if (!getPlayerUrl().empty()) {
        for (auto& client : downloadClients_) client.setStopSource(&downloadWorker_);
        _startWorker(downloadWorker_, &DownloaderModel::_threadDownloadPlayer);
        return;
    }
    PEL_LOG(L"start downloader. bug getting player url");
    if (urlWaitTimerId_ != 0) return;
    urlWaitTicks_ = 0;
    urlWaitTimerId_ = utility::UiDispatcher::instance()->setTimer(kUrlWaitIntervalMs,
                                                                  utility::makeRunable([this] { _onUrlWaitTick(); }));
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
    startDownloadPlayer();
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
    const bool succeeded = _downloadByENUrl(target);
    const int elapse = elapseBucket(::GetTickCount() - begin);
    const std::wstring value = openId_ + L"_" + std::to_wstring(elapse);
    if (succeeded) {
        _postToUi([this] {
            if (downloadSucceededCallback) downloadSucceededCallback();
        });
        sendEvent(L"download_Success", value);
    } else {
        _postToUi([this] {
            if (downloadFailedCallback) downloadFailedCallback();
        });
        sendEvent(L"download_Error", value);
    }
    PEL_LOG(L"download finished, success = %d, elapse = %d", succeeded ? 1 : 0, elapse);
}

bool DownloaderModel::_downloadByENUrl(const std::wstring& target) {
    lastProgressTick_ = 0;
    const std::wstring playerUrl = getPlayerUrl();
    PEL_LOG(L"start download player playerurl is %s", playerUrl.c_str());
    const std::wstring temporary = target + L".tmp";
    utility::ufile::removeFile(temporary);
    const InstallerDigest digest = _playerDigest();
    const auto fetch = [&](utility::CHttpClientWrapper& client, const std::wstring& url, bool rawSocket,
                           const wchar_t* route, const InstallerDigest& expected) {
        return _fetchChecked(client, url, rawSocket, temporary, expected, route);
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

// One fallback's transfer. When a digest is expected, a file that does not hash to it is deleted and the
// fallback counts as failed.
bool DownloaderModel::_fetchChecked(utility::CHttpClientWrapper& client, const std::wstring& url, bool rawSocket,
                                    const std::wstring& temporary, const InstallerDigest& digest,
                                    const wchar_t* route) {
    if (!client.download2file_ex(this, temporary, url, kPlayerAttempts, kPlayerAttemptWaitMs, rawSocket)) return false;
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
    const DWORD now = ::GetTickCount();
    if (now < lastProgressTick_ + kProgressIntervalMs) return true;
    lastProgressTick_ = now;
    if (total == -1) total = received < kUnknownTotal ? kUnknownTotal : received + 1024;
    _postToUi([this, received, total] {
        percent_ = static_cast<int>(static_cast<double>(received) / total * 100);
        if (progressCallback) progressCallback(percent_, received, total);
    });
    return true;
}

// Posted like every other report: the window's handler changes controls, which only the window
// thread may touch.
bool DownloaderModel::onDownloadFinished() {
    _postToUi([this] {
        percent_ = 100;
        if (progressCallback) progressCallback(100, kUnknownTotal, kUnknownTotal);
    });
    return true;
}
