// Test builds only: steps the calendar clock as the library reads it
// (V_GetTimeSecs, V_GetTimeMilliSecs, VTime_GetCurrentTime), the way a user
// or the network setting the device's clock would, without touching the
// machine's clock. The tick count and every time-out must not follow.
#ifndef VOS_VSI_ANDROID_VTIMEHOOK_H
#define VOS_VSI_ANDROID_VTIMEHOOK_H

#include "vos/VDefine.h"

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
