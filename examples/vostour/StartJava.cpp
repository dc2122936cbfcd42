// Steps 1 and 2: a Java VM with the companion classes, as the application
// process starts it, handed to the library, which then comes up.
#include <jni.h>

#include <string>

#include "ExampleVm.h"
#include "Tour.h"

using namespace _palex_zu;

namespace vostour {

void StartJava(const Options& options) {
    Step("Start a Java VM with the companion classes");
    // The companion classes load libvos.so themselves (System.loadLibrary):
    // StartVm finds one, which proves the class path and java.library.path
    // fit together.
    JNIEnv* jni = nullptr;
    std::string why;
    JavaVM* vm = vosexample::StartVm(options.classPath, options.libPath, jni, why);
    if (vm == nullptr) Fail("%s", why.c_str());
    jint version = jni->GetVersion();
    Say("VM up, JNI %d.%d; class path %s", version >> 16, version & 0xFFFF, options.classPath.c_str());
    Say("com.palex.zu.VMsg loaded; it loaded libvos.so from %s", options.libPath.c_str());

    Step("Hand the VM to the library and bring it up");
    JVMContainer::InitVM(vm);
    if (JVMContainer::GetJVM() != vm) Fail("JVMContainer kept another VM");
    _VosEnv_t vosEnv;
    if (CVVos::GlobalInit(vosEnv) != 1) Fail("CVVos::GlobalInit returned 0");
    Say("JVMContainer::InitVM, then CVVos::GlobalInit on this (VM-attached) thread: library %s is up",
        V_GetVersion());
}

}  // namespace vostour
