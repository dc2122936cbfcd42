// The bus, the bridge and the lifecycle in a process without a Java VM: the
// bus cannot start, and everything that needs it fails cleanly.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "support/TestSupport.h"
#include "vos/vos.h"

using _palex_zu::CVException;
using _palex_zu::CVMsg;
using _palex_zu::CVVos;
using _palex_zu::_VosEnv_t;

namespace {
class Silent : public _palex_zu::CVMsgObserver {
public:
    int Update(unsigned int, unsigned int, int) override { return ++calls; }
    int calls = 0;
};
// Starts n threads that make their first call at the same moment.
void AllAtOnce(int n, const std::function<void()>& call) {
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i) {
        threads.emplace_back([&] {
            while (!go.load()) std::this_thread::yield();
            call();
        });
    }
    go = true;
    for (std::thread& t : threads) t.join();
}
}  // namespace

// Defined first, so that it runs before any other call creates the lock: the
// reference lock is created once however many threads make the first call
// (the thread sanitizer build sees a second creation racing the first).
TEST(NoVmFirstCalls, ConcurrentFirstStartsCreateTheReferenceLockOnce) {
    std::atomic<int> started{0};
    AllAtOnce(8, [&] {
        _VosEnv_t env;
        started += CVVos::GlobalInit(env);
    });
    EXPECT_EQ(0, started.load()) << "without a VM no start succeeds";
    EXPECT_NE(0u, CVVos::m_cRefMutex.GetHandle());
    EXPECT_EQ(0u, CVVos::m_ulRefCnt);
}

TEST(NoVm, BridgeHasNoVmAndNoEnvironment) {
    JVMContainer::InitVM(nullptr);
    EXPECT_EQ(nullptr, JVMContainer::GetJVM());
    JNIEnv* env = nullptr;
    EXPECT_EQ(0, JVMContainer::GetEnvironment(&env));
    EXPECT_EQ(nullptr, env);
    std::thread([] {
        JNIEnv* other = nullptr;
        EXPECT_EQ(0, JVMContainer::GetEnvironment(&other));
        EXPECT_EQ(nullptr, other);
    }).join();
}

TEST(NoVm, BusOperationsFailWhileTheBusIsDown) {
    Silent o;
    EXPECT_EQ(0, CVMsg::PostMessage(17, 0, 0));
    EXPECT_EQ(0, CVMsg::PostMessage(16, 0, 0));
    EXPECT_EQ(0, VMsg_JNI_PostMessage(17, 0, 0));
    EXPECT_EQ(0, CVMsg::SendMessage(17, 0, 0));
    EXPECT_EQ(0, DispatchVMsgToObservers(17, 0, 0));
    EXPECT_EQ(0, CVMsg::AttachMsgObserver(17, &o));
    EXPECT_EQ(0, CVMsg::AttachAllMsgsObserver(&o));
    EXPECT_EQ(0, CVMsg::DetachMsgObserver(17, &o));
    EXPECT_EQ(0, CVMsg::DetachAllMsgsObserver(&o));
    EXPECT_EQ(0, CVMsg::RemoveAllMsgObserver());
    EXPECT_EQ(0, VMsg_JNI_InitEnv());
    VMsg_JNI_UnInitEnv();
    Java_com_palex_zu_VMsg_OnUserCommand(nullptr, nullptr, 17, 0, 0);
    EXPECT_EQ(0, o.calls);
}

TEST(NoVm, BusStartWithoutVmLeavesItDown) {
    EXPECT_EQ(0, CVMsg::GlobalInit());
    EXPECT_EQ(nullptr, CVMsg::m_hMsg);
    if (vostest::AllocHookAvailable()) {
        vostest::AllocHookGuard guard;
        vostest::FailAllocationAt(1);
        EXPECT_EQ(0, CVMsg::GlobalInit());
        EXPECT_EQ(nullptr, CVMsg::m_hMsg);
    }
}

// A start that fails undoes its steps and leaves the count at 0, so every
// later start tries again instead of reporting a library that is not up.
TEST(NoVm, FailedStartLeavesTheLibraryDownAndRetryable) {
    _VosEnv_t env;
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(0, CVVos::GlobalInit(env)) << attempt;
        EXPECT_EQ(0u, CVVos::m_ulRefCnt) << attempt;
        EXPECT_EQ(nullptr, CVMsg::m_hMsg) << attempt;
        EXPECT_EQ(nullptr, CVException::m_pLastError) << attempt;
    }
    CVVos::GlobalUnInit();  // unpaired: nothing to stop, no wrap-around
    EXPECT_EQ(0u, CVVos::m_ulRefCnt);
    EXPECT_EQ(0, CVVos::GlobalInit(env));
    EXPECT_EQ(0u, CVVos::m_ulRefCnt);
}
