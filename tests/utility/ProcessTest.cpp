// Process start, wait, time-out, kill and the de-elevated start, with real child processes.

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include "tests/support/ProcessLog.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "utility/ScopedHandle.h"
#include "utility/UProcess.h"
#include "utility/UString.h"

using namespace testsupport;
namespace process = utility::process;

namespace {

std::wstring child() { return toolPath(L"testchild.exe"); }

int countProcesses(const std::wstring& imageName) {
    utility::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, imageName.c_str()) == 0) ++count;
    }
    return count;
}

std::string firstLine(const std::wstring& path) {
    const std::string text = readFile(path);
    return text.substr(0, text.find('\n'));
}

// A copy of the test child under another name and folder.
std::wstring copyOfChild(const std::wstring& path) {
    EXPECT_TRUE(::CreateDirectoryW(utility::ustring::parentDir(path).c_str(), nullptr) ||
                ::GetLastError() == ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(::CopyFileW(child().c_str(), path.c_str(), FALSE));
    return path;
}

struct ExitCase {
    const wchar_t* params;
    bool expected;
    const char* logged;
};

class ExecuteExit : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExecuteExit, IsTrueOnlyForExitCodeZero) {
    processLogPath();
    EXPECT_EQ(process::execute(child(), GetParam().params, 20000), GetParam().expected);
    EXPECT_TRUE(logContains(GetParam().logged));
}

INSTANTIATE_TEST_SUITE_P(Codes, ExecuteExit,
                         ::testing::Values(ExitCase{L"exit 0", true, "):execute exitcode = 0 lastError = "},
                                           ExitCase{L"exit 1", false, "):execute exitcode = 1 lastError = "},
                                           ExitCase{L"sleep 100 7", false, "):execute exitcode = 7 lastError = "}));

// How a run ended, as the callers that tell a failure from a time-out read it. The sleeper is a copy
// of the child under a name of its own, so that the one left running can be ended by that name.
struct RunCase {
    const char* label;
    const wchar_t* program;  // "child", "sleeper" or a path that does not exist
    const wchar_t* params;
    DWORD timeoutMs;
    process::RunResult::End end;
    DWORD exitCode;
};

std::ostream& operator<<(std::ostream& out, const RunCase& c) { return out << c.label; }

const RunCase kRunCases[] = {
    {"exit_0", L"child", L"exit 0", 20000, process::RunResult::End::exited, 0},
    {"exit_2", L"child", L"exit 2", 20000, process::RunResult::End::exited, 2},
    {"slept_then_exit_5", L"child", L"sleep 100 5", 20000, process::RunResult::End::exited, 5},
    {"timed_out", L"sleeper", L"sleep 30000", 300, process::RunResult::End::timedOut, 0},
    {"not_started", L"C:\\no\\such\\program.exe", L"", 1000, process::RunResult::End::failed, 0},
};

class Run : public ::testing::TestWithParam<RunCase> {
protected:
    void TearDown() override {
        process::killByImageName(L"pelrunsleeper.exe");
        EXPECT_TRUE(waitUntil([] { return countProcesses(L"pelrunsleeper.exe") == 0; }));
    }

    std::wstring program(const std::wstring& name) {
        if (name == L"child") return child();
        if (name == L"sleeper") return copyOfChild(dir_.path() + L"..\\pelrunsleeper\\pelrunsleeper.exe");
        return name;
    }

    ScratchDir dir_;
};

TEST_P(Run, TellsTheExitCodeATimeOutAndAFailedStartApart) {
    const RunCase& c = GetParam();
    const process::RunResult result = process::run(program(c.program), c.params, c.timeoutMs);
    EXPECT_EQ(result.end, c.end);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(result.succeeded(), c.end == process::RunResult::End::exited && c.exitCode == 0);
    if (c.end == process::RunResult::End::timedOut) {
        EXPECT_EQ(countProcesses(L"pelrunsleeper.exe"), 1) << "the timed-out process is left running";
    }
}

INSTANTIATE_TEST_SUITE_P(Ends, Run, ::testing::ValuesIn(kRunCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Execute, ATimeOutReturnsFalseAndLeavesTheChildRunning) {
    processLogPath();
    const std::wstring sleeper = copyOfChild(ScratchDir().path() + L"..\\pelsleeper\\pelsleeper.exe");
    const DWORD begin = ::GetTickCount();
    EXPECT_FALSE(process::execute(sleeper, L"sleep 30000", 300));
    EXPECT_LT(::GetTickCount() - begin, 5000u);
    EXPECT_TRUE(logContains("):execute timeout!!!\r\n"));
    EXPECT_EQ(countProcesses(L"pelsleeper.exe"), 1);

    process::killByImageName(L"pelsleeper.exe");
    EXPECT_TRUE(waitUntil([] { return countProcesses(L"pelsleeper.exe") == 0; }));
}

// No process of that name is the usual case: taskkill, found in the system folder and never through the
// search path, runs once more only when it rejected "/T".
TEST(KillByImageName, RunsTheSystemTaskkillAndRetriesOnlyWhenTreeWasRejected) {
    const size_t before = flushedProcessLog().size();
    process::killByImageName(L"no-such-image.exe");
    const std::string logged = flushedProcessLog().substr(before);

    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::string taskkill = utility::ustring::wideToUtf8(std::wstring(system) + L"\\taskkill.exe");
    const std::string firstRun = "):createProcess filename = [" + taskkill + "], param = [/F /IM no-such-image.exe /T]";
    ASSERT_NE(logged.find(firstRun), std::string::npos) << logged;

    const bool treeRejected = logged.find("):execute exitcode = 1 lastError") != std::string::npos;
    const bool secondRun = logged.find("param = [/F /IM no-such-image.exe]") != std::string::npos;
    EXPECT_EQ(secondRun, treeRejected) << logged;
    EXPECT_NE(logged.find("):execute exitcode = 128 lastError"), std::string::npos) << logged;
}

TEST(Execute, AMissingProgramFailsAndSaysSo) {
    processLogPath();
    EXPECT_FALSE(process::execute(L"C:\\no\\such\\program.exe", L"", 1000));
    EXPECT_TRUE(logContains("):createProcess filename = [C:\\no\\such\\program.exe], param = [], show = 0\r\n"));
    EXPECT_TRUE(logContains("):createProcess failed!!! lastError = "));
    EXPECT_TRUE(logContains("):execute failed!!! last error = "));
}

TEST(Create, QuotesThePathAndAddsParametersUnchanged) {
    ScratchDir dir;
    const std::wstring spaced = copyOfChild(dir / L"folder with space\\child.exe");
    const std::wstring recorded = dir / L"folder with space\\commandline.txt";

    utility::UniqueHandle bare(process::create(spaced, L""));
    ASSERT_TRUE(bare);
    ASSERT_EQ(::WaitForSingleObject(bare.get(), 20000), WAIT_OBJECT_0);
    EXPECT_EQ(firstLine(recorded), utility::ustring::wideToUtf8(L"\"" + spaced + L"\""));

    const std::wstring out = dir / L"params.txt";
    const std::wstring params = L"record \"" + out + L"\"  two  spaces";
    ASSERT_TRUE(process::execute(spaced, params, 20000));
    EXPECT_EQ(firstLine(out), utility::ustring::wideToUtf8(L"\"" + spaced + L"\" " + params));
}

TEST(Shell, StartsTheProgramThroughTheShell) {
    ScratchDir dir;
    const std::wstring out = dir / L"shell.txt";
    processLogPath();
    ASSERT_TRUE(process::shell(child(), L"record \"" + out + L"\""));
    EXPECT_TRUE(waitUntil([&] { return fileExists(out); }, std::chrono::seconds(20)));
    EXPECT_TRUE(logContains("], runas = 1, show = 0\r\n"));
}

TEST(ProcessImagePath, IsTheFullPathOfTheRunningImage) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(_wcsicmp(process::getProcessImagePath(::GetCurrentProcessId()).c_str(), self), 0);
    EXPECT_EQ(process::getProcessImagePath(0xFFFFFFF0), L"");
}

// Wine's desktop shell runs from system32, not as the Windows folder's explorer.exe, so no process
// qualifies as the shell until the fixture puts a program of ours there.
class ShellToken : public ::testing::Test {
protected:
    void TearDown() override {
        if (fakeShell_) {
            ::TerminateProcess(fakeShell_.get(), 0);
            ::WaitForSingleObject(fakeShell_.get(), 5000);
            fakeShell_.reset();
        }
        if (!backup_.empty()) ::MoveFileExW(backup_.c_str(), shellPath().c_str(), MOVEFILE_REPLACE_EXISTING);
    }

    static std::wstring shellPath() {
        wchar_t folder[MAX_PATH] = {};
        ::GetWindowsDirectoryW(folder, MAX_PATH);
        return std::wstring(folder) + L"\\explorer.exe";
    }

    void startFakeShell() {
        backup_ = shellPath() + L".pelora-test-backup";
        ASSERT_TRUE(::MoveFileExW(shellPath().c_str(), backup_.c_str(), MOVEFILE_REPLACE_EXISTING));
        ASSERT_TRUE(::CopyFileW(child().c_str(), shellPath().c_str(), FALSE));
        fakeShell_.reset(process::create(shellPath(), L"sleep 60000"));
        ASSERT_TRUE(fakeShell_);
        ASSERT_TRUE(waitUntil([&] {
            return _wcsicmp(process::getProcessImagePath(::GetProcessId(fakeShell_.get())).c_str(),
                            shellPath().c_str()) == 0;
        }));
    }

    std::wstring backup_;
    utility::UniqueHandle fakeShell_;
};

TEST_F(ShellToken, WithoutAShellProcessThereIsNoTokenAndNoStart) {
    HANDLE token = nullptr;
    EXPECT_EQ(process::getShellUserToken(token), 2u);
    EXPECT_EQ(token, nullptr);
    const std::wstring params = L"exit 0";
    EXPECT_EQ(process::createUnelevated(child(), &params), -1);
}

TEST_F(ShellToken, TheShellsTokenStartsAProcess) {
    startFakeShell();
    HANDLE rawToken = nullptr;
    ASSERT_EQ(process::getShellUserToken(rawToken), 0u);
    utility::UniqueHandle token(rawToken);
    EXPECT_TRUE(token);

    ScratchDir dir;
    const std::wstring out = dir / L"unelevated.txt";
    const std::wstring params = L"record \"" + out + L"\"";
    EXPECT_EQ(process::createUnelevated(child(), &params), 0);
    ASSERT_TRUE(waitUntil([&] { return fileExists(out); }, std::chrono::seconds(20)));
    EXPECT_EQ(firstLine(out), utility::ustring::wideToUtf8(L"\"" + child() + L"\" " + params));

    // Without parameters the command line is the bare path.
    const std::wstring bare = copyOfChild(dir / L"bare\\child.exe");
    EXPECT_EQ(process::createUnelevated(bare, nullptr), 0);
    ASSERT_TRUE(waitUntil([&] { return fileExists(dir / L"bare\\commandline.txt"); }, std::chrono::seconds(20)));
    EXPECT_EQ(firstLine(dir / L"bare\\commandline.txt"), utility::ustring::wideToUtf8(bare));
}

}  // namespace
