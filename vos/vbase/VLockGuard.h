// The library's one scoped lock: it takes a CVMutex, waiting without limit,
// for the length of a block and releases it on every way out. A process-wide
// lock (VProcessLock.h) converts to its CVMutex.
#ifndef VOS_VBASE_VLOCKGUARD_H
#define VOS_VBASE_VLOCKGUARD_H

#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

inline void VLockOf(CVMutex& m) { m.Lock(VWAIT_INFINITE); }
inline void VUnlockOf(CVMutex& m) { m.Unlock(); }

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
