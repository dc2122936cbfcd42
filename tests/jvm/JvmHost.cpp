#include "JvmHost.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "vos/vos.h"

namespace vostest {

namespace {
JavaVM* g_vm = nullptr;
JNIEnv* g_env = nullptr;

std::string FromEnv(const char* name) {
    const char* value = getenv(name);
    return value ? value : "";
}

// True when the last call raised nothing; a raised exception is printed.
bool Ok(JNIEnv* env) {
    if (!env->ExceptionCheck()) return true;
    env->ExceptionDescribe();
    env->ExceptionClear();
    return false;
}

// A URL of the file path, through java.io.File.toURI().toURL().
jobject FileUrl(JNIEnv* env, const std::string& path) {
    jclass file = env->FindClass("java/io/File");
    jclass uri = env->FindClass("java/net/URI");
    jmethodID make = env->GetMethodID(file, "<init>", "(Ljava/lang/String;)V");
    jmethodID toUri = env->GetMethodID(file, "toURI", "()Ljava/net/URI;");
    jmethodID toUrl = env->GetMethodID(uri, "toURL", "()Ljava/net/URL;");
    jstring name = env->NewStringUTF(path.c_str());
    jobject f = env->NewObject(file, make, name);
    jobject u = Ok(env) ? env->CallObjectMethod(f, toUri) : nullptr;
    jobject url = u != nullptr && Ok(env) ? env->CallObjectMethod(u, toUrl) : nullptr;
    if (!Ok(env)) url = nullptr;
    for (jobject local : {static_cast<jobject>(file), static_cast<jobject>(uri), static_cast<jobject>(name), f, u}) {
        if (local != nullptr) env->DeleteLocalRef(local);
    }
    return url;
}

// A java.net.URLClassLoader over the ':'-separated jars of classPath, whose
// parent is the system class loader: the application's loader.
jobject NewAppLoader(JNIEnv* env, const std::string& classPath) {
    std::vector<std::string> jars;
    for (size_t start = 0; start <= classPath.size();) {
        size_t end = classPath.find(':', start);
        if (end == std::string::npos) end = classPath.size();
        if (end > start) jars.push_back(classPath.substr(start, end - start));
        start = end + 1;
    }
    jclass urlClass = env->FindClass("java/net/URL");
    jobjectArray urls = env->NewObjectArray(static_cast<jsize>(jars.size()), urlClass, nullptr);
    env->DeleteLocalRef(urlClass);
    for (size_t i = 0; i < jars.size(); ++i) {
        jobject url = FileUrl(env, jars[i]);
        if (url == nullptr) return nullptr;
        env->SetObjectArrayElement(urls, static_cast<jsize>(i), url);
        env->DeleteLocalRef(url);
    }
    jclass loaderClass = env->FindClass("java/net/URLClassLoader");
    jmethodID make = env->GetMethodID(loaderClass, "<init>", "([Ljava/net/URL;)V");
    jobject loader = env->NewObject(loaderClass, make, urls);
    if (!Ok(env)) loader = nullptr;
    env->DeleteLocalRef(loaderClass);
    env->DeleteLocalRef(urls);
    return loader;
}

jclass LoadClass(JNIEnv* env, jobject loader, const char* name) {
    jclass loaderClass = env->GetObjectClass(loader);
    jmethodID load = env->GetMethodID(loaderClass, "loadClass", "(Ljava/lang/String;)Ljava/lang/Class;");
    jstring className = env->NewStringUTF(name);
    jobject cls = env->CallObjectMethod(loader, load, className);
    if (!Ok(env)) cls = nullptr;
    env->DeleteLocalRef(className);
    env->DeleteLocalRef(loaderClass);
    return static_cast<jclass>(cls);
}

// vostest.AppBoot.run: the native method the tests run in.
jint JNICALL RunBody(JNIEnv* /*env*/, jclass /*cls*/, jlong body) {
    return (*reinterpret_cast<std::function<int()>*>(static_cast<intptr_t>(body)))();
}

}  // namespace

JavaVM* Jvm() { return g_vm; }
JNIEnv* MainEnv() { return g_env; }

void OnNativeThread(const std::function<void()>& fn) {
    std::thread t(fn);
    t.join();
}

jint AttachState() {
    JNIEnv* env = nullptr;
    return g_vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_4);
}

int LiveJavaThreads() {
    JNIEnv* env = g_env;
    jclass factory = env->FindClass("java/lang/management/ManagementFactory");
    jclass beanClass = env->FindClass("java/lang/management/ThreadMXBean");
    jmethodID get = env->GetStaticMethodID(factory, "getThreadMXBean", "()Ljava/lang/management/ThreadMXBean;");
    jmethodID count = env->GetMethodID(beanClass, "getThreadCount", "()I");
    jobject bean = env->CallStaticObjectMethod(factory, get);
    jint n = bean != nullptr && Ok(env) ? env->CallIntMethod(bean, count) : -1;
    if (!Ok(env)) n = -1;
    if (bean != nullptr) env->DeleteLocalRef(bean);
    env->DeleteLocalRef(beanClass);
    env->DeleteLocalRef(factory);
    return n;
}

}  // namespace vostest

namespace {

// Loads vostest.AppBoot through the application's class loader and runs the
// tests inside its native method; the process's exit code.
int RunTestsInVm(JNIEnv* env) {
    jobject loader = vostest::NewAppLoader(env, vostest::FromEnv("VOS_TEST_CLASSPATH"));
    jclass boot = loader != nullptr ? vostest::LoadClass(env, loader, "vostest.AppBoot") : nullptr;
    if (boot == nullptr) {
        fprintf(stderr, "cannot load vostest.AppBoot through the application's class loader\n");
        return 2;
    }
    JNINativeMethod run = {const_cast<char*>("run"), const_cast<char*>("(J)I"),
                           reinterpret_cast<void*>(vostest::RunBody)};
    jmethodID runId = env->GetStaticMethodID(boot, "run", "(J)I");
    if (runId == nullptr || env->RegisterNatives(boot, &run, 1) != JNI_OK) {
        vostest::Ok(env);
        fprintf(stderr, "cannot bind vostest.AppBoot.run\n");
        return 2;
    }
    std::function<int()> body = [] {
        // What an application's library-load hook does.
        JVMContainer::InitVM(vostest::g_vm);
        return RUN_ALL_TESTS();
    };
    const jint result = env->CallStaticIntMethod(boot, runId, static_cast<jlong>(reinterpret_cast<intptr_t>(&body)));
    if (!vostest::Ok(env)) return 2;
    return result;
}

// Registered once the VM runs, so it runs at exit before the static
// destructors of libjvm.so, which were registered when it was loaded.
void WarnIfVmRunsAtExit() {
    JavaVM* vm = nullptr;
    jsize count = 0;
    if (JNI_GetCreatedJavaVMs(&vm, 1, &count) == JNI_OK && count != 0) {
        fprintf(stderr, "WARNING: the Java VM still runs at exit\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::string libPath = "-Djava.library.path=" + vostest::FromEnv("VOS_TEST_LIBPATH");
    JavaVMOption options[2];
    options[0].optionString = const_cast<char*>(libPath.c_str());
    // Lets the VM itself catch misuse of JNI; the test run fails on its
    // warnings.
    options[1].optionString = const_cast<char*>("-Xcheck:jni");
    JavaVMInitArgs args;
    args.version = JNI_VERSION_1_8;
    args.nOptions = 2;
    args.options = options;
    args.ignoreUnrecognized = JNI_FALSE;
    void* started = nullptr;
    if (JNI_CreateJavaVM(&vostest::g_vm, &started, &args) != JNI_OK) {
        fprintf(stderr, "cannot start the Java VM\n");
        return 2;
    }
    atexit(WarnIfVmRunsAtExit);
    vostest::g_env = static_cast<JNIEnv*>(started);
    const int result = RunTestsInVm(vostest::g_env);
    // The VM ends before main returns. exit() runs the static destructors of
    // libjvm.so, among them the one that frees the VM's record of the signal
    // handlers it installed; a VM still running then goes on with the
    // periodic signal check of -Xcheck:jni from its watcher thread, reads the
    // freed record and prints "Warning: SIGSEGV handler modified!" although no
    // handler changed (seen under qemu, where exit takes longer).
    if (vostest::g_vm->DestroyJavaVM() != JNI_OK) {
        fprintf(stderr, "cannot destroy the Java VM\n");
        return 2;
    }
    return result;
}
