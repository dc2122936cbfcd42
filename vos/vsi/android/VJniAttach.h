// The attach call's environment slot is a JNIEnv** in the platform header of
// the device and a void** in the desktop JDK's; this keeps the callers alike.
#ifndef VOS_VSI_ANDROID_VJNIATTACH_H
#define VOS_VSI_ANDROID_VJNIATTACH_H

#include <jni.h>

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

#endif  // VOS_VSI_ANDROID_VJNIATTACH_H
