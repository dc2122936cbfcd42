#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "support/TestSupport.h"
#include "vos/vos.h"
#include "vsi/android/VTimerHook.h"

using _palex_zu::CVTimer;

namespace {

struct Firing {
    unsigned long id;
    void* param;
    unsigned int tick;
};

std::mutex g_lock;
std::vector<Firing> g_firings;

void Record(unsigned long id, void* param) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_firings.push_back(Firing{id, param, V_GetTickCount()});
}

size_t Firings() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_firings.size();
}

int SlotOf(unsigned long id) {
    CVTimer::s_ListMutex.Lock(0xFFFFFFFF);
    int found = -1;
    for (int i = 0; i < CVTimer::MAX_TIMERS && found < 0; ++i) {
        if (CVTimer::s_TimerQueue[i].nID == id) found = i;
    }
    CVTimer::s_ListMutex.Unlock();
    return found;
}

// Slots in use, counted under the timer lock.
int SlotsInUse() {
    CVTimer::s_ListMutex.Lock(0xFFFFFFFF);
    int n = 0;
    for (const CVTimer::tagCTimerData& slot : CVTimer::s_TimerQueue) n += slot.nID != 0;
    CVTimer::s_ListMutex.Unlock();
    return n;
}

int Size() {
    CVTimer::s_ListMutex.Lock(0xFFFFFFFF);
    const int n = CVTimer::s_iSize;
    CVTimer::s_ListMutex.Unlock();
    return n;
}

void* ThreadRecord() {
    CVTimer::s_ListMutex.Lock(0xFFFFFFFF);
    void* record = CVTimer::s_TimerThread.GetHandle();
    CVTimer::s_ListMutex.Unlock();
    return record;
}

bool ThreadGone() { return __atomic_load_n(&CVTimer::s_bRunning, __ATOMIC_ACQUIRE) == 0; }

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        CVTimer::Init();
        CVTimer::KillAll();
        ASSERT_TRUE(vostest::WaitFor(ThreadGone));
        std::lock_guard<std::mutex> lock(g_lock);
        g_firings.clear();
    }
    void TearDown() override {
        CVTimer::Release();
        EXPECT_TRUE(vostest::WaitFor(ThreadGone));
        EXPECT_EQ(0, Size());
    }
};

}  // namespace

// Defined first, so that it runs before anything else creates the timer
// lock: threads that make the first timer calls at the same moment share
// one lock (the thread sanitizer build sees a second creation racing the
// first), and every timer they set is kept.
TEST(TimerFirstCalls, ConcurrentFirstCallsShareOneLock) {
    const int kThreads = 8;
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&go, i] {
            while (!go.load()) std::this_thread::yield();
            EXPECT_EQ(0, CVTimer::SetTimer(100 + i, Record, nullptr, 600000, 0, 1));
        });
    }
    go = true;
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(kThreads, Size());
    EXPECT_EQ(kThreads, SlotsInUse());
    CVTimer::KillAll();
    EXPECT_TRUE(vostest::WaitFor([] { return ThreadRecord() == nullptr; }));
}

TEST_F(TimerTest, IdsAndTableLimits) {
    EXPECT_EQ(-1, CVTimer::SetTimer(0, Record, nullptr, 1000, 0, 1));
    for (unsigned long id = 1; id <= 50; ++id) {
        ASSERT_EQ(0, CVTimer::SetTimer(id, Record, nullptr, 600000, 0, 1)) << id;
    }
    EXPECT_EQ(50, Size());
    EXPECT_EQ(-2, CVTimer::SetTimer(51, Record, nullptr, 600000, 0, 1));
    // Setting a timer that is set already needs no free slot.
    EXPECT_EQ(0, CVTimer::SetTimer(50, Record, nullptr, 600000, 0, 1));

    EXPECT_EQ(0, CVTimer::KillTimer(0));
    EXPECT_EQ(0, CVTimer::KillTimer(51));
    EXPECT_EQ(50, Size());
    EXPECT_EQ(1, CVTimer::KillTimer(7));
    EXPECT_EQ(0, CVTimer::KillTimer(7));
    EXPECT_EQ(49, Size());
    // The freed slot is the first free one.
    EXPECT_EQ(0, CVTimer::SetTimer(51, Record, nullptr, 600000, 0, 1));
    EXPECT_EQ(6, SlotOf(51));
    EXPECT_EQ(50, SlotsInUse());
}

TEST_F(TimerTest, ATimerWhoseThreadCannotStartIsNotSet) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "needs a test-hook build";
    {
        vostest::AllocHookGuard guard;
        // The thread's record is the only allocation SetTimer makes.
        vostest::FailAllocationAt(1, true);
        EXPECT_GT(0, CVTimer::SetTimer(8, Record, nullptr, 100, 0, 1)) << "a timer that cannot fire reported set";
    }
    EXPECT_EQ(-1, SlotOf(8));
    EXPECT_EQ(0, Size());
    EXPECT_TRUE(ThreadGone());
    // With memory back the same timer is set and fires.
    ASSERT_EQ(0, CVTimer::SetTimer(8, Record, nullptr, 100, 0, 1));
    EXPECT_TRUE(vostest::WaitFor([] { return Firings() == 1; }));
}

TEST_F(TimerTest, ResettingKeepsTheSlotAndRestartsTheCount) {
    ASSERT_EQ(0, CVTimer::SetTimer(5, Record, nullptr, 600000, 0, 1));
    ASSERT_EQ(0, CVTimer::SetTimer(6, Record, nullptr, 600000, 0, 1));
    // Let the thread account some running time to timer 5: re-setting timer
    // 6 wakes it for another pass.
    ASSERT_TRUE(vostest::WaitFor([] {
        CVTimer::SetTimer(6, Record, nullptr, 600000, 0, 1);
        CVTimer::s_ListMutex.Lock(0xFFFFFFFF);
        const bool ran = CVTimer::s_TimerQueue[0].nElapsed > 0;
        CVTimer::s_ListMutex.Unlock();
        return ran;
    }));
    ASSERT_EQ(0, CVTimer::SetTimer(5, Record, reinterpret_cast<void*>(9), 700000, 10, 3));
    CVTimer::s_ListMutex.Lock(0xFFFFFFFF);
    const CVTimer::tagCTimerData slot = CVTimer::s_TimerQueue[0];
    CVTimer::s_ListMutex.Unlock();
    EXPECT_EQ(0, SlotOf(5));
    EXPECT_EQ(2, Size());
    EXPECT_EQ(reinterpret_cast<void*>(9), slot.pParam);
    EXPECT_EQ(700000u, slot.nDue);
    EXPECT_EQ(10u, slot.nPeriod);
    EXPECT_EQ(3, slot.nRemaining);
    EXPECT_LT(slot.nElapsed, 300u);  // restarted, not carried over
}

TEST_F(TimerTest, OneShotFiresOnceNeverEarly) {
    const unsigned int set = V_GetTickCount();
    ASSERT_EQ(0, CVTimer::SetTimer(11, Record, reinterpret_cast<void*>(3), 300, 0, 1));
    ASSERT_TRUE(vostest::WaitFor([] { return Firings() == 1; }));
    // Once the slot is free and the thread has ended, nothing can fire again.
    ASSERT_TRUE(vostest::WaitFor(ThreadGone));
    // The timer lock before the record's lock, as the timer thread takes them.
    EXPECT_EQ(-1, SlotOf(11));
    EXPECT_EQ(nullptr, ThreadRecord());
    std::lock_guard<std::mutex> lock(g_lock);
    ASSERT_EQ(1u, g_firings.size());
    EXPECT_EQ(11u, g_firings[0].id);
    EXPECT_EQ(reinterpret_cast<void*>(3), g_firings[0].param);
    EXPECT_GE(g_firings[0].tick - set, 300u);
    EXPECT_EQ(0, CVTimer::s_iSize);
}

TEST_F(TimerTest, PeriodicTimerFiresItsCountThenFrees) {
    const unsigned int set = V_GetTickCount();
    ASSERT_EQ(0, CVTimer::SetTimer(12, Record, nullptr, 100, 200, 3));
    ASSERT_TRUE(vostest::WaitFor([] { return Firings() == 3 && Size() == 0; }));
    ASSERT_TRUE(vostest::WaitFor(ThreadGone));
    std::lock_guard<std::mutex> lock(g_lock);
    ASSERT_EQ(3u, g_firings.size());
    EXPECT_GE(g_firings[0].tick - set, 100u);
    EXPECT_GE(g_firings[1].tick - g_firings[0].tick, 200u);
    EXPECT_GE(g_firings[2].tick - g_firings[1].tick, 200u);
}

TEST_F(TimerTest, EndlessTimerFiresUntilKilled) {
    ASSERT_EQ(0, CVTimer::SetTimer(13, Record, nullptr, 0, 100, 0));
    ASSERT_TRUE(vostest::WaitFor([] { return Firings() >= 4; }));
    EXPECT_EQ(1, CVTimer::KillTimer(13));
    EXPECT_EQ(0, Size());
    ASSERT_TRUE(vostest::WaitFor(ThreadGone));
}

TEST_F(TimerTest, TheThreadEndsWhenEmptyAndRestartsWithTheNextTimer) {
    ASSERT_EQ(0, CVTimer::SetTimer(14, Record, nullptr, 600000, 0, 1));
    EXPECT_NE(nullptr, ThreadRecord());
    CVTimer::KillAll();
    EXPECT_EQ(0, Size());
    ASSERT_TRUE(vostest::WaitFor(ThreadGone));
    EXPECT_EQ(nullptr, ThreadRecord());
    ASSERT_EQ(0, CVTimer::SetTimer(15, Record, nullptr, 0, 0, 1));
    ASSERT_TRUE(vostest::WaitFor([] { return Firings() == 1; }));
    EXPECT_EQ(15u, g_firings[0].id);
}

TEST_F(TimerTest, SameSlotTimersFireInSlotOrder) {
    // Timers set in one go come due on the same pass.
    CVTimer::s_ListMutex.Lock(0xFFFFFFFF);
    for (unsigned long id : {23ul, 21ul, 22ul}) ASSERT_EQ(0, CVTimer::SetTimer(id, Record, nullptr, 0, 0, 1));
    CVTimer::s_ListMutex.Unlock();
    ASSERT_TRUE(vostest::WaitFor([] { return Firings() == 3; }));
    std::lock_guard<std::mutex> lock(g_lock);
    EXPECT_EQ(23u, g_firings[0].id);
    EXPECT_EQ(21u, g_firings[1].id);
    EXPECT_EQ(22u, g_firings[2].id);
}

namespace {
std::atomic<int> g_selfCalls{0};

void KillSelf(unsigned long id, void*) {
    ++g_selfCalls;
    CVTimer::KillTimer(id);
}

void ResetSelfOnce(unsigned long id, void*) {
    if (++g_selfCalls == 1) CVTimer::SetTimer(id, ResetSelfOnce, nullptr, 0, 0, 1);
}

void KillAllFromCallback(unsigned long, void*) {
    ++g_selfCalls;
    CVTimer::KillAll();
}
}  // namespace

// A callback that changes its own timer leaves the slot as it set it, and
// the count of slots in use stays exact.
TEST_F(TimerTest, CallbacksThatChangeTheirOwnTimer) {
    struct Case {
        const char* what;
        CVTimer::TimerCallback callback;
        unsigned int period;
        int calls;
    } cases[] = {
        {"one-shot kills itself", KillSelf, 0, 1},
        {"periodic kills itself", KillSelf, 100, 1},
        {"re-sets itself once", ResetSelfOnce, 0, 2},
        {"kills everything", KillAllFromCallback, 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_selfCalls = 0;
        ASSERT_EQ(0, CVTimer::SetTimer(30, c.callback, nullptr, 0, c.period, 0));
        ASSERT_EQ(0, CVTimer::SetTimer(31, Record, nullptr, 600000, 0, 1));
        ASSERT_TRUE(vostest::WaitFor([&] { return g_selfCalls.load() == c.calls && SlotOf(30) < 0; }));
        EXPECT_EQ(SlotsInUse(), Size());
        EXPECT_EQ(c.callback == KillAllFromCallback ? 0 : 1, Size());
        CVTimer::KillAll();
        ASSERT_TRUE(vostest::WaitFor(ThreadGone));
    }
}

namespace {
std::atomic<int> g_handOver{0};
void CountHandOver(unsigned long, void*) { ++g_handOver; }
}  // namespace

#ifdef VOS_TEST_HOOKS
namespace {
std::atomic<bool> g_hookArmed{false};
// Sets a timer from another thread at the moment the timer thread has found
// the table empty and is about to decide to end.
void SetTimerWhileDeciding() {
    if (!g_hookArmed.exchange(false)) return;
    std::thread([] { CVTimer::SetTimer(41, CountHandOver, nullptr, 0, 0, 1); }).join();
}
}  // namespace

TEST_F(TimerTest, ATimerSetWhileTheThreadDecidesToEndStillFires) {
    VTimer_HookBeforeEnd = SetTimerWhileDeciding;
    for (int round = 0; round < 20; ++round) {
        g_handOver = 0;
        g_hookArmed = true;
        ASSERT_EQ(0, CVTimer::SetTimer(40, CountHandOver, nullptr, 0, 0, 1));
        ASSERT_TRUE(vostest::WaitFor([] { return g_handOver.load() == 2; })) << "round " << round;
        EXPECT_FALSE(g_hookArmed.load());
    }
    ASSERT_TRUE(vostest::WaitFor(ThreadGone));
    VTimer_HookBeforeEnd = nullptr;
}
#endif

// The last timer fires, the thread sees an empty table and leaves; a timer
// set right then must still get a thread. The setter takes the timer lock the
// moment the thread lets go of it after the firing pass, which is when the
// thread decides whether to end, and does so many times over.
TEST_F(TimerTest, ATimerSetWhileTheThreadLeavesStillFires) {
    const int rounds = 40;
    for (int round = 0; round < rounds; ++round) {
        g_handOver = 0;
        ASSERT_EQ(0, CVTimer::SetTimer(40, CountHandOver, nullptr, 0, 0, 1));
        while (__atomic_load_n(&CVTimer::s_iSize, __ATOMIC_ACQUIRE) != 0) {
        }
        while (!CVTimer::s_ListMutex.Lock(0)) {
        }
        ASSERT_EQ(0, CVTimer::SetTimer(41, CountHandOver, nullptr, 0, 0, 1));
        CVTimer::s_ListMutex.Unlock();
        ASSERT_TRUE(vostest::WaitFor([] { return g_handOver.load() == 2; })) << "round " << round;
        EXPECT_EQ(SlotsInUse(), Size());
    }
    ASSERT_TRUE(vostest::WaitFor(ThreadGone));
}

#ifdef VOS_TEST_HOOKS
namespace {
std::atomic<bool> g_setInWindow{false};
// Sets a timer from another thread once, between the timer thread's pass
// over the table and its sleep.
void SetTimerInWindow() {
    if (!g_setInWindow.exchange(false)) return;
    std::thread([] { CVTimer::SetTimer(43, Record, nullptr, 0, 0, 1); }).join();
}
}  // namespace

TEST_F(TimerTest, ATimerSetBetweenThePassAndTheSleepFiresAtOnce) {
    ASSERT_EQ(0, CVTimer::SetTimer(42, Record, nullptr, 600000, 0, 1));
    g_setInWindow = true;
    __atomic_store_n(&VTimer_HookAfterPass, &SetTimerInWindow, __ATOMIC_RELEASE);
    // Lost, the new timer would wait for the sleep that lasts until the
    // other one is due in ten minutes.
    const bool fired = vostest::WaitFor([] { return Firings() == 1; });
    __atomic_store_n(&VTimer_HookAfterPass, nullptr, __ATOMIC_RELEASE);
    EXPECT_TRUE(fired) << "the timer set before the sleep was not seen";
    EXPECT_FALSE(g_setInWindow.load());
}

TEST_F(TimerTest, TheThreadSleepsUntilItsNextTimerIsDue) {
    ASSERT_EQ(0, CVTimer::SetTimer(44, Record, nullptr, 600000, 0, 1));
    const unsigned long before = VTimer_HookPassCount();
    ASSERT_EQ(0, CVTimer::SetTimer(45, Record, nullptr, 1000, 0, 1));
    ASSERT_TRUE(vostest::WaitFor([] { return Firings() == 1; }));
    // One pass for the new timer, one when it is due (and one that may have
    // started with the first timer); a thread that looked every 100 ms would
    // have made ten.
    EXPECT_LE(VTimer_HookPassCount() - before, 3u);
}
#endif
