// The Java VM of a JVM test executable, hosted the way an Android application
// hosts it. The VM's own class path is empty: the jars the build hands over
// (VOS_TEST_CLASSPATH) are loaded through a class loader of the test's own,
// and the tests run inside the native method of the boot class
// vostest.AppBoot loaded through it, which also hands the VM to the library
// with JVMContainer::InitVM, as an application's library-load hook does. So
// FindClass finds the companion classes on the main thread and on Java
// threads, and fails on threads that native code attached, as on a device.
// The library (VOS_TEST_LIBPATH) is bound by the companion classes. When the
// tests end, the main thread destroys the VM before the process exits.
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

// The VM's live thread count (ThreadMXBean), read on the main thread.
int LiveJavaThreads();

}  // namespace vostest

#endif  // VOS_TESTS_JVM_JVMHOST_H
