// The running downloader's working set as Windows reports it, and the install click that starts its
// download. bench/app_bench starts the downloader, waits for its first frame and then runs this program
// in the same Wine session, which
//   - finds the visible window of class "updateMframe" and opens its process,
//   - waits until --idle-at (Unix seconds) and reads the working set on the setup page,
//   - clicks the install button (the window's left + 320, top + 285) and, when the downloader's log
//     shows no download start soon after, presses Enter (the setup page's default action) instead,
//   - reads the working set every 10 ms until the log says the download finished, or --timeout,
//   - prints one line per reading; the script lines them up with the times in the log.
//
//   app_bench_sampler.exe --idle-at UNIX_SECONDS [--timeout SECONDS] [--log WINDOWS_PATH]
//
// The log is the downloader's own (config::logPath of the downloader's kind) unless --log names one.
// CPU time is read on the Linux side: Wine's GetProcessTimes has no user and kernel times of another
// process. Output lines, all figures in bytes and Unix seconds:
//   window pid=N left=X top=Y
//   idle t=T ws=B peak=B
//   click how=mouse|enter t=T
//   sample t=T ws=B peak=B           (every 10 ms from the click on)
//   self ws=B peak=B                 (this program's own, for the floor of a Wine process)
//   done finished=0|1 started=0|1 samples=N

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "config/DataPaths.h"

namespace {

constexpr wchar_t kWindowClass[] = L"updateMframe";
constexpr int kButtonX = 320;
constexpr int kButtonY = 285;
constexpr DWORD kSampleMs = 10;
constexpr double kClickConfirmSeconds = 3.0;  // the log's writer flushes every half second
constexpr char kDownloadStarted[] = "start download player";
constexpr char kDownloadFinished[] = "download finished, success = ";

// Seconds since 1970 on the system clock, which the script reads too.
double unixSeconds() {
    FILETIME now;
    ::GetSystemTimePreciseAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - 116444736000000000ULL) / 1e7;
}

void sleepUntil(double unixTime) {
    for (double left = unixTime - unixSeconds(); left > 0; left = unixTime - unixSeconds()) {
        ::Sleep(static_cast<DWORD>(left * 1000 > 50 ? 50 : left * 1000 + 1));
    }
}

struct WindowSearch {
    HWND found = nullptr;
};

BOOL CALLBACK findMainWindow(HWND window, LPARAM param) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (std::wcscmp(name, kWindowClass) != 0 || !::IsWindowVisible(window)) return TRUE;
    reinterpret_cast<WindowSearch*>(param)->found = window;
    return FALSE;
}

HWND waitForMainWindow(double deadline) {
    while (unixSeconds() < deadline) {
        WindowSearch search;
        ::EnumWindows(findMainWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        ::Sleep(20);
    }
    return nullptr;
}

struct Memory {
    SIZE_T workingSet = 0;
    SIZE_T peak = 0;
};

Memory readMemory(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(process, &counters, sizeof(counters))) return {};
    return {counters.WorkingSetSize, counters.PeakWorkingSetSize};
}

// The lines the downloader has appended to its log since the last look. Its writer thread appends
// every half second; a restarted (shorter) file is read again from the start.
class LogTail {
public:
    explicit LogTail(const std::wstring& path) : path_(path) {}

    // True once a line holding the text has appeared.
    bool seen(const char* text) {
        readNew();
        return text_.find(text) != std::string::npos;
    }

private:
    void readNew() {
        HANDLE file = ::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        LARGE_INTEGER size{};
        if (::GetFileSizeEx(file, &size)) {
            if (size.QuadPart < offset_) offset_ = 0;
            LARGE_INTEGER at{};
            at.QuadPart = offset_;
            ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
            char buffer[16384];
            DWORD read = 0;
            while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
                text_.append(buffer, read);
                offset_ += read;
            }
        }
        ::CloseHandle(file);
    }

    std::wstring path_;
    long long offset_ = 0;
    std::string text_;
};

void sendInputs(std::vector<INPUT> inputs) {
    for (INPUT& input : inputs) {
        ::SendInput(1, &input, sizeof(INPUT));
        ::Sleep(25);
    }
}

void clickAt(POINT screen) {
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    move.mi.dx = static_cast<LONG>((screen.x * 65535.0) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
    move.mi.dy = static_cast<LONG>((screen.y * 65535.0) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
    INPUT down{};
    down.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    INPUT up = down;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    sendInputs({move, down, up});
}

void pressEnter() {
    INPUT down{};
    down.type = INPUT_KEYBOARD;
    down.ki.wVk = VK_RETURN;
    INPUT up = down;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    sendInputs({down, up});
}

const wchar_t* argument(int argc, wchar_t** argv, const wchar_t* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], name) == 0) return argv[i + 1];
    }
    return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const wchar_t* idleAtText = argument(argc, argv, L"--idle-at");
    if (idleAtText == nullptr) {
        std::fprintf(stderr, "usage: app_bench_sampler.exe --idle-at UNIX_SECONDS [--timeout SECONDS] [--log PATH]\n");
        return 2;
    }
    const double idleAt = std::wcstod(idleAtText, nullptr);
    const wchar_t* timeoutText = argument(argc, argv, L"--timeout");
    const double timeout = timeoutText ? std::wcstod(timeoutText, nullptr) : 300.0;
    const wchar_t* logText = argument(argc, argv, L"--log");
    const std::wstring logPath = logText ? std::wstring(logText) : config::logPath(config::kDownloaderKind);

    HWND window = waitForMainWindow(unixSeconds() + 20);
    if (window == nullptr) {
        std::printf("error no visible window of class updateMframe\n");
        return 1;
    }
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        std::printf("error OpenProcess %lu failed: %lu\n", pid, ::GetLastError());
        return 1;
    }
    RECT rect{};
    ::GetWindowRect(window, &rect);
    std::printf("window pid=%lu left=%ld top=%ld\n", pid, rect.left, rect.top);

    sleepUntil(idleAt);
    const Memory idle = readMemory(process);
    std::printf("idle t=%.4f ws=%llu peak=%llu\n", unixSeconds(), static_cast<unsigned long long>(idle.workingSet),
                static_cast<unsigned long long>(idle.peak));
    std::fflush(stdout);

    struct Sample {
        double t;
        Memory memory;
    };
    std::vector<Sample> samples;
    samples.reserve(static_cast<size_t>(timeout * 1000 / kSampleMs) + 16);
    auto sampleFor = [&](double seconds, LogTail& log, const char* until) {
        const double end = unixSeconds() + seconds;
        while (unixSeconds() < end) {
            samples.push_back({unixSeconds(), readMemory(process)});
            if (::WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return false;
            if (samples.size() % 10 == 0 && log.seen(until)) return true;
            ::Sleep(kSampleMs);
        }
        return log.seen(until);
    };

    LogTail log(logPath);
    ::SetForegroundWindow(window);
    double actedAt = unixSeconds();
    clickAt({rect.left + kButtonX, rect.top + kButtonY});
    const char* how = "mouse";
    bool started = sampleFor(kClickConfirmSeconds, log, kDownloadStarted);
    if (!started) {
        ::SetForegroundWindow(window);
        actedAt = unixSeconds();
        pressEnter();
        how = "enter";
        started = sampleFor(kClickConfirmSeconds, log, kDownloadStarted);
    }
    std::printf("click how=%s t=%.4f\n", how, actedAt);
    const bool finished = started && sampleFor(timeout, log, kDownloadFinished);
    // A few more readings, so the last moments of the download are covered whatever the log's delay.
    const double tail = unixSeconds() + 0.2;
    while (unixSeconds() < tail) {
        samples.push_back({unixSeconds(), readMemory(process)});
        ::Sleep(kSampleMs);
    }
    for (const Sample& sample : samples) {
        std::printf("sample t=%.4f ws=%llu peak=%llu\n", sample.t,
                    static_cast<unsigned long long>(sample.memory.workingSet),
                    static_cast<unsigned long long>(sample.memory.peak));
    }
    // This small program's own figures: the floor of any Wine process that talks to the display.
    const Memory self = readMemory(::GetCurrentProcess());
    std::printf("self ws=%llu peak=%llu\n", static_cast<unsigned long long>(self.workingSet),
                static_cast<unsigned long long>(self.peak));
    std::printf("done finished=%d started=%d samples=%llu\n", finished ? 1 : 0, started ? 1 : 0,
                static_cast<unsigned long long>(samples.size()));
    ::CloseHandle(process);
    return finished ? 0 : 1;
}
