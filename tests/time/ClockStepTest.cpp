// Setting the device's calendar clock must not move the tick count, the
// timers or the sockets' time-outs. The calendar is stepped through the
// test-build hook, not by changing the machine's clock; the tick count reads
// its clock through the same reader, so a tick taken from the calendar clock
// would follow the step and fail these tests.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "gtest/gtest.h"
#include "support/TestSupport.h"
#include "vos/vos.h"
#include "vsi/android/VTimeHook.h"

using namespace _palex_zu;

#ifdef VOS_TEST_HOOKS
namespace {

// Undoes the test's calendar steps however it ends.
struct CalendarGuard {
    ~CalendarGuard() { VTimeHook_ResetCalendar(); }
};

// A loopback listener that never accepts: the system completes the
// handshakes in its backlog, and the connections then stay silent.
class SilentListener {
public:
    SilentListener() : m_fd(socket(AF_INET, SOCK_STREAM, 0)), m_port(0) {
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(m_fd, 8) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        m_port = ntohs(addr.sin_port);
    }
    ~SilentListener() {
        if (m_fd >= 0) close(m_fd);
    }
    unsigned short Port() const { return m_port; }

private:
    int m_fd;
    unsigned short m_port;
};

// A socket that keeps the last state its manager announced.
struct WatchedSocket {
    CVSocket socket;
    std::atomic<int> state{-1};
    std::atomic<bool> timedOut{false};

    static int OnState(void* self) {
        WatchedSocket* w = static_cast<WatchedSocket*>(self);
        const int s = w->socket.GetSocketState();
        w->state = s;
        if (s == ESOCKET_RECV_TIMEOUT) w->timedOut = true;
        return 0;
    }
    // Connects and starts waiting for data that never comes.
    bool WaitForData(CVSocketMan& man, unsigned short port, unsigned long timeoutMs) {
        socket.SetTimeOut(timeoutMs);
        if (man.AddSocket(&socket) != 1) return false;
        socket.Create(VSOCK_TCP, this, OnState);
        CVString host("127.0.0.1");
        socket.Connect(host, port);
        if (!vostest::WaitFor([this] { return state.load() == ESOCKET_CONNECTED; })) return false;
        char buf[8];
        return socket.Recv(buf, sizeof(buf)) == -2;
    }
};

unsigned long g_firedLong = 0;
unsigned long g_firedShort = 0;

void CountFiring(unsigned long id, void*) {
    __atomic_add_fetch(id == 1 ? &g_firedLong : &g_firedShort, 1, __ATOMIC_ACQ_REL);
}

}  // namespace

TEST(ClockStep, TickCountDoesNotFollowTheCalendar) {
    CalendarGuard guard;
    const int secs = V_GetTimeSecs();
    const uint32_t tick = V_GetTickCount();
    VTimeHook_StepCalendar(-2000);
    const uint32_t after = V_GetTickCount();
    EXPECT_LE(V_GetTimeSecs(), secs - 1) << "the calendar went back";
    EXPECT_LT(after - tick, 1000u) << "the tick count went on from " << tick << ", not back to " << after;
}

TEST(ClockStep, TimerDueInAMinuteIgnoresTheCalendarGoingBack) {
    CalendarGuard guard;
    CVTimer::Init();
    ASSERT_EQ(0, CVTimer::SetTimer(1, CountFiring, nullptr, 60000, 0, 1));
    VTimeHook_StepCalendar(-2000);
    // A short timer set after the step fires on a pass that also looked at
    // the long one.
    ASSERT_EQ(0, CVTimer::SetTimer(2, CountFiring, nullptr, 300, 0, 1));
    ASSERT_TRUE(vostest::WaitFor([] { return __atomic_load_n(&g_firedShort, __ATOMIC_ACQUIRE) == 1; }));
    EXPECT_EQ(0u, __atomic_load_n(&g_firedLong, __ATOMIC_ACQUIRE)) << "a timer due in 60 s fired early";
    CVTimer::KillAll();
    // The timer thread lets go of its record under the timer lock; the test
    // ends only once it has.
    EXPECT_TRUE(vostest::WaitFor([] {
        CVTimer::s_ListMutex.Lock();
        const bool gone = CVTimer::s_TimerThread.GetHandle() == nullptr;
        CVTimer::s_ListMutex.Unlock();
        return gone;
    }));
}

TEST(ClockStep, LongReceiveLimitIgnoresTheCalendarGoingBack) {
    CalendarGuard guard;
    SilentListener peer;
    ASSERT_NE(0, peer.Port());
    CVSocketMan man;
    ASSERT_EQ(1, man.SetSocketMax(8));
    ASSERT_EQ(1, man.StartSocketProc());
    WatchedSocket longWait;
    ASSERT_TRUE(longWait.WaitForData(man, peer.Port(), 60000));
    VTimeHook_StepCalendar(-2000);
    // A short limit started after the step runs out on a later pass than
    // the first one that looked at the long wait.
    WatchedSocket shortWait;
    ASSERT_TRUE(shortWait.WaitForData(man, peer.Port(), 400));
    ASSERT_TRUE(vostest::WaitFor([&] { return shortWait.timedOut.load(); }));
    EXPECT_FALSE(longWait.timedOut.load()) << "a 60 s receive limit ran out after a calendar step";
    man.UnInitSocketMan();
}
#endif
