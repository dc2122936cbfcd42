// Device actions against the scriptable device: arguments as Java receives
// them, the checks made before Java is called, Java's result conventions,
// Wi-Fi scan results and network-change callbacks.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "DeviceJni.h"
#include "JvmHost.h"
#include "support/TestSupport.h"
#include "vos/vos.h"
#include "support/AndroidLog.h"

using namespace _palex_zu;
using namespace devtest;
using vostest::Str;
using vostest::Text;

namespace {

class DeviceAction : public testing::Test {
protected:
    void SetUp() override {
        SetString(kApi, "throwing", u"");
        FILE* f = fopen(m_file.c_str(), "wb");
        ASSERT_NE(nullptr, f);
        fputs("payload", f);
        fclose(f);
        TakeCalls();
    }
    void TearDown() override {
        SetString(kApi, "throwing", u"");
        EXPECT_FALSE(TookException()) << "a Java exception was left pending";
    }
    vostest::TempDir m_dir;
    std::string m_file = m_dir.File("pic.jpg");
};

std::vector<std::string> g_order;
void First() { g_order.push_back("first"); }
void Second() { g_order.push_back("second"); }

}  // namespace

TEST_F(DeviceAction, ArgumentsReachJavaAsGiven) {
    EXPECT_EQ(1, CVUtilsScreen::SetScreenOn(5));
    EXPECT_EQ(1, CVUtilsScreen::SetScreenOn(0));
    EXPECT_EQ(1, CVUtilsTelephony::TelephoneCall(Str("10086")));
    // The SMS number is not checked.
    EXPECT_EQ(1, CVUtilsTelephony::SendSMS(Str("12-ab"), Str("\xe4\xbd\xa0\xe5\xa5\xbd")));
    EXPECT_EQ(1, CVUtilsTelephony::OpenUrl(Str("http://example.org/?q=1")));
    EXPECT_EQ(1, CVUtilsTelephony::OpenUrl(CVString()));
    EXPECT_EQ(1, CVUtilsNetwork::UnsetNetworkChangedCallback());
    EXPECT_EQ("setScreenAlwaysOn(true);setScreenAlwaysOn(false);makeCall(10086);"
              "sendSMS(12-ab,\xe4\xbd\xa0\xe5\xa5\xbd);openUrl(http://example.org/?q=1);openUrl();"
              "unsetNetworkChangedCallback();",
              TakeCalls());
}

TEST_F(DeviceAction, ThrowingActionsFailAndLeaveNoExceptionPending) {
    SetString(kApi, "throwing", u"openUrl makeCall");
    EXPECT_EQ(0, CVUtilsTelephony::OpenUrl(Str("http://example.org/")));
    EXPECT_FALSE(TookException());
    EXPECT_EQ(0, CVUtilsTelephony::TelephoneCall(Str("1")));
    EXPECT_FALSE(TookException());
    EXPECT_EQ("openUrl(http://example.org/);makeCall(1);", TakeCalls());
}

TEST_F(DeviceAction, SetUpSoftWareNeedsAnExistingFile) {
    CVString path = Str(m_file.c_str());
    EXPECT_EQ(1, CVUtilsOS::SetUpSoftWare(path));
    EXPECT_EQ("setupSoftware(" + m_file + ");", TakeCalls());
    CVString missing = Str(m_dir.File("none.apk").c_str());
    vostest::ShowEveryAndroidLogEntry();
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, CVUtilsOS::SetUpSoftWare(missing));
    const std::string err = vostest::AndroidLog(testing::internal::GetCapturedStderr());
    EXPECT_NE(std::string::npos, err.find("D/test: file do not exist.")) << err;
    EXPECT_EQ("", TakeCalls());
}

TEST_F(DeviceAction, SendMmsResultsAndChecks) {
    const struct {
        jint java;
        int result;
        bool logged;
    } cases[] = {{0, 1, false}, {1, 0, true}, {2, 0, false}, {-1, 0, false}};
    for (const auto& c : cases) {
        SetInt(kApi, "mmsResult", c.java);
        vostest::ShowEveryAndroidLogEntry();
        testing::internal::CaptureStderr();
        EXPECT_EQ(c.result, CVUtilsTelephony::SendMMS(Str("+8613800"), Str("subj"), Str("text"), Str(m_file.c_str())))
            << c.java;
        const std::string err = vostest::AndroidLog(testing::internal::GetCapturedStderr());
        EXPECT_EQ(c.logged, err.find("D/test: invalid address") != std::string::npos) << c.java << ": " << err;
        EXPECT_EQ("sendMMS(+8613800,subj,text," + m_file + ");", TakeCalls()) << c.java;
    }
    SetInt(kApi, "mmsResult", 0);
    // Neither an invalid number nor a missing file reaches Java.
    EXPECT_EQ(0, CVUtilsTelephony::SendMMS(Str("138-00"), Str("s"), Str("t"), Str(m_file.c_str())));
    EXPECT_EQ(0, CVUtilsTelephony::SendMMS(Str("13800"), Str("s"), Str("t"), Str(m_dir.File("no.jpg").c_str())));
    EXPECT_EQ("", TakeCalls());
    SetString(kApi, "throwing", u"sendMMS");
    EXPECT_EQ(0, CVUtilsTelephony::SendMMS(Str("13800"), Str("s"), Str("t"), Str(m_file.c_str())));
    EXPECT_FALSE(TookException());
}

TEST_F(DeviceAction, WifiResultsReplaceTheArray) {
    JNIEnv* env = vostest::MainEnv();
    CVArray<CVWifiHotpot, CVWifiHotpot&> out;
    CVWifiHotpot stale;
    stale.m_strSSID = Str("stale");
    out.Add(stale);
    out.Add(stale);

    jobject none = CallObject(kApi, "makeHotpots", "(I)[Landroid/net/wifi/ScanResult;", 0);
    SetObject(kApi, "hotpots", "[Landroid/net/wifi/ScanResult;", none);
    EXPECT_EQ(1, CVUtilsNetwork::GetWifiHotpot(out));
    EXPECT_EQ(0, out.GetSize());

    out.Add(stale);
    jobject three = CallObject(kApi, "makeHotpots", "(I)[Landroid/net/wifi/ScanResult;", 3);
    SetObject(kApi, "hotpots", "[Landroid/net/wifi/ScanResult;", three);
    EXPECT_EQ(1, CVUtilsNetwork::GetWifiHotpot(out));
    ASSERT_EQ(3, out.GetSize());
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_EQ(vostest::U16(("net" + n).c_str()), Text(out[i].m_strSSID)) << i;
        EXPECT_EQ(vostest::U16(("00:11:22:33:44:0" + n).c_str()), Text(out[i].m_strBSSID)) << i;
        EXPECT_EQ(i == 1 ? u"" : u"[WPA2-PSK]", Text(out[i].m_strCapabilities)) << i;
        EXPECT_EQ(2412 + 5 * i, out[i].m_nFrequency) << i;
        EXPECT_EQ(-40 - i, out[i].m_nLevel) << i;
    }

    // A null array and a throwing scan leave the array as it was.
    SetObject(kApi, "hotpots", "[Landroid/net/wifi/ScanResult;", nullptr);
    EXPECT_EQ(0, CVUtilsNetwork::GetWifiHotpot(out));
    EXPECT_EQ(3, out.GetSize());
    SetObject(kApi, "hotpots", "[Landroid/net/wifi/ScanResult;", three);
    SetString(kApi, "throwing", u"getWifiHotpot");
    EXPECT_EQ(0, CVUtilsNetwork::GetWifiHotpot(out));
    EXPECT_EQ(3, out.GetSize());
    EXPECT_EQ(u"net2", Text(out[2].m_strSSID));
    env->DeleteLocalRef(three);
    env->DeleteLocalRef(none);
}

TEST_F(DeviceAction, NetworkCallbacksRunNewestFirstAndStayRegistered) {
    g_order.clear();
    EXPECT_EQ(1, CVUtilsNetwork::SetNetworkChangedCallback(First));
    EXPECT_EQ(1, CVUtilsNetwork::SetNetworkChangedCallback(Second));
    EXPECT_EQ("setNetworkChangedCallback();setNetworkChangedCallback();", TakeCalls());
    CallVoid(kApi, "reportNetworkChange", "()V");
    EXPECT_EQ((std::vector<std::string>{"second", "first"}), g_order);

    // Unsetting only tells Java to stop: the callbacks stay, and setting one
    // again makes it run twice.
    EXPECT_EQ(1, CVUtilsNetwork::UnsetNetworkChangedCallback());
    g_order.clear();
    CallVoid(kApi, "reportNetworkChange", "()V");
    EXPECT_EQ((std::vector<std::string>{"second", "first"}), g_order);
    EXPECT_EQ(1, CVUtilsNetwork::SetNetworkChangedCallback(First));
    g_order.clear();
    CallVoid(kApi, "reportNetworkChange", "()V");
    EXPECT_EQ((std::vector<std::string>{"first", "second", "first"}), g_order);
    TakeCalls();
}
