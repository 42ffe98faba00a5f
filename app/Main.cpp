// The downloader's entry point: start-up in a fixed order, one running instance, the message loop,
// and the shutdown that leaves no worker or download process behind.

#include <winsock2.h>
#include <windows.h>
#include <objbase.h>

#include <string>

#include "app/DelayedImports.h"
#include "app/DownloaderImpl.h"
#include "app/InstallerSigner.h"
#include "app/LibrarySearch.h"
#include "common/Log.h"
#include "common/LogPrint.h"
#include "config/CommonInit.h"
#include "model/DownloaderModel.h"
#include "toolkit/GdiPlusSession.h"
#include "toolkit/MessageLoop.h"
#include "toolkit/SkinPackage.h"
#include "utility/Runable.h"
#include "utility/TaskThread.h"
#include "utility/UiDispatcher.h"
#include "utility/UProcess.h"
#include "utility/UString.h"

namespace {

constexpr wchar_t kVersion[] = L"2.2";
constexpr int kSkinResourceId = 129;
// What the reports sent at the last click (the user's cancellation, the slow-download choice) get.
constexpr DWORD kImmediateEventsMs = 2000;
// Longer than taskkill's own bounds (two runs of at most 2 s each), so the search is never cut short.
constexpr DWORD kKillWaitMs = 5000;

// A designer's skin folder beside the executable wins over the packaged files.
void initSkin(HINSTANCE instance) {
    const std::wstring folder = utility::ustring::exeDir() + L"downloader_skin";
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        toolkit::setResourceFolder(folder);
    }
    toolkit::loadSkinPackage(instance, kSkinResourceId);
}

// The crash reporter ships separately, beside the program, and may be missing; the program runs the same
// without it.
void installCrashReporter() {
    using InitBugReportFn = int(__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*);
    using SetShowReportUIFn = int(__cdecl*)(int);
    using SetRestartExePathFn = int(__cdecl*)(const wchar_t*);

    // Never freed: the reporter must stay loaded to catch a crash at any later moment.
    HMODULE library = app::loadLibraryFrom(utility::ustring::exeDir(), L"crashreport.dll");
    if (library == nullptr) return;
    auto initBugReport = reinterpret_cast<InitBugReportFn>(::GetProcAddress(library, "InitBugReport"));
    if (initBugReport == nullptr) return;
    initBugReport(L"qorplayer", L"1.0", L"qorplayer");
    auto setShowReportUI = reinterpret_cast<SetShowReportUIFn>(::GetProcAddress(library, "SetShowReportUI"));
    if (setShowReportUI == nullptr) return;
    setShowReportUI(0);
    auto setRestartExePath = reinterpret_cast<SetRestartExePathFn>(::GetProcAddress(library, "SetRestartExePath"));
    if (setRestartExePath == nullptr) return;
    wchar_t exePath[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exePath, MAX_PATH);
    setRestartExePath(exePath);
}

// What the loader says when a DLL of an import table is missing; the log does not exist yet.
void reportMissingImport(const app::MissingImport& missing) {
    const std::wstring text = missing.function.empty()
                                  ? missing.dll + L" was not found in the system folder."
                                  : L"The function " + missing.function + L" was not found in " + missing.dll + L".";
    ::MessageBoxW(nullptr, text.c_str(), L"Error", MB_OK | MB_ICONERROR);
}

// A download process of ours must not outlive the downloader. Nothing here starts one any more, so the
// search runs beside the rest of the shutdown; taskkill's own waits bound it.
void killDownloadProcesses() { utility::process::killByImageName(L"pelcurl.exe"); }

// The model's workers, the reports still in flight and the search for download processes end side by
// side, each within its bound, so the process is gone soon after the last click whatever the servers do.
void shutDown() {
    DownloaderModel* model = DownloaderModel::instance();
    model->requestStop();
    utility::TaskThread killer;
    utility::Runable* kill = utility::makeRunable(&killDownloadProcesses);
    if (!killer.start(kill)) {
        kill->run();
        kill->release();
    }
    if (!model->finishImmediateEvents(kImmediateEventsMs)) PEL_LOG(L"immediate events given up");
    DownloaderModel::destroyInstance();
    killer.stop(kKillWaitMs);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    // Before anything may load a DLL.
    const bool searchRestricted = app::restrictLibrarySearch();
    if (const auto missing = app::bindDelayedImports(instance)) {
        reportMissingImport(*missing);
        return 0;
    }
    if (FAILED(::CoInitialize(nullptr))) {
        ::MessageBoxW(nullptr, L"Error", L"CoInitialize error", MB_OK);
        return 0;
    }
    WSADATA winsock{};
    ::WSAStartup(MAKEWORD(2, 2), &winsock);  // a failure shows up later as a failed connection
    config::commonInit(L"", L"");
    logWriter = &common::log;
    utility::UiDispatcher::create();
    PEL_LOG(L"downloader start. version is : %s *******************************************************", kVersion);
    PEL_LOG(L"commoninit end");
    PEL_LOG(L"DLLs named without a path come from %s",
            searchRestricted ? L"the system folder only" : L"the legacy search order without the current folder");
    {
        toolkit::GdiPlusSession gdiPlus;
        initSkin(instance);
        PEL_LOG(L"skinInit end");
        installCrashReporter();

        DownloaderImpl app(kInstallerSigner);
        if (app.entrance(instance, commandLine)) toolkit::runMessageLoop();
        shutDown();
    }
    ::CoUninitialize();
    return 0;
}
