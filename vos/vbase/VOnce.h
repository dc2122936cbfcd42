// One-time initialisation for the library's process-wide objects that are
// made usable on first use (the reference lock, the timer lock). Two threads
// making the first call together both wait until the one that won has
// finished; the procedure runs exactly once per process.
#ifndef VOS_VBASE_VONCE_H
#define VOS_VBASE_VONCE_H

#include <pthread.h>

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

// Initialise with PTHREAD_ONCE_INIT: a static flag is then usable whatever
// the order in which the process builds its statics.
typedef pthread_once_t VOnceFlag;

inline void VCallOnce(VOnceFlag& flag, void (*init)()) { pthread_once(&flag, init); }

VOS_NAMESPACE_END

#endif  // VOS_VBASE_VONCE_H
