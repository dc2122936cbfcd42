#include "vos/VGpsMan.h"

#include "vos/VException.h"
#include "vos/VJni.h"
#include "vos/VMem.h"
#include "vbase/VLockGuard.h"
#include "vbase/VProcessLock.h"
#include "vsi/android/VJavaHandle.h"
#include "vsi/android/VObserverWalk.h"

VOS_NAMESPACE_BEGIN

typedef CVArray<CVGpsObserver*, CVGpsObserver*&> CVGpsObserverArray;

static CVGpsDetailInfo VGps_InitialFix() {
    CVGpsDetailInfo fix;
    fix.m_nState = 1;
    return fix;
}

_VJavaHandle_t* CVGpsMan::m_hHandle = nullptr;
CVGpsObserverArray* CVGpsMan::m_pObservers = nullptr;
CVMutex CVGpsMan::m_obMutex;
CVMutex CVGpsMan::m_pMutex;
CVGpsDetailInfo CVGpsMan::m_GpsLastDetailInfo = VGps_InitialFix();
int CVGpsMan::m_IsPause = 0;
EGpsPortState CVGpsMan::m_eGpsPortState = VGPS_PORT_STATE_NONE;

namespace {
// The two locks are made usable on first use and never re-created: a fix or
// a query may come before the first Initialize, and re-creating a lock that
// a Java thread may be waiting on would break it.
CVProcessLock s_fixLock(CVGpsMan::m_pMutex, nullptr);
CVProcessLock s_observerLock(CVGpsMan::m_obMutex, nullptr);

// The notifications under way, guarded by m_obMutex: an observer may detach
// itself or others during its OnGpsUpdate, and every other observer is
// still called exactly once.
CVObserverWalk* s_pGpsWalks = nullptr;
}  // namespace

// m_hHandle and m_IsPause are read on the reporting Java thread while host
// threads change them.
static _VJavaHandle_t* VGps_Handle() { return __atomic_load_n(&CVGpsMan::m_hHandle, __ATOMIC_ACQUIRE); }
static void VGps_SetHandle(_VJavaHandle_t* handle) { __atomic_store_n(&CVGpsMan::m_hHandle, handle, __ATOMIC_RELEASE); }

static void VGps_DropObservers() {
    CVLockGuard<CVMutex> lock(s_observerLock);
    if (CVGpsMan::m_pObservers == nullptr) return;
    VDelete(CVGpsMan::m_pObservers);
    CVGpsMan::m_pObservers = nullptr;
    CVObserverWalk::Cleared(s_pGpsWalks);
}

// Undoes a failed start: a later Initialize must start afresh rather than
// report a source that never ran.
static int VGps_FailStart(JNIEnv* env, const char* message, unsigned int line) {
    _VJavaHandle_t* handle = VGps_Handle();
    VGps_SetHandle(nullptr);
    VJavaHandle_Release(env, handle);
    VGps_DropObservers();
    if (message != nullptr) VDevice_RecordError(message, __FILE__, line);
    return 0;
}

int CVGpsMan::Initialize() {
    if (VGps_Handle() != nullptr) return 1;
    JNIEnv* env = VJni_Env();
    if (env == nullptr) {
        VDevice_RecordError("Error:cannot get Env", __FILE__, __LINE__);
        return 0;
    }
    m_eGpsPortState = VGPS_PORT_STATE_NONE;

    bool haveObservers = false;
    {
        CVLockGuard<CVMutex> lock(s_observerLock);
        if (m_pObservers == nullptr) m_pObservers = VNew<CVGpsObserverArray>(1, __FILE__, __LINE__);
        haveObservers = m_pObservers != nullptr;
    }
    if (!haveObservers) {
        UnInitialize();
        VDevice_RecordError("Error:cannot create m_pObservers", __FILE__, __LINE__);
        return 0;
    }

    _VJavaHandle_t* handle = VJavaHandle_Allocate();
    if (handle == nullptr) return VGps_FailStart(env, "Error:cannot create m_hHandle", __LINE__);
    VGps_SetHandle(handle);
    const char* failure = VJavaHandle_Fill(env, handle, VJNI_CLASS_GPS, "()Z");
    if (failure != nullptr) return VGps_FailStart(env, failure, __LINE__);

    env->SetIntField(handle->obj, handle->jniDataField, 0);
    const jboolean started = env->CallBooleanMethod(handle->obj, handle->initMethod);
    if (VJni_TakeException(env) || !started) return VGps_FailStart(env, nullptr, __LINE__);
    __atomic_store_n(&m_IsPause, 0, __ATOMIC_RELEASE);
    return 1;
}

int CVGpsMan::UnInitialize() {
    JNIEnv* env = VJni_Env();
    if (env == nullptr) {
        VDevice_RecordError("Error:cannot get Env", __FILE__, __LINE__);
        return 0;
    }
    VGps_DropObservers();
    _VJavaHandle_t* handle = VGps_Handle();
    if (handle == nullptr) {
        VDevice_RecordError("Error:m_hHandle didnot created", __FILE__, __LINE__);
        return 0;
    }
    if (handle->obj == nullptr || handle->unInitMethod == nullptr) {
        VDevice_RecordError("Error:m_hHandle->obj didnot created or m_hHandle->unInitMethod didnot created",
                            __FILE__, __LINE__);
        return 0;
    }
    if (handle->jniDataField != nullptr) env->SetIntField(handle->obj, handle->jniDataField, 0);
    jboolean stopped = env->CallBooleanMethod(handle->obj, handle->unInitMethod);
    if (VJni_TakeException(env)) stopped = JNI_FALSE;
    VGps_SetHandle(nullptr);
    VJavaHandle_Release(env, handle);
    return stopped ? 1 : 0;
}

int CVGpsMan::AttachGpsObserver(CVGpsObserver* observer) {
    if (observer == nullptr) return 0;
    CVLockGuard<CVMutex> lock(s_observerLock);
    if (m_pObservers == nullptr) return 0;
    const int count = m_pObservers->GetSize();
    for (int i = 0; i < count; ++i) {
        if ((*m_pObservers)[i] == observer) return 0;
    }
    return m_pObservers->Add(observer) < 0 ? 0 : 1;
}

int CVGpsMan::DetachGpsObserver(CVGpsObserver* observer) {
    CVLockGuard<CVMutex> lock(s_observerLock);
    if (m_pObservers == nullptr) return 0;
    const int count = m_pObservers->GetSize();
    for (int i = 0; i < count; ++i) {
        if ((*m_pObservers)[i] == observer) {
            m_pObservers->RemoveAt(i);
            CVObserverWalk::Removed(s_pGpsWalks, i);
            return 1;
        }
    }
    return 0;
}

void CVGpsMan::NotifyObserver() {
    // The observers get a copy taken under the fix lock: another reporting
    // thread may write the next fix while they read this one. The copy is
    // taken before the observer lock, as the two are never held together.
    CVGpsDetailInfo fix = GetLastLocation();
    CVLockGuard<CVMutex> lock(s_observerLock);
    if (m_pObservers == nullptr) return;
    // Observers attached during the walk wait for the next fix.
    CVObserverWalk walk(s_pGpsWalks, m_pObservers->GetSize());
    for (int i = walk.Next(); i >= 0; i = walk.Next()) {
        // Each observer sees the fix as reported, whatever an earlier one did
        // to the record it was handed.
        CVGpsDetailInfo copy = fix;
        (*m_pObservers)[i]->OnGpsUpdate(&copy);
    }
}

// Takes value over into slot; true when it differed. A NaN never equals
// anything, itself included, so it always counts as a change.
template <typename T>
static bool VGps_Take(T& slot, const T& value) {
    const bool changed = !(slot == value);
    slot = value;
    return changed;
}

// Takes the fix over into the last fix under the fix lock; true when any
// field differed.
static bool VGps_TakeFix(const CVGpsDetailInfo& info) {
    CVLockGuard<CVMutex> lock(s_fixLock);
    CVGpsDetailInfo& last = CVGpsMan::m_GpsLastDetailInfo;
    bool changed = false;
    changed |= VGps_Take(last.m_nState, info.m_nState);
    changed |= VGps_Take(last.m_fValue1, info.m_fValue1);
    changed |= VGps_Take(last.m_fValue2, info.m_fValue2);
    changed |= VGps_Take(last.m_fValue3, info.m_fValue3);
    changed |= VGps_Take(last.m_fValue4, info.m_fValue4);
    // The fifth value is part of the fix an observer wants: a fix that
    // differs only there is a change too.
    changed |= VGps_Take(last.m_nValue5, info.m_nValue5);
    changed |= !(last.m_time == info.m_time);
    last.m_time = info.m_time;
    changed |= VGps_Take(last.m_nExtra, info.m_nExtra);
    changed |= VGps_Take(last.m_sValue6, info.m_sValue6);
    return changed;
}

void CVGpsMan::SetDetailInfo(const CVGpsDetailInfo& info) {
    if (VGps_Handle() == nullptr || __atomic_load_n(&m_IsPause, __ATOMIC_ACQUIRE) != 0) return;
    // The fix lock is released first: the two locks are never held together.
    if (VGps_TakeFix(info)) NotifyObserver();
}

CVGpsDetailInfo CVGpsMan::GetLastLocation() {
    // Under the fix lock, so that a fix being written is never handed out half
    // old and half new.
    CVLockGuard<CVMutex> lock(s_fixLock);
    return m_GpsLastDetailInfo;
}

int CVGpsMan::Pause(int pause) { return __atomic_exchange_n(&m_IsPause, pause, __ATOMIC_ACQ_REL); }

EGpsPortState CVGpsMan::GetGPSState() { return m_eGpsPortState; }

VOS_NAMESPACE_END

void Java_com_palex_zu_VGps_updateGps(JNIEnv* /*env*/, jobject /*obj*/, jdouble value1, jdouble value2,
                                      jfloat value3, jfloat value4, jint value5, jint value6) {
    _palex_zu::CVGpsDetailInfo fix;
    fix.m_nState = 1;
    fix.m_fValue1 = static_cast<float>(value1);
    fix.m_fValue2 = static_cast<float>(value2);
    fix.m_fValue3 = value3;
    fix.m_fValue4 = value4;
    fix.m_nValue5 = value5;
    fix.m_sValue6 = static_cast<uint16_t>(static_cast<uint32_t>(value6) & 0xFFFFu);
    _palex_zu::CVGpsMan::SetDetailInfo(fix);
}
