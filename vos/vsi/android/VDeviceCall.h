// One call of a static method of the Java class com.palex.zu.VDeviceAPI:
// the calling thread's environment, the class and the method, found in the
// constructor and released in the destructor. Shared by the CVUtils classes.
#ifndef VOS_VSI_ANDROID_VDEVICECALL_H
#define VOS_VSI_ANDROID_VDEVICECALL_H

#include <jni.h>

#include "vos/VDefine.h"
#include "vos/VString.h"
#include "vsi/android/VJniHelper.h"

VOS_NAMESPACE_BEGIN

class CVDeviceCall {
public:
    CVDeviceCall(const char* name, const char* signature);
    ~CVDeviceCall();

    // True when the environment, the class and the method were all found.
    bool IsReady() const { return m_method != nullptr; }
    JNIEnv* Env() const { return m_env; }
    jclass Class() const { return m_class; }
    jmethodID Method() const { return m_method; }

    // Describes and clears a pending Java exception; true when there was one.
    bool TakeException() const { return VJni_TakeException(m_env); }
    // A Java string of the units of s as they are; null when s is empty and
    // the string cannot be made.
    jstring NewString(const CVString& s) const;

private:
    CVDeviceCall(const CVDeviceCall&);
    CVDeviceCall& operator=(const CVDeviceCall&);

    JNIEnv* m_env;
    jclass m_class;
    jmethodID m_method;
};

// The Java strings of up to four CVString arguments of one call, made from
// their units as they are and deleted with the holder.
class CVDeviceStringArgs {
public:
    CVDeviceStringArgs(const CVDeviceCall& call, const CVString* const* strings, int count);
    ~CVDeviceStringArgs();

    // False when a string could not be made (the OutOfMemoryError is taken).
    bool IsReady() const { return m_nMade == m_nCount; }
    const jvalue* Values() const { return m_values; }

private:
    CVDeviceStringArgs(const CVDeviceStringArgs&);
    CVDeviceStringArgs& operator=(const CVDeviceStringArgs&);

    JNIEnv* m_env;
    jvalue m_values[4];
    int m_nCount;
    int m_nMade;
};

// Calls a "()Ljava/lang/String;" method; 1 with out replaced, or 0 with out
// unchanged when the method is missing, throws or returns null.
int VDevice_GetString(const char* name, CVString& out);

// Calls a "()V" method or one that takes the given strings; 1 after the call,
// 0 when the method is missing.
int VDevice_CallWithStrings(const char* name, const char* signature, const CVString* const* args, int count);

VOS_NAMESPACE_END

#endif  // VOS_VSI_ANDROID_VDEVICECALL_H
