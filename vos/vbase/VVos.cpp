#include "vos/VVos.h"

#include "vos/VCMMap.h"
#include "vos/VException.h"
#include "vos/VFile.h"
#include "vos/VMsg.h"
#include "vbase/VLockGuard.h"
#include "vbase/VProcessLock.h"

VOS_NAMESPACE_BEGIN

namespace {
const unsigned short kRefMutexName[] = {'v', 'o', 's', '_', 'l', 'o', 'c', 'k', 0};

// Runs the start-up sequence; on failure undoes the steps already taken so
// that the library is down again and a later call can retry.
int StartUp() {
    CVException::Init();
    if (!CVCMMap::GlobalInit()) {
        CVException::Cleanup();
        return 0;
    }
    CVFile::InitFileSystem();
    if (!CVMsg::GlobalInit()) {
        CVCMMap::GlobalUnInit();
        CVFile::UnInitFileSystem();
        CVException::Cleanup();
        return 0;
    }
    return 1;
}

// Bus first: its observers and the timer service may still use the others.
void ShutDown() {
    CVMsg::GlobalUnInit();
    CVCMMap::GlobalUnInit();
    CVFile::UnInitFileSystem();
    CVException::Cleanup();
}
}  // namespace

uint32_t CVVos::m_ulRefCnt = 0;
CVMutex CVVos::m_cRefMutex;

namespace {
// The reference lock is created by the first call, whichever thread makes
// it, and kept: two threads making the first call together must not both
// create it, and re-creating a lock that another thread may be waiting on
// would be unsafe.
CVProcessLock s_refLock(CVVos::m_cRefMutex, kRefMutexName);
}  // namespace

// The start-up and shut-down run with the reference lock held, so a caller
// that overlaps the first start or the last stop waits for its outcome
// instead of being told the library is up while it is still starting (or
// failing to).
int CVVos::GlobalInit(const _VosEnv_t& env) {
    CVLockGuard<CVMutex> lock(s_refLock);
    if (m_ulRefCnt != 0) {
        ++m_ulRefCnt;
        return 1;
    }
    const int result = StartUp();
    if (result) m_ulRefCnt = 1;
    return result;
}

void CVVos::GlobalUnInit() {
    CVLockGuard<CVMutex> lock(s_refLock);
    if (m_ulRefCnt == 0) return;
    --m_ulRefCnt;
    if (m_ulRefCnt == 0) ShutDown();
}

VOS_NAMESPACE_END
