#include <atomic>
#include <thread>

#include "JvmHost.h"
#include "MsgBusFixture.h"
#include "support/TestSupport.h"

using _palex_zu::CVMsg;

namespace {

// Remembers the delivering thread and whether the VM knows it.
class ThreadProbe : public _palex_zu::CVMsgObserver {
public:
    int Update(unsigned int id, unsigned int wParam, int lParam) override {
        thread = std::this_thread::get_id();
        attachState = vostest::AttachState();
        got = true;
        return 1;
    }
    std::atomic<bool> got{false};
    std::thread::id thread;
    jint attachState = 0;
};

}  // namespace

// The message travels out through com.palex.zu.VMsg and comes back through
// the native method the VM bound from libvos.so's exported symbol.
TEST_F(MsgBusTest, PostComesBackOnTheJavaLooperThread) {
    ThreadProbe probe;
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(100, &probe));
    EXPECT_EQ(1, CVMsg::PostMessage(100, 1, 2));
    ASSERT_TRUE(vostest::WaitFor([&] { return probe.got.load(); }));
    EXPECT_NE(std::this_thread::get_id(), probe.thread);
    EXPECT_EQ(JNI_OK, probe.attachState);
}

TEST_F(MsgBusTest, PostedMessagesArriveInOrderWithTheirBits) {
    std::vector<Delivery> log;
    std::mutex logLock;
    RecordingObserver o("o", &log, &logLock);
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(101, &o));
    const int count = 2000;
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(1, CVMsg::PostMessage(101, 0x80000000u + static_cast<unsigned int>(i), -i));
    }
    ASSERT_TRUE(vostest::WaitFor([&] {
        std::lock_guard<std::mutex> lock(logLock);
        return log.size() >= static_cast<size_t>(count);
    }));
    std::lock_guard<std::mutex> lock(logLock);
    ASSERT_EQ(static_cast<size_t>(count), log.size());
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ((Delivery{"o", 101, 0x80000000u + static_cast<unsigned int>(i), -i}), log[i]) << i;
    }
}

TEST_F(MsgBusTest, PostFromAnUnknownThreadAttachesOnlyForTheCall) {
    ThreadProbe probe;
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(102, &probe));
    vostest::OnNativeThread([] {
        ASSERT_EQ(JNI_EDETACHED, vostest::AttachState());
        EXPECT_EQ(1, CVMsg::PostMessage(102, 0, 0));
        EXPECT_EQ(JNI_EDETACHED, vostest::AttachState());
    });
    EXPECT_TRUE(vostest::WaitFor([&] { return probe.got.load(); }));
}

TEST_F(MsgBusTest, PostFromAnAttachedThreadLeavesItAttached) {
    ThreadProbe probe;
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(103, &probe));
    vostest::OnNativeThread([] {
        JNIEnv* env = nullptr;
        ASSERT_EQ(0, JVMContainer::GetEnvironment(&env));
        EXPECT_EQ(1, CVMsg::PostMessage(103, 0, 0));
        EXPECT_EQ(JNI_OK, vostest::AttachState());
        vostest::Jvm()->DetachCurrentThread();
    });
    EXPECT_TRUE(vostest::WaitFor([&] { return probe.got.load(); }));
}

TEST_F(MsgBusTest, ManyThreadsPostWhileObserversComeAndGo) {
    std::atomic<int> received{0};
    class Counter : public _palex_zu::CVMsgObserver {
    public:
        explicit Counter(std::atomic<int>* n) : m_n(n) {}
        int Update(unsigned int, unsigned int, int) override {
            ++*m_n;
            return 0;
        }
        std::atomic<int>* m_n;
    } counter(&received), churn(&received);
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(104, &counter));
    const int threads = 4, perThread = 200;
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([] {
            for (int i = 0; i < perThread; ++i) CVMsg::PostMessage(104, 0, 0);
        });
    }
    std::thread churner([&] {
        for (int i = 0; i < 500; ++i) {
            CVMsg::AttachMsgObserver(105, &churn);
            CVMsg::DetachMsgObserver(105, &churn);
        }
    });
    for (std::thread& t : posters) t.join();
    churner.join();
    EXPECT_TRUE(vostest::WaitFor([&] { return received.load() == threads * perThread; }));
    EXPECT_EQ(threads * perThread, received.load());
}

TEST_F(MsgBusTest, JavaTearDownClearsTheRecord) {
    _palex_zu::tagVMsgRecord* rec = _palex_zu::VMsg_Record();
    ASSERT_NE(nullptr, rec->m_clsVMsg);
    ASSERT_NE(nullptr, rec->m_midPostMessage);
    VMsg_JNI_UnInitEnv();
    EXPECT_EQ(nullptr, rec->m_clsVMsg);
    EXPECT_EQ(nullptr, rec->m_pJVM);
    EXPECT_EQ(nullptr, rec->m_midPostMessage);
    EXPECT_EQ(0, CVMsg::PostMessage(106, 0, 0));
    EXPECT_EQ(0, VMsg_JNI_PostMessage(106, 0, 0));
    VMsg_JNI_UnInitEnv();  // twice: nothing left to delete

    // A set-up that fails half-way (unknown thread) and a tear-down after it
    // must not touch the reference deleted above.
    vostest::OnNativeThread([] { EXPECT_EQ(0, VMsg_JNI_InitEnv()); });
    VMsg_JNI_UnInitEnv();
    EXPECT_EQ(nullptr, rec->m_clsVMsg);

    ASSERT_EQ(1, VMsg_JNI_InitEnv());
    ThreadProbe probe;
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(106, &probe));
    EXPECT_EQ(1, CVMsg::PostMessage(106, 0, 0));
    EXPECT_TRUE(vostest::WaitFor([&] { return probe.got.load(); }));
}

// Stopping the bus while the looper delivers an earlier post waits for that
// delivery to end before the bus record goes away.
TEST_F(MsgBusTest, StopWaitsForADeliveryUnderWay) {
    std::atomic<bool> entered{false}, finished{false};
    class Slow : public _palex_zu::CVMsgObserver {
    public:
        Slow(std::atomic<bool>* entered, std::atomic<bool>* finished) : m_entered(entered), m_finished(finished) {}
        int Update(unsigned int, unsigned int, int) override {
            *m_entered = true;
            vostest::WaitFor([] { return CVMsg::m_hMsg == nullptr; });
            // Give a stop that does not wait every chance to free the record.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            *m_finished = true;
            return 1;
        }
        std::atomic<bool>* m_entered;
        std::atomic<bool>* m_finished;
    } slow(&entered, &finished);
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(107, &slow));
    ASSERT_EQ(1, CVMsg::PostMessage(107, 0, 0));
    ASSERT_TRUE(vostest::WaitFor([&] { return entered.load(); }));
    _palex_zu::CVVos::GlobalUnInit();
    EXPECT_TRUE(finished.load());
    EXPECT_EQ(nullptr, CVMsg::m_hMsg);
    _palex_zu::_VosEnv_t env;
    ASSERT_EQ(1, _palex_zu::CVVos::GlobalInit(env));  // for the fixture's stop
}
