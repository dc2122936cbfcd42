#include "vos/VJni.h"

#include <string.h>

#include "vos/VString.h"
#include "vsi/android/VJniAttach.h"

JavaVM* JVMContainer::global_JVM = nullptr;

void JVMContainer::InitVM(JavaVM* vm) {
    // The first VM handed in stays for the life of the process; a racing
    // second caller must not overwrite it, hence the compare-and-swap.
    if (vm == nullptr) return;
    JavaVM* expected = nullptr;
    __atomic_compare_exchange_n(&global_JVM, &expected, vm, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
}

JavaVM* JVMContainer::GetJVM() {
    return __atomic_load_n(&global_JVM, __ATOMIC_ACQUIRE);
}

int JVMContainer::GetEnvironment(JNIEnv** env) {
    JavaVM* vm = GetJVM();
    if (vm == nullptr) return 0;
    return VJni_AttachCurrentThread(vm, env);
}

// A failed lookup raises NoSuchMethodError; leaving it pending would make the
// caller's next JNI call undefined.
static jmethodID VJni_ClearLookupFailure(JNIEnv* env, jmethodID id) {
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        env->ExceptionClear();
    }
    return id;
}

jmethodID GetMethodID(JNIEnv* env, jclass cls, const char* name, const char* signature) {
    if (env == nullptr || cls == nullptr) return nullptr;
    return VJni_ClearLookupFailure(env, env->GetMethodID(cls, name, signature));
}

jmethodID GetStaticMethodID(JNIEnv* env, jclass cls, const char* name, const char* signature) {
    if (env == nullptr || cls == nullptr) return nullptr;
    return VJni_ClearLookupFailure(env, env->GetStaticMethodID(cls, name, signature));
}

VOS_NAMESPACE_BEGIN

void convertJStringToCVString(JNIEnv* env, jstring s, CVString& out) {
    out.Empty();
    if (env == nullptr || s == nullptr) return;
    const jchar* chars = env->GetStringChars(s, nullptr);
    const jsize length = env->GetStringLength(s);
    if (chars == nullptr) return;
    out.GetBufferSetLength(length);
    if (out.GetLength() == length && length > 0) {
        memcpy(out.GetBuffer(0), chars, static_cast<size_t>(length) * 2);
    }
    env->ReleaseStringChars(s, chars);
}

VOS_NAMESPACE_END
