#include <new>

#include "vos/VDeviceAPI.h"
#include "vos/VJni.h"
#include "vos/VMem.h"
#include "vos/VObserver.h"
#include "vsi/android/VDeviceCall.h"

VOS_NAMESPACE_BEGIN

int CVUtilsNetwork::GetCurrentNetworkType(ENetworkType& type) {
    CVDeviceCall call("getCurrentNetworkType", "()I");
    if (!call.IsReady()) return 0;
    const jint value = call.Env()->CallStaticIntMethod(call.Class(), call.Method());
    if (call.TakeException()) return 0;
    type = static_cast<ENetworkType>(value);
    return 1;
}

int CVUtilsNetwork::IsWifiConnected() {
    CVDeviceCall call("isWifiConnected", "()Z");
    if (!call.IsReady()) return 0;
    const jboolean value = call.Env()->CallStaticBooleanMethod(call.Class(), call.Method());
    if (call.TakeException()) return 0;
    return value ? 1 : 0;
}

// Reads a string field into out when the field holds a string; out is left
// as it was for a null field.
static void VDevice_ReadStringField(JNIEnv* env, jobject obj, jfieldID field, CVString& out) {
    CVJniLocal<jstring> value(env, static_cast<jstring>(env->GetObjectField(obj, field)));
    if (value == nullptr) return;
    convertJStringToCVString(env, value, out);
}

int CVUtilsNetwork::GetNetworkInfo(ENetworkType type, CVNetworkInfo& info) {
    CVDeviceCall call("getNetworkInfo", "(I)Lcom/palex/zu/VNetworkInfo;");
    if (!call.IsReady()) return 0;
    JNIEnv* env = call.Env();
    jvalue arg;
    arg.i = static_cast<jint>(type);
    CVJniLocal<jobject> value(env, env->CallStaticObjectMethodA(call.Class(), call.Method(), &arg));
    if (call.TakeException() || value == nullptr) return 0;
    CVJniLocal<jclass> cls(env, VJni_FindClass(env, VJNI_CLASS_NETWORK_INFO));
    if (cls == nullptr) return 0;
    const EVJniClass infoClass = VJNI_CLASS_NETWORK_INFO;
    jfieldID typeName = VJni_FieldID(env, infoClass, cls, "typename", "Ljava/lang/String;");
    jfieldID typeField = typeName ? VJni_FieldID(env, infoClass, cls, "type", "I") : nullptr;
    jfieldID stateField = typeField ? VJni_FieldID(env, infoClass, cls, "state", "I") : nullptr;
    if (stateField == nullptr) return 0;
    VDevice_ReadStringField(env, value, typeName, info.m_strTypeName);
    info.m_nType = env->GetIntField(value, typeField);
    info.m_nState = env->GetIntField(value, stateField);
    return 1;
}

int CVUtilsNetwork::SetNetworkChangedCallback(void (*callback)()) {
    if (callback == nullptr) return 0;
    // The observer lives as long as the process: the observable keeps it and
    // nothing ever removes it.
    void* block = CVMem::Allocate(sizeof(CVNetStateObserver), __FILE__, __LINE__);
    if (block == nullptr) return 0;
    CVNetStateObserver* observer = ::new (block) CVNetStateObserver(callback);
    CVNetStateObservable::getInstance()->addObserver(observer);

    CVDeviceCall call("setNetworkChangedCallback", "()V");
    if (!call.IsReady()) return 0;
    call.Env()->CallStaticVoidMethod(call.Class(), call.Method());
    if (call.TakeException()) return 0;
    return 1;
}

int CVUtilsNetwork::UnsetNetworkChangedCallback() {
    return VDevice_CallWithStrings("unsetNetworkChangedCallback", "()V", nullptr, 0);
}

int CVUtilsNetwork::GetWifiHotpot(CVArray<CVWifiHotpot, CVWifiHotpot&>& out) {
    CVDeviceCall call("getWifiHotpot", "()[Landroid/net/wifi/ScanResult;");
    if (!call.IsReady()) return 0;
    JNIEnv* env = call.Env();
    CVJniLocal<jobjectArray> results(
        env, static_cast<jobjectArray>(env->CallStaticObjectMethod(call.Class(), call.Method())));
    if (call.TakeException() || results == nullptr) return 0;
    // The fields are looked up before out is touched, so that a platform
    // without them leaves out as it was.
    CVJniLocal<jclass> cls(env, VJni_FindClass(env, VJNI_CLASS_SCAN_RESULT));
    const EVJniClass scan = VJNI_CLASS_SCAN_RESULT;
    jfieldID ssid = VJni_FieldID(env, scan, cls, "SSID", "Ljava/lang/String;");
    jfieldID bssid = ssid ? VJni_FieldID(env, scan, cls, "BSSID", "Ljava/lang/String;") : nullptr;
    jfieldID caps = bssid ? VJni_FieldID(env, scan, cls, "capabilities", "Ljava/lang/String;") : nullptr;
    jfieldID frequency = caps ? VJni_FieldID(env, scan, cls, "frequency", "I") : nullptr;
    jfieldID level = frequency ? VJni_FieldID(env, scan, cls, "level", "I") : nullptr;
    int result = 0;
    if (level != nullptr) {
        result = 1;
        out.SetSize(0);
        const jsize count = env->GetArrayLength(results);
        for (jsize i = 0; i < count; ++i) {
            CVJniLocal<jobject> element(env, env->GetObjectArrayElement(results, i));
            CVWifiHotpot record;
            if (element != nullptr) {
                VDevice_ReadStringField(env, element, ssid, record.m_strSSID);
                VDevice_ReadStringField(env, element, bssid, record.m_strBSSID);
                VDevice_ReadStringField(env, element, caps, record.m_strCapabilities);
                record.m_nFrequency = env->GetIntField(element, frequency);
                record.m_nLevel = env->GetIntField(element, level);
            }
            if (out.Add(record) < 0) {
                result = 0;
                break;
            }
        }
    }
    return result;
}

VOS_NAMESPACE_END
