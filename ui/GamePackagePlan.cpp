#include "ui/GamePackagePlan.h"

#include "model/JoinPath.h"
#include "utility/SafeName.h"

namespace ui {

GameFiles gameFiles(const std::wstring& installPath, const GamePackage& package) {
    const std::wstring packageName = utility::safeFileName(package.app_package_name);
    const std::wstring gameName = utility::safeFileName(package.gamename);
    const std::wstring application = gameName + (package.xapk ? L".xapk" : L".apk");
    return GameFiles{model::joinPath(installPath, application), model::joinPath(installPath, packageName + L".obb"),
                     model::joinPath(installPath, packageName + L".ico"), gameName};
}

std::wstring installCommand(const GameFiles& files, const GamePackage& package) {
    std::wstring command = L"installapk --index 0 --filename \"" + files.application + L"\"";
    if (!package.app_obb.empty()) {
        command += L" --packagename " + package.app_package_name + L" --fileobb \"" + files.expansion + L"\"";
    }
    return command + L" --wait --hide";
}

std::optional<std::wstring> installFailureReason(const utility::process::RunResult& run) {
    if (run.succeeded()) return std::nullopt;
    return run.end == utility::process::RunResult::End::timedOut ? L"timeout" : L"install";
}

std::optional<std::wstring> directLaunchArguments(const GamePackage& package) {
    const std::wstring start = L"apk=|show=true|package=" + package.app_package_name;
    if (package.from_appstore) {
        return start + L"|downloadapkurl=" + package.app_download_url + L";S.package=" + package.app_package_name +
               L";S.appname=" + package.gamename + L";S.appicon=" + package.game_slt_url + L";S.appsize=96";
    }
    if (!package.gameid.empty()) return start + L"|downloadgameid=" + package.gameid;
    if (package.app_package_name.empty() || !package.app_download_url.empty()) return std::nullopt;
    return start + L"|downloadpackage=" + package.app_package_name;
}

}  // namespace ui
