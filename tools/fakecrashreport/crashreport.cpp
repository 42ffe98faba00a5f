// Stands in for the crash reporter library the downloader loads at start-up. Each export appends
// one line to crashreport.log beside the library: its name and arguments, "|"-separated, UTF-8.
// Built without InitBugReport as well (PELORA_WITHOUT_INIT_EXPORT), to show the downloader then
// calls nothing else.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const wchar_t* text) {
    if (text == nullptr) return "<null>";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

void record(const std::string& line) {
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&record), &self);
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring file = path;
    file = file.substr(0, file.find_last_of(L'\\') + 1) + L"crashreport.log";
    if (FILE* out = _wfopen(file.c_str(), L"ab")) {
        std::fprintf(out, "%s\n", line.c_str());
        std::fclose(out);
    }
}

}  // namespace

extern "C" {

#ifndef PELORA_WITHOUT_INIT_EXPORT
__declspec(dllexport) int __cdecl InitBugReport(const wchar_t* product, const wchar_t* version,
                                                const wchar_t* productAgain) {
    record("InitBugReport|" + utf8(product) + "|" + utf8(version) + "|" + utf8(productAgain));
    return 1;
}
#endif

__declspec(dllexport) int __cdecl SetShowReportUI(int show) {
    record("SetShowReportUI|" + std::to_string(show));
    return 1;
}

__declspec(dllexport) int __cdecl SetRestartExePath(const wchar_t* path) {
    record("SetRestartExePath|" + utf8(path));
    return 1;
}

}  // extern "C"
