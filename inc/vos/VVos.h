/// @file
/// Library lifecycle: the host brings vos up with CVVos::GlobalInit and down
/// with CVVos::GlobalUnInit, once for every GlobalInit.
///
/// Only the call that takes the reference count from 0 to 1 starts the
/// library (last-error record, code-page tables, file layer, message bus),
/// and only the one that takes it back to 0 stops it. Hand the Java VM in
/// (JVMContainer::InitVM) first and make the first GlobalInit on a thread the
/// VM knows. A start that fails undoes what it did and leaves the count at 0,
/// so the next GlobalInit tries again.
#ifndef VOS_VVOS_H
#define VOS_VVOS_H

#include <stdint.h>

#include "vos/VDefine.h"
#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

/// What the host hands to GlobalInit; the library reads nothing from it.
struct _VosEnv_t {};

/// The library's lifecycle: static members only.
class VOS_API CVVos {
public:
    /// 1 when the library is up, 0 when this call's start-up failed.
    static int GlobalInit(const _VosEnv_t& env);
    /// Does nothing when the library is down.
    static void GlobalUnInit();

    /** @name Reference count */
    ///@{
    /// The number of GlobalInit calls not yet matched by GlobalUnInit, and the
    /// lock that guards it.
    static uint32_t m_ulRefCnt;
    static CVMutex m_cRefMutex;
    ///@}
};

VOS_NAMESPACE_END

#endif  // VOS_VVOS_H
