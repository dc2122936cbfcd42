// The library's one scoped lock: it takes a lock for the length of a block
// and releases it on every way out. It serves the recursive CVMutex, waiting
// without limit, and the plain statically initialised mutexes of the few
// registries that must work before any Create.
#ifndef VOS_VBASE_VLOCKGUARD_H
#define VOS_VBASE_VLOCKGUARD_H

#include <pthread.h>

#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

inline void VLockOf(CVMutex& m) { m.Lock(VWAIT_INFINITE); }
inline void VUnlockOf(CVMutex& m) { m.Unlock(); }
inline void VLockOf(pthread_mutex_t& m) { pthread_mutex_lock(&m); }
inline void VUnlockOf(pthread_mutex_t& m) { pthread_mutex_unlock(&m); }

template <typename TMutex>
class CVLockGuard {
public:
    explicit CVLockGuard(TMutex& m) : m_rMutex(m) { VLockOf(m_rMutex); }
    ~CVLockGuard() { VUnlockOf(m_rMutex); }

private:
    CVLockGuard(const CVLockGuard&);
    CVLockGuard& operator=(const CVLockGuard&);

    TMutex& m_rMutex;
};

VOS_NAMESPACE_END

#endif  // VOS_VBASE_VLOCKGUARD_H
