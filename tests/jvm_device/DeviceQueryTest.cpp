// Device queries against the scriptable device: every conversion of a Java
// result and every failure convention.
#include <gtest/gtest.h>

#include <string>

#include "DeviceJni.h"
#include "JvmHost.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;
using namespace devtest;
using vostest::Str;
using vostest::Text;

namespace {

class DeviceQuery : public testing::Test {
protected:
    void SetUp() override {
        SetString(kApi, "throwing", u"");
        TakeCalls();
    }
    void TearDown() override {
        SetString(kApi, "throwing", u"");
        EXPECT_FALSE(TookException()) << "a Java exception was left pending";
    }
};

}  // namespace

TEST_F(DeviceQuery, LongFiguresKeepTheirLow32Bits) {
    const struct {
        jlong java;
        long native;
    } cases[] = {
        {5, 5},
        {0x100000005LL, 5},
        {0xFFFFFFFFLL, -1},
        {0x7FFFFFFFLL, 2147483647L},
        {0x180000000LL, -2147483647L - 1},
        {-2, -2},
    };
    for (const auto& c : cases) {
        SetLong(kApi, "totalSpace", c.java);
        SetLong(kApi, "freeSpace", c.java + 1);
        SetLong(kApi, "totalMemory", c.java);
        SetLong(kApi, "availableMemory", c.java + 1);
        long total = 99, free = 99;
        EXPECT_EQ(1, CVUtilsOS::GetSpaceInfo(total, free)) << c.java;
        EXPECT_EQ(c.native, total) << c.java;
        EXPECT_EQ(static_cast<long>(static_cast<int32_t>(static_cast<uint32_t>(c.java + 1))), free) << c.java;
        long mem = 99, avail = 99;
        EXPECT_EQ(1, CVUtilsOS::GetMemoryInfo(mem, avail)) << c.java;
        EXPECT_EQ(c.native, mem) << c.java;
        EXPECT_EQ(free, avail) << c.java;
    }
    TakeCalls();
    long a = 0, b = 0;
    CVUtilsOS::GetSpaceInfo(a, b);
    CVUtilsOS::GetMemoryInfo(a, b);
    EXPECT_EQ("getTotalSpace();getFreeSpace();getTotalMemory();getAvailableMemory();", TakeCalls());
}

TEST_F(DeviceQuery, StringResultsCopyUnitsAndNullLeavesTheOutput) {
    typedef int (*StringQuery)(CVString&);
    const struct {
        const char* field;
        StringQuery query;
    } queries[] = {
        {"osVersion", CVUtilsOS::GetOsVersion},         {"moduleFileName", CVUtilsAppInfo::GetModuleFileName},
        {"sdcardPath", CVUtilsAppInfo::GetSdcardPath},  {"cachePath", CVUtilsAppInfo::GetCachePath},
        {"appVersion", CVUtilsAppInfo::GetAppVersion},  {"cellId", CVUtilsTelephony::GetCellId},
        {"lac", CVUtilsTelephony::GetLac},              {"imei", CVUtilsTelephony::GetUniqueID},
        {"imsi", CVUtilsTelephony::GetImsi},
    };
    const std::u16string value = u"v\u4e2d\u6587-\u00e9";
    for (const auto& q : queries) {
        SetString(kApi, q.field, value.c_str());
        CVString out = Str(u"old");
        EXPECT_EQ(1, q.query(out)) << q.field;
        EXPECT_EQ(value, Text(out)) << q.field;

        SetString(kApi, q.field, u"");
        EXPECT_EQ(1, q.query(out)) << q.field;
        EXPECT_EQ(0, out.GetLength()) << q.field;

        SetString(kApi, q.field, nullptr);
        out = Str(u"old");
        EXPECT_EQ(0, q.query(out)) << q.field << " with a null Java string";
        EXPECT_EQ(u"old", Text(out)) << q.field;
    }
}

TEST_F(DeviceQuery, ModuleFileNameIntoABufferHasNoTerminator) {
    SetString(kApi, "moduleFileName", u"/a/b.so");
    unsigned short buffer[9];
    for (auto& u : buffer) u = 0xEEEE;
    EXPECT_EQ(0, CVUtilsAppInfo::GetModuleFileName(buffer, 6)) << "one unit short";
    EXPECT_EQ(0xEEEE, buffer[0]);
    EXPECT_EQ(1, CVUtilsAppInfo::GetModuleFileName(buffer, 7));
    EXPECT_EQ(u"/a/b.so", std::u16string(reinterpret_cast<const char16_t*>(buffer), 7));
    EXPECT_EQ(0xEEEE, buffer[7]) << "a terminator was written";
    EXPECT_EQ(1, CVUtilsAppInfo::GetModuleFileName(buffer, 9));
    EXPECT_EQ(0xEEEE, buffer[7]);

    SetString(kApi, "moduleFileName", nullptr);
    buffer[0] = 0xEEEE;
    EXPECT_EQ(0, CVUtilsAppInfo::GetModuleFileName(buffer, 9));
    EXPECT_EQ(0xEEEE, buffer[0]);
}

TEST_F(DeviceQuery, NetworkTypeIsPassedThrough) {
    for (jint value : {0, 1, 3, -5, 0x7FFFFFFF}) {
        SetInt(kApi, "networkType", value);
        ENetworkType type = static_cast<ENetworkType>(12345);
        EXPECT_EQ(1, CVUtilsNetwork::GetCurrentNetworkType(type));
        EXPECT_EQ(value, static_cast<jint>(type));
    }
    SetBool(kApi, "wifiConnected", true);
    EXPECT_EQ(1, CVUtilsNetwork::IsWifiConnected());
    SetBool(kApi, "wifiConnected", false);
    EXPECT_EQ(0, CVUtilsNetwork::IsWifiConnected());
}

TEST_F(DeviceQuery, NetworkInfoReadsTheThreeFields) {
    JNIEnv* env = vostest::MainEnv();
    jclass cls = env->FindClass("com/palex/zu/VNetworkInfo");
    ASSERT_NE(nullptr, cls);
    jmethodID ctor = env->GetMethodID(cls, "<init>", "(Ljava/lang/String;II)V");
    ASSERT_NE(nullptr, ctor);
    jstring name = env->NewStringUTF("MOBILE");
    jobject withName = env->NewObject(cls, ctor, name, 2, 1);
    jobject noName = env->NewObject(cls, ctor, nullptr, 4, 0);

    SetObject(kApi, "networkInfo", "Lcom/palex/zu/VNetworkInfo;", withName);
    CVNetworkInfo info;
    TakeCalls();
    EXPECT_EQ(1, CVUtilsNetwork::GetNetworkInfo(static_cast<ENetworkType>(7), info));
    EXPECT_EQ("getNetworkInfo(7);", TakeCalls());
    EXPECT_EQ(u"MOBILE", Text(info.m_strTypeName));
    EXPECT_EQ(2, info.m_nType);
    EXPECT_EQ(1, info.m_nState);

    // A null type name leaves the name as it was; the integers are read.
    SetObject(kApi, "networkInfo", "Lcom/palex/zu/VNetworkInfo;", noName);
    EXPECT_EQ(1, CVUtilsNetwork::GetNetworkInfo(VOS_NETWORK_TYPE_WIFI, info));
    EXPECT_EQ(u"MOBILE", Text(info.m_strTypeName));
    EXPECT_EQ(4, info.m_nType);
    EXPECT_EQ(0, info.m_nState);

    SetObject(kApi, "networkInfo", "Lcom/palex/zu/VNetworkInfo;", nullptr);
    info.m_nType = 9;
    EXPECT_EQ(0, CVUtilsNetwork::GetNetworkInfo(VOS_NETWORK_TYPE_WIFI, info));
    EXPECT_EQ(9, info.m_nType);
    EXPECT_EQ(u"MOBILE", Text(info.m_strTypeName));

    env->DeleteLocalRef(noName);
    env->DeleteLocalRef(withName);
    env->DeleteLocalRef(name);
    env->DeleteLocalRef(cls);
}

TEST_F(DeviceQuery, ScreenFiguresTruncateTowardZero) {
    const struct {
        jfloat java;
        long native;
    } cases[] = {{479.9f, 479}, {-0.5f, 0}, {-1.7f, -1}, {1080.0f, 1080}, {0.99f, 0}};
    for (const auto& c : cases) {
        SetFloat(kApi, "metricsX", c.java);
        SetFloat(kApi, "metricsY", -c.java);
        long width = 77, height = 77;
        EXPECT_EQ(1, CVUtilsScreen::GetSystemMetrics(width, height)) << c.java;
        EXPECT_EQ(c.native, width) << c.java;
        EXPECT_EQ(-c.native, height) << c.java;
    }
    SetFloat(kApi, "density", 2.75f);
    float density = 0;
    EXPECT_EQ(1, CVUtilsScreen::GetScreenDpi(density));
    EXPECT_EQ(2.75f, density);
}

TEST_F(DeviceQuery, BrightnessMinusOneIsAFailure) {
    const struct {
        jint java;
        int result;
        int out;
    } cases[] = {{-1, 0, 42}, {0, 1, 0}, {255, 1, 255}, {-2, 1, -2}};
    for (const auto& c : cases) {
        SetInt(kApi, "brightness", c.java);
        int brightness = 42;
        EXPECT_EQ(c.result, CVUtilsScreen::GetScreenBrightness(brightness)) << c.java;
        EXPECT_EQ(c.out, brightness) << c.java;
    }
}

TEST_F(DeviceQuery, AThrowingQueryFailsAndLeavesNoExceptionPending) {
    SetString(kApi, "throwing", u"getOsVersion getFreeSpace getScreenBrightness getCurrentNetworkType");
    CVString version = Str(u"old");
    EXPECT_EQ(0, CVUtilsOS::GetOsVersion(version));
    EXPECT_EQ(u"old", Text(version));
    EXPECT_FALSE(TookException());

    SetLong(kApi, "totalSpace", 11);
    long total = 0, free = 22;
    EXPECT_EQ(0, CVUtilsOS::GetSpaceInfo(total, free));
    EXPECT_EQ(11, total);
    EXPECT_EQ(22, free);
    int brightness = 3;
    EXPECT_EQ(0, CVUtilsScreen::GetScreenBrightness(brightness));
    EXPECT_EQ(3, brightness);
    ENetworkType type = static_cast<ENetworkType>(8);
    EXPECT_EQ(0, CVUtilsNetwork::GetCurrentNetworkType(type));
    EXPECT_EQ(8, static_cast<int>(type));
}

TEST_F(DeviceQuery, QueriesWorkFromAThreadTheVmDoesNotKnow) {
    SetString(kApi, "osVersion", u"13");
    LibraryUp library;
    int result = -1;
    CVString version;
    vostest::OnNativeThread([&] { result = CVUtilsOS::GetOsVersion(version); });
    EXPECT_EQ(1, result);
    EXPECT_EQ(u"13", Text(version));
}
