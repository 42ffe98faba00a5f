#include "helper/Shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include "common/LogPrint.h"
#include "utility/ComApartment.h"
#include "utility/ScopedHandle.h"

namespace helper {

namespace {

// Its failures are steps 1 and 2 of making the shortcut and are logged as such.
constexpr char kCreateShortcut[] = "helper::createShortcut";

std::wstring desktopFolder() {
    utility::UniqueCoTaskMem<LPITEMIDLIST> items;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, items.receive()))) {
        PEL_LOG_AS(kCreateShortcut, L"install 1 of create shortcut failed!");
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(items.get(), path)) {
        PEL_LOG_AS(kCreateShortcut, L"install 2 of create shortcut failed!");
        return {};
    }
    return path;
}

}  // namespace

void createShortcut(const std::wstring& name, const std::wstring& icon, const std::wstring& folder,
                    const std::wstring& target, const std::wstring& arguments) {
    // Shortcuts are made on worker threads too, which may not have COM yet.
    const utility::ComApartment com;
    const std::wstring desktop = desktopFolder();
    if (desktop.empty()) return;

    utility::UniqueCom<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.receive())))) {
        PEL_LOG(L"install 3 of create shortcut failed!");
        return;
    }
    utility::UniqueCom<IPersistFile> file;
    if (FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.receive())))) {
        PEL_LOG(L"install 4 of create shortcut failed!");
        return;
    }

    link.get()->SetWorkingDirectory(folder.c_str());
    link.get()->SetPath(target.c_str());
    if (!arguments.empty()) link.get()->SetArguments(arguments.c_str());
    link.get()->SetIconLocation(icon.c_str(), 0);

    const std::wstring shortcut = desktop + L"\\" + name + L".lnk";
    // A name with characters a file name cannot hold (a game title with "?" or "|") would otherwise vanish silently.
    const HRESULT saved = file.get()->Save(shortcut.c_str(), TRUE);
    if (FAILED(saved)) PEL_LOG(L"save shortcut [ %s ] failed! hr = 0x%08X", shortcut.c_str(), saved);
}

}  // namespace helper
