/// @file
/// JVM bridge: the one Java VM of the process, a JNI environment for the
/// calling thread, method lookups that never leave an exception pending, and
/// the copy of a Java string into a CVString.
///
/// The host hands the VM in once with JVMContainer::InitVM before any other
/// part of the library calls Java. GetEnvironment attaches a thread the VM
/// does not know yet and never detaches it; an environment is valid only on
/// the thread that obtained it. JVMContainer, GetMethodID and
/// GetStaticMethodID are global, outside the library namespace.
#ifndef VOS_VJNI_H
#define VOS_VJNI_H

#include <jni.h>

#include "vos/VDefine.h"

/// Holder of the process's Java VM: static members only.
class VOS_API JVMContainer {
public:
    /// Records vm unless a VM is recorded already: the first call wins.
    static void InitVM(JavaVM* vm);
    /// The recorded VM, or null before InitVM.
    static JavaVM* GetJVM();
    /// Attaches the calling thread if needed and hands out its environment;
    /// returns the VM's status (0 on success, negative on failure). Without a
    /// VM it returns 0 and leaves *env untouched, so callers preset it to null.
    static int GetEnvironment(JNIEnv** env);

    /// The recorded VM, or null.
    static JavaVM* global_JVM;
};

/** @name Method lookups */
///@{
/// Method lookups that describe and clear the exception a failed lookup
/// raises; null for a null env or class, or when the method is missing.
VOS_API jmethodID GetMethodID(JNIEnv* env, jclass cls, const char* name, const char* signature);
VOS_API jmethodID GetStaticMethodID(JNIEnv* env, jclass cls, const char* name, const char* signature);
///@}

/** @name Entry point of the Android companion class com.palex.zu.Vos */
///@{
/// Vos.init(Context) calls nativeInit on the thread that runs it (the main
/// thread, from Application.onCreate): it records the calling VM with
/// JVMContainer::InitVM and makes the first CVVos::GlobalInit there, so the
/// companion classes are resolved through the application's class loader.
/// JNI_TRUE when the library is up. Vos.shutdown() calls nativeShutdown,
/// which makes the matching CVVos::GlobalUnInit. A host that hands the VM in
/// itself does not need them.
extern "C" VOS_API jboolean JNICALL Java_com_palex_zu_Vos_nativeInit(JNIEnv* env, jclass cls);
extern "C" VOS_API void JNICALL Java_com_palex_zu_Vos_nativeShutdown(JNIEnv* env, jclass cls);
///@}

VOS_NAMESPACE_BEGIN

class CVString;

/// Copies the UTF-16 units of s into out unit for unit, embedded zero units
/// included; a null s leaves out empty.
VOS_API void convertJStringToCVString(JNIEnv* env, jstring s, CVString& out);

VOS_NAMESPACE_END

#endif  // VOS_VJNI_H
