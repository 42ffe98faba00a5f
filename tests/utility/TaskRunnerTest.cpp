// The window-thread dispatcher, worker threads and the collected asynchronous run, on real threads
// and a real message-only window.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "tests/support/MessagePump.h"
#include "tests/support/ProcessLog.h"
#include "utility/AsyncRun.h"
#include "utility/TaskThread.h"
#include "utility/UiDispatcher.h"

using namespace testsupport;
using utility::Runable;
using utility::UiDispatcher;

namespace {

// Counts what happens to the tasks it hands out.
struct Probe {
    std::atomic<int> runs{0};
    std::atomic<int> releases{0};
    std::atomic<DWORD> runThread{0};

    Runable* task(std::function<void()> body = [] {}) {
        class Task : public Runable {
        public:
            Task(Probe& probe, std::function<void()> body) : probe_(probe), body_(std::move(body)) {}
            void run() override {
                probe_.runThread = ::GetCurrentThreadId();
                ++probe_.runs;
                body_();
            }
            void release() override {
                ++probe_.releases;
                delete this;
            }

        private:
            Probe& probe_;
            std::function<void()> body_;
        };
        return new Task(*this, std::move(body));
    }
};

bool waitForRuns(const Probe& probe) {
    for (int i = 0; i < 500 && probe.runs == 0; ++i) ::Sleep(10);
    return probe.runs > 0;
}

class Dispatcher : public ::testing::Test {
protected:
    // The test program's main thread is the window thread.
    UiDispatcher& dispatcher = *UiDispatcher::create();
    // Each test gets owner keys of its own.
    char ownerA = 0;
    char ownerB = 0;
};

TEST_F(Dispatcher, RunsAWorkersTaskOnTheWindowThreadAndReleasesItOnce) {
    Probe probe;
    std::thread worker([&] { EXPECT_TRUE(dispatcher.post(&ownerA, probe.task())); });
    worker.join();
    ASSERT_TRUE(pumpMessagesUntil([&] { return probe.releases == 1; }));
    EXPECT_EQ(probe.runs, 1);
    EXPECT_EQ(probe.runThread, ::GetCurrentThreadId());
    pumpMessagesFor(std::chrono::milliseconds(50));
    EXPECT_EQ(probe.releases, 1);
}

TEST_F(Dispatcher, CancelDropsTheOwnersQueuedTasksOnly) {
    Probe cancelled, kept;
    for (int i = 0; i < 3; ++i) dispatcher.post(&ownerA, cancelled.task());
    dispatcher.post(&ownerB, kept.task());
    dispatcher.cancel(&ownerA);
    dispatcher.post(&ownerB, kept.task());

    ASSERT_TRUE(pumpMessagesUntil([&] { return cancelled.releases == 3 && kept.releases == 2; }));
    EXPECT_EQ(cancelled.runs, 0);
    EXPECT_EQ(kept.runs, 2);
}

TEST_F(Dispatcher, AnOwnerThatPostsAfterCancelRunsAgain) {
    Probe before, after;
    dispatcher.post(&ownerA, before.task());
    ASSERT_TRUE(pumpMessagesUntil([&] { return before.releases == 1; }));
    dispatcher.cancel(&ownerA);  // nothing pending: the count goes from 0 to -1
    dispatcher.post(&ownerA, after.task());  // back to 0
    ASSERT_TRUE(pumpMessagesUntil([&] { return after.releases == 1; }));
    EXPECT_EQ(after.runs, 1);
}

TEST_F(Dispatcher, CancelOfAnUnknownOwnerChangesNothing) {
    Probe probe;
    dispatcher.cancel(&ownerB);  // never posted: no entry is made
    dispatcher.post(&ownerB, probe.task());
    ASSERT_TRUE(pumpMessagesUntil([&] { return probe.releases == 1; }));
    EXPECT_EQ(probe.runs, 1);
}

TEST_F(Dispatcher, ATaskMayPostAndCancelWhileItRuns) {
    Probe outer, inner;
    dispatcher.post(&ownerA, outer.task([&] {
        dispatcher.post(&ownerA, inner.task());
        dispatcher.cancel(&ownerB);
    }));
    ASSERT_TRUE(pumpMessagesUntil([&] { return inner.releases == 1; }));
    EXPECT_EQ(inner.runs, 1);
}

TEST_F(Dispatcher, GenericPostsRunInOrder) {
    std::vector<int> order;
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) dispatcher.post([&order, i] { order.push_back(i); });
    });
    worker.join();
    ASSERT_TRUE(pumpMessagesUntil([&] { return order.size() == 20; }));
    for (int i = 0; i < 20; ++i) EXPECT_EQ(order[i], i);
}

TEST_F(Dispatcher, TimersRepeatUntilKilledAndReleaseTheirTaskOnce) {
    Probe first, second;
    const UINT_PTR idFirst = dispatcher.setTimer(15, first.task());
    const UINT_PTR idSecond = dispatcher.setTimer(15, second.task());
    ASSERT_NE(idFirst, 0u);
    ASSERT_NE(idSecond, 0u);
    EXPECT_NE(idFirst, idSecond);

    ASSERT_TRUE(pumpMessagesUntil([&] { return first.runs >= 3 && second.runs >= 3; }));
    EXPECT_EQ(first.runThread, ::GetCurrentThreadId());
    dispatcher.killTimer(idFirst);
    EXPECT_EQ(first.releases, 1);
    const int runsAtKill = first.runs;
    pumpMessagesFor(std::chrono::milliseconds(100));
    EXPECT_EQ(first.runs, runsAtKill);
    EXPECT_GT(second.runs, 3);

    dispatcher.killTimer(idFirst);
    dispatcher.killTimer(987654);
    EXPECT_EQ(first.releases, 1);
    dispatcher.killTimer(idSecond);
    EXPECT_EQ(second.releases, 1);
}

TEST(TaskThreadRecord, RunsTheTaskAndRefusesASecondStartWhileRunning) {
    utility::TaskThread thread;
    Probe probe, refused;
    std::atomic<bool> release{false};
    ASSERT_TRUE(thread.start(probe.task([&] {
        while (!release) thread.wait(10);
    })));
    EXPECT_TRUE(thread.running());

    Runable* second = refused.task();
    EXPECT_FALSE(thread.start(second));
    second->release();  // not taken: still ours
    EXPECT_EQ(refused.runs, 0);

    ASSERT_TRUE(waitForRuns(probe));
    release = true;
    thread.stop(1000);
    EXPECT_FALSE(thread.running());
    EXPECT_EQ(probe.runs, 1);
    EXPECT_EQ(probe.releases, 1);
    EXPECT_NE(probe.runThread, ::GetCurrentThreadId());
}

TEST(TaskThreadRecord, RequestStopWakesAWaitingTaskAtOnce) {
    utility::TaskThread thread;
    Probe probe;
    std::atomic<bool> sawStop{false};
    ASSERT_TRUE(thread.start(probe.task([&] {
        thread.wait(INFINITE);
        sawStop = thread.stopRequested();
    })));
    ASSERT_TRUE(waitForRuns(probe));

    const DWORD begin = ::GetTickCount();
    thread.requestStop();
    thread.stop(5000);
    EXPECT_LT(::GetTickCount() - begin, 2000u);
    EXPECT_TRUE(sawStop);
    EXPECT_EQ(probe.releases, 1);

    // The record is idle again and can run a new task.
    Probe next;
    ASSERT_TRUE(thread.start(next.task()));
    thread.stop(1000);
    EXPECT_EQ(next.runs, 1);
    EXPECT_FALSE(thread.stopRequested());
}

// A record without a thread serves as a client's stop source: a stop must cut its retry waits short,
// the one under way and every later one.
TEST(TaskThreadRecord, RequestStopEndsTheWaitsOfARecordWithoutAThread) {
    utility::TaskThread record;
    std::atomic<DWORD> waited{0};
    std::thread waiter([&] {
        const DWORD begin = ::GetTickCount();
        record.wait(3000);
        waited = ::GetTickCount() - begin;
    });
    ::Sleep(100);
    record.requestStop();
    waiter.join();
    EXPECT_LT(waited, 1500u);

    const DWORD begin = ::GetTickCount();
    record.wait(3000);
    EXPECT_LT(::GetTickCount() - begin, 500u);
    EXPECT_TRUE(record.stopRequested());
}

// Termination is the last resort and must never go unnoticed: the log says so.
TEST(TaskThreadRecord, TerminatesATaskThatIgnoresTheStopFlagAndLogsIt) {
    processLogPath();
    utility::TaskThread thread;
    Probe probe;
    ASSERT_TRUE(thread.start(probe.task([] {
        for (;;) ::Sleep(50);
    })));
    ASSERT_TRUE(waitForRuns(probe));
    thread.requestStop();
    const DWORD begin = ::GetTickCount();
    thread.stop(200);
    EXPECT_LT(::GetTickCount() - begin, 2000u);
    EXPECT_FALSE(thread.running());
    EXPECT_EQ(probe.releases, 1);
    EXPECT_TRUE(logContains("thread did not stop in 200 ms, terminating it"));
}

TEST(TaskThreadRecord, AThreadThatStopsInTimeIsNotTerminated) {
    processLogPath();
    utility::TaskThread thread;
    Probe probe;
    ASSERT_TRUE(thread.start(probe.task([&] { thread.wait(INFINITE); })));
    ASSERT_TRUE(waitForRuns(probe));
    thread.requestStop();
    thread.stop(2345);
    EXPECT_EQ(probe.releases, 1);
    EXPECT_EQ(flushedProcessLog().find("thread did not stop in 2345 ms"), std::string::npos);
}

TEST(TaskThreadRecord, StopOfAnEndedThreadReturnsAtOnce) {
    utility::TaskThread thread;
    Probe probe;
    ASSERT_TRUE(thread.start(probe.task()));
    ASSERT_TRUE(waitForRuns(probe));
    ::Sleep(50);
    const DWORD begin = ::GetTickCount();
    thread.stop(INFINITE);
    EXPECT_LT(::GetTickCount() - begin, 500u);
    EXPECT_EQ(probe.releases, 1);
    thread.stop(INFINITE);  // idle: nothing to do
    EXPECT_EQ(probe.releases, 1);
}

TEST(AsyncRun, RunsOffTheWindowThreadAndIsCollectedOnIt) {
    UiDispatcher::create();
    std::atomic<DWORD> routineThread{0};
    utility::runAsyncThenCollect([&] {
        ::Sleep(50);
        routineThread = ::GetCurrentThreadId();
    });
    utility::runAsyncThenCollect([] {});
    EXPECT_EQ(utility::pendingAsyncRuns(), 2u);
    ASSERT_TRUE(pumpMessagesUntil([] { return utility::pendingAsyncRuns() == 0; }));
    EXPECT_NE(routineThread, 0u);
    EXPECT_NE(routineThread, ::GetCurrentThreadId());
}

}  // namespace
