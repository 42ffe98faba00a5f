// The real program, started the way Windows starts it: the running instance with its window and
// mailbox, later starts that only signal it, the crash reporter beside it, and a normal exit that
// releases the instance and ends leftover download processes.

#include <gtest/gtest.h>

#include <windows.h>

#include <rapidjson/document.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/DataPaths.h"
#include "model/DownloaderModel.h"
#include "model/InstanceIdentity.h"
#include "tests/app/ExitConfirmation.h"
#include "tests/app/LogLines.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "utility/ScopedHandle.h"
#include "utility/UString.h"
#include "utility/WindowIPC.h"

using namespace testsupport;

namespace {

const wchar_t kMainWindowClass[] = L"updateMframe";
constexpr auto kStartTime = std::chrono::seconds(30);
constexpr DWORD kExitWaitMs = 30000;

std::vector<HWND> windowsOf(DWORD processId, const std::wstring& className) {
    std::vector<HWND> found;
    for (HWND window = ::FindWindowExW(nullptr, nullptr, className.c_str(), nullptr); window;
         window = ::FindWindowExW(nullptr, window, className.c_str(), nullptr)) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == processId) found.push_back(window);
    }
    return found;
}

// A started process, ended at destruction if it still runs.
struct Running {
    utility::UniqueHandle process;
    DWORD id = 0;
    DWORD mainThread = 0;

    Running() = default;
    Running(Running&&) = default;
    ~Running() {
        if (process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 5000);
        }
    }
    // The exit code, or STILL_ACTIVE when it did not end in time.
    DWORD exitCode(DWORD waitMs) const {
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(process.get(), waitMs) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.get(), &code);
        return code;
    }
    HWND mainWindow() const {
        const auto found = windowsOf(id, kMainWindowClass);
        return found.size() == 1 ? found[0] : nullptr;
    }
};

// Shown normally, as from Explorer: no hidden start-up window state.
Running startProcess(const std::wstring& exe, const std::wstring& arguments) {
    Running running;
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        ADD_FAILURE() << "cannot start " << utility::ustring::wideToUtf8(exe) << ", error " << ::GetLastError();
        return running;
    }
    ::CloseHandle(info.hThread);
    running.process.reset(info.hProcess);
    running.id = info.dwProcessId;
    running.mainThread = info.dwThreadId;
    return running;
}

// A copy of downloader.exe under a published name in a folder of its own, with one of the stand-in
// crash reporters ("full", "noinit") beside it or none.
class DownloaderCopy {
public:
    DownloaderCopy(const std::wstring& exeName, const wchar_t* crashReporter) : exe_(dir_ / exeName) {
        EXPECT_TRUE(::CopyFileW(toolPath(L"downloader.exe").c_str(), exe_.c_str(), FALSE));
        if (crashReporter != nullptr) {
            const std::wstring dll = toolPath(L"..\\fakecrashreport\\") + crashReporter + L"\\crashreport.dll";
            EXPECT_TRUE(::CopyFileW(dll.c_str(), (dir_ / L"crashreport.dll").c_str(), FALSE));
        }
    }
    const std::wstring& exe() const { return exe_; }
    Running start() const { return startProcess(exe_, L""); }
    // What the crash reporter was called with, one call a line.
    std::string crashReports() const { return readFile(dir_ / L"crashreport.log"); }

private:
    ScratchDir dir_;
    std::wstring exe_;
};

// The downloader's own log, shared by every instance; read from an offset taken before a start.
class DownloaderLog {
public:
    DownloaderLog() : path_(config::logPath(config::kDownloaderKind)), offset_(std::max(0LL, fileSize(path_))) {}
    // Waits until a line of that thread with that function and message was written.
    bool waitFor(unsigned long thread, const std::string& function, const std::string& message) const {
        return waitUntil([&] { return apptest::hasLine(lines(), function, message, thread); }, kStartTime);
    }
    std::vector<apptest::LogLine> lines() const {
        const std::string text = readFile(path_);
        // A log that outgrew its limit starts over; then all of it is new.
        return apptest::parseLogLines(text.size() >= size_t(offset_) ? text.substr(size_t(offset_)) : text);
    }

private:
    std::wstring path_;
    long long offset_;
};

bool loggedBy(const std::vector<apptest::LogLine>& lines, unsigned long thread, const std::string& function) {
    for (const auto& line : lines) {
        if (line.thread == thread && line.function == function) return true;
    }
    return false;
}

// The analytics collector's hit log of the local market server, when ctest started one.
std::wstring marketHitsLog() {
    const char* json = std::getenv("PELORA_TEST_MARKET");
    if (json == nullptr) return {};
    const std::string text = readFile(fromLinuxPath(json));
    rapidjson::Document document;
    document.Parse(text.c_str(), text.size());
    if (document.HasParseError() || !document.IsObject() || !document.HasMember("hits_log")) return {};
    return fromLinuxPath(document["hits_log"].GetString());
}

utility::UniqueHandle openInstanceMutex() {
    return utility::UniqueHandle(::OpenMutexW(SYNCHRONIZE, FALSE, model::kInstanceId));
}

class Recorder final : public utility::IWindowIPCHandle {
public:
    int onHandleWindowIPC(UINT message, WPARAM wParam, LPARAM lParam) override {
        received.push_back({message, wParam, lParam});
        return 0;
    }
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Message> received;
};

}  // namespace

TEST(DownloaderProgram, RunsOneInstanceThatLaterStartsRaiseAndExitsCleanly) {
    ASSERT_FALSE(openInstanceMutex()) << "another downloader runs in this Wine session";
    const DownloaderCopy copy(L"pelora4_en_4321_x.exe", L"full");
    const DownloaderLog log;
    Running first = copy.start();
    ASSERT_TRUE(waitUntil([&] { return first.mainWindow() != nullptr && ::IsWindowVisible(first.mainWindow()); },
                          kStartTime));
    const HWND mainWindow = first.mainWindow();
    ASSERT_TRUE(waitUntil([&] { return !windowsOf(first.id, model::kInstanceId).empty(); }, kStartTime));
    const HWND mailbox = ::FindWindowExW(nullptr, nullptr, model::kInstanceId, nullptr);
    EXPECT_EQ(windowsOf(first.id, model::kInstanceId), std::vector<HWND>{mailbox});
    EXPECT_FALSE(::IsWindowVisible(mailbox));

    EXPECT_TRUE(log.waitFor(first.mainThread, "wWinMain",
                            "downloader start. version is : 2.2 *******************************************************"));
    EXPECT_EQ(copy.crashReports(), "InitBugReport|qorplayer|1.0|qorplayer\nSetShowReportUI|0\nSetRestartExePath|" +
                                       utility::ustring::wideToUtf8(copy.exe()) + "\n");
    const std::wstring hits = marketHitsLog();
    if (!hits.empty()) {
        EXPECT_TRUE(waitUntil([&] { return readFile(hits).find("&ea=download_run&el=4321&") != std::string::npos; },
                              std::chrono::seconds(10)));
    }

    // Anything but the show request is logged and otherwise ignored: the hidden window stays hidden.
    ::ShowWindow(mainWindow, SW_HIDE);
    ASSERT_TRUE(waitUntil([&] { return !::IsWindowVisible(mainWindow); }));
    COPYDATASTRUCT copyData{1, 4, const_cast<char*>("abc")};
    DWORD_PTR answer = 1;
    EXPECT_TRUE(::SendMessageTimeoutW(mailbox, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copyData), SMTO_NORMAL,
                                      5000, &answer));
    EXPECT_EQ(answer, 0u);
    ::PostMessageW(mailbox, WM_USER + 7, 0, 0);
    EXPECT_TRUE(log.waitFor(first.mainThread, "DownloaderImpl::onHandleWindowIPC", "onHandleWindowIPC, msg = 74"));
    EXPECT_TRUE(log.waitFor(first.mainThread, "DownloaderImpl::onHandleWindowIPC", "onHandleWindowIPC, msg = 1031"));
    EXPECT_FALSE(::IsWindowVisible(mainWindow));

    // The same program started again: it signals the first, shows nothing, never initialises, exits 0.
    {
        Running second = copy.start();
        EXPECT_EQ(second.exitCode(kExitWaitMs), 0u);
        EXPECT_TRUE(log.waitFor(second.mainThread, "DownloaderImpl::entrance", "It's exist"));
        EXPECT_FALSE(loggedBy(log.lines(), second.mainThread, "DownloaderModel::init"));
        EXPECT_FALSE(loggedBy(log.lines(), second.mainThread, "DownloaderImpl::showMainFrame"));
    }
    EXPECT_TRUE(waitUntil([&] { return ::IsWindowVisible(mainWindow); }));
    EXPECT_TRUE(log.waitFor(first.mainThread, "DownloaderImpl::onHandleWindowIPC", "onHandleWindowIPC, msg = 11123"));
    EXPECT_EQ(windowsOf(first.id, kMainWindowClass), std::vector<HWND>{mainWindow});
    EXPECT_EQ(first.exitCode(0), static_cast<DWORD>(STILL_ACTIVE));

    // Closing the window, once confirmed, ends the program normally; a download process left behind
    // goes with it.
    const ScratchDir downloads;
    ASSERT_TRUE(::CopyFileW(toolPath(L"testchild.exe").c_str(), (downloads / L"pelcurl.exe").c_str(), FALSE));
    Running download = startProcess(downloads / L"pelcurl.exe", L"sleep 60000");
    EXPECT_TRUE(apptest::closeAndConfirm(mainWindow)) << "closing did not ask";
    EXPECT_EQ(first.exitCode(kExitWaitMs), 0u);
    EXPECT_FALSE(openInstanceMutex());
    EXPECT_NE(download.exitCode(5000), static_cast<DWORD>(STILL_ACTIVE));
}

struct LaterStart {
    const char* name;
    bool mailbox;
    const wchar_t* crashReporter;
    const char* crashReports;
};

class DownloaderLaterStart : public ::testing::TestWithParam<LaterStart> {};

// This test plays the running downloader: it holds the instance and, in some cases, its mailbox.
TEST_P(DownloaderLaterStart, SignalsTheRunningOneAndExits) {
    const LaterStart& c = GetParam();
    DownloaderModel running;
    ASSERT_FALSE(running.popupExistPwnd()) << "another downloader runs in this Wine session";
    Recorder recorder;
    utility::WindowIPC mailbox;
    if (c.mailbox) {
        ASSERT_TRUE(mailbox.create(model::kInstanceId, &recorder));
    }

    const DownloaderCopy copy(L"downloader.exe", c.crashReporter);
    Running later = copy.start();
    EXPECT_TRUE(pumpMessagesUntil([&] { return later.exitCode(0) != STILL_ACTIVE; }, kStartTime));
    EXPECT_EQ(later.exitCode(0), 0u);
    pumpMessagesFor(std::chrono::milliseconds(100));
    ASSERT_EQ(recorder.received.size(), c.mailbox ? 1u : 0u);
    if (c.mailbox) {
        EXPECT_EQ(recorder.received[0].message, model::kMsgShowMainFrame);
        EXPECT_EQ(recorder.received[0].wParam, 0u);
        EXPECT_EQ(recorder.received[0].lParam, 0);
    }
    std::string expected = c.crashReports;
    const size_t exe = expected.find("{exe}");
    if (exe != std::string::npos) expected.replace(exe, 5, utility::ustring::wideToUtf8(copy.exe()));
    EXPECT_EQ(copy.crashReports(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloaderLaterStart,
    ::testing::Values(LaterStart{"mailbox_without_crash_reporter", true, nullptr, ""},
                      LaterStart{"no_mailbox_yet", false, L"full",
                                 "InitBugReport|qorplayer|1.0|qorplayer\nSetShowReportUI|0\nSetRestartExePath|{exe}\n"},
                      LaterStart{"crash_reporter_without_init_export", true, L"noinit", ""}),
    [](const ::testing::TestParamInfo<LaterStart>& info) { return std::string(info.param.name); });
