// The channel's settings as the emulator reads them back from a real "data.ini", and the news
// autostart value in the real registry.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "model/ChannelSettings.h"
#include "tests/support/ScratchDir.h"
#include "utility/ScopedHandle.h"
#include "utility/UString.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void setNewsAutostart() {
    utility::UniqueKey run;
    ::RegCreateKeyW(HKEY_CURRENT_USER, kRunKey, run.receive());
    const wchar_t value[] = L"C:\\news.exe";
    ::RegSetValueExW(run.get(), L"PelNews", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
}

bool newsAutostartPresent() {
    utility::UniqueKey run;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, run.receive()) != ERROR_SUCCESS) return false;
    return ::RegQueryValueExW(run.get(), L"PelNews", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Every key of section "setting" with its value, as the narrow profile API reads it (UTF-8 bytes).
std::map<std::string, std::string> sectionOf(const std::wstring& ini) {
    char keys[2048] = {};
    const std::string path = utility::ustring::wideToAnsi(ini);
    ::GetPrivateProfileStringA("setting", nullptr, "", keys, sizeof keys, path.c_str());
    std::map<std::string, std::string> values;
    for (const char* key = keys; *key != '\0'; key += strlen(key) + 1) {
        char value[512] = {};
        ::GetPrivateProfileStringA("setting", key, "", value, sizeof value, path.c_str());
        values[key] = value;
    }
    return values;
}

std::vector<std::string> sectionNames(const std::wstring& ini) {
    char names[2048] = {};
    ::GetPrivateProfileSectionNamesA(names, sizeof names, utility::ustring::wideToAnsi(ini).c_str());
    std::vector<std::string> sections;
    for (const char* name = names; *name != '\0'; name += strlen(name) + 1) sections.push_back(name);
    return sections;
}

struct SettingsCase {
    const char* name;
    InstallerSettings settings;
    std::map<std::string, std::string> written;
    bool autostartRemoved;
};

InstallerSettings with(std::function<void(InstallerSettings&)> change) {
    InstallerSettings settings;
    change(settings);
    return settings;
}

class ChannelSettings : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(ChannelSettings, WritesOnlyWhatDiffersFromTheDefaults) {
    testsupport::ScratchDir dir;
    setNewsAutostart();
    writeChannelSettings(dir.path(), GetParam().settings);
    EXPECT_EQ(sectionOf(dir / L"data.ini"), GetParam().written);
    EXPECT_EQ(sectionNames(dir / L"data.ini"),
              GetParam().written.empty() ? std::vector<std::string>{} : std::vector<std::string>{"setting"});
    EXPECT_EQ(newsAutostartPresent(), !GetParam().autostartRemoved);
}

INSTANTIATE_TEST_SUITE_P(
    Combinations, ChannelSettings,
    ::testing::Values(
        SettingsCase{"defaults", InstallerSettings{}, {}, false},
        SettingsCase{"adsOff", with([](auto& s) { s.adShow = false; }), {{"adshow", "0"}}, true},
        SettingsCase{"cleanMode", with([](auto& s) { s.cleanMode = true; }), {{"cleanmodel", "1"}}, true},
        SettingsCase{"rootNo", with([](auto& s) { s.useRoot = 0; }), {{"useroot", "0"}}, false},
        SettingsCase{"rootYes", with([](auto& s) { s.useRoot = 1; }), {}, false},
        SettingsCase{"storeOff", with([](auto& s) { s.runAppStore = false; }), {{"runappstore", "0"}}, false},
        SettingsCase{"texts",
                     with([](auto& s) {
                         s.windowTitle = L"Pelora Game";
                         s.heapSize = L"512";
                         s.qqLink = L"http://h/q";
                         s.runApp = L"com.example.game";
                     }),
                     {{"title", "Pelora Game"}, {"heapsize", "512"}, {"qqlink", "http://h/q"},
                      {"runapp", "com.example.game"}},
                     false},
        // Within one line, brackets and equals signs are part of the value: no section, no key.
        SettingsCase{"bracketsAndEquals",
                     with([](auto& s) {
                         s.windowTitle = L"[setting] adshow=1";
                         s.heapSize = L"=512";
                         s.qqLink = L"]x[=y";
                     }),
                     {{"title", "[setting] adshow=1"}, {"heapsize", "=512"}, {"qqlink", "]x[=y"}},
                     false}),
    [](const ::testing::TestParamInfo<SettingsCase>& info) { return std::string(info.param.name); });

}  // namespace
