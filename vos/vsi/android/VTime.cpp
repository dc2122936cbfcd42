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

void VReadClock(clockid_t clock, struct timespec* ts) {
    clock_gettime(clock, ts);
#ifdef VOS_TEST_HOOKS
    if (clock != VCLOCK_CALENDAR) return;
    const long long ns = static_cast<long long>(ts->tv_sec) * 1000000000 + ts->tv_nsec +
                         __atomic_load_n(&g_llCalendarStepUs, __ATOMIC_ACQUIRE) * 1000;
    ts->tv_sec = static_cast<time_t>(ns / 1000000000);
    ts->tv_nsec = static_cast<long>(ns % 1000000000);
#endif
}

namespace {

// The calendar clock in seconds and microseconds, as the calendar functions
// hand it out.
void CalendarNow(struct timeval* tv) {
    struct timespec ts;
    VReadClock(VCLOCK_CALENDAR, &ts);
    tv->tv_sec = ts.tv_sec;
    tv->tv_usec = static_cast<suseconds_t>(ts.tv_nsec / 1000);
}

time_t CalendarSecs() {
    struct timespec ts;
    VReadClock(VCLOCK_CALENDAR, &ts);
    return ts.tv_sec;
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

uint32_t V_GetTickCount() {
    struct timespec ts;
    _palex_zu::VReadClock(_palex_zu::VCLOCK_TICK, &ts);
    return _palex_zu::VTickOf(ts.tv_sec, ts.tv_nsec / 1000);
}
