#include "tests/e2e/AppProcess.h"

#include <vector>

#include "tests/support/TestFiles.h"

namespace e2e {

namespace {

// The test program's environment with the extra variables, as a block for CreateProcessW.
std::vector<wchar_t> environmentBlock(const std::map<std::wstring, std::wstring>& extra) {
    std::map<std::wstring, std::wstring> variables;
    if (wchar_t* strings = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
            const std::wstring text = entry;
            const size_t equals = text.find(L'=', 1);  // "=C:=C:\\" entries start with "="
            if (equals != std::wstring::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        ::FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : extra) variables[name] = value;
    std::vector<wchar_t> block;
    for (const auto& [name, value] : variables) {
        const std::wstring entry = name + L"=" + value;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

struct WindowSearch {
    DWORD pid;
    const std::wstring* className;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->pid || !::IsWindowVisible(window)) return TRUE;
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    if (*search->className == name) search->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> visibleWindowsOf(DWORD pid, const std::wstring& className) {
    WindowSearch search{pid, &className, {}};
    ::EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring windowTitle(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

AppProcess::AppProcess(const std::wstring& source, const std::wstring& fileName) : exePath_(dir_ / fileName) {
    ::CopyFileW(source.c_str(), exePath_.c_str(), FALSE);
}

AppProcess::~AppProcess() {
    kill();
    // The copy is deleted with the folder once the process has let go of it.
    testsupport::waitUntil([&] { return ::DeleteFileW(exePath_.c_str()) || !testsupport::fileExists(exePath_); },
                           std::chrono::seconds(5));
}

bool AppProcess::start(const std::wstring& arguments, const std::map<std::wstring, std::wstring>& environment) {
    if (!testsupport::fileExists(exePath_)) return false;
    std::wstring commandLine = L"\"" + exePath_ + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    std::vector<wchar_t> block = environmentBlock(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, block.data(),
                          dir_.path().c_str(), &startup, &info)) {
        return false;
    }
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    pid_ = info.dwProcessId;
    return true;
}

bool AppProcess::running() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool AppProcess::waitForExit(std::chrono::milliseconds timeout) {
    return process_ && ::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

std::optional<DWORD> AppProcess::exitCode() const {
    DWORD code = 0;
    if (!process_ || running() || !::GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
    return code;
}

void AppProcess::kill() {
    if (!running()) return;
    ::TerminateProcess(process_.get(), 0xDEAD);
    ::WaitForSingleObject(process_.get(), 10000);
}

std::vector<HWND> AppProcess::windows(const std::wstring& className) const {
    return pid_ ? visibleWindowsOf(pid_, className) : std::vector<HWND>();
}

HWND AppProcess::waitForWindow(const std::wstring& className, std::chrono::milliseconds timeout) const {
    HWND found = nullptr;
    testsupport::waitUntil(
        [&] {
            const std::vector<HWND> all = windows(className);
            found = all.empty() ? nullptr : all.front();
            return found != nullptr || !running();
        },
        timeout);
    return found;
}

bool AppProcess::waitForNoWindow(const std::wstring& className, std::chrono::milliseconds timeout) const {
    return testsupport::waitUntil([&] { return windows(className).empty(); }, timeout);
}

}  // namespace e2e
