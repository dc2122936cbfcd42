// The GPS manager with the scriptable position source: start and stop of the
// Java object, fixes reported from Java threads, failed starts that leave
// nothing behind.
#include <gtest/gtest.h>

#include <string>

#include "DeviceJni.h"
#include "JvmHost.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;
using namespace devtest;

namespace {

class CountingObserver : public CVGpsObserver {
public:
    void OnGpsUpdate(CVGpsDetailInfo* info) override {
        m_last = *info;
        ++m_calls;
    }
    CVGpsDetailInfo m_last;
    int m_calls = 0;
};

void ReportFix(double v1, double v2, float v3, float v4, int v5, int v6) {
    CallVoid(kGps, "reportFix", "(DDFFII)V", v1, v2, static_cast<jdouble>(v3), static_cast<jdouble>(v4), v5, v6);
}

class GpsJvm : public testing::Test {
protected:
    void SetUp() override {
        SetBool(kGps, "initResult", true);
        SetBool(kGps, "unInitResult", true);
        ASSERT_EQ(nullptr, CVGpsMan::m_hHandle);
    }
    void TearDown() override {
        if (CVGpsMan::m_hHandle != nullptr) CVGpsMan::UnInitialize();
        EXPECT_FALSE(TookException()) << "a Java exception was left pending";
    }
};

}  // namespace

TEST_F(GpsJvm, StartReportStop) {
    EXPECT_EQ(0, CVGpsMan::GetGPSState());
    EXPECT_EQ(0, CVGpsMan::UnInitialize()) << "stopped before any start";
    const jint instances = GetInt(kGps, "instances");
    ASSERT_EQ(1, CVGpsMan::Initialize());
    EXPECT_EQ(instances + 1, GetInt(kGps, "instances"));
    EXPECT_EQ(0, GetInt(kGps, "jniDataAtInit")) << "mJniData was not cleared before init";
    EXPECT_EQ(1, CVGpsMan::Initialize()) << "a running manager";
    EXPECT_EQ(instances + 1, GetInt(kGps, "instances"));
    EXPECT_EQ(0, CVGpsMan::GetGPSState());

    CountingObserver observer;
    ASSERT_EQ(1, CVGpsMan::AttachGpsObserver(&observer));
    ReportFix(31.25, 121.5, 8.5f, 2.25f, 270, 9);
    ASSERT_EQ(1, observer.m_calls);
    EXPECT_EQ(31.25f, observer.m_last.m_fValue1);
    EXPECT_EQ(121.5f, observer.m_last.m_fValue2);
    EXPECT_EQ(8.5f, observer.m_last.m_fValue3);
    EXPECT_EQ(2.25f, observer.m_last.m_fValue4);
    EXPECT_EQ(270, observer.m_last.m_nValue5);
    EXPECT_EQ(9, observer.m_last.m_sValue6);
    ReportFix(31.25, 121.5, 8.5f, 2.25f, 270, 9);
    EXPECT_EQ(1, observer.m_calls) << "an identical fix notified";
    ReportFix(31.25, 121.5, 8.5f, 2.25f, 271, 9);
    EXPECT_EQ(2, observer.m_calls) << "a fix differing in the fifth value did not notify";

    const jint unInits = GetInt(kGps, "unInitCalls");
    EXPECT_EQ(1, CVGpsMan::UnInitialize());
    EXPECT_EQ(unInits + 1, GetInt(kGps, "unInitCalls"));
    EXPECT_EQ(0, GetInt(kGps, "jniDataAtUnInit"));
    EXPECT_EQ(nullptr, CVGpsMan::m_hHandle);
    EXPECT_EQ(nullptr, CVGpsMan::m_pObservers);
    EXPECT_EQ(0, CVGpsMan::AttachGpsObserver(&observer));
    ReportFix(1, 2, 3, 4, 5, 6);
    EXPECT_EQ(2, observer.m_calls) << "a fix after the stop reached an observer";
    EXPECT_EQ(271, CVGpsMan::GetLastLocation().m_nValue5);
    EXPECT_EQ(0, CVGpsMan::UnInitialize());
}

TEST_F(GpsJvm, UnInitFalseStillReleasesTheSource) {
    ASSERT_EQ(1, CVGpsMan::Initialize());
    SetBool(kGps, "unInitResult", false);
    EXPECT_EQ(0, CVGpsMan::UnInitialize());
    EXPECT_EQ(nullptr, CVGpsMan::m_hHandle);
}

TEST_F(GpsJvm, AStartThatJavaRefusesLeavesNothingBehind) {
    SetBool(kGps, "initResult", false);
    const jint inits = GetInt(kGps, "initCalls");
    EXPECT_EQ(0, CVGpsMan::Initialize());
    EXPECT_EQ(nullptr, CVGpsMan::m_hHandle);
    EXPECT_EQ(nullptr, CVGpsMan::m_pObservers);
    // The next start is a real one, not a report of the failed one.
    EXPECT_EQ(0, CVGpsMan::Initialize());
    EXPECT_EQ(inits + 2, GetInt(kGps, "initCalls"));
    SetBool(kGps, "initResult", true);
    EXPECT_EQ(1, CVGpsMan::Initialize());
    EXPECT_EQ(inits + 3, GetInt(kGps, "initCalls"));
}

TEST_F(GpsJvm, AllocationFailuresDuringStartLeaveNothingBehind) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    for (unsigned long n : {1ul, 2ul}) {
        {
            vostest::AllocHookGuard guard;
            vostest::FailAllocationAt(n);
            EXPECT_EQ(0, CVGpsMan::Initialize()) << "allocation " << n;
        }
        EXPECT_EQ(nullptr, CVGpsMan::m_hHandle) << "allocation " << n;
        EXPECT_EQ(nullptr, CVGpsMan::m_pObservers) << "allocation " << n;
    }
    EXPECT_EQ(1, CVGpsMan::Initialize());
}

TEST_F(GpsJvm, FixesWrittenByAJavaThreadAreReadWhole) {
    ASSERT_EQ(1, CVGpsMan::Initialize());
    CallVoid(kGps, "startWriter", "()V");
    ASSERT_TRUE(vostest::WaitFor([] { return GetLong(kGps, "written") > 0; }));
    const jlong target = GetLong(kGps, "written") + 100000;
    int torn = 0;
    long reads = 0;
    for (jlong written = 0; written < target && torn == 0; ++reads) {
        const CVGpsDetailInfo fix = CVGpsMan::GetLastLocation();
        const float k = static_cast<float>(fix.m_nValue5);
        if (fix.m_fValue1 != k || fix.m_fValue2 != k || fix.m_fValue3 != k || fix.m_fValue4 != k ||
            fix.m_sValue6 != fix.m_nValue5) {
            ++torn;
        }
        if (reads % 256 == 0) written = GetLong(kGps, "written");
    }
    CallVoid(kGps, "stopWriter", "()V");
    EXPECT_EQ(0, torn) << "after " << reads << " reads";
}
