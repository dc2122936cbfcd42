// Device services on threads that native code attached, against the library's
// own companion classes loaded the way an application loads them: such a
// thread finds none of them by itself (JvmHost.h), so every call has to go
// through the classes the library resolved at start-up. And a thread the
// library attached for a call is detached when it exits.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#endif

#include "DeviceJni.h"
#include "JvmHost.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

// One call into every Java-backed family; the names of those that failed.
std::string FailedFamilies() {
    std::string failed;
    auto check = [&failed](const char* name, int result) {
        if (result != 1) failed += std::string(name) + " ";
    };
    long first = 0, second = 0;
    CVString text;
    ENetworkType type = static_cast<ENetworkType>(0);
    CVNetworkInfo info;
    CVArray<CVWifiHotpot, CVWifiHotpot&> spots;
    float density = 0;
    check("CVUtilsOS", CVUtilsOS::GetSpaceInfo(first, second));
    check("CVUtilsAppInfo", CVUtilsAppInfo::GetAppVersion(text));
    check("CVUtilsNetwork", CVUtilsNetwork::GetCurrentNetworkType(type));
    check("VNetworkInfo", CVUtilsNetwork::GetNetworkInfo(type, info));
    check("ScanResult", CVUtilsNetwork::GetWifiHotpot(spots));
    check("CVUtilsScreen", CVUtilsScreen::GetScreenDpi(density));
    check("CVUtilsTelephony", CVUtilsTelephony::GetCellId(text));
    check("CVGpsMan", CVGpsMan::Initialize());
    check("CVGpsMan-stop", CVGpsMan::UnInitialize());
    check("CVCompass", CVCompass::Init());
    check("CVCompass-stop", CVCompass::UnInit());
    return failed;
}

// The families run once, from whichever callback comes first.
struct CallbackRun {
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    std::string failed;

    void Run() {
        if (started.exchange(true)) return;
        failed = FailedFamilies();
        done = true;
    }
};

void OnTimer(unsigned long /*id*/, void* param) { static_cast<CallbackRun*>(param)->Run(); }

int OnSocketState(void* param) {
    static_cast<CallbackRun*>(param)->Run();
    return 0;
}

// Waits until the VM's live thread count is back at expected.
bool ThreadsBackTo(int expected) {
    return vostest::WaitFor([expected] { return vostest::LiveJavaThreads() == expected; });
}

class AppThreads : public testing::Test {
protected:
    void SetUp() override { m_threadsBefore = vostest::LiveJavaThreads(); }

    devtest::LibraryUp m_library;
    int m_threadsBefore = 0;
};

}  // namespace

TEST_F(AppThreads, EveryFamilyWorksFromAPlainNativeThread) {
    std::string failed = "not run";
    vostest::OnNativeThread([&] {
        failed = FailedFamilies();
        EXPECT_EQ(JNI_OK, vostest::AttachState()) << "the thread stays attached for later calls";
    });
    EXPECT_EQ("", failed);
    EXPECT_TRUE(ThreadsBackTo(m_threadsBefore)) << "the thread exited attached";
}

TEST_F(AppThreads, EveryFamilyWorksFromATimerCallback) {
    CVTimer::Init();
    CallbackRun run;
    ASSERT_EQ(0, CVTimer::SetTimer(41, OnTimer, &run, 0, 0, 1));
    ASSERT_TRUE(vostest::WaitFor([&] { return run.done.load(); })) << "the timer never fired";
    EXPECT_EQ("", run.failed);
    // The timer thread ends with its last timer and is detached as it exits.
    EXPECT_TRUE(ThreadsBackTo(m_threadsBefore)) << "the timer thread exited attached";
}

TEST_F(AppThreads, EveryFamilyWorksFromASocketCallback) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr));
    ASSERT_EQ(0, listen(listener, 4));
    ASSERT_EQ(0, getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &length));

    CallbackRun run;
    {
        CVSocketMan man;
        CVSocket sock;
        ASSERT_EQ(1, man.SetSocketMax(4));
        ASSERT_EQ(1, man.AddSocket(&sock));
        ASSERT_EQ(1, man.StartSocketProc());
        sock.Create(VSOCK_TCP, &run, OnSocketState);
        CVString host("127.0.0.1");
        sock.Connect(host, ntohs(addr.sin_port));
        EXPECT_TRUE(vostest::WaitFor([&] { return run.done.load(); })) << "no state change was announced";
        man.StopSocketProc();
        man.RemoveSocket(&sock);
        man.UnInitSocketMan();
    }
    close(listener);
    EXPECT_EQ("", run.failed);
    EXPECT_TRUE(ThreadsBackTo(m_threadsBefore)) << "the socket worker exited attached";
}

TEST_F(AppThreads, FiftyThreadsThatExitLeaveNoThreadAttached) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 50; ++i) {
        threads.emplace_back([&failures] {
            CVString version;
            long total = 0, free = 0;
            if (CVUtilsOS::GetOsVersion(version) != 1 || CVUtilsOS::GetSpaceInfo(total, free) != 1) ++failures;
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(0, failures.load());
    const bool back = ThreadsBackTo(m_threadsBefore);
    EXPECT_TRUE(back) << "live threads: " << m_threadsBefore << " before, " << vostest::LiveJavaThreads()
                      << " after";
    printf("live Java threads: %d before, %d after 50 native threads\n", m_threadsBefore,
           vostest::LiveJavaThreads());
}

// Stops the race test makes. Under valgrind, which runs one thread at a time,
// a few serve the memory check: the races are for the plain runs.
static int StopCycles() {
#if __has_include(<valgrind/valgrind.h>)
    if (RUNNING_ON_VALGRIND) return 10;
#endif
    return 60;
}

// Posts and device queries on other threads while the host stops and starts
// the library (count 1 -> 0 -> 1) again and again: the class references a
// call under way holds must stay valid through every stop. A reference
// deleted under such a call makes -Xcheck:jni end the VM ("Bad global or
// local ref passed to JNI").
TEST_F(AppThreads, CallsUnderWayOutliveAStopOfTheLibrary) {
    const int cycles = StopCycles();
    std::atomic<bool> stop{false};
    std::atomic<long> posts{0}, queries{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i) {
        workers.emplace_back([&] {
            JNIEnv* env = nullptr;
            JVMContainer::GetEnvironment(&env);  // attached once, so a post does not attach
            while (!stop.load()) {
                CVMsg::PostMessage(17, 0, 0);
                // Now and then the stopping thread gets its turn where threads
                // take turns (valgrind runs one at a time and would starve it);
                // seldom enough that calls still meet every stop.
                if (++posts % 64 == 0) std::this_thread::yield();
            }
        });
        workers.emplace_back([&] {
            while (!stop.load()) {
                CVString version;
                CVUtilsOS::GetOsVersion(version);
                if (++queries % 64 == 0) std::this_thread::yield();
            }
        });
    }
    _VosEnv_t env;
    int restarted = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        // Both kinds of call run while the library is up, and are still
        // running when it stops.
        const long p = posts.load(), q = queries.load();
        if (!vostest::WaitFor([&] { return posts.load() > p + 2 && queries.load() > q + 2; })) break;
        CVVos::GlobalUnInit();
        restarted += CVVos::GlobalInit(env);
    }
    stop = true;
    for (std::thread& t : workers) t.join();
    EXPECT_EQ(cycles, restarted);
    CVString version;
    EXPECT_EQ(1, CVUtilsOS::GetOsVersion(version)) << "the classes are still resolved";
}
