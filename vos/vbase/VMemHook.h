// Allocation-failure injection for the test builds (VOS_TEST_HOOKS): makes a
// chosen CVMem::Allocate or Reallocate call fail so that tests can prove each
// operation's clean failure path. Not part of the public interface and not
// compiled into release builds.
#ifndef VOS_VBASE_VMEMHOOK_H
#define VOS_VBASE_VMEMHOOK_H

#include "vos/VDefine.h"

extern "C" {
// From now on, the n-th Allocate/Reallocate call (1-based) fails; with
// failFromThereOn every later call fails as well. n == 0 disarms the hook.
VOS_API void VMemHook_FailAt(unsigned long n, int failFromThereOn);
// Allocate/Reallocate calls seen since the hook was last armed or disarmed.
VOS_API unsigned long VMemHook_CallCount(void);
// Calls that the hook made fail since it was last armed.
VOS_API unsigned long VMemHook_FailCount(void);
// Blocks that Allocate/Reallocate handed out and Deallocate/Reallocate have
// not taken back yet.
VOS_API long VMemHook_LiveBlocks(void);
}

#endif  // VOS_VBASE_VMEMHOOK_H
