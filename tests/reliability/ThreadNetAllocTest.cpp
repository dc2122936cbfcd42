// Threads, events, the error record, the socket manager's table and the name
// cache under allocation failure: each reports the failure by its result and
// works normally once memory is back.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "AllocWalk.h"

using namespace _palex_zu;
using reliability::FailMode;
using reliability::RunFailingAt;
using reliability::WalkBoth;
using vostest::Str;
using vostest::U16;
using vostest::Units;

namespace {

std::atomic<int> g_ran{0};

unsigned long CountRun(void*) {
    g_ran.fetch_add(1);
    return 0;
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

namespace {

// A loopback listener whose backlog completes connections without accept.
struct Listener {
    int fd = -1;
    unsigned short port = 0;
    Listener() {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 64) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            return;
        }
        port = ntohs(a.sin_port);
    }
    ~Listener() {
        if (fd >= 0) close(fd);
    }
};

std::atomic<int> g_lastState{-1};

int RecordState(void* socket) {
    g_lastState = static_cast<CVSocket*>(socket)->GetSocketState();
    return 0;
}

}  // namespace

// Opening and connecting while memory runs short, with the worker sharing
// the shortage: the socket ends connected or reports a failed connection
// through its callback; an action lost without a word would leave it idle for
// ever.
TEST(NetAllocFailure, ConnectionEndsInAnAnnouncedState) {
    RELIABILITY_REQUIRE_HOOK();
    Listener peer;
    ASSERT_NE(peer.port, 0);
    CVSocketMan man;
    ASSERT_EQ(man.SetSocketMax(4), 1);
    ASSERT_EQ(man.StartSocketProc(), 1);
    CVString host = Str("127.0.0.1");
    {
        // The worker fetches the resolver and the name cache on its first
        // pass, and the first connection caches the address: both before the
        // shortage starts.
        CVSocket warm;
        ASSERT_EQ(man.AddSocket(&warm), 1);
        g_lastState = -1;
        warm.Create(VSOCK_TCP, &warm, RecordState);
        warm.Connect(host, peer.port);
        ASSERT_TRUE(vostest::WaitFor([] { return g_lastState == ESOCKET_CONNECTED; }));
        man.RemoveSocket(&warm);
    }
    WalkBoth("CVSocket Create and Connect", [&](unsigned long n, FailMode mode) {
        CVSocket s;
        EXPECT_EQ(man.AddSocket(&s), 1);
        g_lastState = -1;
        const bool failed = RunFailingAt(n, mode, [&] {
            s.Create(VSOCK_TCP, &s, RecordState);
            s.Connect(host, peer.port);
            vostest::WaitFor([] { return g_lastState == ESOCKET_CONNECTED || g_lastState == ESOCKET_CONNECT_FAILED; },
                             std::chrono::seconds(5));
        });
        // While memory stays short the worker may hold the actions back; once
        // it is back they are carried out.
        vostest::WaitFor([] { return g_lastState == ESOCKET_CONNECTED || g_lastState == ESOCKET_CONNECT_FAILED; },
                         std::chrono::seconds(10));
        const int state = g_lastState;
        EXPECT_TRUE(state == ESOCKET_CONNECTED || state == ESOCKET_CONNECT_FAILED) << "last announced " << state;
        if (!failed) {
            EXPECT_EQ(state, ESOCKET_CONNECTED);
        }
        man.RemoveSocket(&s);
        return failed;
    });
    man.UnInitSocketMan();
}
