#include "model/ChannelSettings.h"

#include <windows.h>

#include "utility/ScopedHandle.h"
#include "utility/UString.h"

namespace {

constexpr wchar_t kSection[] = L"setting";

void writeWide(const std::wstring& ini, const wchar_t* key, const std::wstring& value) {
    ::WritePrivateProfileStringW(kSection, key, value.c_str(), ini.c_str());
}

// The emulator reads these two as UTF-8 bytes through the narrow profile API.
void writeUtf8(const std::wstring& ini, const char* key, const std::wstring& value) {
    const std::string utf8 = utility::ustring::ansiToUtf8(utility::ustring::wideToAnsi(value));
    ::WritePrivateProfileStringA("setting", key, utf8.c_str(), utility::ustring::wideToAnsi(ini).c_str());
}

void deleteNewsAutostart() {
    utility::UniqueKey run;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_SET_VALUE,
                        run.receive()) == ERROR_SUCCESS) {
        ::RegDeleteValueW(run.get(), L"PelNews");
    }
}

}  // namespace

void writeChannelSettings(const std::wstring& dataFolder, const InstallerSettings& settings) {
    const std::wstring ini = dataFolder + L"data.ini";
    if (!settings.adShow) writeWide(ini, L"adshow", L"0");
    if (settings.cleanMode) writeWide(ini, L"cleanmodel", L"1");
    if (!settings.adShow || settings.cleanMode) deleteNewsAutostart();
    if (settings.useRoot == 0) writeWide(ini, L"useroot", L"0");
    if (!settings.runAppStore) writeWide(ini, L"runappstore", L"0");
    if (!settings.windowTitle.empty()) writeUtf8(ini, "title", settings.windowTitle);
    if (!settings.heapSize.empty()) writeUtf8(ini, "heapsize", settings.heapSize);
    if (!settings.qqLink.empty()) writeWide(ini, L"qqlink", settings.qqLink);
    if (!settings.runApp.empty()) writeWide(ini, L"runapp", settings.runApp);
}
