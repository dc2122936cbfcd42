// The library's one way to make a process-wide lock.
//
// A CVProcessLock is a recursive CVMutex that is created on first use,
// exactly once, by whichever thread comes first; a thread that arrives while
// another creates it waits until it is done. It is never re-created (a lock
// another thread may be waiting in must not be) and never destroyed. The
// object itself is built by the compiler (a constexpr constructor), so it is
// usable from any static constructor or destructor, whatever the order in
// which the process builds and tears down its statics, and before any
// start-up call.
//
// Two forms:
//   CVProcessLock s_lock;                       // a lock of its own
//   CVProcessLock s_lock(CVFoo::s_Mutex, name); // makes a class's declared
//                                               // static CVMutex usable
// Every use goes through the object: CVLockGuard<CVMutex> guard(s_lock) or
// s_lock.Get(); never the declared CVMutex directly before the first Get.
#ifndef VOS_VBASE_VPROCESSLOCK_H
#define VOS_VBASE_VPROCESSLOCK_H

#include <pthread.h>

#include <new>

#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

class CVProcessLock {
public:
    constexpr CVProcessLock() : m_pDeclared(nullptr), m_pName(nullptr), m_nReady(0), m_storage{} {}
    constexpr CVProcessLock(CVMutex& declared, const unsigned short* name)
        : m_pDeclared(&declared), m_pName(name), m_nReady(0), m_storage{} {}

    // The created mutex.
    CVMutex& Get() {
        if (!__atomic_load_n(&m_nReady, __ATOMIC_ACQUIRE)) Create();
        return *Mutex();
    }
    operator CVMutex&() { return Get(); }
    int Lock(unsigned int timeoutMs = VWAIT_INFINITE) { return Get().Lock(timeoutMs); }
    int Unlock() { return Get().Unlock(); }

private:
    CVProcessLock(const CVProcessLock&);
    CVProcessLock& operator=(const CVProcessLock&);

    CVMutex* Mutex() { return m_pDeclared != nullptr ? m_pDeclared : reinterpret_cast<CVMutex*>(m_storage); }

    void Create() {
        // Only first uses meet here, once per lock: a plain mutex that the
        // compiler initialises serialises them.
        static pthread_mutex_t s_creating = PTHREAD_MUTEX_INITIALIZER;
        pthread_mutex_lock(&s_creating);
        if (!__atomic_load_n(&m_nReady, __ATOMIC_ACQUIRE)) {
            CVMutex* mutex = m_pDeclared != nullptr ? m_pDeclared : ::new (static_cast<void*>(m_storage)) CVMutex;
            mutex->Create(m_pName);
            __atomic_store_n(&m_nReady, 1, __ATOMIC_RELEASE);
        }
        pthread_mutex_unlock(&s_creating);
    }

    CVMutex* m_pDeclared;
    const unsigned short* m_pName;
    int m_nReady;
    alignas(CVMutex) unsigned char m_storage[sizeof(CVMutex)];
};

VOS_NAMESPACE_END

#endif  // VOS_VBASE_VPROCESSLOCK_H
