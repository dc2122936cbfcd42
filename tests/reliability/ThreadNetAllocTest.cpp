// Threads, events, the error record, the socket manager's table and the name
// cache under allocation failure: each reports the failure by its result and
// works normally once memory is back.
#include <atomic>

#include "AllocWalk.h"

using namespace _palex_zu;
using reliability::FailMode;
using reliability::RunFailingAt;
using reliability::WalkBoth;
using vostest::U16;
using vostest::Units;

namespace {

std::atomic<int> g_ran{0};

unsigned long CountRun(void*) {
    g_ran.fetch_add(1);
    return 0;
}

CVString Str(const char* ascii) {
    const std::u16string t = U16(ascii);
    return CVString(Units(t));
}

}  // namespace

TEST(ThreadAllocFailure, CreationReportsFailureAndCanBeRetried) {
    RELIABILITY_REQUIRE_HOOK();
    WalkBoth("CVEvent CreateEvent", [&](unsigned long n, FailMode mode) {
        CVEvent e;
        int r = -1;
        const bool failed = RunFailingAt(n, mode, [&] { r = e.CreateEvent(0); });
        EXPECT_EQ(r, failed ? 0 : 1);
        EXPECT_EQ(e.GetHandle() != nullptr, r == 1);
        EXPECT_EQ(e.SetEvent(), r);
        EXPECT_EQ(e.CreateEvent(1), 1);
        EXPECT_EQ(e.SetEvent(), 1);
        EXPECT_EQ(e.Wait(0), 1);
        EXPECT_EQ(e.Wait(0), 1);  // manual reset keeps the signal
        return failed;
    });
    WalkBoth("CVThread CreateThread", [&](unsigned long n, FailMode mode) {
        CVThread t;
        g_ran = 0;
        int r = -1;
        const bool failed = RunFailingAt(n, mode, [&] { r = t.CreateThread(CountRun, nullptr); });
        EXPECT_EQ(r, failed ? 0 : 1);
        EXPECT_EQ(t.GetHandle() != nullptr, r == 1);
        if (r == 0) {
            EXPECT_EQ(t.CreateThread(CountRun, nullptr), 1);
        }
        EXPECT_TRUE(vostest::WaitFor([] { return g_ran.load() == 1; }));
        EXPECT_EQ(t.TerminateThread(0), 1);
        EXPECT_EQ(g_ran.load(), 1);
        return failed;
    });
    WalkBoth("CVException Init", [&](unsigned long n, FailMode mode) {
        CVException::Cleanup();
        const bool failed = RunFailingAt(n, mode, [&] { CVException::Init(); });
        EXPECT_EQ(CVException::m_pLastError == nullptr, failed);
        CVException::Init();  // a later start tries again
        EXPECT_NE(CVException::m_pLastError, nullptr);
        return failed;
    });
}

TEST(NetAllocFailure, SocketTableReportsFailure) {
    RELIABILITY_REQUIRE_HOOK();
    WalkBoth("CVSocketMan SetSocketMax", [&](unsigned long n, FailMode mode) {
        CVSocketMan man;
        CVSocket a;
        CVSocket b;
        EXPECT_EQ(man.SetSocketMax(4), 1);
        EXPECT_EQ(man.AddSocket(&a), 1);
        int r = -1;
        const bool failed = RunFailingAt(n, mode, [&] { r = man.SetSocketMax(200); });
        EXPECT_EQ(r, failed ? 0 : 1);
        EXPECT_EQ(man.GetSocketCount(), 0);
        // Without a table nothing can be added, and nothing is written.
        EXPECT_EQ(man.AddSocket(&b), failed ? 0 : 1);
        EXPECT_EQ(man.SetSocketMax(2), 1);
        EXPECT_EQ(man.AddSocket(&b), 1);
        EXPECT_EQ(man.GetSocketCount(), 1);
        man.UnInitSocketMan();
        return failed;
    });
    WalkBoth("CVDNSParse GetInstance", [&](unsigned long n, FailMode mode) {
        CVDNSParse::ReleaseInstance();
        CVDNSParse* p = nullptr;
        const bool failed = RunFailingAt(n, mode, [&] { p = CVDNSParse::GetInstance(); });
        EXPECT_EQ(p == nullptr, failed);
        EXPECT_NE(CVDNSParse::GetInstance(), nullptr);
        CVDNSParse::ReleaseInstance();
        return failed;
    });
    WalkBoth("CVDNSCache Instance", [&](unsigned long n, FailMode mode) {
        CVDNSCache::ReleaseInstance();
        CVDNSCache* c = nullptr;
        const bool failed = RunFailingAt(n, mode, [&] { c = CVDNSCache::Instance(); });
        EXPECT_EQ(c == nullptr, failed);
        CVDNSCache::ReleaseInstance();
        return failed;
    });
}

// A name the cache failed to store must not disturb the entries stored
// before or after it: each name keeps its own address and port.
TEST(NetAllocFailure, NameCacheNeverMixesEntries) {
    RELIABILITY_REQUIRE_HOOK();
    for (int before : {0, 3, 4, 9}) {
        const std::string what = "CVDNSCache AddHostAndName after " + std::to_string(before);
        WalkBoth(what.c_str(), [&](unsigned long n, FailMode mode) {
            CVDNSCache cache;
            for (int i = 0; i < before; ++i) {
                CVString name = Str(("host" + std::to_string(i)).c_str());
                EXPECT_EQ(cache.AddHostAndName(name, 0x0A000000u + i, 1000u + i), 1);
            }
            CVString name = Str("failing.example");
            int r = -1;
            const bool failed = RunFailingAt(n, mode, [&] { r = cache.AddHostAndName(name, 0x7F000001u, 80u); });
            unsigned int address = 0;
            unsigned int port = 0;
            const int found = cache.GetHostByName(name, address, port);
            EXPECT_EQ(found, r);  // stored exactly when it says so
            if (!failed) {
                EXPECT_EQ(found, 1);
            }
            if (found) {
                EXPECT_EQ(address, 0x7F000001u);
                EXPECT_EQ(port, 80u);
            }
            // Later names, once memory is back, are stored whole.
            for (int i = 0; i < 6; ++i) {
                CVString later = Str(("later" + std::to_string(i)).c_str());
                EXPECT_EQ(cache.AddHostAndName(later, 0x0B000000u + i, 2000u + i), 1);
            }
            for (int i = 0; i < before; ++i) {
                CVString old = Str(("host" + std::to_string(i)).c_str());
                EXPECT_EQ(cache.GetHostByName(old, address, port), 1) << i;
                EXPECT_EQ(address, 0x0A000000u + i);
                EXPECT_EQ(port, 1000u + i);
            }
            for (int i = 0; i < 6; ++i) {
                CVString later = Str(("later" + std::to_string(i)).c_str());
                EXPECT_EQ(cache.GetHostByName(later, address, port), 1) << i;
                EXPECT_EQ(address, 0x0B000000u + i);
                EXPECT_EQ(port, 2000u + i);
            }
            return failed;
        });
    }
}
