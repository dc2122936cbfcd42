#include <math.h>

#include "vos/VDeviceAPI.h"
#include "vsi/android/VDeviceCall.h"

VOS_NAMESPACE_BEGIN

// Truncation toward zero; a value the 32-bit long cannot hold is clamped
// (a NaN gives 0) instead of being undefined.
static long VDevice_Truncate(jfloat value) {
    if (isnan(value)) return 0;
    if (value >= 2147483647.0f) return 2147483647L;
    if (value <= -2147483648.0f) return -2147483647L - 1;
    return static_cast<long>(static_cast<int32_t>(value));
}

static int VDevice_GetMetric(const char* name, long& out) {
    CVDeviceCall call(name, "()F");
    if (!call.IsReady()) return 0;
    const jfloat value = call.Env()->CallStaticFloatMethod(call.Class(), call.Method());
    if (call.TakeException()) return 0;
    out = VDevice_Truncate(value);
    return 1;
}

int CVUtilsScreen::GetSystemMetrics(long& width, long& height) {
    if (!VDevice_GetMetric("getSystemMetricsX", width)) return 0;
    return VDevice_GetMetric("getSystemMetricsY", height);
}

int CVUtilsScreen::GetScreenDpi(float& density) {
    CVDeviceCall call("getScreenDensity", "()F");
    if (!call.IsReady()) return 0;
    const jfloat value = call.Env()->CallStaticFloatMethod(call.Class(), call.Method());
    if (call.TakeException()) return 0;
    density = value;
    return 1;
}

int CVUtilsScreen::GetScreenBrightness(int& brightness) {
    CVDeviceCall call("getScreenBrightness", "()I");
    if (!call.IsReady()) return 0;
    const jint value = call.Env()->CallStaticIntMethod(call.Class(), call.Method());
    if (call.TakeException() || value == -1) return 0;
    brightness = value;
    return 1;
}

int CVUtilsScreen::SetScreenOn(int on) {
    CVDeviceCall call("setScreenAlwaysOn", "(Z)V");
    if (!call.IsReady()) return 0;
    jvalue arg;
    arg.z = on != 0 ? JNI_TRUE : JNI_FALSE;
    call.Env()->CallStaticVoidMethodA(call.Class(), call.Method(), &arg);
    if (call.TakeException()) return 0;
    return 1;
}

VOS_NAMESPACE_END
