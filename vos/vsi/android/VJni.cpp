#include "vos/VJni.h"

#include <pthread.h>
#include <string.h>

#include "vos/VString.h"
#include "vsi/android/VJniHelper.h"

JavaVM* JVMContainer::global_JVM = nullptr;

namespace {

// Threads the library attached, detached when they exit: a native thread that
// ends while still attached makes Android abort the process.
pthread_key_t s_detachKey;
pthread_once_t s_detachKeyOnce = PTHREAD_ONCE_INIT;
bool s_haveDetachKey = false;

void DetachAtThreadExit(void* value) {
    JavaVM* vm = static_cast<JavaVM*>(value);
    JNIEnv* env = nullptr;
    // Its owner may have detached the thread already.
    if (VJni_GetEnv(vm, &env, JNI_VERSION_1_4) == JNI_OK) vm->DetachCurrentThread();
}

void CreateDetachKey() { s_haveDetachKey = pthread_key_create(&s_detachKey, DetachAtThreadExit) == 0; }

void DetachWhenThreadExits(JavaVM* vm) {
    pthread_once(&s_detachKeyOnce, CreateDetachKey);
    if (s_haveDetachKey) pthread_setspecific(s_detachKey, vm);
}

const char* const kClassNames[_palex_zu::VJNI_CLASS_COUNT] = {
    "com/palex/zu/VDeviceAPI", "com/palex/zu/VNetworkInfo", "com/palex/zu/VGps",
    "com/palex/zu/VCompass",   "com/palex/zu/VMsg",         "android/net/wifi/ScanResult",
};

// Global references, written at start-up and shut-down, read by any thread.
jclass s_classes[_palex_zu::VJNI_CLASS_COUNT];

}  // namespace

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
    // A thread the VM knows already (a Java thread, one its owner attached, or
    // one attached here before) keeps its attachment as it is.
    JNIEnv* known = nullptr;
    if (VJni_GetEnv(vm, &known, JNI_VERSION_1_4) == JNI_OK && known != nullptr) {
        *env = known;
        return JNI_OK;
    }
    const jint status = VJni_AttachCurrentThread(vm, env);
    if (status == JNI_OK) DetachWhenThreadExits(vm);
    return status;
}

jmethodID GetMethodID(JNIEnv* env, jclass cls, const char* name, const char* signature) {
    if (env == nullptr || cls == nullptr) return nullptr;
    jmethodID id = env->GetMethodID(cls, name, signature);
    // A failed lookup raises NoSuchMethodError; leaving it pending would make
    // the caller's next JNI call undefined.
    _palex_zu::VJni_TakeException(env);
    return id;
}

jmethodID GetStaticMethodID(JNIEnv* env, jclass cls, const char* name, const char* signature) {
    if (env == nullptr || cls == nullptr) return nullptr;
    jmethodID id = env->GetStaticMethodID(cls, name, signature);
    _palex_zu::VJni_TakeException(env);
    return id;
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

JNIEnv* VJni_Env() {
    JNIEnv* env = nullptr;
    if (JVMContainer::GetEnvironment(&env) != JNI_OK) return nullptr;
    return env;
}

bool VJni_TakeException(JNIEnv* env) {
    if (!env->ExceptionCheck()) return false;
    env->ExceptionDescribe();
    env->ExceptionClear();
    return true;
}

void VJni_ResolveClasses(JNIEnv* env) {
    VJni_ReleaseClasses();
    for (int i = 0; i < VJNI_CLASS_COUNT; ++i) {
        jclass local = env->FindClass(kClassNames[i]);
        if (local == nullptr) {
            // Not an error yet: only the calls that need the class fail, and
            // they report it when they look it up themselves.
            env->ExceptionClear();
            continue;
        }
        jclass global = static_cast<jclass>(env->NewGlobalRef(local));
        env->DeleteLocalRef(local);
        __atomic_store_n(&s_classes[i], global, __ATOMIC_RELEASE);
    }
}

void VJni_ReleaseClasses() {
    JNIEnv* env = nullptr;
    for (int i = 0; i < VJNI_CLASS_COUNT; ++i) {
        jclass global = __atomic_exchange_n(&s_classes[i], static_cast<jclass>(nullptr), __ATOMIC_ACQ_REL);
        if (global == nullptr) continue;
        // Only a thread that has something to release is attached for it.
        if (env == nullptr) env = VJni_Env();
        if (env != nullptr) env->DeleteGlobalRef(global);
    }
}

jclass VJni_FindClass(JNIEnv* env, EVJniClass which) {
    jclass resolved = __atomic_load_n(&s_classes[which], __ATOMIC_ACQUIRE);
    if (resolved != nullptr) return static_cast<jclass>(env->NewLocalRef(resolved));
    jclass found = env->FindClass(kClassNames[which]);
    if (found == nullptr) VJni_TakeException(env);
    return found;
}

jstring VJni_CallStaticString(JNIEnv* env, jclass cls, jmethodID method) {
    jstring value = static_cast<jstring>(env->CallStaticObjectMethod(cls, method));
    if (!VJni_TakeException(env)) return value;
    if (value != nullptr) env->DeleteLocalRef(value);
    return nullptr;
}

VOS_NAMESPACE_END
