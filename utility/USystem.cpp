#include "utility/USystem.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>

#include "common/LogPrint.h"

namespace utility::usystem {

namespace {

// By its full path: Windows looks for a bare name in the current folder first, where anyone may have put
// an iexplore.exe of their own that would then run elevated.
std::wstring internetExplorerPath() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
    return std::wstring(folder) + L"\\Internet Explorer\\iexplore.exe";
}

}  // namespace

void showWndOnTop(HWND window) {
    PEL_LOG(L"showWndOnTop begin");
    if (::IsIconic(window)) {
        PEL_LOG(L"11111");
        ::SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    }
    const LONG_PTR exStyle = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    PEL_LOG(L"33333");
    if (exStyle & WS_EX_TOPMOST) {
        ::ShowWindow(window, SW_SHOW);
        PEL_LOG(L"444444");
    } else {
        ::SetForegroundWindow(window);
        ::BringWindowToTop(window);
        PEL_LOG(L"55555");
        // Topmost and back: the window ends up first in the ordinary band, in front of the others.
        constexpr UINT kFlags = SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE;
        ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kFlags);
        ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kFlags);
    }
    PEL_LOG(L"showWndOnTop end");
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
WindowsVersion windowsVersion() {
    OSVERSIONINFOEXW extended{};
    extended.dwOSVersionInfoSize = sizeof extended;
    if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended))) {
        return {extended.dwMajorVersion, extended.dwMinorVersion};
    }
    OSVERSIONINFOW plain{};
    plain.dwOSVersionInfoSize = sizeof plain;
    ::GetVersionExW(&plain);
    return {plain.dwMajorVersion, plain.dwMinorVersion};
}
#pragma GCC diagnostic pop

bool isVistaOrLater() { return windowsVersion().major > 5; }

namespace {

// The shell's "open" on an address or folder, without waiting for what it starts. A class ("http")
// sends the target straight to that class's handler: an address ending in ".exe" would otherwise be
// tried as a program file first.
bool shellOpen(const std::wstring& target, const std::wstring& className) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = target.c_str();
    info.nShow = SW_SHOW;
    if (!className.empty()) {
        info.fMask |= SEE_MASK_CLASSNAME;
        info.lpClass = className.c_str();
    }
    if (!::ShellExecuteExW(&info)) return false;
    if (info.hProcess != nullptr) ::CloseHandle(info.hProcess);
    return true;
}

// "http" or "https" for such an address; empty for anything else, which the shell classifies itself.
std::wstring urlScheme(const std::wstring& url) {
    for (const wchar_t* scheme : {L"https", L"http"}) {
        const std::wstring prefix = std::wstring(scheme) + L"://";
        if (::_wcsnicmp(url.c_str(), prefix.c_str(), prefix.size()) == 0) return scheme;
    }
    return {};
}

}  // namespace

void openUrl(const std::wstring& url) {
    if (shellOpen(url, urlScheme(url))) return;
    const std::wstring browser = internetExplorerPath();
    if (!browser.empty()) ::ShellExecuteW(nullptr, L"open", browser.c_str(), url.c_str(), nullptr, SW_SHOW);
}

bool openFolder(const std::wstring& folder) {
    if (shellOpen(folder, L"")) return true;
    PEL_LOG(L"cannot open folder %s, error = %u", folder.c_str(), ::GetLastError());
    return false;
}

std::wstring systemFolder() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(folder, length) + L"\\";
}

}  // namespace utility::usystem
