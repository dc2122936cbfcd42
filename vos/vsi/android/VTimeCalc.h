// Conversions shared by the time functions, kept apart so that their
// arithmetic (the 32-bit wrap of the tick count, the field masks of tagVTime)
// can be checked without waiting for the clock.
#ifndef VOS_VSI_ANDROID_VTIMECALC_H
#define VOS_VSI_ANDROID_VTIMECALC_H

#include <time.h>

#include "vos/VTime.h"

VOS_NAMESPACE_BEGIN

// Milliseconds of a clock reading, computed in 32 bits so that the count
// wraps to 0 after 4294967295.
inline uint32_t VTickOf(long long sec, long long usec) {
    return static_cast<uint32_t>(static_cast<uint32_t>(sec) * 1000u + static_cast<uint32_t>(usec / 1000));
}

// Milliseconds from the tick then to the tick now. The tick clock is
// monotonic, so a smaller now means the count wrapped; the 32-bit difference
// is the distance across the wrap as well (now + ~then would be 1 ms short).
inline uint32_t VTicksSince(uint32_t then, uint32_t now) { return now - then; }

// Copies the calendar fields of a broken-down time into t, each masked to its
// field's width; nReserved is left as it is.
inline void VTimeFromTm(const struct tm& tm, tagVTime* t) {
    t->nYear = static_cast<int32_t>(tm.tm_year + 1900);
    t->nMonth = static_cast<uint32_t>(tm.tm_mon + 1) & 0xFu;
    t->nDay = static_cast<uint32_t>(tm.tm_mday) & 0x1Fu;
    t->nHour = static_cast<uint32_t>(tm.tm_hour) & 0x1Fu;
    t->nMinute = static_cast<uint32_t>(tm.tm_min) & 0x3Fu;
    t->nSecond = static_cast<uint32_t>(tm.tm_sec) & 0x3Fu;
}

VOS_NAMESPACE_END

#endif  // VOS_VSI_ANDROID_VTIMECALC_H
