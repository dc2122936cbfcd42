// The library's own companion classes on a Linux host: the facts the host
// knows come from the host, the rest are the documented fixed answers.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "DeviceJni.h"
#include "JvmHost.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;
using vostest::Text;

namespace {

std::u16string Property(const char* name) {
    JNIEnv* env = vostest::MainEnv();
    jclass system = env->FindClass("java/lang/System");
    jmethodID get = env->GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
    jstring key = env->NewStringUTF(name);
    jstring value = static_cast<jstring>(env->CallStaticObjectMethod(system, get, key));
    EXPECT_FALSE(env->ExceptionCheck()) << name;
    std::u16string out;
    if (value != nullptr) {
        const jchar* chars = env->GetStringChars(value, nullptr);
        out.assign(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(env->GetStringLength(value)));
        env->ReleaseStringChars(value, chars);
        env->DeleteLocalRef(value);
    }
    env->DeleteLocalRef(key);
    env->DeleteLocalRef(system);
    return out;
}

}  // namespace

TEST(DeviceHost, PathsAndVersionComeFromTheHost) {
    CVString s;
    ASSERT_EQ(1, CVUtilsOS::GetOsVersion(s));
    EXPECT_EQ(Property("os.version"), Text(s));
    ASSERT_EQ(1, CVUtilsAppInfo::GetCachePath(s));
    EXPECT_EQ(Property("java.io.tmpdir"), Text(s));
    ASSERT_EQ(1, CVUtilsAppInfo::GetSdcardPath(s));
    EXPECT_EQ(Property("user.home"), Text(s));
    ASSERT_EQ(1, CVUtilsAppInfo::GetModuleFileName(s));
    EXPECT_GT(s.GetLength(), 0);
    EXPECT_EQ(1, CVFile::IsFileExist(s)) << "the module file does not exist";
    ASSERT_EQ(1, CVUtilsAppInfo::GetAppVersion(s));
    EXPECT_EQ(u"1.0", Text(s));
}

TEST(DeviceHost, StorageAndMemoryFigures) {
    long total = -1, free = -1;
    ASSERT_EQ(1, CVUtilsOS::GetSpaceInfo(total, free));
    EXPECT_NE(-1, total);
    long heap = -1, available = -1;
    ASSERT_EQ(1, CVUtilsOS::GetMemoryInfo(heap, available));
    EXPECT_GT(heap, 0);
    EXPECT_GE(available, 0);
    EXPECT_LE(available, heap);
}

TEST(DeviceHost, NetworkFromTheHostsInterfaces) {
    ENetworkType type = static_cast<ENetworkType>(-9);
    ASSERT_EQ(1, CVUtilsNetwork::GetCurrentNetworkType(type));
    EXPECT_TRUE(type == VOS_NETWORK_TYPE_NONE || type == VOS_NETWORK_TYPE_WIFI || type == VOS_NETWORK_TYPE_ETHERNET)
        << type;
    EXPECT_EQ(type == VOS_NETWORK_TYPE_WIFI ? 1 : 0, CVUtilsNetwork::IsWifiConnected());
    CVNetworkInfo info;
    ASSERT_EQ(1, CVUtilsNetwork::GetNetworkInfo(VOS_NETWORK_TYPE_ETHERNET, info));
    EXPECT_EQ(u"ETHERNET", Text(info.m_strTypeName));
    EXPECT_EQ(3, info.m_nType);
    EXPECT_EQ(type == VOS_NETWORK_TYPE_ETHERNET ? 1 : 0, info.m_nState);
    EXPECT_EQ(0, CVUtilsNetwork::GetNetworkInfo(static_cast<ENetworkType>(99), info));
    CVArray<CVWifiHotpot, CVWifiHotpot&> hotpots;
    EXPECT_EQ(1, CVUtilsNetwork::GetWifiHotpot(hotpots));
    EXPECT_EQ(0, hotpots.GetSize());
}

TEST(DeviceHost, FixedScreenAndTelephonyAnswers) {
    long width = 0, height = 0;
    ASSERT_EQ(1, CVUtilsScreen::GetSystemMetrics(width, height));
    EXPECT_EQ(720, width);
    EXPECT_EQ(1280, height);
    float density = 0;
    EXPECT_EQ(1, CVUtilsScreen::GetScreenDpi(density));
    EXPECT_EQ(1.0f, density);
    int brightness = -1;
    EXPECT_EQ(1, CVUtilsScreen::GetScreenBrightness(brightness));
    EXPECT_EQ(128, brightness);
    CVString s;
    ASSERT_EQ(1, CVUtilsTelephony::GetUniqueID(s));
    EXPECT_EQ(u"000000000000000", Text(s));
    ASSERT_EQ(1, CVUtilsTelephony::GetCellId(s));
    EXPECT_EQ(u"0", Text(s));
}

TEST(DeviceHost, ActionsOnAHost) {
    EXPECT_EQ(1, CVUtilsTelephony::OpenUrl(CVString("http://example.org/")));
    EXPECT_EQ(0, CVUtilsTelephony::OpenUrl(CVString("http://bad host/")));
    EXPECT_FALSE(devtest::TookException());
    vostest::TempDir dir;
    const std::string file = dir.File("a.jpg");
    FILE* f = fopen(file.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fclose(f);
    EXPECT_EQ(0, CVUtilsTelephony::SendMMS(CVString("123"), CVString("s"), CVString("t"), CVString(file.c_str())))
        << "a host cannot send";
    EXPECT_EQ(1, CVUtilsTelephony::SendSMS(CVString("123"), CVString("t")));
}

TEST(DeviceHost, GpsAndCompassStartAndStop) {
    EXPECT_EQ(1, CVGpsMan::Initialize());
    EXPECT_EQ(1, CVGpsMan::UnInitialize());
    EXPECT_EQ(1, CVCompass::Init());
    EXPECT_EQ(1, CVCompass::UnInit());
    EXPECT_FALSE(devtest::TookException());
}
