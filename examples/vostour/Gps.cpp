// Step 9: a GPS fix and a compass reading, handed in through the companion
// classes as a device's sensor callbacks would.
#include <jni.h>
#include <stdarg.h>

#include <atomic>
#include <mutex>

#include "Tour.h"

using namespace _palex_zu;

namespace vostour {

namespace {

class FixObserver : public CVGpsObserver {
public:
    // Runs on the thread that reported the fix, with the observer lock held.
    void OnGpsUpdate(CVGpsDetailInfo* info) override {
        {
            std::lock_guard<std::mutex> hold(m_fixLock);
            m_fix = *info;
        }
        m_bHaveFix = true;
        Signal();
    }
    bool HaveFix() const { return m_bHaveFix.load(); }
    CVGpsDetailInfo Fix() {
        std::lock_guard<std::mutex> hold(m_fixLock);
        return m_fix;
    }

private:
    std::mutex m_fixLock;
    CVGpsDetailInfo m_fix;
    std::atomic<bool> m_bHaveFix{false};
};

// Calls a void method of a companion object, as the device's own sensor
// callback would; false when the method is missing or threw.
bool CallJava(jobject obj, const char* name, const char* signature, ...) {
    JNIEnv* env = nullptr;
    if (obj == nullptr || JVMContainer::GetEnvironment(&env) != JNI_OK || env == nullptr) return false;
    jclass cls = env->GetObjectClass(obj);
    jmethodID method = GetMethodID(env, cls, name, signature);
    env->DeleteLocalRef(cls);
    if (method == nullptr) return false;
    va_list args;
    va_start(args, signature);
    env->CallVoidMethodV(obj, method, args);
    va_end(args);
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        env->ExceptionClear();
        return false;
    }
    return true;
}

}  // namespace

void Gps() {
    Step("A simulated GPS fix and a compass reading");
    FixObserver observer;
    if (CVGpsMan::Initialize() != 1) Fail("CVGpsMan::Initialize failed");
    if (CVGpsMan::AttachGpsObserver(&observer) != 1) Fail("CVGpsMan::AttachGpsObserver failed");
    // A host has no receiver: com.palex.zu.VGps.report hands the fix in as a
    // device's location callback would, through the native updateGps.
    if (!CallJava(CVGpsMan::m_hHandle ? CVGpsMan::m_hHandle->obj : nullptr, "report", "(DDFFII)V", 39.9087,
                  116.3975, 4.5f, 1.25f, 90, 7)) {
        Fail("com.palex.zu.VGps.report could not be called");
    }
    if (!WaitUntil([&] { return observer.HaveFix(); }, 10000)) Fail("the observer saw no fix");
    const CVGpsDetailInfo fix = observer.Fix();
    const CVGpsDetailInfo last = CVGpsMan::GetLastLocation();
    Say("fix: %.4f, %.4f, accuracy %.1f m, speed %.2f m/s, bearing %d, %u satellites",
        static_cast<double>(fix.m_fValue1), static_cast<double>(fix.m_fValue2), static_cast<double>(fix.m_fValue3),
        static_cast<double>(fix.m_fValue4), fix.m_nValue5, fix.m_sValue6);
    if (last.m_fValue1 != fix.m_fValue1 || last.m_fValue2 != fix.m_fValue2) {
        Fail("GetLastLocation does not hold the reported fix");
    }
    Say("CVGpsMan::GetLastLocation agrees; the observer ran on the reporting thread");
    CVGpsMan::DetachGpsObserver(&observer);
    if (CVGpsMan::UnInitialize() != 1) Fail("CVGpsMan::UnInitialize failed");

    if (CVCompass::Init() != 1) Fail("CVCompass::Init failed");
    if (!CallJava(CVCompass::m_hHandle ? CVCompass::m_hHandle->obj : nullptr, "report", "(I)V", 271)) {
        Fail("com.palex.zu.VCompass.report could not be called");
    }
    tagCompassInfo heading;
    if (CVCompass::GetCompassInfo(heading) != 1 || heading.m_nValue != 271) Fail("the compass kept no reading");
    Say("compass: heading %d", heading.m_nValue);
    CVCompass::UnInit();
    Say("GPS source and compass stopped");
    LogLine(CVLog::ELOG_INFO, "vostour: GPS fix %f %f", static_cast<double>(fix.m_fValue1),
            static_cast<double>(fix.m_fValue2));
}

}  // namespace vostour
