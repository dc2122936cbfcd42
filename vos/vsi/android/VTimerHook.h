// Test builds only: a hook the timer thread calls after it has found the
// timer table empty and before it takes the timer lock to decide whether to
// end, so that a test can set a timer at exactly that moment; one it calls
// between a pass and its sleep; and the count of its passes over the table.
#ifndef VOS_VSI_ANDROID_VTIMERHOOK_H
#define VOS_VSI_ANDROID_VTIMERHOOK_H

#include "vos/VDefine.h"

#ifdef VOS_TEST_HOOKS
extern "C" VOS_API void (*VTimer_HookBeforeEnd)();
// Called after each pass, once the timer lock is released and before the
// thread sleeps until its next timer: a timer set here must not be missed.
extern "C" VOS_API void (*VTimer_HookAfterPass)();
// Passes the timer thread has made over the table since the process started:
// a thread that sleeps until its next timer makes few.
extern "C" VOS_API unsigned long VTimer_HookPassCount();
#endif

#endif  // VOS_VSI_ANDROID_VTIMERHOOK_H
