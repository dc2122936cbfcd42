#include "VWait.h"

#include <errno.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "VTimeHook.h"

#ifdef VOS_TEST_HOOKS
namespace {
thread_local unsigned int t_uLastLimitMs = 0;
unsigned long g_ulTimedWaits = 0;
}  // namespace

extern "C" {
VOS_API void (*VWaitHook_BeforeSleep)(void) = nullptr;
VOS_API unsigned int VWaitHook_LastLimitMs(void) { return t_uLastLimitMs; }
VOS_API unsigned long VWaitHook_TimedWaits(void) { return __atomic_load_n(&g_ulTimedWaits, __ATOMIC_ACQUIRE); }
VOS_API void VWaitHook_ResetLimit(void) { t_uLastLimitMs = 0; }
}
#endif

// Which timed mutex lock is used. pthread_mutex_clocklock waits on the
// monotonic clock itself: glibc has it from 2.30 (the host's and the 32-bit
// ARM toolchain's are newer), bionic from API 30. Below that on Android (the
// library is built for API 21), and in ThreadSanitizer builds (whose run-time
// knows pthread_mutex_timedlock but not clocklock, and would miss the lock),
// pthread_mutex_timedlock waits on a calendar-clock deadline derived from the
// monotonic one, in slices of at most a second: a calendar step forward ends
// a slice early and the wait goes on; a step back stretches the wait by at
// most one slice.
#if defined(__SANITIZE_THREAD__)
#define VOS_MUTEX_CLOCKLOCK 0
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VOS_MUTEX_CLOCKLOCK 0
#endif
#endif
#ifndef VOS_MUTEX_CLOCKLOCK
#if defined(__ANDROID__)
#define VOS_MUTEX_CLOCKLOCK (__ANDROID_API__ >= 30)
#elif defined(__GLIBC__)
#define VOS_MUTEX_CLOCKLOCK __GLIBC_PREREQ(2, 30)
#else
#define VOS_MUTEX_CLOCKLOCK 0
#endif
#endif

VOS_NAMESPACE_BEGIN

namespace {

const int64_t kNsPerSec = 1000000000;

// The futex system call's own time-out record: `long` fields match the
// kernel's on 64-bit and the 32-bit call's (__NR_futex) on 32-bit ARM, whatever
// width the C library gives time_t.
struct tagVKernelTimespec {
    long tv_sec;
    long tv_nsec;
};

long Futex(int32_t* word, int op, int32_t value, const tagVKernelTimespec* timeout) {
    return syscall(__NR_futex, word, op | FUTEX_PRIVATE_FLAG, value, timeout, nullptr, 0);
}

}  // namespace

#ifdef VOS_TEST_HOOKS
void VWaitNoteLimit(unsigned int ms) {
    t_uLastLimitMs = ms;
    __atomic_add_fetch(&g_ulTimedWaits, 1, __ATOMIC_ACQ_REL);
}
#endif

void VWordWait(int32_t* word, int32_t expected, int64_t deadlineNs) {
#ifdef VOS_TEST_HOOKS
    void (*hook)(void) = __atomic_load_n(&VWaitHook_BeforeSleep, __ATOMIC_ACQUIRE);
    if (hook != nullptr) hook();
#endif
    if (deadlineNs == VWAIT_NO_DEADLINE) {
        Futex(word, FUTEX_WAIT, expected, nullptr);
        return;
    }
    // FUTEX_WAIT's time-out is relative and runs on the monotonic clock.
    const int64_t left = deadlineNs - VTickClockNs();
    if (left <= 0) return;
    tagVKernelTimespec timeout = {static_cast<long>(left / kNsPerSec), static_cast<long>(left % kNsPerSec)};
    Futex(word, FUTEX_WAIT, expected, &timeout);
}

void VWordWake(int32_t* word, int32_t count) { Futex(word, FUTEX_WAKE, count, nullptr); }

int VMutexLockUntil(pthread_mutex_t* m, int64_t deadlineNs) {
#if VOS_MUTEX_CLOCKLOCK
    const struct timespec deadline = {static_cast<time_t>(deadlineNs / kNsPerSec),
                                      static_cast<long>(deadlineNs % kNsPerSec)};
    int rc;
    while ((rc = pthread_mutex_clocklock(m, VCLOCK_TICK, &deadline)) == EINTR) {
    }
    return rc;
#else
    const int64_t kSliceNs = kNsPerSec;
    for (;;) {
        const int64_t left = deadlineNs - VTickClockNs();
        if (left <= 0) return ETIMEDOUT;
        struct timespec until;
        clock_gettime(CLOCK_REALTIME, &until);
        const int64_t ns = static_cast<int64_t>(until.tv_nsec) + (left < kSliceNs ? left : kSliceNs);
        until.tv_sec += static_cast<time_t>(ns / kNsPerSec);
        until.tv_nsec = static_cast<long>(ns % kNsPerSec);
        const int rc = pthread_mutex_timedlock(m, &until);
        if (rc != ETIMEDOUT && rc != EINTR) return rc;
    }
#endif
}

VOS_NAMESPACE_END
