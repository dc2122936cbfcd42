// Java classes that lack methods the library looks up: the pair queries stop
// after their first figure, every other operation fails cleanly, and a
// position source or compass that cannot be stopped is not kept.
#include <gtest/gtest.h>

#include "DeviceJni.h"
#include "JvmHost.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;
using namespace devtest;

namespace {
bool Pending() { return vostest::MainEnv()->ExceptionCheck() == JNI_TRUE; }
}  // namespace

TEST(DevicePartial, PairQueriesWriteTheFirstFigureOnly) {
    long a = -1, b = -1;
    EXPECT_EQ(0, CVUtilsOS::GetSpaceInfo(a, b));
    EXPECT_EQ(5, a);
    EXPECT_EQ(-1, b);
    a = -1;
    EXPECT_EQ(0, CVUtilsOS::GetMemoryInfo(a, b));
    EXPECT_EQ(5, a);
    EXPECT_EQ(-1, b);
    a = -1;
    EXPECT_EQ(0, CVUtilsScreen::GetSystemMetrics(a, b));
    EXPECT_EQ(319, a);
    EXPECT_EQ(-1, b);
    EXPECT_FALSE(Pending());
}

TEST(DevicePartial, MissingMethodsFailWithNothingPending) {
    CVString s("keep");
    EXPECT_EQ(0, CVUtilsOS::GetOsVersion(s));
    EXPECT_EQ(0, CVUtilsAppInfo::GetCachePath(s));
    EXPECT_EQ(0, CVUtilsTelephony::GetImsi(s));
    EXPECT_EQ(0, s.Compare("keep"));
    unsigned short buffer[2] = {7, 7};
    EXPECT_EQ(0, CVUtilsAppInfo::GetModuleFileName(buffer, 2));
    EXPECT_EQ(7, buffer[0]);
    int brightness = 4;
    EXPECT_EQ(0, CVUtilsScreen::GetScreenBrightness(brightness));
    EXPECT_EQ(4, brightness);
    EXPECT_EQ(0, CVUtilsScreen::SetScreenOn(1));
    EXPECT_EQ(0, CVUtilsTelephony::OpenUrl(CVString("http://x/")));
    EXPECT_EQ(0, CVUtilsNetwork::IsWifiConnected());
    EXPECT_EQ(0, CVUtilsNetwork::UnsetNetworkChangedCallback());
    CVArray<CVWifiHotpot, CVWifiHotpot&> out;
    EXPECT_EQ(0, CVUtilsNetwork::GetWifiHotpot(out));
    EXPECT_FALSE(Pending());
}

TEST(DevicePartial, AGpsSourceWithoutUnInitIsNotKept) {
    const jint instances = GetInt(kGps, "instances");
    EXPECT_EQ(0, CVGpsMan::Initialize());
    EXPECT_FALSE(Pending());
    EXPECT_EQ(nullptr, CVGpsMan::m_hHandle);
    EXPECT_EQ(nullptr, CVGpsMan::m_pObservers);
    EXPECT_EQ(instances + 1, GetInt(kGps, "instances"));
    EXPECT_EQ(0, GetInt(kGps, "initCalls")) << "a source that cannot be stopped was started";
    // A second start tries again instead of reporting the half-made one.
    EXPECT_EQ(0, CVGpsMan::Initialize());
    EXPECT_EQ(instances + 2, GetInt(kGps, "instances"));
    EXPECT_EQ(0, CVGpsMan::UnInitialize());
    EXPECT_FALSE(Pending());
}

TEST(DevicePartial, ACompassWithoutUnInitIsNotKept) {
    const jint instances = GetInt(kCompass, "instances");
    EXPECT_EQ(0, CVCompass::Init());
    EXPECT_FALSE(Pending());
    EXPECT_EQ(nullptr, CVCompass::m_hHandle);
    EXPECT_EQ(0, CVCompass::Init());
    EXPECT_EQ(instances + 2, GetInt(kCompass, "instances"));
    EXPECT_EQ(0, GetInt(kCompass, "initCalls"));
    tagCompassInfo info = {3, 3, 3};
    EXPECT_EQ(0, CVCompass::GetCompassInfo(info));
    EXPECT_EQ(1, CVCompass::UnInit());
    EXPECT_FALSE(Pending());
}
