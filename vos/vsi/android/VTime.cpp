#include "vos/VTime.h"

#include <string.h>
#include <sys/time.h>
#include <time.h>

#include "VTimeCalc.h"
#include "VTimeHook.h"

#ifdef VOS_TEST_HOOKS
namespace {
long long g_llCalendarStepUs = 0;
}

extern "C" {
VOS_API void VTimeHook_StepCalendar(long long ms) {
    __atomic_add_fetch(&g_llCalendarStepUs, ms * 1000, __ATOMIC_ACQ_REL);
}
VOS_API void VTimeHook_ResetCalendar(void) { __atomic_store_n(&g_llCalendarStepUs, 0, __ATOMIC_RELEASE); }
}
#endif

VOS_NAMESPACE_BEGIN

namespace {

// The calendar clock: every reading of the wall-clock time goes through here.
void CalendarNow(struct timeval* tv) {
    gettimeofday(tv, nullptr);
#ifdef VOS_TEST_HOOKS
    const long long us = static_cast<long long>(tv->tv_sec) * 1000000 + tv->tv_usec +
                         __atomic_load_n(&g_llCalendarStepUs, __ATOMIC_ACQUIRE);
    tv->tv_sec = static_cast<time_t>(us / 1000000);
    tv->tv_usec = static_cast<suseconds_t>(us % 1000000);
#endif
}

time_t CalendarSecs() {
#ifdef VOS_TEST_HOOKS
    return time(nullptr) + static_cast<time_t>(__atomic_load_n(&g_llCalendarStepUs, __ATOMIC_ACQUIRE) / 1000000);
#else
    return time(nullptr);
#endif
}

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
    if (!LocalTimeOf(CalendarSecs(), &tm)) return 0;
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
    CalendarNow(&tv);
    return static_cast<int>(tv.tv_sec);
}

int V_GetTimeMilliSecs(tagVTimeStamp* stamp) {
    if (stamp == nullptr) return 0;
    struct timeval tv;
    CalendarNow(&tv);
    stamp->nSec = static_cast<uint32_t>(tv.tv_sec);
    stamp->nMilliSec = static_cast<uint32_t>(tv.tv_usec / 1000);
    return 1;
}

VOS_NAMESPACE_END

// The monotonic clock: setting the device's clock must neither fire a timer
// early nor time a socket out, and every interval in the library is measured
// with this count.
uint32_t V_GetTickCount() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return _palex_zu::VTickOf(ts.tv_sec, ts.tv_nsec / 1000);
}
