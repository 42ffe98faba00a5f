// Installing the downloaded emulator silently with the downloader's identity, writing the channel's
// settings into it, and starting it.

#include "model/DownloaderModel.h"

#include <objbase.h>
#include <shlwapi.h>

#include "common/LogPrint.h"
#include "helper/Shortcut.h"
#include "model/ChannelSettings.h"
#include "model/ConfigImp.h"
#include "model/JoinPath.h"
#include "utility/InstallerSignature.h"
#include "utility/ScopedHandle.h"
#include "utility/UFile.h"
#include "utility/UProcess.h"
#include "utility/USystem.h"
#include "utility/UString.h"

namespace {

// _installPlayer does the work of _threadInsPlayer; its lines carry that name.
constexpr char kInstallLog[] = "DownloaderModel::_threadInsPlayer";
constexpr int kChannelFileTries = 3;
constexpr DWORD kChannelFileRetryMs = 200;
constexpr const wchar_t* kPlayerProcesses[] = {L"qorplayer.exe", L"qormultiplayer.exe", L"qorupdate.exe",
                                               L"bugreport.exe"};

bool fileExists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

bool isFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

std::wstring DownloaderModel::installerParameters() const {
    std::wstring parameters = L"-silence -downloader -openid=" + openId_;
    if (!language_.empty()) parameters += L" -language=" + language_;
    parameters += L" -path=\"" + installPath_ + L"\"";
    if (!googleId_.empty()) parameters += L" -googleid=" + googleId_;
    return parameters;
}

void DownloaderModel::_threadInsPlayer() {
    installing_ = true;
    _installPlayer();
}

void DownloaderModel::_installPlayer() {
    const std::wstring parameters = installerParameters();
    logPrint(kInstallLog, __LINE__, L"install player param: %s", parameters.c_str());
    const std::wstring installer = ConfigImp::instance().installerExePath(installPath_);
    killPlayerProcesses();
    if (!fileExists(installer)) sendEvent(L"download_installPlayerNotExit", openId_ + L"_1");
    const std::optional<InstallOutcome> outcome = _runCheckedInstaller(installer, parameters);
    if (!outcome) {
        // Gone, so that a try-again downloads it afresh; for the user it is a download that failed.
        utility::ufile::removeFile(installer);
        _finishInstallation([this] {
            if (downloadFailedCallback) downloadFailedCallback(DownloadFailure::NotGenuine);
        });
        return;
    }
    logPrint(kInstallLog, __LINE__, L"install outcome: %s", installOutcomeName(*outcome));
    // The channel's settings belong to an emulator that is there; without one they would only mislead.
    if (*outcome == InstallOutcome::Installed) _writeChannelSettings();
    _finishInstallation([this, result = *outcome] {
        if (installFinishedCallback) installFinishedCallback(result);
    });
}

// The window may act on the report at once, for example try again.
void DownloaderModel::_finishInstallation(std::function<void()> report) {
    installing_ = false;
    _postToUi(std::move(report));
}

void DownloaderModel::_writeChannelSettings() {
    const std::wstring dataFolder = model::joinPath(installPath_, L"data\\");
    utility::ufile::makeDir(dataFolder);
    _downloadChannelFiles(dataFolder);
    const InstallerSettings settings = installerSettings();
    writeChannelSettings(dataFolder, settings);
    const std::wstring icon = dataFolder + settings.shortcutName + L".ico";
    if (!settings.shortcutName.empty() && fileExists(icon)) {
        helper::createShortcut(settings.shortcutName, icon, installPath_, model::joinPath(installPath_, L"qorplayer.exe"),
                               L"package=" + settings.runApp);
    }
}

void DownloaderModel::_downloadChannelFiles(const std::wstring& dataFolder) {
    const InstallerSettings settings = installerSettings();
    _downloadChannelFile(settings.launchImageH, dataFolder + L"launch_1920.jpg");
    _downloadChannelFile(settings.launchImageV, dataFolder + L"launch_1080.jpg");
    // The icon is named after the shortcut; without a name there is no shortcut to show it.
    if (!settings.shortcutName.empty()) {
        _downloadChannelFile(settings.shortcutUrl, dataFolder + settings.shortcutName + L".ico");
    }
}

// A small file of the channel's (image, icon): a few quick tries, no resume. The channel leaves out
// what it does not have. The first client is the one shutdown stops, so a stalled server holds
// nothing up once the program ends.
void DownloaderModel::_downloadChannelFile(const std::wstring& url, const std::wstring& path) {
    if (url.empty()) return;
    for (int attempt = 0; attempt < kChannelFileTries && !stopping_; ++attempt) {
        if (downloadClients_[0].download2file(url, path, nullptr)) return;
        ::Sleep(kChannelFileRetryMs);
    }
}

// The installer stays open, readable only, from its checks until its process exists: the file that runs
// is the file that was checked, whoever else may write to its folder.
std::optional<InstallOutcome> DownloaderModel::_runCheckedInstaller(const std::wstring& installer,
                                                                    const std::wstring& parameters) {
    const utility::UniqueHandle held = utility::ufile::openHeldForReading(installer);
    if (!held) {
        // Reported as a start that failed; a missing folder is a missing file, as the start would say.
        const DWORD error = ::GetLastError() == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : ::GetLastError();
        logPrint(kInstallLog, __LINE__, L"installer cannot be held, error = %u", error);
        _reportCreateProcessError(error);
        return InstallOutcome::NotStarted;
    }
    if (const wchar_t* refusal = _installerRefusal(held.get(), installer)) {
        logPrint(kInstallLog, __LINE__, L"installer refused: %s", refusal);
        sendEvent(L"download_installerRefused", openId_ + L"_" + refusal);
        return std::nullopt;
    }
    return runInstallerAndWait(installer, parameters);
}

bool DownloaderModel::_playerInstalled() const { return isFile(model::joinPath(installPath_, L"qorplayer.exe")); }

// Null when the installer may run; otherwise the reason, as the refusal event reports it.
const wchar_t* DownloaderModel::_installerRefusal(HANDLE installer, const std::wstring& path) const {
    const InstallerDigest digest = [this] {
        std::lock_guard<std::mutex> guard(sharedLock_);
        return installerDigest_;
    }();
    if (digest.announced() && !fileMatchesDigest(installer, digest)) return L"digest";
    if (installerSigner_.empty()) return nullptr;
    switch (utility::checkInstallerSignature(installer, path, installerSigner_)) {
    case utility::SignatureVerdict::Trusted: return nullptr;
    case utility::SignatureVerdict::NotSigned: return L"notSigned";
    case utility::SignatureVerdict::WrongSigner: return L"wrongSigner";
    case utility::SignatureVerdict::NotTrusted: break;
    }
    return L"notTrusted";
}

void DownloaderModel::_reportCreateProcessError(DWORD error) {
    sendEvent(L"download_installComplete", openId_ + L"_errCreateProcess_" + std::to_wstring(error));
}

InstallOutcome DownloaderModel::runInstallerAndWait(const std::wstring& installerPath, const std::wstring& parameters) {
    std::wstring commandLine = L"\"" + installerPath + L"\"";
    if (!parameters.empty()) commandLine += L" " + parameters;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                          &startup, &info)) {
        _reportCreateProcessError(::GetLastError());
        return InstallOutcome::NotStarted;
    }
    ::CloseHandle(info.hThread);
    utility::UniqueHandle process(info.hProcess);
    const DWORD waited = ::WaitForSingleObject(process.get(), installerWaitMs_);
    // The exit code says nothing reliable; the emulator in the folder does.
    const bool player = _playerInstalled();
    switch (waited) {
    case WAIT_OBJECT_0: sendEvent(L"download_installComplete", player ? openId_ : openId_ + L"_errNoPlayer"); break;
    case WAIT_TIMEOUT: sendEvent(L"download_installComplete", openId_ + L"_errWaitTimeout"); break;
    case WAIT_FAILED: sendEvent(L"download_installComplete", openId_ + L"_errWaitFailed"); break;
    default: sendEvent(L"download_installComplete", openId_ + L"_errUnknown"); break;
    }
    return player ? InstallOutcome::Installed : InstallOutcome::NoPlayer;
}

void DownloaderModel::killPlayerProcesses() {
    for (const wchar_t* name : kPlayerProcesses) utility::process::killByImageName(name);
}

void DownloaderModel::runPlayer(const std::wstring& parameters) {
    const std::wstring player = model::joinPath(installPath_, L"qorplayer.exe");
    const auto version = utility::usystem::windowsVersion();
    if (version.major < 6 || (version.major == 6 && version.minor < 2)) {
        utility::process::shell(player, parameters);
        return;
    }
    PEL_LOG(L"runPlayer no amdin");
    if (utility::process::createUnelevated(player, &parameters) == -1) {
        PEL_LOG(L"runPlayer no amdin error %d", ::GetLastError());
        utility::process::shell(player, parameters);
    }
}

void DownloaderModel::launchPlayer() {
    runPlayer(package_.empty() ? std::wstring() : L"downloadpackage=" + package_ + L"|package=" + package_);
}
