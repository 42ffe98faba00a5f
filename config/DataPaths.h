#pragma once
// Where the product family keeps its per-user data and logs, shared with the emulator's programs.

#include <map>
#include <string>

namespace config {

// Program kinds of the product family; the downloader is kind 8.
constexpr int kDownloaderKind = 8;

// The roaming application-data folder (CSIDL_APPDATA). Computed once per process.
std::wstring appDataFolder();
// Folder of the running executable. Computed once per process.
std::wstring exeFolder();
// appDataFolder / "Merrow". Computed once per process.
std::wstring userDataRoot();
// The install root override when one was given, else the executable's folder.
std::wstring installRoot();
void setInstallRootOverride(const std::wstring& folder);
// installRoot / "vms"
std::wstring instancesRoot();
// instancesRoot / "config/vantors.config"
std::wstring globalConfigPath();

// Log file of every program kind; building it creates each entry's folder. Kind 3 has none.
std::map<int, std::wstring> logFileTable();
// The table's entry for the kind, or empty.
std::wstring logPath(int kind);

// Creates the folder and its missing parents; failures are logged and reported as false.
bool createDirectories(const std::wstring& folder);

}  // namespace config
