// The library's two clocks, read in one place: the calendar clock (the
// device's wall-clock time, which the user or the network may set) and the
// tick clock (monotonic: the tick count, the timers and every time-out).
// Test builds can step the calendar clock as the library reads it, the way
// setting the device's clock would, without touching the machine's clock;
// the step applies to whatever reads the calendar clock, so a tick taken from
// it would follow the step and the clock-step tests would see it.
#ifndef VOS_VSI_ANDROID_VTIMEHOOK_H
#define VOS_VSI_ANDROID_VTIMEHOOK_H

#include <time.h>

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

const clockid_t VCLOCK_CALENDAR = CLOCK_REALTIME;
// Setting the device's clock must neither fire a timer early nor time a wait
// or a socket out: every interval in the library is measured on this clock.
const clockid_t VCLOCK_TICK = CLOCK_MONOTONIC;

// Reads one of the two clocks (with the test builds' step on the calendar).
void VReadClock(clockid_t clock, struct timespec* ts);

// Nanoseconds on the tick clock.
inline int64_t VTickClockNs() {
    struct timespec ts;
    VReadClock(VCLOCK_TICK, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

VOS_NAMESPACE_END

#ifdef VOS_TEST_HOOKS
extern "C" {
// Moves the calendar clock by ms milliseconds (negative: back) on top of any
// earlier step.
VOS_API void VTimeHook_StepCalendar(long long ms);
// Undoes every step.
VOS_API void VTimeHook_ResetCalendar(void);
}
#endif

#endif  // VOS_VSI_ANDROID_VTIMEHOOK_H
