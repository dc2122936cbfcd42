#include <atomic>
#include <chrono>
#include <thread>

#include "gtest/gtest.h"
#include "support/TestSupport.h"
#include "vos/vos.h"
#include "vsi/android/VWait.h"

using namespace _palex_zu;

namespace {

// Holds a mutex on another thread until released, so that the test thread
// meets a lock it cannot take.
class Holder {
public:
    explicit Holder(CVMutex& m) : m_thread([this, &m] {
        m.Lock();
        m_held = true;
        while (!m_release) std::this_thread::yield();
        m.Unlock();
    }) {
        EXPECT_TRUE(vostest::WaitFor([this] { return m_held.load(); }));
    }
    ~Holder() {
        m_release = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_held{false};
    std::atomic<bool> m_release{false};
    std::thread m_thread;
};

}  // namespace

TEST(VMutex, HandleIsZeroUntilCreated) {
    CVMutex m;
    EXPECT_EQ(0u, m.GetHandle());
    m.Create(nullptr);
    EXPECT_NE(0u, m.GetHandle());
    m.Create(nullptr);  // re-creating keeps it usable
    EXPECT_NE(0u, m.GetHandle());
    EXPECT_EQ(1, m.Lock(0));
    EXPECT_EQ(1, m.Unlock());
}

#ifdef VOS_TEST_HOOKS
TEST(VMutex, TimedLockOnHeldMutexGivesUpAfterTheLimitsWholeTensOfMilliseconds) {
    CVMutex m;
    m.Create(nullptr);
    Holder holder(m);
    // The limit the lock waited for, 0 for a single attempt without waiting;
    // and it never gives up before that limit.
    const struct {
        unsigned int timeout;
        unsigned int waitedMs;
    } cases[] = {{0, 0}, {9, 0}, {10, 10}, {25, 20}, {30, 30}};
    for (const auto& c : cases) {
        VWaitHook_ResetLimit();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(0, m.Lock(c.timeout)) << "timeout " << c.timeout;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(c.waitedMs, VWaitHook_LastLimitMs()) << "timeout " << c.timeout;
        EXPECT_GE(took, std::chrono::milliseconds(c.waitedMs)) << "timeout " << c.timeout;
    }
}

TEST(VMutex, LimitsOf2To31MillisecondsAndMoreWaitForTheMutex) {
    CVMutex m;
    m.Create(nullptr);
    for (unsigned int timeout : {0x80000000u, 0xFFFFFFFEu}) {
        std::atomic<int> result{-1};
        std::thread holder([&] {
            m.Lock();
            const unsigned long start = VWaitHook_TimedWaits();
            std::thread waiter([&] {
                const int r = m.Lock(timeout);
                if (r == 1) m.Unlock();
                result = r;
            });
            // Released only once the waiter has started to wait: a limit
            // taken as negative would give up at once.
            EXPECT_TRUE(vostest::WaitFor([&] { return result.load() != -1 || VWaitHook_TimedWaits() > start; }));
            m.Unlock();
            waiter.join();
        });
        holder.join();
        EXPECT_EQ(1, result.load()) << "timeout " << timeout << " must wait for the mutex";
    }
}
#endif

TEST(VMutex, RecursiveOwnerUnlocksOncePerLock) {
    CVMutex m;
    m.Create(nullptr);
    ASSERT_EQ(1, m.Lock(0));
    ASSERT_EQ(1, m.Lock(0));  // the holder gets it again at once
    auto tryFromOtherThread = [&m] {
        int got = 0;
        std::thread t([&] {
            got = m.Lock(0);
            if (got) m.Unlock();
        });
        t.join();
        return got;
    };
    m.Unlock();
    EXPECT_EQ(0, tryFromOtherThread()) << "one level of ownership is still held";
    m.Unlock();
    EXPECT_EQ(1, tryFromOtherThread());
}

TEST(VMutex, WaitingLockGetsTheMutexOnceReleased) {
    // Without limit and with a generous limit alike, a waiter gets the mutex
    // as soon as the holder lets go.
    for (unsigned int timeout : {VWAIT_INFINITE, 600000u}) {
        CVMutex m;
        m.Create(nullptr);
        std::atomic<bool> started{false};
        std::atomic<int> result{-1};
        ASSERT_EQ(1, m.Lock());
        std::thread waiter([&] {
            started = true;
            result = m.Lock(timeout);
            if (result == 1) m.Unlock();
        });
        ASSERT_TRUE(vostest::WaitFor([&] { return started.load(); }));
        EXPECT_EQ(-1, result.load()) << "the lock is still held";
        m.Unlock();
        waiter.join();
        EXPECT_EQ(1, result.load()) << "timeout " << timeout;
    }
}

TEST(VMutex, ContendedIncrementsAreNotLost) {
    CVMutex m;
    m.Create(nullptr);
    constexpr int kThreads = 4;
    constexpr int kRounds = 100;
    int counter = 0;  // guarded by m only
    std::thread workers[kThreads];
    for (auto& w : workers) {
        w = std::thread([&] {
            for (int i = 0; i < kRounds; ++i) {
                m.Lock();
                m.Lock();  // nested, as callbacks under a held lock do
                const int seen = counter;
                std::this_thread::yield();
                counter = seen + 1;
                m.Unlock();
                m.Unlock();
            }
        });
    }
    for (auto& w : workers) w.join();
    EXPECT_EQ(kThreads * kRounds, counter);
}
