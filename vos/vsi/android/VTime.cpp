#include "vos/VTime.h"

#include <string.h>
#include <sys/time.h>
#include <time.h>

#include "VTimeCalc.h"

VOS_NAMESPACE_BEGIN

namespace {

// The reentrant conversion: several threads convert at once (log, timers,
// GPS) and must not share the platform's static buffer.
bool LocalTimeOf(time_t secs, struct tm* out) { return localtime_r(&secs, out) != nullptr; }

}  // namespace

tagVTime::tagVTime() { memset(static_cast<void*>(this), 0, sizeof(*this)); }

tagVTime::tagVTime(const long& t) {
    // Zeroed first, so that a time the platform cannot convert leaves a
    // defined record rather than whatever the memory held.
    memset(static_cast<void*>(this), 0, sizeof(*this));
    struct tm tm;
    if (LocalTimeOf(static_cast<time_t>(t), &tm)) VTimeFromTm(tm, this);
}

int tagVTime::operator==(const tagVTime& other) const {
    return nYear == other.nYear && nMonth == other.nMonth && nDay == other.nDay && nHour == other.nHour &&
                   nMinute == other.nMinute && nSecond == other.nSecond && nReserved == other.nReserved
               ? 1
               : 0;
}

int VTime_GetCurrentTime(tagVTime* t) {
    if (t == nullptr) return 0;
    struct tm tm;
    if (!LocalTimeOf(time(nullptr), &tm)) return 0;
    VTimeFromTm(tm, t);
    return 1;
}

int VTime_GetTimeByUTCSecs(unsigned long secs, tagVTime* t) {
    if (t == nullptr) return 0;
    struct tm tm;
    if (!LocalTimeOf(static_cast<time_t>(secs), &tm)) return 0;
    VTimeFromTm(tm, t);
    return 1;
}

int V_GetTimeSecs() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<int>(tv.tv_sec);
}

int V_GetTimeMilliSecs(tagVTimeStamp* stamp) {
    if (stamp == nullptr) return 0;
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    stamp->nSec = static_cast<uint32_t>(tv.tv_sec);
    stamp->nMilliSec = static_cast<uint32_t>(tv.tv_usec / 1000);
    return 1;
}

VOS_NAMESPACE_END

uint32_t V_GetTickCount() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return _palex_zu::VTickOf(tv.tv_sec, tv.tv_usec);
}
