#include <thread>

#include "MsgBusFixture.h"
#include "support/TestSupport.h"

using _palex_zu::CVMsg;
using _palex_zu::CVTimer;

// A timer without a callback posts message 17 with its id and param, which
// comes back through Java like any posted message.
TEST_F(MsgBusTest, TimerWithoutCallbackPostsMessage17) {
    std::vector<Delivery> log;
    std::mutex logLock;
    RecordingObserver o("o", &log, &logLock);
    ASSERT_EQ(1, CVMsg::AttachMsgObserver(17, &o));
    CVTimer::Init();
    ASSERT_EQ(0, CVTimer::SetTimer(4242, nullptr, reinterpret_cast<void*>(0x1234), 0, 0, 1));
    ASSERT_TRUE(vostest::WaitFor([&] {
        std::lock_guard<std::mutex> lock(logLock);
        return !log.empty();
    }));
    ASSERT_TRUE(vostest::WaitFor([] { return CVTimer::s_bRunning == 0; }));
    std::lock_guard<std::mutex> lock(logLock);
    EXPECT_EQ((std::vector<Delivery>{{"o", 17, 4242, 0x1234}}), log);
    EXPECT_EQ(0, CVTimer::s_iSize);
}
