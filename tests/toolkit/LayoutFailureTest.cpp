// A layout that cannot be built ends the program with the "SkinUI" error box and exit code 1. The
// skin viewer shows the layout in a real window, so it is the program under test.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/MessagePump.h"
#include "tests/support/TestFiles.h"
#include "tests/toolkit/SkinTestSupport.h"
#include "utility/ScopedHandle.h"
#include "utility/UProcess.h"

namespace {

using namespace std::chrono_literals;

BOOL CALLBACK collectText(HWND child, LPARAM texts) {
    wchar_t buffer[1024] = {};
    ::GetWindowTextW(child, buffer, 1024);
    *reinterpret_cast<std::wstring*>(texts) += buffer;
    *reinterpret_cast<std::wstring*>(texts) += L"\n";
    return TRUE;
}

struct FailureCase {
    const char* what;
    const char* markup;  // written as broken.xml; null writes nothing
    const wchar_t* expectedText;
};

const FailureCase kFailures[] = {
    {"not well-formed", "<Window><Control></Window>", L"load resource errr. location:broken.xml msg:"},
    {"unknown control", "<Window><Gadget/></Window>",
     L"load resource errr. location:broken.xml msg:unknown control type \"Gadget\""},
    {"missing include", "<Window><Include source=\"gone.xml\"/><Control/></Window>",
     L"load resource errr. location:broken.xml msg:cannot read included file \"gone.xml\""},
    {"no such file", nullptr, L"load resource errr. location:broken.xml msg:cannot read the file"},
};

TEST(LayoutFailure, ShowsTheSkinErrorBoxAndExitsWithOne) {
    for (const FailureCase& failure : kFailures) {
        skintest::SkinFolder skin;
        if (failure.markup) skin.writeLayout(L"broken.xml", failure.markup);
        // Without its trailing backslash, which would escape the closing quote.
        const std::wstring folder = skin.path().substr(0, skin.path().size() - 1);
        utility::UniqueHandle process(utility::process::create(testsupport::toolPath(L"skinviewer.exe"),
                                                               L"--skin \"" + folder + L"\" broken.xml"));
        ASSERT_TRUE(process) << failure.what << ": the viewer did not start, error " << ::GetLastError();
        HWND box = nullptr;
        ASSERT_TRUE(testsupport::waitUntil([&] { return (box = ::FindWindowW(L"#32770", L"SkinUI")) != nullptr; }, 15s))
            << failure.what << ": no error box";
        std::wstring texts;
        ::EnumChildWindows(box, collectText, reinterpret_cast<LPARAM>(&texts));
        EXPECT_NE(texts.find(failure.expectedText), std::wstring::npos)
            << failure.what << ": " << testing::PrintToString(texts);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_EQ(::WaitForSingleObject(process.get(), 15000), WAIT_OBJECT_0) << failure.what;
        DWORD exitCode = 0;
        ::GetExitCodeProcess(process.get(), &exitCode);
        EXPECT_EQ(exitCode, 1u) << failure.what;
    }
}

}  // namespace
