// The entry point of the companion class com.palex.zu.Vos: an application
// brings the library up from Java, on the thread Java called in on, so that
// the message bus's start-up resolves the companion classes through the
// application's class loader.
#include <jni.h>

#include "vos/VJni.h"
#include "vos/VVos.h"

using _palex_zu::CVVos;
using _palex_zu::_VosEnv_t;

extern "C" VOS_API jboolean JNICALL Java_com_palex_zu_Vos_nativeInit(JNIEnv* env, jclass) {
    JavaVM* vm = nullptr;
    if (env == nullptr || env->GetJavaVM(&vm) != JNI_OK || vm == nullptr) {
        return JNI_FALSE;
    }
    JVMContainer::InitVM(vm);
    _VosEnv_t vosEnv;
    return CVVos::GlobalInit(vosEnv) ? JNI_TRUE : JNI_FALSE;
}

extern "C" VOS_API void JNICALL Java_com_palex_zu_Vos_nativeShutdown(JNIEnv*, jclass) {
    CVVos::GlobalUnInit();
}
