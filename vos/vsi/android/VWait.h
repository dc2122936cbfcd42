// How the library's threads wait: in one blocking call that returns when
// another thread wakes them or a deadline on the tick clock passes, never to
// look and sleep again.
//
// - A 32-bit word (the event's count, the timer thread's wake-up word) is
//   slept on with a futex: the sleep starts only while the word still holds
//   the value the waiter last saw, so a change made between the waiter's
//   check and its sleep cannot be missed. The word needs no bytes beside it.
// - A mutex is waited for in the mutex (VMutexLockUntil).
#ifndef VOS_VSI_ANDROID_VWAIT_H
#define VOS_VSI_ANDROID_VWAIT_H

#include <pthread.h>
#include <stdint.h>

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

// No deadline: wait until woken.
const int64_t VWAIT_NO_DEADLINE = -1;

// Sleeps while *word holds expected, until VWordWake or until the tick clock
// (VTickClockNs) reaches deadlineNs. Returns at once when the word differs;
// it may also return early, so callers look again and decide.
void VWordWait(int32_t* word, int32_t expected, int64_t deadlineNs);

// Wakes up to count threads sleeping on word (INT32_MAX: all of them).
void VWordWake(int32_t* word, int32_t count);

// Takes m, waiting in the mutex until the tick clock reaches deadlineNs;
// 0 when held, ETIMEDOUT when the deadline passed first.
int VMutexLockUntil(pthread_mutex_t* m, int64_t deadlineNs);

#ifdef VOS_TEST_HOOKS
// Notes the limit of a timed wait the calling thread starts.
void VWaitNoteLimit(unsigned int ms);
#else
inline void VWaitNoteLimit(unsigned int) {}
#endif

VOS_NAMESPACE_END

#ifdef VOS_TEST_HOOKS
extern "C" {
// The limit in ms of the calling thread's last timed wait since its reset (0:
// none), and the timed waits every thread has started: how long a time-out
// lets a waiter wait, read without timing anything.
VOS_API unsigned int VWaitHook_LastLimitMs(void);
VOS_API void VWaitHook_ResetLimit(void);
VOS_API unsigned long VWaitHook_TimedWaits(void);
// Called by every thread that is about to sleep on a word, after it has
// looked at the word and found nothing to do: a test signals here to send a
// wake-up into the window between a waiter's check and its sleep.
extern VOS_API void (*VWaitHook_BeforeSleep)(void);
}
#endif

#endif  // VOS_VSI_ANDROID_VWAIT_H
