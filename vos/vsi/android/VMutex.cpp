#include "vos/VThread.h"

#include <string.h>
#include "VPoll.h"

VOS_NAMESPACE_BEGIN

CVMutex::CVMutex() : m_bCreated(0) { memset(&m_hMutex, 0, sizeof(m_hMutex)); }

CVMutex::~CVMutex() {
    if (m_bCreated) pthread_mutex_destroy(&m_hMutex);
    m_bCreated = 0;
}

void CVMutex::Create(const unsigned short* /*name*/) {
    // Re-creating gives a fresh mutex; the owner does it only while no thread
    // holds or waits on it (the library's reference lock after a full stop).
    if (m_bCreated) pthread_mutex_destroy(&m_hMutex);
    memset(&m_hMutex, 0, sizeof(m_hMutex));
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m_hMutex, &attr);
    pthread_mutexattr_destroy(&attr);
    m_bCreated = 1;
}

int CVMutex::Lock(unsigned int timeoutMs) {
    // Waits poll in 10 ms steps rather than block, so a time-limited lock
    // behaves the same on every platform the library runs on.
    if (timeoutMs == VWAIT_INFINITE) {
        while (pthread_mutex_trylock(&m_hMutex) != 0) VPollSleep();
        return 1;
    }
    int32_t remaining = static_cast<int32_t>(timeoutMs);
    for (;;) {
        if (pthread_mutex_trylock(&m_hMutex) == 0) return 1;
        if (remaining < 10) return 0;  // the next step would pass the limit
        remaining -= 10;
        VPollSleep();
    }
}

int CVMutex::Unlock() {
    pthread_mutex_unlock(&m_hMutex);
    return 1;
}

uint32_t CVMutex::GetHandle() { return m_bCreated ? 1u : 0u; }

VOS_NAMESPACE_END
