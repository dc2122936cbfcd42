// The one sleep of the polled waits (CVMutex::Lock, CVEvent::Wait). Test
// builds (VOS_TEST_HOOKS) count the sleeps per thread so that tests can check
// how many attempts a time-out allows without timing anything.
#ifndef VOS_VSI_ANDROID_VPOLL_H
#define VOS_VSI_ANDROID_VPOLL_H

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

// Sleeps one 10 ms polling step.
void VPollSleep();

VOS_NAMESPACE_END

#ifdef VOS_TEST_HOOKS
extern "C" {
// Polling sleeps the calling thread has made since its last reset.
VOS_API unsigned long VPollHook_SleepCount(void);
VOS_API void VPollHook_Reset(void);
// Polling sleeps of every thread since the process started.
VOS_API unsigned long VPollHook_TotalSleeps(void);
}
#endif

#endif  // VOS_VSI_ANDROID_VPOLL_H
