#include "config/DataPaths.h"

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <system_error>

#include "common/Log.h"

namespace config {

namespace {

namespace fs = std::filesystem;

std::wstring g_installRootOverride;

// Joins with one native separator, whatever separators the pieces carry.
std::wstring join(const std::wstring& folder, const std::wstring& relative) {
    return (fs::path(folder) / fs::path(relative)).make_preferred().wstring();
}

std::wstring parentOf(const std::wstring& file) { return fs::path(file).parent_path().wstring(); }

// The file's path, after creating its folder.
std::wstring withFolder(const std::wstring& file) {
    createDirectories(parentOf(file));
    return file;
}

}  // namespace

std::wstring appDataFolder() {
    static const std::wstring folder = [] {
        wchar_t path[MAX_PATH] = {};
        ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
        return std::wstring(path);
    }();
    return folder;
}

std::wstring exeFolder() {
    static const std::wstring folder = [] {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        return parentOf(path);
    }();
    return folder;
}

std::wstring userDataRoot() {
    static const std::wstring root = join(appDataFolder(), L"Merrow\\");
    return root;
}

std::wstring installRoot() { return g_installRootOverride.empty() ? exeFolder() : g_installRootOverride; }

void setInstallRootOverride(const std::wstring& folder) { g_installRootOverride = folder; }

std::wstring instancesRoot() { return join(installRoot(), L"vms"); }

std::wstring globalConfigPath() { return join(instancesRoot(), L"config/vantors.config"); }

std::map<int, std::wstring> logFileTable() {
    const std::wstring root = userDataRoot();
    return {
        {1, withFolder(join(root, L"log/qorinstall.log"))},
        {2, withFolder(join(root, L"log/qoruninstall.log"))},
        {3, L""},
        {4, withFolder(join(root, L"log/qormultiplayer.log"))},
        {5, withFolder(join(root, L"log/qorrepairer.log"))},
        {6, withFolder(join(root, L"log/qorvideorecord.log"))},
        {7, withFolder(join(root, L"log/qorconsole.log"))},
        {kDownloaderKind, withFolder(join(appDataFolder(), L"peldownloader\\peldownloader.log"))},
        {9, withFolder(join(root, L"log/qorupload.log"))},
    };
}

std::wstring logPath(int kind) {
    const std::map<int, std::wstring> table = logFileTable();
    const auto entry = table.find(kind);
    return entry == table.end() ? std::wstring() : entry->second;
}

bool createDirectories(const std::wstring& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (!error) return true;
    common::log(L"Exception !!! When Create Directories path = %s", folder.c_str());
    return false;
}

}  // namespace config
