// Stands in for a DLL that someone put beside the downloader (or elsewhere on its search path) under a
// system DLL's name, hoping the elevated program loads it. It does nothing but tell that it was loaded:
// at process attach it writes "<its own file name>.loaded" beside itself. It exports nothing, so a
// loader that honours the program's imports strictly would refuse it; Wine fills missing imports with
// stubs and loads it all the same, which is enough to see whether it was picked.

#include <windows.h>

#include <string>

namespace {

void writeMarker(HMODULE self) {
    wchar_t path[MAX_PATH] = {};
    if (::GetModuleFileNameW(self, path, MAX_PATH) == 0) return;
    const std::wstring marker = std::wstring(path) + L".loaded";
    const HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) writeMarker(instance);
    return TRUE;
}
