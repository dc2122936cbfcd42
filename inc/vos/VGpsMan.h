/// @file
/// GPS manager: starts the position source of the Java side (one instance of
/// com.palex.zu.VGps), keeps the last fix it reports and tells the attached
/// observers whenever a reported fix differs from the last one.
///
/// Rules a caller must know:
/// - Observers are called on the Java thread that reports the fix, in attach
///   order, with the observer lock held (it is recursive). OnGpsUpdate may
///   detach observers, itself included: every observer still attached is
///   called once per fix; one attached during the calls waits for the next
///   fix. The manager does not own them.
/// - The fix lock and the observer lock are never held together.
/// - Fixes are ignored while the manager is not running or is paused.
#ifndef VOS_VGPSMAN_H
#define VOS_VGPSMAN_H

#include <jni.h>
#include <stdint.h>

#include "vos/VDefine.h"
#include "vos/VTempl.h"
#include "vos/VThread.h"
#include "vos/VTime.h"

VOS_NAMESPACE_BEGIN

/// One fix. The fourth value reported by Java is stored before the third.
struct VOS_API CVGpsDetailInfo {
    CVGpsDetailInfo()
        : m_nState(0),
          m_fValue1(0),
          m_fValue2(0),
          m_fValue4(0),
          m_fValue3(0),
          m_nReserved1(0),
          m_nValue5(0),
          m_sReserved2(0),
          m_sValue6(0),
          m_nExtra(0) {}

    int32_t m_nState;      ///< 1 in every reported fix
    float m_fValue1;       ///< first Java value, narrowed from double
    float m_fValue2;       ///< second Java value, narrowed from double
    float m_fValue4;       ///< fourth Java value
    float m_fValue3;       ///< third Java value
    uint32_t m_nReserved1;  ///< 0
    int32_t m_nValue5;     ///< fifth Java value
    uint16_t m_sReserved2;  ///< 0
    uint16_t m_sValue6;    ///< sixth Java value, low 16 bits
    tagVTime m_time;        ///< not set by a reported fix
    uint32_t m_nExtra;      ///< 0
};

static_assert(sizeof(CVGpsDetailInfo) == 44, "CVGpsDetailInfo is eleven packed fields");

/// The Java object behind the GPS manager or the compass and what is needed to
/// drive it. Allocated zero-filled; the references are global ones.
struct _VJavaHandle_t {
    ///@{
    /// The class, the instance, its init and unInit methods, its constructor
    /// and the int field the native side owns (mJniData).
    jclass cls;
    jobject obj;
    jmethodID initMethod;
    jmethodID unInitMethod;
    jmethodID constructMethod;
    jfieldID jniDataField;
    ///@}
};

/// What a client implements to receive fixes.
class VOS_API CVGpsObserver {
public:
    virtual ~CVGpsObserver() {}
    /// info points to a copy of the last fix, taken under the fix lock, valid
    /// for the call only: another report may write the next fix meanwhile.
    virtual void OnGpsUpdate(CVGpsDetailInfo* info) = 0;
};

/// The state of the position source; only VGPS_PORT_STATE_NONE is ever set.
enum EGpsPortState : int32_t {
    VGPS_PORT_STATE_NONE = 0
};

/// The GPS manager: static members only.
class VOS_API CVGpsMan {
public:
    /// Creates and starts the Java position source; 1 when running (also when
    /// it was running already), 0 on failure with nothing left behind.
    static int Initialize();
    /// Stops the Java source and drops the observer list; the result of the
    /// Java unInit (1 true, 0 false), 0 on failure.
    static int UnInitialize();
    /// 1 when appended; 0 for null, an observer attached already, or while the
    /// manager has no observer list (before Initialize, after UnInitialize).
    static int AttachGpsObserver(CVGpsObserver* observer);
    /// 1 when removed (later observers keep their order), else 0.
    static int DetachGpsObserver(CVGpsObserver* observer);
    /// Calls OnGpsUpdate of every observer with the last fix, in attach order.
    static void NotifyObserver();
    /// Takes a reported fix over into the last fix; notifies when any field
    /// differs (a NaN always counts as a change).
    static void SetDetailInfo(const CVGpsDetailInfo& info);
    /// A consistent copy of the last fix.
    static CVGpsDetailInfo GetLastLocation();
    /// Non-zero: ignore reported fixes. Returns the previous value.
    static int Pause(int pause);
    /// Always VGPS_PORT_STATE_NONE.
    static EGpsPortState GetGPSState();

    /// The Java position source, or null while the manager is stopped.
    static _VJavaHandle_t* m_hHandle;
    /// The attached observers, or null while the manager is stopped.
    static CVArray<CVGpsObserver*, CVGpsObserver*&>* m_pObservers;
    static CVMutex m_obMutex;  ///< guards m_pObservers and the notification walk
    static CVMutex m_pMutex;   ///< guards m_GpsLastDetailInfo
    /** @name Last fix and switches */
    ///@{
    /// The last fix, the pause flag and the port state.
    static CVGpsDetailInfo m_GpsLastDetailInfo;
    static int m_IsPause;
    static EGpsPortState m_eGpsPortState;
    ///@}
};

VOS_NAMESPACE_END

/// Native method of com.palex.zu.VGps: hands one fix to the manager on the
/// reporting Java thread.
extern "C" VOS_API void Java_com_palex_zu_VGps_updateGps(JNIEnv* env, jobject obj, jdouble value1,
                                                        jdouble value2, jfloat value3, jfloat value4,
                                                        jint value5, jint value6);

#endif  // VOS_VGPSMAN_H
