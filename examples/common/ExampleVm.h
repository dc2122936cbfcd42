// Starting the Java VM an example hosts, the way an application process does:
// the companion classes on the class path and the library's folder on
// java.library.path, so that the classes can load libvos.so themselves.
#ifndef VOS_EXAMPLES_COMMON_EXAMPLEVM_H
#define VOS_EXAMPLES_COMMON_EXAMPLEVM_H

#include <jni.h>

#include <string>

namespace vosexample {

// Starts a VM and checks that com.palex.zu.VMsg loads (which proves the class
// path and the library path fit together). Returns the VM and sets env to the
// calling thread's environment; on failure returns nullptr and says why.
JavaVM* StartVm(const std::string& classPath, const std::string& libPath, JNIEnv*& env, std::string& why);

}  // namespace vosexample

#endif  // VOS_EXAMPLES_COMMON_EXAMPLEVM_H
