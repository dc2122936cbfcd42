#include <string.h>

#include "vos/VDeviceAPI.h"
#include "vsi/android/VDeviceCall.h"

VOS_NAMESPACE_BEGIN

int CVUtilsAppInfo::GetModuleFileName(CVString& path) { return VDevice_GetString("getModuleFileName", path); }

int CVUtilsAppInfo::GetModuleFileName(unsigned short* buffer, int size) {
    CVDeviceCall call("getModuleFileName", "()Ljava/lang/String;");
    if (!call.IsReady()) return 0;
    JNIEnv* env = call.Env();
    CVJniLocal<jstring> value(env, VJni_CallStaticString(env, call.Class(), call.Method()));
    if (value == nullptr) return 0;
    int result = 0;
    const jsize length = env->GetStringLength(value);
    if (length <= size && (buffer != nullptr || length == 0)) {
        const jchar* chars = env->GetStringChars(value, nullptr);
        if (chars != nullptr) {
            // Exactly the path's units: the caller sized the buffer for them
            // and gets no terminator.
            if (length > 0) memcpy(buffer, chars, static_cast<size_t>(length) * sizeof(unsigned short));
            env->ReleaseStringChars(value, chars);
            result = 1;
        } else {
            call.TakeException();
        }
    }
    return result;
}

int CVUtilsAppInfo::GetSdcardPath(CVString& path) { return VDevice_GetString("getSdcardPath", path); }

int CVUtilsAppInfo::GetCachePath(CVString& path) { return VDevice_GetString("getCachePath", path); }

int CVUtilsAppInfo::GetAppVersion(CVString& version) { return VDevice_GetString("getAppVersion", version); }

VOS_NAMESPACE_END
