// Device queries and actions in a process without a Java VM: every operation
// that needs Java fails with 0 and leaves its outputs exactly as they were.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "support/TestSupport.h"
#include "vos/vos.h"
#include "support/AndroidLog.h"

using namespace _palex_zu;
using vostest::Str;
using vostest::Text;

namespace {

// A file that exists, so that the file checks pass and only the missing VM
// can make the operations fail.
struct ExistingFile {
    vostest::TempDir dir;
    std::string path = dir.File("package.apk");
    ExistingFile() {
        FILE* f = fopen(path.c_str(), "wb");
        if (f) {
            fputs("x", f);
            fclose(f);
        }
    }
};

int g_callbackRuns = 0;
void CountingCallback() { ++g_callbackRuns; }

}  // namespace

TEST(DeviceNoVm, JavaFiguresFailAndLeaveTheOutputs) {
    long a = 7, b = 9;
    EXPECT_EQ(0, CVUtilsOS::GetSpaceInfo(a, b));
    EXPECT_EQ(0, CVUtilsOS::GetMemoryInfo(a, b));
    EXPECT_EQ(0, CVUtilsScreen::GetSystemMetrics(a, b));
    EXPECT_EQ(7, a);
    EXPECT_EQ(9, b);

    float density = 2.5f;
    EXPECT_EQ(0, CVUtilsScreen::GetScreenDpi(density));
    EXPECT_EQ(2.5f, density);
    int brightness = 42;
    EXPECT_EQ(0, CVUtilsScreen::GetScreenBrightness(brightness));
    EXPECT_EQ(42, brightness);

    ENetworkType type = static_cast<ENetworkType>(77);
    EXPECT_EQ(0, CVUtilsNetwork::GetCurrentNetworkType(type));
    EXPECT_EQ(77, type);
    EXPECT_EQ(0, CVUtilsNetwork::IsWifiConnected());

    CVNetworkInfo info;
    info.m_strTypeName = Str("keep");
    info.m_nType = 5;
    info.m_nState = 6;
    EXPECT_EQ(0, CVUtilsNetwork::GetNetworkInfo(VOS_NETWORK_TYPE_WIFI, info));
    EXPECT_EQ(u"keep", Text(info.m_strTypeName));
    EXPECT_EQ(5, info.m_nType);
    EXPECT_EQ(6, info.m_nState);

    CVArray<CVWifiHotpot, CVWifiHotpot&> hotpots;
    CVWifiHotpot one;
    one.m_strSSID = Str("home");
    one.m_nLevel = -40;
    hotpots.Add(one);
    EXPECT_EQ(0, CVUtilsNetwork::GetWifiHotpot(hotpots));
    ASSERT_EQ(1, hotpots.GetSize());
    EXPECT_EQ(u"home", Text(hotpots[0].m_strSSID));
    EXPECT_EQ(-40, hotpots[0].m_nLevel);
}

TEST(DeviceNoVm, JavaStringsFailAndLeaveTheOutputs) {
    typedef int (*StringQuery)(CVString&);
    const struct {
        const char* name;
        StringQuery query;
    } queries[] = {
        {"GetOsVersion", CVUtilsOS::GetOsVersion},
        {"GetModuleFileName", CVUtilsAppInfo::GetModuleFileName},
        {"GetSdcardPath", CVUtilsAppInfo::GetSdcardPath},
        {"GetCachePath", CVUtilsAppInfo::GetCachePath},
        {"GetAppVersion", CVUtilsAppInfo::GetAppVersion},
        {"GetCellId", CVUtilsTelephony::GetCellId},
        {"GetLac", CVUtilsTelephony::GetLac},
        {"GetUniqueID", CVUtilsTelephony::GetUniqueID},
        {"GetImsi", CVUtilsTelephony::GetImsi},
    };
    for (const auto& q : queries) {
        CVString out = Str("untouched");
        EXPECT_EQ(0, q.query(out)) << q.name;
        EXPECT_EQ(u"untouched", Text(out)) << q.name;
    }

    unsigned short buffer[4] = {1, 2, 3, 4};
    EXPECT_EQ(0, CVUtilsAppInfo::GetModuleFileName(buffer, 4));
    EXPECT_EQ(1, buffer[0]);
    EXPECT_EQ(4, buffer[3]);
}

TEST(DeviceNoVm, ActionsFailEvenWithValidArguments) {
    ExistingFile file;
    CVString path = Str(file.path.c_str());
    EXPECT_EQ(0, CVUtilsOS::SetUpSoftWare(path));
    EXPECT_EQ(0, CVUtilsScreen::SetScreenOn(1));
    EXPECT_EQ(0, CVUtilsTelephony::TelephoneCall(Str("12345")));
    EXPECT_EQ(0, CVUtilsTelephony::SendSMS(Str("12345"), Str("hi")));
    EXPECT_EQ(0, CVUtilsTelephony::SendMMS(Str("+8612345"), Str("s"), Str("t"), path));
    EXPECT_EQ(0, CVUtilsTelephony::OpenUrl(Str("http://example.org/")));
    EXPECT_EQ(0, CVUtilsNetwork::UnsetNetworkChangedCallback());
}

TEST(DeviceNoVm, AnswersThatNeedNoJava) {
    CVString name;
    EXPECT_EQ(1, CVUtilsOS::GetOsTypeName(name));
    EXPECT_EQ(u"Android", Text(name));
    EXPECT_EQ(0, name.Compare("Android"));
    EXPECT_EQ(7, name.GetLength());
    EOsType type = VOS_OS_TYPE_UNKNOWN;
    EXPECT_EQ(1, CVUtilsOS::GetOsType(type));
    EXPECT_EQ(1, static_cast<int>(type));
}

TEST(DeviceNoVm, SetUpSoftWareLogsAMissingFile) {
    vostest::TempDir dir;
    CVString missing = Str(dir.File("absent.apk").c_str());
    vostest::ShowEveryAndroidLogEntry();
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, CVUtilsOS::SetUpSoftWare(missing));
    const std::string err = vostest::AndroidLog(testing::internal::GetCapturedStderr());
    EXPECT_NE(std::string::npos, err.find("D/test: file do not exist.")) << err;
}

TEST(DeviceNoVm, NetworkCallbackIsRegisteredEvenWithoutJava) {
    EXPECT_EQ(0, CVUtilsNetwork::SetNetworkChangedCallback(nullptr));
    g_callbackRuns = 0;
    EXPECT_EQ(0, CVUtilsNetwork::SetNetworkChangedCallback(CountingCallback));
    Java_com_palex_zu_VDeviceAPI_onNetworkStateChanged(nullptr, nullptr);
    EXPECT_EQ(1, g_callbackRuns);
}

TEST(SmsNumber, AcceptsDigitsWithAnOptionalLeadingPlus) {
    const struct {
        const char* number;
        int valid;
    } cases[] = {
        {"+8613800138000", 1}, {"13800138000", 1}, {"", 1},       {"+", 1},       {"0123456789", 1},
        {"138-0013", 0},       {"12+34", 0},       {"++12", 0},   {"12 34", 0},   {"1a", 0},
        {"/", 0},              {":", 0},           {"+-1", 0},    {"123+", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.valid, isValidSMSNumber(Str(c.number))) << '"' << c.number << '"';
    }
    // Units beyond ASCII whose low byte is a digit are still not digits.
    const unsigned short wide[] = {0x0131, 0x0032, 0};
    EXPECT_EQ(0, isValidSMSNumber(CVString(wide)));
}
