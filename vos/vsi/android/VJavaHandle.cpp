#include "vsi/android/VJavaHandle.h"

#include <string.h>

#include "vos/VException.h"
#include "vos/VMem.h"

VOS_NAMESPACE_BEGIN

const char kDeviceModuleTag[] = "zu/vos/vsi/CVDeviceAPI";

void VDevice_RecordError(const char* message, const char* file, unsigned int line) {
    CVException::SetLastError(const_cast<char*>(message), kDeviceModuleTag, file, line);
}

_VJavaHandle_t* VJavaHandle_Allocate() {
    void* block = CVMem::Allocate(sizeof(_VJavaHandle_t), __FILE__, __LINE__);
    if (block == nullptr) return nullptr;
    memset(block, 0, sizeof(_VJavaHandle_t));
    return static_cast<_VJavaHandle_t*>(block);
}

const char* VJavaHandle_Fill(JNIEnv* env, _VJavaHandle_t* handle, EVJniClass which,
                             const char* lifecycleSignature) {
    // A failed lookup leaves its error pending; it is cleared at once so that
    // the clean-up calls that follow run on a sound environment.
    {
        CVJniLocal<jclass> cls(env, VJni_FindClass(env, which));
        if (cls != nullptr) handle->cls = static_cast<jclass>(env->NewGlobalRef(cls));
    }
    if (handle->cls == nullptr) {
        VJni_TakeException(env);
        return "Error:cannot create cls";
    }
    handle->constructMethod = env->GetMethodID(handle->cls, "<init>", "()V");
    if (handle->constructMethod == nullptr) {
        VJni_TakeException(env);
        return "Error:cannot create constructMethod";
    }
    {
        CVJniLocal<jobject> obj(env, env->NewObject(handle->cls, handle->constructMethod));
        if (obj != nullptr && !env->ExceptionCheck()) handle->obj = env->NewGlobalRef(obj);
    }
    if (handle->obj == nullptr) {
        VJni_TakeException(env);
        return "Error:cannot create obj";
    }
    handle->initMethod = env->GetMethodID(handle->cls, "init", lifecycleSignature);
    if (handle->initMethod == nullptr) {
        VJni_TakeException(env);
        return "Error:cannot create initMethod";
    }
    handle->unInitMethod = env->GetMethodID(handle->cls, "unInit", lifecycleSignature);
    if (handle->unInitMethod == nullptr) {
        VJni_TakeException(env);
        return "Error:cannot create uninitMethod";
    }
    handle->jniDataField = env->GetFieldID(handle->cls, "mJniData", "I");
    if (handle->jniDataField == nullptr) {
        VJni_TakeException(env);
        return "Error:cannot create jniDataField";
    }
    return nullptr;
}

void VJavaHandle_Release(JNIEnv* env, _VJavaHandle_t* handle) {
    if (handle == nullptr) return;
    if (env != nullptr) {
        if (handle->cls != nullptr) env->DeleteGlobalRef(handle->cls);
        if (handle->obj != nullptr) env->DeleteGlobalRef(handle->obj);
    }
    CVMem::Deallocate(handle);
}

VOS_NAMESPACE_END
