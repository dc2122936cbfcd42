// Network-state reports coming from Java through the native method that the
// VM binds from libvos.so.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "JvmHost.h"
#include "vos/vos.h"
#include "support/AndroidLog.h"

namespace {

std::vector<std::string> g_calls;
void First() { g_calls.push_back("first"); }
void Second() { g_calls.push_back("second"); }

// Calls com.palex.zu.VDeviceAPI.reportFromJavaThread: one report from a Java
// thread, as the device's network receiver makes it.
void ReportFromJava() {
    JNIEnv* env = vostest::MainEnv();
    jclass api = env->FindClass("com/palex/zu/VDeviceAPI");
    ASSERT_NE(nullptr, api);
    jmethodID report = GetStaticMethodID(env, api, "reportFromJavaThread", "()V");
    ASSERT_NE(nullptr, report);
    env->CallStaticVoidMethod(api, report);
    EXPECT_FALSE(env->ExceptionCheck());
    env->DeleteLocalRef(api);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

// Runs first in this executable: the observable does not exist yet.
TEST(NetState, AReportWithoutObserversOnlyLogsTheLookup) {
    vostest::ShowEveryAndroidLogEntry();
    testing::internal::CaptureStderr();
    ReportFromJava();
    const std::string err = vostest::AndroidLog(testing::internal::GetCapturedStderr());
    EXPECT_EQ(1u, Count(err, "D/CVUtilsTelephony: getInstance")) << err;
    EXPECT_EQ(0u, Count(err, "update")) << err;
    EXPECT_NE(nullptr, CVNetStateObservable::_instance);
}

TEST(NetState, AReportFromJavaReachesEveryObserverNewestFirst) {
    CVNetStateObserver first(First), second(Second);
    CVNetStateObservable* observable = CVNetStateObservable::getInstance();
    observable->addObserver(&first);
    observable->addObserver(&second);
    g_calls.clear();
    vostest::ShowEveryAndroidLogEntry();
    testing::internal::CaptureStderr();
    ReportFromJava();
    const std::string err = vostest::AndroidLog(testing::internal::GetCapturedStderr());
    EXPECT_EQ((std::vector<std::string>{"second", "first"}), g_calls);
    EXPECT_EQ(2u, Count(err, "D/CVUtilsTelephony: update")) << err;
    observable->deleteObserver(&first);
    observable->deleteObserver(&second);
    g_calls.clear();
    ReportFromJava();
    EXPECT_TRUE(g_calls.empty());
}
