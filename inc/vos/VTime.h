/// @file
/// Time: the packed local calendar time tagVTime, the time stamp
/// tagVTimeStamp, and the 32-bit millisecond tick count.
///
/// Calendar values are the device's local time and change when the device's
/// clock is set. V_GetTickCount follows the monotonic clock instead, which
/// setting the clock does not move, and wraps every 2^32 ms (about 49.7
/// days): compare two readings with the wrap in mind.
#ifndef VOS_VTIME_H
#define VOS_VTIME_H

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

/// 8 bytes: a signed 32-bit year, then one 32-bit word of bit-fields, bit 0
/// being its least significant bit.
struct VOS_API tagVTime {
    /// All fields 0.
    tagVTime();
    /// The local calendar time of t seconds since the epoch, nReserved 0. All
    /// fields stay 0 when the platform cannot convert t.
    tagVTime(const long& t);

    /// 1 when every field, nReserved included, is equal; else 0.
    int operator==(const tagVTime& other) const;

    int32_t nYear;             ///< full year, e.g. 2013
    uint32_t nMonth : 4;       ///< 1-12
    uint32_t nDay : 5;         ///< 1-31
    uint32_t nHour : 5;        ///< 0-23
    uint32_t nMinute : 6;      ///< 0-59
    uint32_t nSecond : 6;      ///< 0-60
    uint32_t nReserved : 6;    ///< no meaning; 0 unless a caller sets it
};

static_assert(sizeof(tagVTime) == 8, "tagVTime is a year word and a bit-field word");

/// Seconds since 1 January 1970 00:00 UTC and the milliseconds within it.
struct tagVTimeStamp {
    /// Whole seconds.
    uint32_t nSec;
    uint32_t nMilliSec;  ///< 0-999
};

static_assert(sizeof(tagVTimeStamp) == 8, "tagVTimeStamp is two 32-bit words");

/// Fills t with the current local time, keeping its nReserved. 1; 0 for a null
/// t or when the platform cannot convert the time.
VOS_API int VTime_GetCurrentTime(tagVTime* t);
/// Fills t with the local time of secs seconds since the epoch, keeping its
/// nReserved. 1; 0 for a null t or when the platform cannot convert secs.
VOS_API int VTime_GetTimeByUTCSecs(unsigned long secs, tagVTime* t);
/// Current seconds since the epoch.
VOS_API int V_GetTimeSecs();
/// Current seconds and milliseconds since the epoch; 1, or 0 for a null stamp.
VOS_API int V_GetTimeMilliSecs(tagVTimeStamp* stamp);

VOS_NAMESPACE_END

/// Milliseconds of the monotonic clock (seconds x 1000 + microseconds / 1000)
/// cut to 32 bits. It does not move when the device's calendar clock is set,
/// so timers and time-outs measured with it keep their length.
VOS_API uint32_t V_GetTickCount();

#endif  // VOS_VTIME_H
