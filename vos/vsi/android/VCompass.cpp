#include "vos/VCompass.h"

#include "vos/VJni.h"
#include "vos/VThread.h"
#include "vos/VTime.h"
#include "vbase/VLockGuard.h"
#include "vbase/VProcessLock.h"
#include "vsi/android/VJavaHandle.h"

VOS_NAMESPACE_BEGIN

_VJavaHandle_t* CVCompass::m_hHandle = nullptr;
tagCompassInfo CVCompass::m_CompassInfo = {0, 0, 0};
int CVCompass::m_bHaveCompass = 1;

CVMutex CVCompass::m_infoMutex;

namespace {
// Readings are written on a Java thread while any thread polls; the lock is
// made usable on first use, since a reading may come before the first Init.
CVProcessLock s_infoLock(CVCompass::m_infoMutex, nullptr);
}  // namespace

static _VJavaHandle_t* VCompass_Handle() { return __atomic_load_n(&CVCompass::m_hHandle, __ATOMIC_ACQUIRE); }
static void VCompass_SetHandle(_VJavaHandle_t* handle) {
    __atomic_store_n(&CVCompass::m_hHandle, handle, __ATOMIC_RELEASE);
}

int CVCompass::Init() {
    if (VCompass_Handle() != nullptr) return 1;
    m_bHaveCompass = 1;
    JNIEnv* env = VJni_Env();
    if (env == nullptr) {
        VDevice_RecordError("Error:cannot get Env", __FILE__, __LINE__);
        return 0;
    }
    _VJavaHandle_t* handle = VJavaHandle_Allocate();
    if (handle == nullptr) {
        VDevice_RecordError("Error:cannot create m_hHandle", __FILE__, __LINE__);
        return 0;
    }
    VCompass_SetHandle(handle);
    const char* failure = VJavaHandle_Fill(env, handle, VJNI_CLASS_COMPASS, "()V");
    if (failure != nullptr) {
        // A record whose object can be stopped goes through UnInit; one that
        // cannot is released here, so that no half-made record stays behind
        // and a later Init starts afresh.
        if (handle->obj != nullptr && handle->unInitMethod != nullptr) {
            UnInit();
        } else {
            m_bHaveCompass = 0;
            VCompass_SetHandle(nullptr);
            VJavaHandle_Release(env, handle);
        }
        VDevice_RecordError(failure, __FILE__, __LINE__);
        return 0;
    }
    // A reading kept from an earlier run is not one of this compass's.
    {
        CVLockGuard<CVMutex> lock(s_infoLock);
        m_CompassInfo = tagCompassInfo{0, 0, 0};
    }
    env->SetIntField(handle->obj, handle->jniDataField, 0);
    env->CallVoidMethod(handle->obj, handle->initMethod);
    VJni_TakeException(env);
    return 1;
}

int CVCompass::UnInit() {
    m_bHaveCompass = 0;
    JNIEnv* env = VJni_Env();
    if (env == nullptr) {
        VDevice_RecordError("Error:cannot get Env", __FILE__, __LINE__);
        return 0;
    }
    _VJavaHandle_t* handle = VCompass_Handle();
    if (handle == nullptr) return 1;
    if (handle->obj == nullptr || handle->unInitMethod == nullptr) {
        VDevice_RecordError("Error:m_hHandle->obj didnot created or m_hHandle->unInitMethod didnot created",
                            __FILE__, __LINE__);
        return 0;
    }
    if (handle->jniDataField != nullptr) env->SetIntField(handle->obj, handle->jniDataField, 0);
    env->CallVoidMethod(handle->obj, handle->unInitMethod);
    VJni_TakeException(env);
    VCompass_SetHandle(nullptr);
    VJavaHandle_Release(env, handle);
    return 1;
}

int CVCompass::IsHaveCompassSensor() { return 1; }

int CVCompass::GetCompassInfo(tagCompassInfo& info) {
    CVLockGuard<CVMutex> lock(s_infoLock);
    if (VCompass_Handle() == nullptr) return 0;
    info = m_CompassInfo;
    return 1;
}

void CVCompass::SetCompassInfo(const tagCompassInfo& info) {
    CVLockGuard<CVMutex> lock(s_infoLock);
    if (VCompass_Handle() != nullptr) m_CompassInfo = info;
}

VOS_NAMESPACE_END

void Java_com_palex_zu_VCompass_updateCompass(JNIEnv* /*env*/, jobject /*obj*/, jint value) {
    JNIEnv* env = _palex_zu::VJni_Env();
    if (env == nullptr) {
        _palex_zu::VDevice_RecordError("Error:cannot get Env", __FILE__, __LINE__);
        return;
    }
    _palex_zu::tagCompassInfo reading;
    reading.m_nState = 1;
    reading.m_nValue = value;
    reading.m_nTickBits = static_cast<int32_t>(V_GetTickCount() & 3u);
    _palex_zu::CVCompass::SetCompassInfo(reading);
}
