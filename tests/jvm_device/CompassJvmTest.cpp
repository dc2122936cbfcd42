// The compass with the scriptable Java compass: start and stop, readings
// reported from a Java thread.
#include <gtest/gtest.h>

#include "DeviceJni.h"
#include "JvmHost.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;
using namespace devtest;

TEST(CompassJvm, StartReadStop) {
    tagCompassInfo info = {5, 5, 5};
    EXPECT_EQ(0, CVCompass::GetCompassInfo(info));
    EXPECT_EQ(5, info.m_nValue);
    EXPECT_EQ(1, CVCompass::UnInit()) << "nothing to stop";

    const jint instances = GetInt(kCompass, "instances");
    ASSERT_EQ(1, CVCompass::Init());
    EXPECT_EQ(1, CVCompass::m_bHaveCompass);
    EXPECT_EQ(instances + 1, GetInt(kCompass, "instances"));
    EXPECT_EQ(0, GetInt(kCompass, "jniDataAtInit"));
    EXPECT_EQ(1, CVCompass::Init());
    EXPECT_EQ(instances + 1, GetInt(kCompass, "instances"));

    EXPECT_EQ(1, CVCompass::GetCompassInfo(info));
    EXPECT_EQ(0, info.m_nState);
    EXPECT_EQ(0, info.m_nValue);
    EXPECT_EQ(0, info.m_nTickBits);

    for (jint value : {271, -5, static_cast<jint>(0x80000001u)}) {
        CallVoid(kCompass, "reportReading", "(I)V", value);
        ASSERT_EQ(1, CVCompass::GetCompassInfo(info));
        EXPECT_EQ(1, info.m_nState);
        EXPECT_EQ(value, info.m_nValue);
        EXPECT_GE(info.m_nTickBits, 0);
        EXPECT_LE(info.m_nTickBits, 3);
    }

    const jint unInits = GetInt(kCompass, "unInitCalls");
    EXPECT_EQ(1, CVCompass::UnInit());
    EXPECT_EQ(unInits + 1, GetInt(kCompass, "unInitCalls"));
    EXPECT_EQ(nullptr, CVCompass::m_hHandle);
    EXPECT_EQ(0, CVCompass::m_bHaveCompass);
    info.m_nValue = 5;
    EXPECT_EQ(0, CVCompass::GetCompassInfo(info));
    EXPECT_EQ(5, info.m_nValue);
    EXPECT_EQ(1, CVCompass::UnInit());
    EXPECT_FALSE(TookException());
}

TEST(CompassJvm, ARestartForgetsTheOldReading) {
    ASSERT_EQ(1, CVCompass::Init());
    CallVoid(kCompass, "reportReading", "(I)V", 90);
    ASSERT_EQ(1, CVCompass::UnInit());
    ASSERT_EQ(1, CVCompass::Init());
    tagCompassInfo info = {9, 9, 9};
    EXPECT_EQ(1, CVCompass::GetCompassInfo(info));
    EXPECT_EQ(0, info.m_nState);
    EXPECT_EQ(0, info.m_nValue);
    EXPECT_EQ(1, CVCompass::UnInit());
}
