#include "vos/VThread.h"

#include <string.h>
#include "VPoll.h"

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
    // Waits poll in 10 ms steps rather than block, so a time-limited lock
    // behaves the same on every platform the library runs on.
    if (timeoutMs == VWAIT_INFINITE) {
        while (pthread_mutex_trylock(&m_hMutex) != 0) VPollSleep();
        return 1;
    }
    // Counted unsigned: a limit of 2^31 ms or more is a long wait, not a
    // negative one.
    unsigned int remaining = timeoutMs;
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

uint32_t CVMutex::GetHandle() { return IsCreated(m_hMutex) ? 1u : 0u; }

VOS_NAMESPACE_END
