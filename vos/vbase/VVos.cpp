#include "vos/VVos.h"

#include "vos/VCMMap.h"
#include "vos/VException.h"
#include "vos/VFile.h"
#include "vos/VMsg.h"

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

// The start-up and shut-down run with the reference lock held, so a caller
// that overlaps the first start or the last stop waits for its outcome
// instead of being told the library is up while it is still starting (or
// failing to). The lock is created once and kept: re-creating a lock that
// another thread may be waiting on would be unsafe.
int CVVos::GlobalInit(const _VosEnv_t& env) {
    if (m_cRefMutex.GetHandle() == 0) m_cRefMutex.Create(kRefMutexName);
    m_cRefMutex.Lock(0xFFFFFFFF);
    int result = 1;
    if (m_ulRefCnt == 0) {
        result = StartUp();
        if (result) m_ulRefCnt = 1;
    } else {
        ++m_ulRefCnt;
    }
    m_cRefMutex.Unlock();
    return result;
}

void CVVos::GlobalUnInit() {
    if (m_cRefMutex.GetHandle() == 0) return;
    m_cRefMutex.Lock(0xFFFFFFFF);
    if (m_ulRefCnt > 0) {
        --m_ulRefCnt;
        if (m_ulRefCnt == 0) ShutDown();
    }
    m_cRefMutex.Unlock();
}

VOS_NAMESPACE_END
