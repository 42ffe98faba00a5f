#include "model/DownloaderModel.h"

#include <cwchar>
#include <cwctype>

#include "common/LogPrint.h"
#include "helper/Disk.h"
#include "model/ConfigImp.h"
#include "model/DownloaderIdentity.h"
#include "model/InstanceIdentity.h"
#include "utility/ScopedHandle.h"
#include "utility/UiDispatcher.h"
#include "utility/UString.h"

namespace {

constexpr size_t kShortestPackage = 6;
constexpr size_t kLongestMarket = 3;
constexpr int kFirstPartnerOpenId = 2001;
constexpr int kLastPartnerOpenId = 2999;
// How long the workers together may take to end after the first stop request.
constexpr DWORD kWorkerStopMs = 2000;
constexpr DWORD kRegistryValueBytes = 2048;

DownloaderModel* g_model = nullptr;

// initFromName does init's work; its lines carry init's name.
constexpr char kInitLog[] = "DownloaderModel::init";

// "InstallDir" under HKEY_CURRENT_USER\key; the key is created when missing, as a later install will.
std::wstring installDirFromRegistry(const std::wstring& key) {
    utility::UniqueKey opened;
    if (::RegCreateKeyW(HKEY_CURRENT_USER, key.c_str(), opened.receive()) != ERROR_SUCCESS) return {};
    wchar_t value[kRegistryValueBytes / sizeof(wchar_t)] = {};
    DWORD size = kRegistryValueBytes - sizeof(wchar_t);
    if (::RegQueryValueExW(opened.get(), L"InstallDir", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    return value;
}

// The root of the drive Windows runs from, for when no drive qualifies as the best one.
std::wstring systemDriveRoot() {
    wchar_t windows[MAX_PATH] = {};
    if (::GetSystemWindowsDirectoryW(windows, MAX_PATH) < 3) return L"C:\\";
    return std::wstring(windows, 3);
}

}  // namespace

DownloaderModel* DownloaderModel::instance() {
    if (g_model == nullptr) g_model = new DownloaderModel();
    return g_model;
}

void DownloaderModel::destroyInstance() {
    if (g_model == nullptr) return;
    g_model->stop();
    delete g_model;
    g_model = nullptr;
}

DownloaderModel::DownloaderModel() {
    urlClient_.setStopSource(&versionLookup_);
}

DownloaderModel::~DownloaderModel() { stop(); }

void DownloaderModel::init(const wchar_t* commandLine) {
    wchar_t exePath[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exePath, MAX_PATH);
    initFromName(utility::ustring::fileStem(exePath), commandLine);
}

void DownloaderModel::initFromName(const std::wstring& exeStem, const wchar_t* commandLine) {
    logPrint(kInitLog, __LINE__, L"DownloaderModel exe filename= %s", exeStem.c_str());
    const NameIdentity identity = identityFromStem(exeStem);
    googleId_ += identity.googleId;
    logPrint(kInitLog, __LINE__, L"type: %s, package:%s, openID:%s google id %s", identity.type.c_str(),
             identity.package.c_str(), identity.openId.c_str(), identity.googleId.c_str());
    logPrint(kInitLog, __LINE__, L"model. type: %s, language %s package:%s, openID:%s", identity.type.c_str(),
             identity.market.c_str(), identity.package.c_str(), identity.openId.c_str());

    ConfigImp& config = ConfigImp::instance();
    if (!identity.openId.empty() && openId_ == L"100") openId_ = identity.openId;
    if (!identity.market.empty() && identity.market.size() <= kLongestMarket) {
        const bool english = identity.market == L"ens";
        config.setLanguage(english ? L"en" : identity.market);
        if (!english) language_ = identity.market;
    }
    if (identity.package.size() >= kShortestPackage) package_ = identity.package;
    std::wstring type = identity.type;
    for (wchar_t& c : type) c = static_cast<wchar_t>(std::towlower(c));
    if (type == L"pelora4") config.setPlayer4();
    if (type == L"pelora64") config.setPlayer64();
    if (type == L"pelora3") config.setPlayer3();
    if (type == L"pelora9") config.setPlayer9();

    analytics_.setTrackingId(config.trackingId());
    logPrint(kInitLog, __LINE__, L"openid is %s, package is %s", openId_.c_str(), package_.c_str());
    _calcInstallPath();

    const int openIdNumber = static_cast<int>(std::wcstol(openId_.c_str(), nullptr, 10));
    if (openIdNumber >= kFirstPartnerOpenId && openIdNumber <= kLastPartnerOpenId) {
        config.setAdId(L"Pelora Installer_200");
    }
    logPrint(kInitLog, __LINE__, L"ad id : %s", config.getAdId().c_str());

    if (commandLine != nullptr) {
        const CommandLinePackage named = packageFromCommandLine(commandLine);
        if (named.found) {
            if (!named.apkUrl.empty()) {
                GamePackage game;
                game.app_download_url = named.apkUrl;
                game.app_package_name = named.package;
                game.gamename = named.name;
                std::lock_guard<std::mutex> guard(sharedLock_);
                gamePackages_.push_back(game);
            }
            logPrint(kInitLog, __LINE__, L"cmdline is %s, %s, %s", named.name.c_str(), named.package.c_str(),
                     named.apkUrl.c_str());
        }
    }
    _startWorker(urlWorker_, &DownloaderModel::_threadGetPlayerUrl);
}

bool DownloaderModel::_startWorker(utility::TaskThread& worker, void (DownloaderModel::*work)()) {
    utility::Runable* task = new utility::MemberFuncRunable<DownloaderModel>(this, work);
    if (worker.start(task)) return true;
    task->release();
    PEL_LOG(L"worker runs already");
    return false;
}

void DownloaderModel::_calcInstallPath() {
    const ConfigImp& config = ConfigImp::instance();
    if (!config.isPlayer4() && !config.isPlayer64()) {
        if (config.getLanguage() == L"tw") installPath_ = installDirFromRegistry(L"Software\\Caskel\\qorplayer-tw");
        if (config.getLanguage() == L"kr") installPath_ = installDirFromRegistry(L"Software\\Caskel\\qorplayer-kr");
    }
    if (installPath_.empty()) installPath_ = installDirFromRegistry(config.registryKey());
    PEL_LOG(L"read from reg: path is %s", installPath_.c_str());
    if (!installPath_.empty()) return;
    std::wstring root = helper::disk::getMaxFreeSpaceDrive();
    // Where the storage queries fail no drive qualifies; a relative folder would be plainly wrong.
    if (root.empty()) root = systemDriveRoot();
    installPath_ = root + config.installSubFolder();
    PEL_LOG(L"get install path from MaxFreeSpace: %s", installPath_.c_str());
}

std::vector<GamePackage> DownloaderModel::gamePackages() const {
    std::lock_guard<std::mutex> guard(sharedLock_);
    return gamePackages_;
}

InstallerSettings DownloaderModel::installerSettings() const {
    std::lock_guard<std::mutex> guard(sharedLock_);
    return settings_;
}

std::wstring DownloaderModel::getPlayerUrl() const {
    std::lock_guard<std::mutex> guard(sharedLock_);
    return playerUrl_;
}

void DownloaderModel::sendEvent(const std::wstring& name, const std::wstring& value) {
    analytics_.reportEvent(name, value);
}

void DownloaderModel::sendEventNow(const std::wstring& name, const std::wstring& value) {
    analytics_.reportEventNow(name, value);
}

bool DownloaderModel::finishImmediateEvents(DWORD timeoutMs) { return analytics_.finishImmediate(timeoutMs); }

void DownloaderModel::_postToUi(std::function<void()> task) {
    if (utility::UiDispatcher* dispatcher = utility::UiDispatcher::instance()) {
        dispatcher->post(_uiOwner(), utility::makeRunable(std::move(task)));
    }
}

bool DownloaderModel::loadLanguage(const std::wstring& xml) {
    const int length = static_cast<int>(xml.size());
    PEL_LOG(L"load language length %d", length);
    model::LanguageStrings::LoadFailure failure{};
    if (languageStrings_.load(xml, &failure)) return true;
    if (failure == model::LanguageStrings::LoadFailure::NotWellFormed) {
        PEL_LOG(L"language load from string error. length:%d, error:%d", length, ::GetLastError());
    } else {
        PEL_LOG(L"load language error. root is null");
    }
    return false;
}

std::wstring DownloaderModel::getString(const std::wstring& id) const { return languageStrings_.get(id); }

bool DownloaderModel::popupExistPwnd() {
    utility::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, model::kInstanceId));
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) mutex.reset();
    if (mutex) {
        instanceMutex_ = mutex.release();
        PEL_LOG(L"wnd not exist");
        return false;
    }
    // The running downloader may not have made its mailbox yet; then it simply is not told.
    if (HWND mailbox = ::FindWindowExW(nullptr, nullptr, model::kInstanceId, nullptr)) {
        ::PostMessageW(mailbox, model::kMsgShowMainFrame, 0, 0);
    }
    PEL_LOG(L"wnd exist");
    return true;
}

void DownloaderModel::requestStop() {
    if (urlWaitTimerId_ != 0) {
        if (auto* dispatcher = utility::UiDispatcher::instance()) dispatcher->killTimer(urlWaitTimerId_);
        urlWaitTimerId_ = 0;
    }
    if (stopping_.exchange(true)) return;
    stopRequestedAt_ = ::GetTickCount();
    for (utility::TaskThread* worker : {&versionLookup_, &urlWorker_, &downloadWorker_}) worker->requestStop();
    urlClient_.stop();
    for (auto& client : downloadClients_) client.stop();
    analytics_.setDisabled(true);
}

void DownloaderModel::stop() {
    requestStop();
    if (instanceMutex_ != nullptr) {
        ::CloseHandle(instanceMutex_);
        instanceMutex_ = nullptr;
    }
    urlWorker_.stop(_stopTimeLeft());
    downloadWorker_.stop(_stopTimeLeft());
    if (auto* dispatcher = utility::UiDispatcher::instance()) dispatcher->cancel(_uiOwner());
}

DWORD DownloaderModel::_stopTimeLeft() const {
    const DWORD spent = ::GetTickCount() - stopRequestedAt_;
    return spent < kWorkerStopMs ? kWorkerStopMs - spent : 0;
}
