#include "vos/VDeviceAPI.h"

#include "vos/VJni.h"
#include "vos/VMem.h"
#include "vsi/android/VDeviceCall.h"

VOS_NAMESPACE_BEGIN

static const char kDeviceClass[] = "com/palex/zu/VDeviceAPI";

bool VDevice_TakeException(JNIEnv* env) {
    if (!env->ExceptionCheck()) return false;
    env->ExceptionDescribe();
    env->ExceptionClear();
    return true;
}

CVDeviceCall::CVDeviceCall(const char* name, const char* signature)
    : m_env(nullptr), m_class(nullptr), m_method(nullptr) {
    JNIEnv* env = nullptr;
    JVMContainer::GetEnvironment(&env);
    if (env == nullptr) return;
    m_env = env;
    m_class = env->FindClass(kDeviceClass);
    if (m_class == nullptr) {
        // A missing class raises NoClassDefFoundError; the caller's next JNI
        // call must not find it pending.
        VDevice_TakeException(env);
        return;
    }
    m_method = GetStaticMethodID(env, m_class, name, signature);
}

CVDeviceCall::~CVDeviceCall() {
    if (m_class != nullptr) m_env->DeleteLocalRef(m_class);
}

bool CVDeviceCall::TakeException() const { return VDevice_TakeException(m_env); }

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
    jstring value = static_cast<jstring>(env->CallStaticObjectMethod(call.Class(), call.Method()));
    if (call.TakeException() || value == nullptr) {
        if (value != nullptr) env->DeleteLocalRef(value);
        return 0;
    }
    convertJStringToCVString(env, value, out);
    env->DeleteLocalRef(value);
    return 1;
}

int VDevice_CallWithStrings(const char* name, const char* signature, const CVString* const* args, int count) {
    CVDeviceCall call(name, signature);
    if (!call.IsReady()) return 0;
    JNIEnv* env = call.Env();
    jvalue values[4];
    int made = 0;
    int result = 1;
    for (; made < count && made < 4; ++made) {
        values[made].l = call.NewString(*args[made]);
        if (values[made].l == nullptr) {
            // Out of Java memory: the OutOfMemoryError is pending.
            call.TakeException();
            result = 0;
            break;
        }
    }
    if (result == 1) {
        env->CallStaticVoidMethodA(call.Class(), call.Method(), values);
        if (call.TakeException()) result = 0;
    }
    for (int i = 0; i < made; ++i) {
        if (values[i].l != nullptr) env->DeleteLocalRef(values[i].l);
    }
    return result;
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
