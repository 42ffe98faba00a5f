// Stand-in for the emulator's installer package, served by tools/marketserver and run by the downloader:
//   fakeinstaller.exe -silence -downloader -openid=<id> [-language=<lang>] -path="<folder>" [-googleid=<id>]
//                     [-regkey="<key under HKEY_CURRENT_USER>"]
// The command line is read as raw text: the folder may hold blanks and end with a backslash before the
// closing quote, which CommandLineToArgvW would take for an escaped quote.
//
// It appends its command line to fakeinstaller-record.txt in the record folder (see FakeRecord.h), then
// installs: <folder>\qorplayer.exe and <folder>\qorconsole.exe (carried inside as resources), the folder
// <folder>\data, and the folder text as given in the value "InstallDir" under HKEY_CURRENT_USER\<key>.
//
// The market server serves the same bytes for every edition, so the key comes from -regkey when given,
// else from the name the downloader stored the installer under (the file name stem, any case):
//   "pelinst" (the mainland market) -> Software\vantor\Pelora
//   "Pelora" and any other name     -> Software\Merrow\Pelora
//
// When the file fakeinstaller-fail.txt exists in the record folder, it records its command line as usual but
// installs nothing and exits 0: an installer that ends as if it had worked and leaves no emulator behind.
// The file is looked at before the record line is written, so a record line means the choice is made.
//
// PELORA_FAKE_INSTALLER_SLEEP_MS=<ms> (at most 600000) makes it wait that long before it ends, to outlast
// the downloader's wait. Exit code 0; 2 without -path, 3 when the installation could not be written.

#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

#include "tools/fakeemulator/FakeCommandLine.h"
#include "tools/fakeemulator/FakeRecord.h"

namespace {

constexpr DWORD kMaxSleepMs = 600000;

bool extractResource(const wchar_t* name, const std::wstring& target) {
    const HRSRC found = ::FindResourceW(nullptr, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    const HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr) return false;
    const DWORD size = ::SizeofResource(nullptr, found);
    const HANDLE file = ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes, size, &written, nullptr);
    ::CloseHandle(file);
    return ok && written == size;
}

std::wstring ownStemLower() {
    std::vector<wchar_t> path(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::wstring name(path.data(), length);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.find_last_of(L'.'));
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    return name;
}

std::wstring registryKey(const std::vector<std::wstring>& args) {
    const std::wstring given = fakeemulator::prefixedValue(args, L"-regkey=");
    if (!given.empty()) return given;
    return ownStemLower() == L"pelinst" ? L"Software\\vantor\\Pelora" : L"Software\\Merrow\\Pelora";
}

bool recordInstallDir(const std::wstring& key, const std::wstring& folder) {
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const LONG result = ::RegSetValueExW(handle, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                         static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

bool failureAsked() {
    return ::GetFileAttributesW(fakeemulator::recordPath(L"fakeinstaller-fail.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
}

void sleepIfAsked() {
    wchar_t value[32] = {};
    if (::GetEnvironmentVariableW(L"PELORA_FAKE_INSTALLER_SLEEP_MS", value, 32) == 0) return;
    const unsigned long ms = std::wcstoul(value, nullptr, 10);
    ::Sleep(ms < kMaxSleepMs ? ms : kMaxSleepMs);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const bool fail = failureAsked();
    fakeemulator::appendRecord(L"fakeinstaller-record.txt");
    if (fail) {
        sleepIfAsked();
        return 0;
    }
    const std::vector<std::wstring> args = fakeemulator::rawArguments(::GetCommandLineW());
    const std::wstring given = fakeemulator::prefixedValue(args, L"-path=");
    if (given.empty()) return 2;

    std::wstring folder = given;
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    const bool installed = fakeemulator::makeFolders(folder + L"\\data") &&
                           extractResource(L"QORPLAYER", folder + L"\\qorplayer.exe") &&
                           extractResource(L"QORCONSOLE", folder + L"\\qorconsole.exe") &&
                           recordInstallDir(registryKey(args), given);
    sleepIfAsked();
    return installed ? 0 : 3;
}
