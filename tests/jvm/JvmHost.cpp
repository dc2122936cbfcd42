#include "JvmHost.h"

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <thread>

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

}  // namespace vostest

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::string classPath = "-Djava.class.path=" + vostest::FromEnv("VOS_TEST_CLASSPATH");
    std::string libPath = "-Djava.library.path=" + vostest::FromEnv("VOS_TEST_LIBPATH");
    JavaVMOption options[3];
    options[0].optionString = const_cast<char*>(classPath.c_str());
    options[1].optionString = const_cast<char*>(libPath.c_str());
    // Lets the VM itself catch misuse of JNI by the library.
    options[2].optionString = const_cast<char*>("-Xcheck:jni");
    JavaVMInitArgs args;
    args.version = JNI_VERSION_1_8;
    args.nOptions = 3;
    args.options = options;
    args.ignoreUnrecognized = JNI_FALSE;
    void* env = nullptr;
    if (JNI_CreateJavaVM(&vostest::g_vm, &env, &args) != JNI_OK) {
        fprintf(stderr, "cannot start the Java VM\n");
        return 2;
    }
    vostest::g_env = static_cast<JNIEnv*>(env);
    JVMContainer::InitVM(vostest::g_vm);
    return RUN_ALL_TESTS();
}
