// The mailbox window between instances and the single-instance check built on it, in this process:
// which messages reach the handler, how the window is found, and who holds the instance mutex.

#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <thread>
#include <vector>

#include "model/DownloaderModel.h"
#include "model/InstanceIdentity.h"
#include "tests/app/LogLines.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ProcessLog.h"
#include "utility/ScopedHandle.h"
#include "utility/WindowIPC.h"

using testsupport::pumpMessagesUntil;

namespace {

const wchar_t kTestClass[] = L"PeloraMailboxTest";

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Received& other) const {
        return message == other.message && wParam == other.wParam && lParam == other.lParam;
    }
};

class Recorder final : public utility::IWindowIPCHandle {
public:
    // Not 0, to show the window's answer does not come from here.
    int onHandleWindowIPC(UINT message, WPARAM wParam, LPARAM lParam) override {
        received.push_back({message, wParam, lParam});
        return 7;
    }
    std::vector<Received> received;
};

struct Delivery {
    const char* name;
    UINT message;
    bool forwarded;
};

const Delivery kDeliveries[] = {
    {"WM_NULL", WM_NULL, false},
    {"WM_GETTEXTLENGTH", WM_GETTEXTLENGTH, false},
    {"WM_USER itself", WM_USER, false},
    {"WM_USER + 1", WM_USER + 1, true},
    {"show request", model::kMsgShowMainFrame, true},
    {"WM_APP", WM_APP, true},
    {"registered message", ::RegisterWindowMessageW(L"PeloraMailboxTestMessage"), true},
    {"WM_COPYDATA", WM_COPYDATA, true},
};

bool checkLogged(const std::string& message) {
    return apptest::hasLine(apptest::parseLogLines(testsupport::flushedProcessLog()),
                            "DownloaderModel::popupExistPwnd", message, ::GetCurrentThreadId());
}

utility::UniqueHandle openInstanceMutex() {
    return utility::UniqueHandle(::OpenMutexW(SYNCHRONIZE, FALSE, model::kInstanceId));
}

}  // namespace

TEST(Mailbox, ForwardsMessagesAboveWmUserAndCopyDataAndAnswersZero) {
    Recorder recorder;
    utility::WindowIPC mailbox;
    ASSERT_TRUE(mailbox.create(kTestClass, &recorder));

    COPYDATASTRUCT copy{42, 5, const_cast<char*>("data")};
    for (size_t i = 0; i < std::size(kDeliveries); ++i) {
        const Delivery& d = kDeliveries[i];
        SCOPED_TRACE(d.name);
        const WPARAM wParam = d.message == WM_COPYDATA ? reinterpret_cast<WPARAM>(mailbox.hwnd()) : 100 + i;
        const LPARAM lParam = d.message == WM_COPYDATA ? reinterpret_cast<LPARAM>(&copy) : 200 + i;
        recorder.received.clear();
        const LRESULT answer = ::SendMessageW(mailbox.hwnd(), d.message, wParam, lParam);
        if (d.forwarded) {
            EXPECT_EQ(answer, 0);
            EXPECT_EQ(recorder.received, (std::vector<Received>{{d.message, wParam, lParam}}));
        } else {
            EXPECT_TRUE(recorder.received.empty());
        }
    }
}

TEST(Mailbox, IsAHiddenTopLevelWindowThatOthersFindByClass) {
    Recorder recorder;
    utility::WindowIPC mailbox;
    ASSERT_TRUE(mailbox.create(kTestClass, &recorder));
    EXPECT_EQ(::FindWindowExW(nullptr, nullptr, kTestClass, nullptr), mailbox.hwnd());
    EXPECT_FALSE(::IsWindowVisible(mailbox.hwnd()));
    EXPECT_EQ(::GetAncestor(mailbox.hwnd(), GA_PARENT), ::GetDesktopWindow());

    // As another instance does it: find, post, and the message is handled on the window's thread.
    std::thread([] {
        ::PostMessageW(::FindWindowExW(nullptr, nullptr, kTestClass, nullptr), model::kMsgShowMainFrame, 0, 0);
    }).join();
    EXPECT_TRUE(pumpMessagesUntil([&] { return !recorder.received.empty(); }));
    EXPECT_EQ(recorder.received, (std::vector<Received>{{model::kMsgShowMainFrame, 0, 0}}));
}

TEST(Mailbox, WindowGoesWithItsOwnerAndMayBeDestroyedFirst) {
    Recorder recorder;
    {
        // The class stays registered from the first; the second registration fails harmlessly.
        utility::WindowIPC first;
        utility::WindowIPC second;
        ASSERT_TRUE(first.create(kTestClass, &recorder));
        ASSERT_TRUE(second.create(kTestClass, &recorder));
        EXPECT_NE(first.hwnd(), second.hwnd());

        ::DestroyWindow(second.hwnd());
        EXPECT_EQ(second.hwnd(), nullptr);
    }
    EXPECT_EQ(::FindWindowExW(nullptr, nullptr, kTestClass, nullptr), nullptr);
}

TEST(SingleInstance, FirstCheckHoldsTheMutexLaterChecksSignalTheMailbox) {
    testsupport::processLogPath();
    ASSERT_FALSE(openInstanceMutex()) << "another downloader runs in this Wine session";

    DownloaderModel first;
    EXPECT_FALSE(first.popupExistPwnd());
    EXPECT_TRUE(openInstanceMutex());
    EXPECT_TRUE(checkLogged("wnd not exist"));

    // The running one may not have made its mailbox yet: another downloader still runs.
    DownloaderModel early;
    EXPECT_TRUE(early.popupExistPwnd());
    EXPECT_TRUE(checkLogged("wnd exist"));

    Recorder recorder;
    utility::WindowIPC mailbox;
    ASSERT_TRUE(mailbox.create(model::kInstanceId, &recorder));
    DownloaderModel later;
    EXPECT_TRUE(later.popupExistPwnd());
    EXPECT_TRUE(pumpMessagesUntil([&] { return !recorder.received.empty(); }));
    testsupport::pumpMessagesFor(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder.received, (std::vector<Received>{{model::kMsgShowMainFrame, 0, 0}}));

    // Shutdown releases the instance: the next check finds no other downloader.
    first.stop();
    EXPECT_FALSE(openInstanceMutex());
    DownloaderModel next;
    EXPECT_FALSE(next.popupExistPwnd());
}
