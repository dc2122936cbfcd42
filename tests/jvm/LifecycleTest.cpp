#include <gtest/gtest.h>

#include "JvmHost.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using _palex_zu::CVException;
using _palex_zu::CVMsg;
using _palex_zu::CVVos;
using _palex_zu::_VosEnv_t;

namespace {
bool LibraryUp() { return CVMsg::m_hMsg != nullptr && CVException::m_pLastError != nullptr; }
bool LibraryDown() { return CVMsg::m_hMsg == nullptr && CVException::m_pLastError == nullptr; }
}  // namespace

TEST(Lifecycle, OnlyTheFirstStartAndTheLastStopDoWork) {
    _VosEnv_t env;
    ASSERT_TRUE(LibraryDown());
    ASSERT_EQ(1, CVVos::GlobalInit(env));
    EXPECT_EQ(1u, CVVos::m_ulRefCnt);
    EXPECT_TRUE(LibraryUp());
    void* bus = CVMsg::m_hMsg;
    _palex_zu::CVErrorInfo* record = CVException::m_pLastError;

    EXPECT_EQ(1, CVVos::GlobalInit(env));
    EXPECT_EQ(2u, CVVos::m_ulRefCnt);
    EXPECT_EQ(bus, CVMsg::m_hMsg);
    EXPECT_EQ(record, CVException::m_pLastError);

    CVVos::GlobalUnInit();
    EXPECT_EQ(1u, CVVos::m_ulRefCnt);
    EXPECT_TRUE(LibraryUp());
    CVVos::GlobalUnInit();
    EXPECT_EQ(0u, CVVos::m_ulRefCnt);
    EXPECT_TRUE(LibraryDown());

    // An unpaired stop neither wraps the count nor stops anything twice.
    CVVos::GlobalUnInit();
    EXPECT_EQ(0u, CVVos::m_ulRefCnt);
    EXPECT_TRUE(LibraryDown());
}

TEST(Lifecycle, RestartsAfterAFullStop) {
    _VosEnv_t env;
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(1, CVVos::GlobalInit(env)) << round;
        EXPECT_TRUE(LibraryUp()) << round;
        EXPECT_EQ(0, CVVos::m_cRefMutex.GetHandle() == 0) << round;
        CVVos::GlobalUnInit();
        EXPECT_TRUE(LibraryDown()) << round;
    }
}

// The bus looks its class up without attaching, so a start on a thread the
// VM does not know fails; it must leave the library down and retryable.
TEST(Lifecycle, StartOnAnUnknownThreadFailsAndCanBeRetried) {
    _VosEnv_t env;
    vostest::OnNativeThread([&] {
        EXPECT_EQ(0, CVVos::GlobalInit(env));
        EXPECT_EQ(0u, CVVos::m_ulRefCnt);
        EXPECT_TRUE(LibraryDown());
        EXPECT_EQ(0, CVVos::GlobalInit(env));  // tried again, failed again
        EXPECT_EQ(JNI_EDETACHED, vostest::AttachState());
    });
    EXPECT_EQ(0u, CVVos::m_ulRefCnt);
    ASSERT_EQ(1, CVVos::GlobalInit(env));
    EXPECT_TRUE(LibraryUp());
    CVVos::GlobalUnInit();
    EXPECT_TRUE(LibraryDown());
}

TEST(Lifecycle, BusStartFailsOnAnUnknownThread) {
    vostest::OnNativeThread([] {
        EXPECT_EQ(0, CVMsg::GlobalInit());
        EXPECT_EQ(nullptr, CVMsg::m_hMsg);
    });
}
