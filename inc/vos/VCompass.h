/// @file
/// Compass: starts the compass of the Java side (one instance of
/// com.palex.zu.VCompass) and keeps the last reading it reports for polling.
///
/// Readings arrive on a Java thread and are kept only while the compass runs
/// (between Init and UnInit); GetCompassInfo may be called from any thread and
/// always hands out one whole reading.
#ifndef VOS_VCOMPASS_H
#define VOS_VCOMPASS_H

#include <jni.h>
#include <stdint.h>

#include "vos/VDefine.h"
#include "vos/VGpsMan.h"
#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

/// One reading.
struct tagCompassInfo {
    int32_t m_nState;     ///< 1 in every reported reading
    int32_t m_nValue;     ///< the value Java reported, its 32 bits unchanged
    int32_t m_nTickBits;  ///< the tick count when it arrived, masked with 3
};

static_assert(sizeof(tagCompassInfo) == 12, "tagCompassInfo is three 32-bit fields");

/// The compass: static members only.
class VOS_API CVCompass {
public:
    /// Creates and starts the Java compass; 1 when running (also when it was
    /// running already), 0 on failure with nothing left behind.
    static int Init();
    /// Stops the Java compass; 1 also when it was not running.
    static int UnInit();
    /// Always 1.
    static int IsHaveCompassSensor();
    /// The last reading; 0 and info unchanged while the compass is not running.
    static int GetCompassInfo(tagCompassInfo& info);
    /// Stores a reading while the compass runs; ignored otherwise.
    static void SetCompassInfo(const tagCompassInfo& info);

    /** @name State */
    ///@{
    /// The Java compass (null while stopped), the last reading and the
    /// sensor flag.
    static _VJavaHandle_t* m_hHandle;
    static tagCompassInfo m_CompassInfo;
    static int m_bHaveCompass;
    ///@}
    /// Guards m_CompassInfo, so that a poll never sees half of one reading and
    /// half of another.
    static CVMutex m_infoMutex;
};

VOS_NAMESPACE_END

/// Native method of com.palex.zu.VCompass: stores one reading.
extern "C" VOS_API void Java_com_palex_zu_VCompass_updateCompass(JNIEnv* env, jobject obj, jint value);

#endif  // VOS_VCOMPASS_H
