#include "vos/VThread.h"

#include <string.h>
#include "VTimeHook.h"
#include "VWait.h"

VOS_NAMESPACE_BEGIN

namespace {

// The object holds nothing but the mutex: it is all zero until Create, and a
// recursive mutex, once initialised, always carries its type in its own
// words (locked or not), so any non-zero byte means created.
bool IsCreated(const pthread_mutex_t& m) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&m);
    for (size_t i = 0; i < sizeof(m); ++i) {
        if (bytes[i] != 0) return true;
    }
    return false;
}

}  // namespace

CVMutex::CVMutex() { memset(&m_hMutex, 0, sizeof(m_hMutex)); }

CVMutex::~CVMutex() {
    if (IsCreated(m_hMutex)) pthread_mutex_destroy(&m_hMutex);
    memset(&m_hMutex, 0, sizeof(m_hMutex));
}

void CVMutex::Create(const unsigned short* /*name*/) {
    // Re-creating gives a fresh mutex; the owner does it only while no thread
    // holds or waits on it (the library's reference lock after a full stop).
    if (IsCreated(m_hMutex)) pthread_mutex_destroy(&m_hMutex);
    memset(&m_hMutex, 0, sizeof(m_hMutex));
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m_hMutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

int CVMutex::Lock(unsigned int timeoutMs) {
    if (timeoutMs == VWAIT_INFINITE) {
        pthread_mutex_lock(&m_hMutex);
        return 1;
    }
    if (pthread_mutex_trylock(&m_hMutex) == 0) return 1;
    // Time-outs keep the 10 ms steps callers know: a limit under 10 ms makes
    // one attempt and does not wait, a longer one gives up after its whole
    // tens of milliseconds. The wait itself sleeps in the mutex, which hands
    // it over the moment the holder lets go.
    const unsigned int limitMs = timeoutMs / 10 * 10;
    if (limitMs == 0) return 0;
    VWaitNoteLimit(limitMs);
    const int64_t deadline = VTickClockNs() + static_cast<int64_t>(limitMs) * 1000000;
    return VMutexLockUntil(&m_hMutex, deadline) == 0 ? 1 : 0;
}

int CVMutex::Unlock() {
    pthread_mutex_unlock(&m_hMutex);
    return 1;
}

uint32_t CVMutex::GetHandle() { return IsCreated(m_hMutex) ? 1u : 0u; }

VOS_NAMESPACE_END
