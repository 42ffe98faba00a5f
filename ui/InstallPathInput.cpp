#include "ui/InstallPathInput.h"

#include <shlwapi.h>

#include "helper/Disk.h"

namespace ui {

std::wstring tidyInstallPath(const std::wstring& path) {
    std::wstring tidy = path;
    for (wchar_t& c : tidy) {
        if (c == L'/') c = L'\\';
    }
    // One left-to-right pass, resuming two characters after each replacement, as the installer
    // always has: a run of four separators keeps three.
    for (size_t at = tidy.find(L"\\\\"); at != std::wstring::npos; at = tidy.find(L"\\\\", at + 2)) {
        tidy.replace(at, 2, L"\\");
    }
    // Blanks are trimmed from the folder itself, also where the trailing separator follows them.
    while (!tidy.empty() && tidy.back() == L'\\') tidy.pop_back();
    const size_t first = tidy.find_first_not_of(L' ');
    const size_t last = tidy.find_last_not_of(L' ');
    tidy = first == std::wstring::npos ? L"" : tidy.substr(first, last - first + 1);
    if (!tidy.empty()) tidy += L'\\';
    return tidy;
}

std::wstring completeInstallPath(const std::wstring& text, const std::wstring& installSubFolder,
                                 const std::wstring& productName) {
    std::wstring path = text;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    const auto containsFromSecond = [&](const std::wstring& word) {
        const size_t at = path.find(word);
        return at != std::wstring::npos && at >= 1;
    };
    if (::PathIsRootW(path.c_str()) || (!containsFromSecond(productName) && !containsFromSecond(L"qorplayer"))) {
        path += installSubFolder;
    }
    return helper::disk::isValidInstallPath(path) ? tidyInstallPath(path) : path;
}

}  // namespace ui
