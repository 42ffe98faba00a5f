// Folder creation, moves and deletes on real files; raising a real window; the Windows version.

#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/MessagePump.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "utility/ScopedHandle.h"
#include "utility/UFile.h"
#include "utility/UProcess.h"
#include "utility/UString.h"
#include "utility/USystem.h"

using namespace testsupport;
namespace ufile = utility::ufile;

namespace {

std::string narrow(const std::wstring& text) { return utility::ustring::wideToUtf8(text); }

TEST(MakeDir, CreatesParentsAndLeavesAnExistingFolderAlone) {
    processLogPath();
    ScratchDir dir;
    ufile::makeDir(dir / L"a\\b\\c");
    EXPECT_TRUE(fileExists(dir / L"a\\b\\c"));
    ufile::makeDir(dir / L"a\\b\\c");

    writeFile(dir / L"file", "x");
    ufile::makeDir(dir / L"file\\sub");
    EXPECT_TRUE(logContains("):make dir failed! error = "));
    EXPECT_EQ(readFile(processLogPath()).find(narrow(L"a\\b\\c")), std::string::npos)
        << "creating a folder logs nothing";
}

TEST(MoveFile, ReplacesTheTargetAndMovesAcrossDrives) {
    ScratchDir onC;
    writeFile(onC / L"download.tmp", "new body");
    writeFile(onC / L"download", "old body");
    ASSERT_TRUE(ufile::moveFile(onC / L"download.tmp", onC / L"download"));
    EXPECT_EQ(readFile(onC / L"download"), "new body");
    EXPECT_FALSE(fileExists(onC / L"download.tmp"));

    // Z: is the host's root folder under Wine, a drive other than the prefix's C:.
    const std::wstring onZ = L"Z:\\tmp\\pelora-move-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(ufile::moveFile(onC / L"download", onZ));
    EXPECT_EQ(readFile(onZ), "new body");
    ufile::removeFile(onZ);
    EXPECT_FALSE(fileExists(onZ));
}

TEST(MoveFile, AMissingSourceFailsAndIsLogged) {
    processLogPath();
    ScratchDir dir;
    EXPECT_FALSE(ufile::moveFile(dir / L"absent", dir / L"target"));
    EXPECT_TRUE(logContains(narrow(L"):move file from [ " + (dir / L"absent") + L" ] to [ " + (dir / L"target") +
                                   L" ] flag = 3 failed! error = 2.\r\n")));
}

TEST(RemoveFile, DeletesAndLogsAMissingFile) {
    processLogPath();
    ScratchDir dir;
    writeFile(dir / L"stale.tmp", "x");
    ufile::removeFile(dir / L"stale.tmp");
    EXPECT_FALSE(fileExists(dir / L"stale.tmp"));
    ufile::removeFile(dir / L"stale.tmp");
    EXPECT_TRUE(logContains(narrow(L"):removeFile file from [ " + (dir / L"stale.tmp") + L" ] error = 2.\r\n")));
}

// Is `window` above `other` in the z-order?
bool isAbove(HWND window, HWND other) {
    for (HWND w = ::GetWindow(other, GW_HWNDPREV); w != nullptr; w = ::GetWindow(w, GW_HWNDPREV)) {
        if (w == window) return true;
    }
    return false;
}

utility::UniqueWindow topLevelWindow(const wchar_t* title) {
    return utility::UniqueWindow(::CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300,
                                                   200, nullptr, nullptr, nullptr, nullptr));
}

TEST(ShowWndOnTop, RestoresAMinimisedWindowInFrontWithoutMakingItTopmost) {
    processLogPath();
    utility::UniqueWindow ours = topLevelWindow(L"ours");
    utility::UniqueWindow other = topLevelWindow(L"other");
    ASSERT_TRUE(ours && other);
    ::ShowWindow(ours.get(), SW_MINIMIZE);
    ::SetForegroundWindow(other.get());
    testsupport::pumpMessagesFor(std::chrono::milliseconds(200));
    ASSERT_TRUE(::IsIconic(ours.get()));

    utility::usystem::showWndOnTop(ours.get());
    testsupport::pumpMessagesFor(std::chrono::milliseconds(200));
    EXPECT_FALSE(::IsIconic(ours.get()));
    EXPECT_FALSE(::GetWindowLongPtrW(ours.get(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(isAbove(ours.get(), other.get()));
    for (const char* step : {"):showWndOnTop begin", "):11111", "):33333", "):55555", "):showWndOnTop end"}) {
        EXPECT_TRUE(logContains(step)) << step;
    }
}

// The version a program sees, run in a child whose Windows version Wine is told to fake.
std::string childVersion(const wchar_t* wineVersion) {
    ScratchDir dir;
    const std::wstring exe = dir / L"verprobe.exe";
    EXPECT_TRUE(::CopyFileW(toolPath(L"testchild.exe").c_str(), exe.c_str(), FALSE));
    const std::wstring key = L"Software\\Wine\\AppDefaults\\verprobe.exe";
    utility::UniqueKey appKey;
    EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                appKey.receive(), nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(appKey.get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(wineVersion),
                     static_cast<DWORD>((wcslen(wineVersion) + 1) * sizeof(wchar_t)));
    EXPECT_TRUE(utility::process::execute(exe, L"version \"" + (dir / L"version.txt") + L"\"", 20000));
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    return readFile(dir / L"version.txt");
}

TEST(WindowsVersion, TellsXpFromVistaAndLater) {
    EXPECT_EQ(childVersion(L"winxp64"), "5.2 vista=0");
    EXPECT_EQ(childVersion(L"vista"), "6.0 vista=1");
    EXPECT_EQ(childVersion(L"win7"), "6.1 vista=1");
}

}  // namespace

namespace {

utility::UniqueHandle openForWriting(const std::wstring& path) {
    return utility::UniqueHandle(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

DWORD runToExit(const std::wstring& program, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return ::GetLastError() + 1000;
    }
    ::CloseHandle(info.hThread);
    utility::UniqueHandle process(info.hProcess);
    DWORD code = 0;
    ::WaitForSingleObject(process.get(), 20000);
    ::GetExitCodeProcess(process.get(), &code);
    return code;
}

}  // namespace

// The installer is held from its check until its process exists: meanwhile nobody may change, replace,
// rename or delete it, yet it still starts.
TEST(HeldFile, RunsButCannotBeChangedWhileHeld) {
    ScratchDir dir;
    const std::wstring program = dir / L"held.exe";
    const std::wstring other = dir / L"other.exe";
    ASSERT_TRUE(::CopyFileW(toolPath(L"testchild.exe").c_str(), program.c_str(), FALSE));
    writeFile(other, "not a program");
    {
        const utility::UniqueHandle held = ufile::openHeldForReading(program);
        ASSERT_TRUE(held);
        EXPECT_FALSE(openForWriting(program));
        EXPECT_FALSE(::DeleteFileW(program.c_str()));
        EXPECT_FALSE(::MoveFileExW(program.c_str(), (dir / L"moved.exe").c_str(), MOVEFILE_REPLACE_EXISTING));
        EXPECT_FALSE(::MoveFileExW(other.c_str(), program.c_str(), MOVEFILE_REPLACE_EXISTING));
        EXPECT_EQ(runToExit(program, L"exit 7"), 7u);
    }
    EXPECT_TRUE(openForWriting(program)) << "released with its handle";
}

TEST(HeldFile, CannotBeHeldWhileSomeoneWritesIt) {
    ScratchDir dir;
    const std::wstring path = dir / L"busy.exe";
    writeFile(path, "being written");
    const utility::UniqueHandle writer = openForWriting(path);
    ASSERT_TRUE(writer);
    EXPECT_FALSE(ufile::openHeldForReading(path));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(ufile::openHeldForReading(dir / L"absent.exe"));
}
