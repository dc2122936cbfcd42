// The one JNI helper of the sources that call Java: attaching, pending
// exceptions, scoped local references, the static String call, and the
// companion classes resolved once.
//
// Why the classes are cached: on Android, FindClass on a thread that native
// code attached searches the system class loader, which does not know the
// application's classes. The message bus's start-up, which the host runs on
// a thread Java called into, resolves every class the library calls and keeps
// global references for as long as the library is loaded; any thread then
// uses them, and the method and field IDs looked up on them are kept too. Without that start-up (or for
// a class that was missing then) the class is looked up on the calling
// thread, which works only on threads Java called into.
#ifndef VOS_VSI_ANDROID_VJNIHELPER_H
#define VOS_VSI_ANDROID_VJNIHELPER_H

#include <jni.h>

#include "vos/VDefine.h"

// The attach call's environment slot is a JNIEnv** in the platform header of
// the device and a void** in the desktop JDK's; this keeps the callers alike.
inline jint VJni_AttachCurrentThread(JavaVM* vm, JNIEnv** env) {
#if defined(__ANDROID__)
    return vm->AttachCurrentThread(env, nullptr);
#else
    return vm->AttachCurrentThread(reinterpret_cast<void**>(env), nullptr);
#endif
}

inline jint VJni_GetEnv(JavaVM* vm, JNIEnv** env, jint version) {
    return vm->GetEnv(reinterpret_cast<void**>(env), version);
}

VOS_NAMESPACE_BEGIN

class CVString;

// The classes the library calls.
enum EVJniClass {
    VJNI_CLASS_DEVICE_API,    // com/palex/zu/VDeviceAPI
    VJNI_CLASS_NETWORK_INFO,  // com/palex/zu/VNetworkInfo
    VJNI_CLASS_GPS,           // com/palex/zu/VGps
    VJNI_CLASS_COMPASS,       // com/palex/zu/VCompass
    VJNI_CLASS_MSG,           // com/palex/zu/VMsg
    VJNI_CLASS_SCAN_RESULT,   // android/net/wifi/ScanResult
    VJNI_CLASS_COUNT
};

// The calling thread's environment through JVMContainer::GetEnvironment (a
// thread it attaches is detached when it exits); null without one.
JNIEnv* VJni_Env();

// Describes and clears a pending Java exception; true when there was one.
bool VJni_TakeException(JNIEnv* env);

// Resolves on env's thread, which must be one Java called into, every class
// not resolved yet and keeps a global reference to it while the library is
// loaded; a missing class is cleared and left for a later start-up. A kept
// class is never released: calls on other threads may hold it at any time.
void VJni_ResolveClasses(JNIEnv* env);
// The kept global reference to the class, or null when it was never found.
jclass VJni_Class(EVJniClass which);
// A new local reference to the class: the resolved one, else the one the
// calling thread finds. Null, with no exception pending, when it is missing.
jclass VJni_FindClass(JNIEnv* env, EVJniClass which);
// Member IDs on cls, a reference to the class which; looked up once and kept
// when cls is the kept class (its IDs stay valid while it is loaded), else
// looked up per call. Null, with no exception pending, when missing. name
// and signature are kept as given: pass string literals.
jmethodID VJni_StaticMethodID(JNIEnv* env, EVJniClass which, jclass cls, const char* name, const char* signature);
jfieldID VJni_FieldID(JNIEnv* env, EVJniClass which, jclass cls, const char* name, const char* signature);

// A local reference deleted when the holder goes out of scope.
template <typename T>
class CVJniLocal {
public:
    CVJniLocal(JNIEnv* env, T ref) : m_env(env), m_ref(ref) {}
    ~CVJniLocal() {
        if (m_ref != nullptr) m_env->DeleteLocalRef(m_ref);
    }
    T Get() const { return m_ref; }
    operator T() const { return m_ref; }

private:
    CVJniLocal(const CVJniLocal&);
    CVJniLocal& operator=(const CVJniLocal&);

    JNIEnv* m_env;
    T m_ref;
};

// Calls a static "()Ljava/lang/String;" method. A local reference to the
// string, or null (with no exception pending) when it threw or gave null.
jstring VJni_CallStaticString(JNIEnv* env, jclass cls, jmethodID method);

VOS_NAMESPACE_END

#endif  // VOS_VSI_ANDROID_VJNIHELPER_H
