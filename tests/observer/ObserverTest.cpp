#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vos/vos.h"
#include "support/AndroidLog.h"

namespace {

class Named : public CVObserver {
public:
    Named(const char* name, std::string* trace) : m_name(name), m_trace(trace) {}
    void update() override { *m_trace += m_name; }

private:
    const char* m_name;
    std::string* m_trace;
};

int g_netCalls = 0;
void CountNetChange() { ++g_netCalls; }

}  // namespace

TEST(Observable, NotifiesNewestFirstAndKeepsDuplicates) {
    std::string trace;
    Named a("a", &trace), b("b", &trace), c("c", &trace);
    CVObservable observable;
    observable.notifyObservers();
    EXPECT_EQ("", trace);

    observable.addObserver(&a);
    observable.addObserver(&b);
    observable.addObserver(nullptr);  // kept, and skipped when notifying
    observable.addObserver(&c);
    observable.addObserver(&a);
    observable.notifyObservers();
    EXPECT_EQ("acba", trace);

    struct Step {
        CVObserver* remove;
        const char* after;
    } steps[] = {
        {&a, "cba"},    // the newer of the two a's goes
        {nullptr, "cba"},  // the null node goes
        {&b, "ca"},
        {&b, "ca"},     // not registered any more: nothing changes
        {&a, "c"},
        {&c, ""},
        {&c, ""},       // empty list
    };
    for (const Step& step : steps) {
        observable.deleteObserver(step.remove);
        trace.clear();
        observable.notifyObservers();
        EXPECT_EQ(step.after, trace);
    }
}

TEST(NetStateObservable, IsOneInstanceAndLogsEachLookup) {
    vostest::ShowEveryAndroidLogEntry();
    testing::internal::CaptureStderr();
    CVNetStateObservable* first = CVNetStateObservable::getInstance();
    CVNetStateObservable* second = CVNetStateObservable::getInstance();
    const std::string err = vostest::AndroidLog(testing::internal::GetCapturedStderr());
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, CVNetStateObservable::_instance);
    EXPECT_NE(std::string::npos, err.find("D/CVUtilsTelephony: getInstance\nD/CVUtilsTelephony: getInstance\n"))
        << err;
}

TEST(NetStateObservable, TheNativeReportCallsEveryRegisteredFunction) {
    CVNetStateObserver observer(CountNetChange);
    CVNetStateObservable* observable = CVNetStateObservable::getInstance();
    observable->addObserver(&observer);
    observable->addObserver(&observer);
    g_netCalls = 0;
    vostest::ShowEveryAndroidLogEntry();
    testing::internal::CaptureStderr();
    Java_com_palex_zu_VDeviceAPI_onNetworkStateChanged(nullptr, nullptr);
    const std::string err = vostest::AndroidLog(testing::internal::GetCapturedStderr());
    EXPECT_EQ(2, g_netCalls);
    EXPECT_NE(std::string::npos, err.find("D/CVUtilsTelephony: update\n")) << err;
    observable->deleteObserver(&observer);
    observable->deleteObserver(&observer);
    g_netCalls = 0;
    Java_com_palex_zu_VDeviceAPI_onNetworkStateChanged(nullptr, nullptr);
    EXPECT_EQ(0, g_netCalls);
}
