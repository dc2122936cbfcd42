// Native methods of com.palex.zu.NativeProbe (android/src/test): each calls
// one family of the library's operations the way an application's native
// code does, and hands the results back to the Robolectric tests. Failures
// come back as null (objects) or the sentinel the Java side names.
#include <jni.h>
#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

jstring ToJava(JNIEnv* env, const CVString& s) {
    const unsigned short* units = s;
    static const jchar kEmpty = 0;
    return env->NewString(units != nullptr ? reinterpret_cast<const jchar*>(units) : &kEmpty, s.GetLength());
}

CVString FromJava(JNIEnv* env, jstring s) {
    CVString out;
    convertJStringToCVString(env, s, out);
    return out;
}

std::u16string Units(const CVString& s) {
    const unsigned short* units = s;
    return units != nullptr ? std::u16string(reinterpret_cast<const char16_t*>(units), s.GetLength())
                            : std::u16string();
}

std::u16string Number(long n) {
    std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

jstring ToJava(JNIEnv* env, const std::u16string& s) {
    return env->NewString(reinterpret_cast<const jchar*>(s.data()), static_cast<jsize>(s.size()));
}

// The string queries, numbered as NativeProbe's constants.
int StringQuery(int which, CVString& out) {
    switch (which) {
        case 0: return CVUtilsOS::GetOsVersion(out);
        case 1: return CVUtilsAppInfo::GetModuleFileName(out);
        case 2: return CVUtilsAppInfo::GetSdcardPath(out);
        case 3: return CVUtilsAppInfo::GetCachePath(out);
        case 4: return CVUtilsAppInfo::GetAppVersion(out);
        case 5: return CVUtilsTelephony::GetCellId(out);
        case 6: return CVUtilsTelephony::GetLac(out);
        case 7: return CVUtilsTelephony::GetUniqueID(out);
        case 8: return CVUtilsTelephony::GetImsi(out);
        default: return 0;
    }
}

// A query made from the timer thread, handed to the thread that waits.
struct TimerQuery {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    int which = 0;
    int result = 0;
    CVString answer;
};

void OnTimer(unsigned long, void* param) {
    TimerQuery* query = static_cast<TimerQuery*>(param);
    CVString answer;
    int result = StringQuery(query->which, answer);
    std::lock_guard<std::mutex> hold(query->lock);
    query->answer = answer;
    query->result = result;
    query->finished = true;
    query->done.notify_all();
}

// Records the messages delivered to it and whether they came on the thread
// that attached it (the test's main thread).
class Recorder : public CVMsgObserver {
public:
    int Update(unsigned int id, unsigned int wParam, int lParam) override {
        std::lock_guard<std::mutex> hold(lock);
        ++count;
        lastId = id;
        lastWParam = wParam;
        lastLParam = lParam;
        onAttachThread = pthread_equal(pthread_self(), attachThread) != 0;
        return 1;
    }
    std::mutex lock;
    pthread_t attachThread{};
    int count = 0;
    unsigned int lastId = 0;
    unsigned int lastWParam = 0;
    int lastLParam = 0;
    bool onAttachThread = false;
};

Recorder g_recorder;
std::mutex g_netLock;
int g_netChanges = 0;

void OnNetworkChanged() {
    std::lock_guard<std::mutex> hold(g_netLock);
    ++g_netChanges;
}

}  // namespace

extern "C" {

JNIEXPORT jstring JNICALL Java_com_palex_zu_NativeProbe_query(JNIEnv* env, jclass, jint which) {
    CVString out;
    return StringQuery(which, out) ? ToJava(env, out) : nullptr;
}

JNIEXPORT jstring JNICALL Java_com_palex_zu_NativeProbe_queryOnNativeThread(JNIEnv* env, jclass, jint which) {
    CVString out;
    int result = 0;
    std::thread worker([&] { result = StringQuery(which, out); });
    worker.join();
    return result ? ToJava(env, out) : nullptr;
}

JNIEXPORT jstring JNICALL Java_com_palex_zu_NativeProbe_queryOnTimer(JNIEnv* env, jclass, jint which) {
    static TimerQuery query;
    {
        std::lock_guard<std::mutex> hold(query.lock);
        query.finished = false;
        query.which = which;
        query.answer.Empty();
    }
    CVTimer::Init();
    if (CVTimer::SetTimer(4711, OnTimer, &query, 10, 0, 1) != 0) return nullptr;
    std::unique_lock<std::mutex> hold(query.lock);
    if (!query.done.wait_for(hold, std::chrono::seconds(60), [] { return query.finished; })) {
        hold.unlock();
        CVTimer::KillTimer(4711);
        return nullptr;
    }
    return query.result ? ToJava(env, query.answer) : nullptr;
}

// {result, first, second} of GetSpaceInfo (0), GetMemoryInfo (1) or
// GetSystemMetrics (2).
JNIEXPORT jlongArray JNICALL Java_com_palex_zu_NativeProbe_figures(JNIEnv* env, jclass, jint which) {
    long first = -1, second = -1;
    int result = which == 0   ? CVUtilsOS::GetSpaceInfo(first, second)
                 : which == 1 ? CVUtilsOS::GetMemoryInfo(first, second)
                              : CVUtilsScreen::GetSystemMetrics(first, second);
    jlong values[3] = {result, first, second};
    jlongArray array = env->NewLongArray(3);
    env->SetLongArrayRegion(array, 0, 3, values);
    return array;
}

// NaN on failure.
JNIEXPORT jfloat JNICALL Java_com_palex_zu_NativeProbe_density(JNIEnv*, jclass) {
    float density = 0;
    return CVUtilsScreen::GetScreenDpi(density) ? density : std::numeric_limits<float>::quiet_NaN();
}

// -1000 on failure.
JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_brightness(JNIEnv*, jclass) {
    int brightness = -1000;
    return CVUtilsScreen::GetScreenBrightness(brightness) ? brightness : -1000;
}

JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_setScreenOn(JNIEnv*, jclass, jint on) {
    return CVUtilsScreen::SetScreenOn(on);
}

// -1000 on failure.
JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_networkType(JNIEnv*, jclass) {
    ENetworkType type;
    return CVUtilsNetwork::GetCurrentNetworkType(type) ? static_cast<jint>(type) : -1000;
}

JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_wifiConnected(JNIEnv*, jclass) {
    return CVUtilsNetwork::IsWifiConnected();
}

// "typename/type/state", or null.
JNIEXPORT jstring JNICALL Java_com_palex_zu_NativeProbe_networkInfo(JNIEnv* env, jclass, jint type) {
    CVNetworkInfo info;
    if (!CVUtilsNetwork::GetNetworkInfo(static_cast<ENetworkType>(type), info)) return nullptr;
    return ToJava(env, Units(info.m_strTypeName) + u"/" + Number(info.m_nType) + u"/" + Number(info.m_nState));
}

// One "SSID|BSSID|capabilities|frequency|level" per scan result, or null.
JNIEXPORT jobjectArray JNICALL Java_com_palex_zu_NativeProbe_wifiHotpots(JNIEnv* env, jclass) {
    CVArray<CVWifiHotpot, CVWifiHotpot&> spots;
    if (!CVUtilsNetwork::GetWifiHotpot(spots)) return nullptr;
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = env->NewObjectArray(spots.GetSize(), stringClass, nullptr);
    for (int i = 0; i < spots.GetSize(); ++i) {
        CVWifiHotpot& spot = spots[i];
        jstring line = ToJava(env, Units(spot.m_strSSID) + u"|" + Units(spot.m_strBSSID) + u"|" +
                                       Units(spot.m_strCapabilities) + u"|" + Number(spot.m_nFrequency) +
                                       u"|" + Number(spot.m_nLevel));
        env->SetObjectArrayElement(array, i, line);
        env->DeleteLocalRef(line);
    }
    return array;
}

JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_setNetworkCallback(JNIEnv*, jclass) {
    return CVUtilsNetwork::SetNetworkChangedCallback(OnNetworkChanged);
}

JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_unsetNetworkCallback(JNIEnv*, jclass) {
    return CVUtilsNetwork::UnsetNetworkChangedCallback();
}

JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_networkChanges(JNIEnv*, jclass) {
    std::lock_guard<std::mutex> hold(g_netLock);
    return g_netChanges;
}

// 0 makeCall, 1 sendSMS, 2 sendMMS, 3 openUrl, 4 setupSoftware; the
// operation's result.
JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_action(JNIEnv* env, jclass, jint which, jstring a, jstring b,
                                                            jstring c, jstring d) {
    CVString first = FromJava(env, a), second = FromJava(env, b), third = FromJava(env, c), fourth = FromJava(env, d);
    switch (which) {
        case 0: return CVUtilsTelephony::TelephoneCall(first);
        case 1: return CVUtilsTelephony::SendSMS(first, second);
        case 2: return CVUtilsTelephony::SendMMS(first, second, third, fourth);
        case 3: return CVUtilsTelephony::OpenUrl(first);
        case 4: return CVUtilsOS::SetUpSoftWare(first);
        default: return -1;
    }
}

// 0 Initialize, 1 UnInitialize.
JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_gps(JNIEnv*, jclass, jint op) {
    return op == 0 ? CVGpsMan::Initialize() : CVGpsMan::UnInitialize();
}

// {state, value1, value2, value3, value4, value6} of the last fix.
JNIEXPORT jdoubleArray JNICALL Java_com_palex_zu_NativeProbe_lastFix(JNIEnv* env, jclass) {
    CVGpsDetailInfo fix = CVGpsMan::GetLastLocation();
    jdouble values[6] = {static_cast<jdouble>(fix.m_nState), fix.m_fValue1, fix.m_fValue2, fix.m_fValue3,
                         fix.m_fValue4, static_cast<jdouble>(fix.m_sValue6)};
    jdoubleArray array = env->NewDoubleArray(6);
    env->SetDoubleArrayRegion(array, 0, 6, values);
    return array;
}

// 0 Init, 1 UnInit.
JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_compass(JNIEnv*, jclass, jint op) {
    return op == 0 ? CVCompass::Init() : CVCompass::UnInit();
}

// {state, value, tick bits}, or null.
JNIEXPORT jintArray JNICALL Java_com_palex_zu_NativeProbe_compassReading(JNIEnv* env, jclass) {
    tagCompassInfo info;
    if (!CVCompass::GetCompassInfo(info)) return nullptr;
    jint values[3] = {info.m_nState, info.m_nValue, info.m_nTickBits};
    jintArray array = env->NewIntArray(3);
    env->SetIntArrayRegion(array, 0, 3, values);
    return array;
}

JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_attachObserver(JNIEnv*, jclass, jint id) {
    std::lock_guard<std::mutex> hold(g_recorder.lock);
    g_recorder.attachThread = pthread_self();
    g_recorder.count = 0;
    return CVMsg::AttachMsgObserver(static_cast<unsigned int>(id), &g_recorder);
}

JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_detachObserver(JNIEnv*, jclass, jint id) {
    return CVMsg::DetachMsgObserver(static_cast<unsigned int>(id), &g_recorder);
}

// Posts from a new native thread, unknown to the VM, and joins it.
JNIEXPORT jint JNICALL Java_com_palex_zu_NativeProbe_postFromNativeThread(JNIEnv*, jclass, jint id, jint wParam,
                                                                          jint lParam) {
    int result = 0;
    std::thread poster([&] {
        result = CVMsg::PostMessage(static_cast<unsigned int>(id), static_cast<unsigned int>(wParam), lParam);
    });
    poster.join();
    return result;
}

// {count, id, wParam, lParam, 1 when delivered on the attaching thread}.
JNIEXPORT jintArray JNICALL Java_com_palex_zu_NativeProbe_delivered(JNIEnv* env, jclass) {
    std::lock_guard<std::mutex> hold(g_recorder.lock);
    jint values[5] = {g_recorder.count, static_cast<jint>(g_recorder.lastId), static_cast<jint>(g_recorder.lastWParam),
                      g_recorder.lastLParam, g_recorder.onAttachThread ? 1 : 0};
    jintArray array = env->NewIntArray(5);
    env->SetIntArrayRegion(array, 0, 5, values);
    return array;
}

}  // extern "C"
