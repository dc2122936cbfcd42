#include "ExampleVm.h"

namespace vosexample {

JavaVM* StartVm(const std::string& classPath, const std::string& libPath, JNIEnv*& env, std::string& why) {
    std::string classOption = "-Djava.class.path=" + classPath;
    std::string libOption = "-Djava.library.path=" + libPath;
    JavaVMOption options[2];
    options[0].optionString = &classOption[0];
    options[1].optionString = &libOption[0];
    JavaVMInitArgs args;
    args.version = JNI_VERSION_1_8;
    args.nOptions = 2;
    args.options = options;
    args.ignoreUnrecognized = JNI_FALSE;
    JavaVM* vm = nullptr;
    void* created = nullptr;
    if (JNI_CreateJavaVM(&vm, &created, &args) != JNI_OK) {
        why = "JNI_CreateJavaVM refused to start a VM";
        return nullptr;
    }
    env = static_cast<JNIEnv*>(created);
    jclass msgClass = env->FindClass("com/palex/zu/VMsg");
    if (msgClass == nullptr) {
        env->ExceptionDescribe();
        env->ExceptionClear();
        why = "com.palex.zu.VMsg not loadable from " + classPath + " with libvos.so from " + libPath;
        return nullptr;
    }
    env->DeleteLocalRef(msgClass);
    return vm;
}

}  // namespace vosexample
