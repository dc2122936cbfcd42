#include "VPoll.h"

#include <unistd.h>

#ifdef VOS_TEST_HOOKS
namespace {
thread_local unsigned long t_ulSleeps = 0;
unsigned long g_ulTotalSleeps = 0;
}
#endif

VOS_NAMESPACE_BEGIN

void VPollSleep() {
#ifdef VOS_TEST_HOOKS
    ++t_ulSleeps;
    __atomic_add_fetch(&g_ulTotalSleeps, 1, __ATOMIC_RELAXED);
#endif
    usleep(10000);
}

VOS_NAMESPACE_END

#ifdef VOS_TEST_HOOKS
extern "C" {
VOS_API unsigned long VPollHook_SleepCount(void) { return t_ulSleeps; }
VOS_API void VPollHook_Reset(void) { t_ulSleeps = 0; }
VOS_API unsigned long VPollHook_TotalSleeps(void) { return __atomic_load_n(&g_ulTotalSleeps, __ATOMIC_RELAXED); }
}
#endif
