// Internal to vbase: how much a CVMem block really holds, so that a block
// grown with room to spare can take more without another allocation.
#ifndef VOS_VBASE_VMEMSIZE_H
#define VOS_VBASE_VMEMSIZE_H

#include <stdlib.h>

#include "vos/VMem.h"

#if defined(__GLIBC__) || defined(__BIONIC__)
#include <malloc.h>
#define VOS_HAVE_MALLOC_USABLE_SIZE 1
#endif

VOS_NAMESPACE_BEGIN

// Whether the test builds' failure hook is armed: every resize must then
// keep reaching the heap, where the hook can make it fail.
#if defined(VOS_TEST_HOOKS)
bool VMem_FailureArmed();
#else
inline bool VMem_FailureArmed() { return false; }
#endif

// The bytes the block p from CVMem::Allocate or Reallocate can hold, never
// less than requested, the size it was last asked for. Where the heap
// cannot tell, or the answer could be wrong (an allocator installed by the
// host, the failure hook armed), it is requested itself. Inline: string
// appends ask once per call.
inline unsigned long VMem_UsableSize(void* p, unsigned long requested) {
#if defined(VOS_HAVE_MALLOC_USABLE_SIZE)
    if (p == nullptr || CVMem::m_pMemData != nullptr || CVMem::m_pAllocData != nullptr || VMem_FailureArmed()) {
        return requested;
    }
    const size_t usable = malloc_usable_size(p);
    return usable > requested ? static_cast<unsigned long>(usable) : requested;
#else
    (void)p;
    return requested;
#endif
}

VOS_NAMESPACE_END

#endif  // VOS_VBASE_VMEMSIZE_H
