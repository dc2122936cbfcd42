// The message bus record behind CVMsg::m_hMsg, shared by the bus's sources
// and its tests.
#ifndef VOS_VSI_ANDROID_VMSGRECORD_H
#define VOS_VSI_ANDROID_VMSGRECORD_H

#include <jni.h>

#include "vos/VMsg.h"
#include "vos/VTempl.h"
#include "vos/VThread.h"
#include "vsi/android/VObserverWalk.h"

VOS_NAMESPACE_BEGIN

// What CVMsg::m_hMsg points at: exactly these members, in this order, so
// that code compiled against the bus record reads them in place.
struct tagVMsgFixedRecord {
    CVArray<_VMsgCmdIDObserverPair_t, _VMsgCmdIDObserverPair_t> m_arrObservers;
    CVMutex m_cMutex;
    JavaVM* m_pJVM;
    jmethodID m_midPostMessage;
    jclass m_clsVMsg;
};

// The bus's whole block: the fixed record first, the bus's own state after it.
struct tagVMsgRecord : tagVMsgFixedRecord {
    CVObserverWalk* m_pWalks;  // innermost delivery under way, guarded by m_cMutex
    // The bus's own reference while it is up, plus one per operation under
    // way; the record is freed when the count drops to 0.
    int32_t m_nRefs;
};

inline tagVMsgRecord* VMsg_Record() {
    return static_cast<tagVMsgRecord*>(CVMsg::m_hMsg);
}

VOS_NAMESPACE_END

#endif  // VOS_VSI_ANDROID_VMSGRECORD_H
