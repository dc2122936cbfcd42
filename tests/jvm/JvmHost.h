// The Java VM of a JVM test executable: started once in main with the jar
// and library paths the build hands over (VOS_TEST_CLASSPATH and
// VOS_TEST_LIBPATH), and handed to the library with JVMContainer::InitVM.
#ifndef VOS_TESTS_JVM_JVMHOST_H
#define VOS_TESTS_JVM_JVMHOST_H

#include <jni.h>

#include <functional>

namespace vostest {

JavaVM* Jvm();
// The main thread's environment; the main thread created the VM.
JNIEnv* MainEnv();

// Runs fn on a fresh native thread, unknown to the VM, and waits for it.
void OnNativeThread(const std::function<void()>& fn);

// JNI_OK when the calling thread is attached, JNI_EDETACHED when not.
jint AttachState();

}  // namespace vostest

#endif  // VOS_TESTS_JVM_JVMHOST_H
