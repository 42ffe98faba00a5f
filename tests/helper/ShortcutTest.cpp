// Shortcuts saved on the real desktop folder and read back through the shell's own link object.

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <thread>

#include "helper/Shortcut.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/ShellLink.h"
#include "tests/support/TestFiles.h"
#include "utility/ScopedHandle.h"
#include "utility/UString.h"

using namespace testsupport;

namespace {

std::wstring thisProgram() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

class CreateShortcut : public ::testing::Test {
protected:
    void TearDown() override { ::DeleteFileW(file().c_str()); }

    const std::wstring name = L"Pelora test shortcut " + std::to_wstring(::GetCurrentProcessId());
    std::wstring file() const { return desktopFolder() + L"\\" + name + L".lnk"; }
    ScratchDir folder;
};

TEST_F(CreateShortcut, SetsTargetArgumentsIconAndWorkingFolder) {
    const std::wstring target = thisProgram();
    const std::wstring icon = folder / L"game.ico";
    writeFile(icon, "not really an icon");
    helper::createShortcut(name, icon, folder.path(), target, L"-package com.example.game");

    ASSERT_TRUE(fileExists(file()));
    const Link link = readLink(file());
    EXPECT_EQ(link.target, target);
    EXPECT_EQ(link.arguments, L"-package com.example.game");
    EXPECT_EQ(link.icon, icon);
    EXPECT_EQ(link.iconIndex, 0);
    EXPECT_EQ(link.folder, folder.path());
}

TEST_F(CreateShortcut, ASecondCallReplacesTheFirstAndEmptyArgumentsSetNone) {
    const std::wstring first = folder / L"first.exe";
    const std::wstring second = folder / L"second.exe";
    writeFile(first, "MZ");
    writeFile(second, "MZ");
    helper::createShortcut(name, first, folder.path(), first, L"--old");
    helper::createShortcut(name, second, folder.path(), second, L"");

    const Link link = readLink(file());
    EXPECT_EQ(link.target, second);
    EXPECT_EQ(link.icon, second);
    EXPECT_EQ(link.arguments, L"");
}

// Worker threads make shortcuts too (the game step's); they need not set COM up first.
TEST_F(CreateShortcut, AThreadWithoutComStillMakesIt) {
    std::thread worker([&] { helper::createShortcut(name, thisProgram(), folder.path(), thisProgram(), L"package=x"); });
    worker.join();
    ASSERT_TRUE(fileExists(file()));
    EXPECT_EQ(readLink(file()).arguments, L"package=x");
}

TEST_F(CreateShortcut, ANameNoFileCanHoldIsLoggedAndLeavesNothing) {
    processLogPath();
    const std::wstring title = L"Pelora test | shortcut " + std::to_wstring(::GetCurrentProcessId());
    helper::createShortcut(title, thisProgram(), folder.path(), thisProgram(), L"");
    const std::wstring attempted = desktopFolder() + L"\\" + title + L".lnk";
    EXPECT_TRUE(logContains(utility::ustring::wideToUtf8(L"):save shortcut [ " + attempted + L" ] failed! hr = 0x")));
    EXPECT_FALSE(fileExists(attempted));
}

}  // namespace
