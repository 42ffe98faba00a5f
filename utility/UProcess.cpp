#include "utility/UProcess.h"

#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <vector>

#include "common/LogPrint.h"
#include "utility/ScopedHandle.h"
#include "utility/USystem.h"

namespace utility::process {

namespace {

constexpr DWORD kKillTimeoutMs = 2000;
constexpr DWORD kTaskkillRejected = 1;
constexpr char kExecute[] = "utility::process::execute";
constexpr size_t kUnelevatedCommandUnits = 1023;

using CreateProcessWithTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                               LPSTARTUPINFOW, LPPROCESS_INFORMATION);

std::wstring quotedCommandLine(const std::wstring& file, const std::wstring& params) {
    std::wstring commandLine = L"\"" + file + L"\"";
    if (!params.empty()) commandLine += L" " + params;
    return commandLine;
}

bool isShellImage(const std::wstring& image, const std::wstring& expectedShellPath) {
    return image == expectedShellPath || image == L"explorer.exe";
}

std::wstring expectedShellPath() {
    wchar_t windowsFolder[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windowsFolder, MAX_PATH);
    return std::wstring(windowsFolder) + L"\\explorer.exe";
}

}  // namespace

bool shell(const std::wstring& file, const std::wstring& params) {
    PEL_LOG(L"shell filename = [%s], param = [%s], runas = %d, show = %d", file.c_str(), params.c_str(), 1, 0);
    const wchar_t* verb = usystem::isVistaOrLater() ? L"runas" : L"open";
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, verb, file.c_str(), params.c_str(), nullptr, SW_HIDE));
    if (result > 32) return true;
    PEL_LOG(L"shellEx failed!!! lastError = %d", ::GetLastError());
    return false;
}

HANDLE create(const std::wstring& file, const std::wstring& params) {
    PEL_LOG(L"createProcess filename = [%s], param = [%s], show = %d", file.c_str(), params.c_str(), 0);
    std::wstring commandLine = quotedCommandLine(file, params);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                          nullptr, &startup, &info)) {
        PEL_LOG(L"createProcess failed!!! lastError = %d", ::GetLastError());
        return nullptr;
    }
    ::CloseHandle(info.hThread);
    return info.hProcess;
}

RunResult run(const std::wstring& file, const std::wstring& params, DWORD timeoutMs) {
    UniqueHandle process(create(file, params));
    if (!process) {
        PEL_LOG_AS(kExecute, L"execute failed!!! last error = %d", ::GetLastError());
        return {};
    }
    switch (::WaitForSingleObject(process.get(), timeoutMs)) {
    case WAIT_TIMEOUT:
        PEL_LOG_AS(kExecute, L"execute timeout!!!");
        return {RunResult::End::timedOut};
    case WAIT_FAILED:
        PEL_LOG_AS(kExecute, L"execute failed!!! lastError = %d", ::GetLastError());
        return {};
    default:
        break;
    }
    DWORD exitCode = 0xFFFFFFFF;
    ::GetExitCodeProcess(process.get(), &exitCode);
    PEL_LOG_AS(kExecute, L"execute exitcode = %d lastError = %d", exitCode, ::GetLastError());
    return {RunResult::End::exited, exitCode};
}

bool execute(const std::wstring& file, const std::wstring& params, DWORD timeoutMs) {
    return run(file, params, timeoutMs).succeeded();
}

void killByImageName(const std::wstring& imageName) {
    // By its full path: the search path starts at this program's own folder, where anyone may have put a
    // taskkill.exe of their own that would then run elevated.
    const std::wstring taskkill = usystem::systemFolder() + L"taskkill.exe";
    // Taskkill answers 1 to an option it rejects, as some builds (Wine's among them) do "/T"; 128 means no
    // process had that name, which is the usual case and needs no second run.
    const RunResult tree = run(taskkill, L"/F /IM " + imageName + L" /T", kKillTimeoutMs);
    if (tree.end != RunResult::End::exited || tree.exitCode != kTaskkillRejected) return;
    execute(taskkill, L"/F /IM " + imageName, kKillTimeoutMs);
}

std::wstring getProcessImagePath(DWORD processId) {
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) return {};
    HMODULE module = nullptr;
    DWORD needed = 0;
    wchar_t path[MAX_PATH] = {};
    if (::EnumProcessModules(process.get(), &module, sizeof module, &needed)) {
        ::GetModuleFileNameExW(process.get(), module, path, MAX_PATH);
    }
    return path;
}

DWORD getShellUserToken(HANDLE& token) {
    DWORD result = ERROR_FILE_NOT_FOUND;
    const std::wstring shellPath = expectedShellPath();
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ::GetLastError();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (!::Process32FirstW(snapshot.get(), &entry)) return ::GetLastError();
    do {
        UniqueHandle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID));
        if (!process) continue;
        std::wstring image = getProcessImagePath(entry.th32ProcessID);
        if (image.empty()) image = entry.szExeFile;
        if (!isShellImage(image, shellPath)) continue;
        UniqueHandle shellToken;
        if (::OpenProcessToken(process.get(), TOKEN_DUPLICATE, shellToken.receive()) &&
            ::DuplicateTokenEx(shellToken.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                               &token)) {
            result = 0;
        }
        break;
    } while (::Process32NextW(snapshot.get(), &entry));
    return result;
}

int createUnelevated(const std::wstring& exePath, const std::wstring* params) {
    const std::wstring commandLine = params != nullptr ? L"\"" + exePath + L"\" " + *params : exePath;
    std::vector<wchar_t> buffer(kUnelevatedCommandUnits, L'\0');
    commandLine.copy(buffer.data(), kUnelevatedCommandUnits - 1);

    UniqueHandle token;
    if (getShellUserToken(*token.receive()) != 0 || !token) return -1;

    UniqueModule advapi(::LoadLibraryW(L"ADVAPI32.dll"));
    if (!advapi) return -1;
    const auto createWithToken = reinterpret_cast<CreateProcessWithTokenFn>(
        ::GetProcAddress(advapi.get(), "CreateProcessWithTokenW"));
    if (createWithToken == nullptr) return -1;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!createWithToken(token.get(), LOGON_WITH_PROFILE, nullptr, buffer.data(), 0, nullptr, nullptr, &startup,
                         &info)) {
        PEL_LOG(L"CreateProcessWithTokenW failed!!! lastError = %d", ::GetLastError());
        return -1;
    }
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return 0;
}

}  // namespace utility::process
