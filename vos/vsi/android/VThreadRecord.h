// The records behind the handles of CVEvent and CVThread, shared by their
// sources and the layout checks.
#ifndef VOS_VSI_ANDROID_VTHREADRECORD_H
#define VOS_VSI_ANDROID_VTHREADRECORD_H

#include <pthread.h>

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

// The event's state, shared by the signalling and the waiting threads; every
// change of the count is atomic.
struct tagVEventRecord {
    int32_t nCount;        // pending signals, 0 when not signalled
    int32_t bManualReset;  // non-zero: stays signalled until ResetEvent
};

// What a CVThread owns while it has a thread.
struct tagVThreadRecord {
    pthread_t hThread;
    pthread_attr_t attr;  // initialised with the record, not given to the platform
};

VOS_NAMESPACE_END

#endif  // VOS_VSI_ANDROID_VTHREADRECORD_H
