// Test builds only: a hook the timer thread calls after it has found the
// timer table empty and before it takes the timer lock to decide whether to
// end, so that a test can set a timer at exactly that moment.
#ifndef VOS_VSI_ANDROID_VTIMERHOOK_H
#define VOS_VSI_ANDROID_VTIMERHOOK_H

#include "vos/VDefine.h"

#ifdef VOS_TEST_HOOKS
extern "C" VOS_API void (*VTimer_HookBeforeEnd)();
#endif

#endif  // VOS_VSI_ANDROID_VTIMERHOOK_H
