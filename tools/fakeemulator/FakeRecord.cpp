#include "tools/fakeemulator/FakeRecord.h"

#include <windows.h>

#include <vector>

namespace fakeemulator {

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                          nullptr);
    return bytes;
}

std::wstring recordFolder() {
    std::vector<wchar_t> value(32768);
    const DWORD length = ::GetEnvironmentVariableW(L"PELORA_FAKE_RECORD_DIR", value.data(),
                                                   static_cast<DWORD>(value.size()));
    if (length == 0 || length >= value.size()) {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        return temp;
    }
    std::wstring folder(value.data(), length);
    // Wine hands the Unix environment through unchanged; its Z: drive is the Unix root.
    if (folder.front() == L'/') {
        for (wchar_t& c : folder) {
            if (c == L'/') c = L'\\';
        }
        folder = L"Z:" + folder;
    }
    return folder;
}

std::wstring recordPath(const wchar_t* fileName) {
    std::wstring folder = recordFolder();
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder + L"\\" + fileName;
}

bool makeFolders(const std::wstring& folder) {
    for (size_t cut = folder.find_first_of(L"\\/", 3); cut != std::wstring::npos;
         cut = folder.find_first_of(L"\\/", cut + 1)) {
        ::CreateDirectoryW(folder.substr(0, cut).c_str(), nullptr);
    }
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool appendRecord(const wchar_t* fileName, const std::string& extra) {
    const std::wstring path = recordPath(fileName);
    makeFolders(path.substr(0, path.find_last_of(L'\\')));
    // FILE_APPEND_DATA makes each write land at the end even when two fakes record at once.
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const std::string line = toUtf8(::GetCommandLineW()) + extra + "\n";
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == line.size();
}

}  // namespace fakeemulator
