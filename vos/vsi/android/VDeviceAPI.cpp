#include "vos/VDeviceAPI.h"

#include "vos/VJni.h"
#include "vos/VMem.h"
#include "vsi/android/VDeviceCall.h"

VOS_NAMESPACE_BEGIN

CVDeviceCall::CVDeviceCall(const char* name, const char* signature)
    : m_env(nullptr), m_class(nullptr), m_method(nullptr) {
    m_env = VJni_Env();
    if (m_env == nullptr) return;
    m_class = VJni_FindClass(m_env, VJNI_CLASS_DEVICE_API);
    if (m_class == nullptr) return;
    m_method = VJni_StaticMethodID(m_env, VJNI_CLASS_DEVICE_API, m_class, name, signature);
}

CVDeviceCall::~CVDeviceCall() {
    if (m_class != nullptr) m_env->DeleteLocalRef(m_class);
}

jstring CVDeviceCall::NewString(const CVString& s) const {
    static const jchar kEmpty = 0;
    const unsigned short* units = s;
    const jchar* chars = units != nullptr ? reinterpret_cast<const jchar*>(units) : &kEmpty;
    return m_env->NewString(chars, s.GetLength());
}

int VDevice_GetString(const char* name, CVString& out) {
    CVDeviceCall call(name, "()Ljava/lang/String;");
    if (!call.IsReady()) return 0;
    JNIEnv* env = call.Env();
    CVJniLocal<jstring> value(env, VJni_CallStaticString(env, call.Class(), call.Method()));
    if (value == nullptr) return 0;
    convertJStringToCVString(env, value, out);
    return 1;
}

CVDeviceStringArgs::CVDeviceStringArgs(const CVDeviceCall& call, const CVString* const* strings, int count)
    : m_env(call.Env()), m_nCount(count < 4 ? count : 4), m_nMade(0) {
    for (; m_nMade < m_nCount; ++m_nMade) {
        m_values[m_nMade].l = call.NewString(*strings[m_nMade]);
        if (m_values[m_nMade].l == nullptr) {
            // Out of Java memory: the OutOfMemoryError is pending.
            call.TakeException();
            break;
        }
    }
}

CVDeviceStringArgs::~CVDeviceStringArgs() {
    for (int i = 0; i < m_nMade; ++i) m_env->DeleteLocalRef(m_values[i].l);
}

int VDevice_CallWithStrings(const char* name, const char* signature, const CVString* const* args, int count) {
    CVDeviceCall call(name, signature);
    if (!call.IsReady()) return 0;
    CVDeviceStringArgs values(call, args, count);
    if (!values.IsReady()) return 0;
    call.Env()->CallStaticVoidMethodA(call.Class(), call.Method(), values.Values());
    return call.TakeException() ? 0 : 1;
}

int isValidSMSNumber(const CVString& number) {
    const int length = number.GetLength();
    int i = 0;
    if (length > 0 && number.GetAt(0) == '+') i = 1;
    for (; i < length; ++i) {
        const unsigned short unit = number.GetAt(i);
        if (unit < '0' || unit > '9') return 0;
    }
    return 1;
}

VOS_NAMESPACE_END
