// Start-up of the skinned main window: from the program's entry point to the first frame of
// "mainframe.xml" on screen (package unpacked, layout built, painted, shown), with the parts and
// the full repaint time, and the working set after the first frame. bench/skin_startup runs it a
// few times and passes the moment it launched the process, so the launch cost is printed too.
//
//   skin_startup_bench.exe [--launched-at UNIX_SECONDS]

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "toolkit/Canvas.h"
#include "toolkit/GdiPlusSession.h"
#include "toolkit/SkinPackage.h"
#include "toolkit/SkinWindow.h"

namespace {

double nowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e3;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / ticksPerMs;
}

// Seconds since 1970 on the system clock, which the launching script reads too.
double unixSeconds() {
    FILETIME now;
    ::GetSystemTimePreciseAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - 116444736000000000ULL) / 1e7;
}

class MainFrameWindow : public toolkit::SkinWindow {
protected:
    const wchar_t* getWindowClassName() const override { return L"SkinStartupBench"; }
    std::wstring getSkinFile() const override { return L"mainframe.xml"; }
};

double workingSetMiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return counters.WorkingSetSize / (1024.0 * 1024.0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const double entry = nowMs();
    double launchedAt = 0;
    if (argc == 3 && std::wcscmp(argv[1], L"--launched-at") == 0) launchedAt = std::wcstod(argv[2], nullptr);

    toolkit::GdiPlusSession gdiPlus;
    const double unpackStart = nowMs();
    toolkit::loadSkinPackage(::GetModuleHandleW(nullptr), 129);
    const double unpacked = nowMs();

    MainFrameWindow window;
    if (!window.create(nullptr, L"Pelora", WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0)) return 1;
    const double built = nowMs();
    window.centerWindow();
    window.showWindow();
    MSG message;
    while (!window.paintManager().frame() && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    const double firstFrame = nowMs();
    const double firstFrameUnix = unixSeconds();
    const double workingSet = workingSetMiB();

    std::vector<double> repaints;
    toolkit::Canvas canvas(window.paintManager().size().cx, window.paintManager().size().cy);
    for (int i = 0; i < 50; ++i) {
        window.paintManager().render(canvas);
        repaints.push_back(window.paintManager().lastPaintMs());
    }
    std::sort(repaints.begin(), repaints.end());

    std::printf("entry to first frame      %7.1f ms   (target <= 200 ms)\n", firstFrame - entry);
    if (launchedAt > 0) std::printf("launch to first frame     %7.1f ms\n", (firstFrameUnix - launchedAt) * 1000);
    std::printf("  skin unpack             %7.1f ms\n", unpacked - unpackStart);
    std::printf("  layout built            %7.1f ms\n", built - unpacked);
    std::printf("  shown and painted       %7.1f ms\n", firstFrame - built);
    std::printf("full repaint, median      %7.2f ms   (target <= 16 ms)\n", repaints[repaints.size() / 2]);
    std::printf("full repaint, slowest     %7.2f ms\n", repaints.back());
    std::printf("working set, first frame  %7.1f MiB\n", workingSet);
    return 0;
}
