#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "support/TestSupport.h"
#include "vos/vos.h"
#include "vsi/android/VWait.h"

using namespace _palex_zu;

TEST(VEvent, WithoutEventWaitPassesAndOtherOperationsFail) {
    CVEvent e;
    EXPECT_EQ(nullptr, e.GetHandle());
    for (unsigned int timeout : {0u, 25u, VWAIT_INFINITE}) EXPECT_EQ(1, e.Wait(timeout)) << timeout;
    EXPECT_EQ(0, e.SetEvent());
    EXPECT_EQ(0, e.ResetEvent());
    EXPECT_EQ(0, e.CloseEvent());

    ASSERT_EQ(1, e.CreateEvent(0, nullptr));
    EXPECT_EQ(1, e.CloseEvent());
    EXPECT_EQ(nullptr, e.GetHandle());
    EXPECT_EQ(0, e.CloseEvent()) << "a closed event is gone";
}

TEST(VEvent, RecordIsACountedBlockOfOne) {
    CVEvent e;
    ASSERT_EQ(1, e.CreateEvent(1, nullptr));
    ASSERT_NE(nullptr, e.GetHandle());
    EXPECT_EQ(1, VCountedBlockCount(e.GetHandle()));
}

TEST(VEvent, AutomaticResetCountsItsSignals) {
    CVEvent e;
    ASSERT_EQ(1, e.CreateEvent(0, nullptr));
    EXPECT_EQ(0, e.Wait(0)) << "a new event is not signalled";
    EXPECT_EQ(1, e.SetEvent());
    EXPECT_EQ(1, e.SetEvent());
    EXPECT_EQ(1, e.Wait(0));
    EXPECT_EQ(1, e.Wait(0));
    EXPECT_EQ(0, e.Wait(0)) << "two signals let two waits through";

    e.SetEvent();
    e.SetEvent();
    e.SetEvent();
    EXPECT_EQ(1, e.ResetEvent());
    EXPECT_EQ(0, e.Wait(0)) << "ResetEvent discards every pending signal";
}

TEST(VEvent, ManualResetStaysSignalledUntilReset) {
    CVEvent e;
    ASSERT_EQ(1, e.CreateEvent(1, nullptr));
    EXPECT_EQ(0, e.Wait(0));
    e.SetEvent();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(1, e.Wait(0)) << "wait " << i;
    e.ResetEvent();
    EXPECT_EQ(0, e.Wait(0));
}

TEST(VEvent, CreateEventReplacesBySignalledNothing) {
    CVEvent e;
    ASSERT_EQ(1, e.CreateEvent(1, nullptr));
    e.SetEvent();
    ASSERT_EQ(1, e.CreateEvent(0, nullptr));
    EXPECT_EQ(0, e.Wait(0)) << "the new event starts unsignalled";
    e.SetEvent();
    EXPECT_EQ(1, e.Wait(0));
    EXPECT_EQ(0, e.Wait(0)) << "and resets automatically as asked";
}

TEST(VEvent, CreateEventFailsCleanlyWithoutMemory) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "needs a test-hook build";
    vostest::AllocHookGuard guard;
    CVEvent e;
    ASSERT_EQ(1, e.CreateEvent(1, nullptr));
    e.SetEvent();
    vostest::FailAllocationAt(1);
    EXPECT_EQ(0, e.CreateEvent(0, nullptr));
    EXPECT_EQ(nullptr, e.GetHandle());
    EXPECT_EQ(0, e.SetEvent()) << "no event is left after the failure";
    vostest::FailAllocationAt(0);
    EXPECT_EQ(1, e.CreateEvent(0, nullptr));
}

#ifdef VOS_TEST_HOOKS
TEST(VEvent, TimedWaitGivesUpOneStepAfterTheLimitsWholeTensOfMilliseconds) {
    CVEvent e;
    ASSERT_EQ(1, e.CreateEvent(0, nullptr));
    // How long an event that stays unsignalled is waited for; never less.
    const struct {
        unsigned int timeout;
        unsigned int waitedMs;
    } cases[] = {{0, 10}, {9, 10}, {10, 20}, {25, 30}};
    for (const auto& c : cases) {
        VWaitHook_ResetLimit();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(0, e.Wait(c.timeout)) << "timeout " << c.timeout;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(c.waitedMs, VWaitHook_LastLimitMs()) << "timeout " << c.timeout;
        EXPECT_GE(took, std::chrono::milliseconds(c.waitedMs)) << "timeout " << c.timeout;
    }
    e.SetEvent();
    VWaitHook_ResetLimit();
    EXPECT_EQ(1, e.Wait(25));
    EXPECT_EQ(0u, VWaitHook_LastLimitMs()) << "a signalled event passes at the first check";
}

namespace {
std::atomic<CVEvent*> g_signalInWindow{nullptr};
// Signals once, in the window between the waiter's look at the count and its
// sleep.
void SignalInWindow() {
    CVEvent* e = g_signalInWindow.exchange(nullptr);
    if (e != nullptr) e->SetEvent();
}
}  // namespace

TEST(VEvent, SignalBetweenTheWaitersCheckAndItsSleepWakesIt) {
    for (int manual : {0, 1}) {
        CVEvent e;
        ASSERT_EQ(1, e.CreateEvent(manual, nullptr));
        g_signalInWindow = &e;
        __atomic_store_n(&VWaitHook_BeforeSleep, &SignalInWindow, __ATOMIC_RELEASE);
        std::atomic<int> result{-1};
        std::thread waiter([&] { result = e.Wait(VWAIT_INFINITE); });
        const bool woke = vostest::WaitFor([&] { return result.load() != -1; });
        __atomic_store_n(&VWaitHook_BeforeSleep, nullptr, __ATOMIC_RELEASE);
        if (!woke) e.SetEvent();  // let the stuck waiter go
        waiter.join();
        EXPECT_TRUE(woke) << "manual " << manual << ": the signal was lost";
        EXPECT_EQ(1, result.load());
    }
}
#endif

TEST(VEvent, LimitsOf2To31MillisecondsAndMoreLookAtTheEvent) {
    for (unsigned int timeout : {0x80000000u, 0xFFFFFFFEu}) {
        for (int manual : {0, 1}) {
            CVEvent e;
            ASSERT_EQ(1, e.CreateEvent(manual, nullptr));
            e.SetEvent();
            EXPECT_EQ(1, e.Wait(timeout)) << "timeout " << timeout << " manual " << manual;
        }
    }
}

#ifdef VOS_TEST_HOOKS
// The limits closest to "no limit" wait as long as they say: their last step
// must not wrap into a wait of a few milliseconds.
TEST(VEvent, LimitsJustBelowNoLimitWaitForTheSignal) {
    for (unsigned int timeout : {0xFFFFFFF6u, 0xFFFFFFFEu}) {
        CVEvent e;
        ASSERT_EQ(1, e.CreateEvent(0, nullptr));
        const unsigned long start = VWaitHook_TimedWaits();
        std::atomic<int> result{-1};
        std::thread waiter([&] { result = e.Wait(timeout); });
        EXPECT_TRUE(vostest::WaitFor([&] { return VWaitHook_TimedWaits() > start; }));
        // Long past a wrapped limit of a few milliseconds, the waiter still waits.
        EXPECT_FALSE(vostest::WaitFor([&] { return result.load() != -1; }, std::chrono::milliseconds(200)));
        e.SetEvent();
        waiter.join();
        EXPECT_EQ(1, result.load()) << "timeout " << timeout << " must wait for the signal";
    }
}
#endif

TEST(VEvent, SignalFromAnotherThreadWakesWaiter) {
    for (unsigned int timeout : {VWAIT_INFINITE, 600000u}) {
        CVEvent e;
        ASSERT_EQ(1, e.CreateEvent(0, nullptr));
        std::atomic<int> result{-1};
        std::thread waiter([&] { result = e.Wait(timeout); });
        e.SetEvent();
        waiter.join();
        EXPECT_EQ(1, result.load()) << "timeout " << timeout;
        EXPECT_EQ(0, e.Wait(0)) << "the waiter consumed the only signal";
    }
}

TEST(VEvent, EachSignalReleasesExactlyOneAutomaticWaiter) {
    CVEvent e;
    ASSERT_EQ(1, e.CreateEvent(0, nullptr));
    constexpr int kWaiters = 4;
    constexpr int kSignals = 200;
    std::atomic<int> passed{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i) {
        waiters.emplace_back([&] {
            while (!stop) {
                if (e.Wait(0) == 1) ++passed;
            }
        });
    }
    std::thread signaller([&] {
        for (int i = 0; i < kSignals; ++i) e.SetEvent();
    });
    signaller.join();
    EXPECT_TRUE(vostest::WaitFor([&] { return passed.load() >= kSignals; }));
    stop = true;
    for (auto& w : waiters) w.join();
    EXPECT_EQ(kSignals, passed.load()) << "no signal was lost and none was taken twice";
    EXPECT_EQ(0, e.Wait(0));
}

TEST(VEvent, ManualEventReleasesEveryWaiter) {
    CVEvent e;
    ASSERT_EQ(1, e.CreateEvent(1, nullptr));
    constexpr int kWaiters = 3;
    std::atomic<int> passed{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i) waiters.emplace_back([&] {
            if (e.Wait(VWAIT_INFINITE) == 1) ++passed;
        });
    e.SetEvent();
    for (auto& w : waiters) w.join();
    EXPECT_EQ(kWaiters, passed.load());
}
