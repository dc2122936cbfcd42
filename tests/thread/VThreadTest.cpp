#include <atomic>
#include <chrono>
#include <thread>

#include "gtest/gtest.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

// A procedure that runs until told to return, so that each test decides
// when the thread ends.
struct Work {
    std::atomic<int> runs{0};
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    void* seenParam = nullptr;
};

unsigned long RunUntilReleased(void* param) {
    Work* w = static_cast<Work*>(param);
    w->seenParam = param;
    ++w->runs;
    while (!w->release) std::this_thread::yield();
    // Some work after the release, so that a TerminateThread that did not
    // wait would return before it ends.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    w->finished = true;
    return 7;
}

}  // namespace

TEST(VThread, TerminateWithoutThreadFails) {
    CVThread t;
    EXPECT_EQ(nullptr, t.GetHandle());
    EXPECT_EQ(0, t.TerminateThread(0));
}

TEST(VThread, RunsProcWithParamAndTerminateWaitsForIt) {
    Work w;
    CVThread t;
    ASSERT_EQ(1, t.CreateThread(RunUntilReleased, &w, VTHREAD_CREATE_RUNNING));
    ASSERT_NE(nullptr, t.GetHandle());
    EXPECT_EQ(1, VCountedBlockCount(t.GetHandle()));
    ASSERT_TRUE(vostest::WaitFor([&] { return w.runs.load() == 1; }));
    EXPECT_EQ(&w, w.seenParam);
    w.release = true;
    EXPECT_EQ(1, t.TerminateThread(0));
    EXPECT_TRUE(w.finished) << "TerminateThread returns only once the procedure has returned";
    EXPECT_EQ(nullptr, t.GetHandle());
}

TEST(VThread, OneThreadPerObjectAndRestartableAfterTerminate) {
    Work first;
    CVThread t;
    ASSERT_EQ(1, t.CreateThread(RunUntilReleased, &first, 0));
    void* handle = t.GetHandle();
    Work second;
    EXPECT_EQ(0, t.CreateThread(RunUntilReleased, &second, 0)) << "the object already owns a thread";
    EXPECT_EQ(handle, t.GetHandle()) << "the refused call changed nothing";
    first.release = true;
    ASSERT_EQ(1, t.TerminateThread(0));

    for (int round = 0; round < 3; ++round) {
        Work again;
        ASSERT_EQ(1, t.CreateThread(RunUntilReleased, &again, 0)) << "round " << round;
        again.release = true;
        ASSERT_EQ(1, t.TerminateThread(0)) << "round " << round;
        EXPECT_EQ(1, again.runs.load());
        EXPECT_TRUE(again.finished);
    }
    EXPECT_EQ(0, second.runs.load()) << "the refused procedure never ran";
}

TEST(VThread, DestroyedWhileRunningLeavesThreadToFinish) {
    // The thread outlives its object; under the thread sanitizer an unjoined,
    // undetached thread would be reported as leaked.
    Work w;
    {
        CVThread t;
        ASSERT_EQ(1, t.CreateThread(RunUntilReleased, &w, 0));
        ASSERT_TRUE(vostest::WaitFor([&] { return w.runs.load() == 1; }));
    }
    w.release = true;
    EXPECT_TRUE(vostest::WaitFor([&] { return w.finished.load(); }));
}

namespace {
struct SelfStop {
    CVThread thread;
    std::atomic<int> result{-1};
};

unsigned long TerminateOwnThread(void* param) {
    SelfStop* s = static_cast<SelfStop*>(param);
    s->result = s->thread.TerminateThread(0);
    return 0;
}
}  // namespace

TEST(VThread, TerminateFromItsOwnProcedureDoesNotHang) {
    SelfStop s;
    ASSERT_EQ(1, s.thread.CreateThread(TerminateOwnThread, &s, 0));
    ASSERT_TRUE(vostest::WaitFor([&] { return s.result.load() != -1; }));
    EXPECT_EQ(1, s.result.load());
    EXPECT_EQ(nullptr, s.thread.GetHandle());
}

TEST(VThread, CreateThreadFailsCleanlyWithoutMemory) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "needs a test-hook build";
    Work w;
    CVThread t;
    {
        vostest::AllocHookGuard guard;
        vostest::FailAllocationAt(1);
        EXPECT_EQ(0, t.CreateThread(RunUntilReleased, &w, 0));
        EXPECT_EQ(nullptr, t.GetHandle());
        vostest::FailAllocationAt(2);
        EXPECT_EQ(0, t.CreateThread(RunUntilReleased, &w, 0));
        EXPECT_EQ(nullptr, t.GetHandle());
    }
    EXPECT_EQ(0, w.runs.load());
    EXPECT_EQ(1, t.CreateThread(RunUntilReleased, &w, 0)) << "the object stays usable";
    w.release = true;
    EXPECT_EQ(1, t.TerminateThread(0));
}
