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

// Global references to the classes, each made once by the first start-up
// that finds the class and kept while the library is loaded: a class does
// not change for the life of the VM, and any thread may be in a call that
// holds one (a timer posting, a device query) while the host stops the
// library. They are not deleted at unload either: the VM may be gone by
// then, and its references go with it.
jclass s_classes[_palex_zu::VJNI_CLASS_COUNT];

// Member IDs looked up on the kept classes, which stay valid while the
// class is loaded: each is looked up once, not per call. Slots are claimed
// once and never reused; a full table only means later lookups are not kept.
enum EVJniMemberKind { VJNI_MEMBER_STATIC_METHOD, VJNI_MEMBER_FIELD };

struct tagVJniMember {
    int32_t nState;  // 0 free, 1 being filled, 2 ready
    int32_t nClass;
    int32_t nKind;
    const char* pszName;
    const char* pszSignature;
    void* pId;
};

const int kMemberSlots = 64;
tagVJniMember s_members[kMemberSlots];

void* FindMember(int which, int kind, const char* name, const char* signature) {
    for (int i = 0; i < kMemberSlots; ++i) {
        const int32_t state = __atomic_load_n(&s_members[i].nState, __ATOMIC_ACQUIRE);
        if (state == 0) return nullptr;  // slots are claimed in order
        const tagVJniMember& m = s_members[i];
        if (state == 2 && m.nClass == which && m.nKind == kind && strcmp(m.pszName, name) == 0 &&
            strcmp(m.pszSignature, signature) == 0) {
            return m.pId;
        }
    }
    return nullptr;
}

void KeepMember(int which, int kind, const char* name, const char* signature, void* id) {
    for (int i = 0; i < kMemberSlots; ++i) {
        int32_t expected = 0;
        if (!__atomic_compare_exchange_n(&s_members[i].nState, &expected, 1, false, __ATOMIC_ACQ_REL,
                                         __ATOMIC_ACQUIRE)) {
            continue;
        }
        tagVJniMember& m = s_members[i];
        m.nClass = which;
        m.nKind = kind;
        m.pszName = name;
        m.pszSignature = signature;
        m.pId = id;
        __atomic_store_n(&m.nState, 2, __ATOMIC_RELEASE);
        return;
    }
}

// The kept class when cls is that very class, else null: IDs are kept only
// for the kept classes, whose IDs cannot go stale.
jclass KeptClass(JNIEnv* env, _palex_zu::EVJniClass which, jclass cls) {
    jclass kept = __atomic_load_n(&s_classes[which], __ATOMIC_ACQUIRE);
    if (kept == nullptr || cls == nullptr || !env->IsSameObject(kept, cls)) return nullptr;
    return kept;
}

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
    for (int i = 0; i < VJNI_CLASS_COUNT; ++i) {
        if (__atomic_load_n(&s_classes[i], __ATOMIC_ACQUIRE) != nullptr) continue;
        jclass local = env->FindClass(kClassNames[i]);
        if (local == nullptr) {
            // Not an error yet: only the calls that need the class fail, and
            // they report it when they look it up themselves.
            env->ExceptionClear();
            continue;
        }
        jclass global = static_cast<jclass>(env->NewGlobalRef(local));
        env->DeleteLocalRef(local);
        jclass expected = nullptr;
        // A start-up racing on another thread may have kept the class first.
        if (global != nullptr && !__atomic_compare_exchange_n(&s_classes[i], &expected, global, false,
                                                              __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
            env->DeleteGlobalRef(global);
        }
    }
}

jclass VJni_Class(EVJniClass which) { return __atomic_load_n(&s_classes[which], __ATOMIC_ACQUIRE); }

jmethodID VJni_StaticMethodID(JNIEnv* env, EVJniClass which, jclass cls, const char* name, const char* signature) {
    if (KeptClass(env, which, cls) == nullptr) return GetStaticMethodID(env, cls, name, signature);
    void* kept = FindMember(which, VJNI_MEMBER_STATIC_METHOD, name, signature);
    if (kept != nullptr) return static_cast<jmethodID>(kept);
    jmethodID id = GetStaticMethodID(env, cls, name, signature);
    if (id != nullptr) KeepMember(which, VJNI_MEMBER_STATIC_METHOD, name, signature, id);
    return id;
}

jfieldID VJni_FieldID(JNIEnv* env, EVJniClass which, jclass cls, const char* name, const char* signature) {
    if (cls == nullptr) return nullptr;
    const bool keep = KeptClass(env, which, cls) != nullptr;
    void* kept = keep ? FindMember(which, VJNI_MEMBER_FIELD, name, signature) : nullptr;
    if (kept != nullptr) return static_cast<jfieldID>(kept);
    jfieldID id = env->GetFieldID(cls, name, signature);
    // A missing field raises NoSuchFieldError, taken here like a method's.
    if (id == nullptr) VJni_TakeException(env);
    if (id != nullptr && keep) KeepMember(which, VJNI_MEMBER_FIELD, name, signature, id);
    return id;
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
