#include "app/LibrarySearch.h"

namespace app {

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// Looked up, not imported: a system without the loader update would refuse to start the program.
SetDefaultDllDirectoriesFn setDefaultDllDirectories() {
    return reinterpret_cast<SetDefaultDllDirectoriesFn>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"));
}

}  // namespace

bool restrictLibrarySearch() {
    const SetDefaultDllDirectoriesFn setDefault = setDefaultDllDirectories();
    const bool restricted = setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryW(L"");
    return restricted;
}

HMODULE loadLibraryFrom(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) {  // a bare name would be searched for
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    // The search flags came with the same loader update; without them the altered search order looks
    // in the DLL's own folder instead of the program's.
    const DWORD flags = setDefaultDllDirectories() != nullptr
                            ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                            : LOAD_WITH_ALTERED_SEARCH_PATH;
    return ::LoadLibraryExW((folder + name).c_str(), nullptr, flags);
}

}  // namespace app
