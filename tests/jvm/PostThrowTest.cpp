// Here com.palex.zu.VMsg refuses message 99 with an exception and hands every
// other message straight back on the posting thread, which lets a test take
// the bus down while a message is on its way back.
#include <gtest/gtest.h>

#include "JvmHost.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using _palex_zu::CVMsg;

namespace {

class Counter : public _palex_zu::CVMsgObserver {
public:
    int Update(unsigned int id, unsigned int, int) override {
        lastId = id;
        ++calls;
        return 1;
    }
    unsigned int lastId = 0;
    int calls = 0;
};

class PostThrowTest : public ::testing::Test {
protected:
    void SetUp() override {
        _palex_zu::_VosEnv_t env;
        ASSERT_EQ(1, _palex_zu::CVVos::GlobalInit(env));
        ASSERT_EQ(1, CVMsg::AttachAllMsgsObserver(&counter));
    }
    void TearDown() override {
        CVMsg::RemoveAllMsgObserver();
        _palex_zu::CVVos::GlobalUnInit();
    }
    Counter counter;
};

}  // namespace

TEST_F(PostThrowTest, AnExceptionFromJavaIsClearedAndThePostFails) {
    JNIEnv* env = vostest::MainEnv();
    EXPECT_EQ(0, CVMsg::PostMessage(99, 0, 0)) << "the message never went out";
    EXPECT_FALSE(env->ExceptionCheck());
    EXPECT_EQ(0, counter.calls);
    // The thread goes on calling Java normally.
    EXPECT_EQ(1, CVMsg::PostMessage(18, 0, 0));
    EXPECT_EQ(1, counter.calls);
    EXPECT_EQ(18u, counter.lastId);
}

TEST_F(PostThrowTest, AnAttachedThreadIsLeftClean) {
    vostest::OnNativeThread([&] {
        JNIEnv* env = nullptr;
        ASSERT_EQ(0, JVMContainer::GetEnvironment(&env));
        EXPECT_EQ(0, CVMsg::PostMessage(99, 0, 0));
        EXPECT_FALSE(env->ExceptionCheck());
        EXPECT_EQ(1, CVMsg::PostMessage(19, 0, 0));
        EXPECT_EQ(19u, counter.lastId);
        vostest::Jvm()->DetachCurrentThread();
    });
}

TEST_F(PostThrowTest, AThreadAttachedForTheCallIsDetachedAfterAnException) {
    vostest::OnNativeThread([&] {
        EXPECT_EQ(0, CVMsg::PostMessage(99, 0, 0));
        EXPECT_EQ(JNI_EDETACHED, vostest::AttachState());
        EXPECT_EQ(1, CVMsg::PostMessage(20, 0, 0));
        EXPECT_EQ(20u, counter.lastId);
    });
}

namespace {

// Takes the library down from inside a delivery, as the last GlobalUnInit
// running while a message comes back from Java would.
class StopsTheLibrary : public _palex_zu::CVMsgObserver {
public:
    int Update(unsigned int, unsigned int, int) override {
        ++calls;
        _palex_zu::CVVos::GlobalUnInit();
        busDown = CVMsg::m_hMsg == nullptr;
        return 0;
    }
    int calls = 0;
    bool busDown = false;
};

}  // namespace

TEST_F(PostThrowTest, TheLastUnInitDuringADeliveryEndsTheWalkSafely) {
    StopsTheLibrary stopper;
    Counter after;
    CVMsg::RemoveAllMsgObserver();
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(21, &stopper));
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(21, &after));
    // The walk's own table goes with the bus: the observer after the one that
    // stopped the library is not called, and nothing reads the freed record.
    EXPECT_EQ(1, CVMsg::PostMessage(21, 0, 0));
    EXPECT_EQ(1, stopper.calls);
    EXPECT_TRUE(stopper.busDown);
    EXPECT_EQ(0, after.calls) << "an observer was called after the bus went down";
    // Up again for the fixture's own tear-down.
    _palex_zu::_VosEnv_t env;
    ASSERT_EQ(1, _palex_zu::CVVos::GlobalInit(env));
}
