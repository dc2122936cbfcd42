/// @file
/// Threads and synchronisation: a recursive lock (CVMutex), a signal counter
/// with manual or automatic reset (CVEvent) and one worker thread per object
/// (CVThread), all over POSIX threads.
///
/// A waiter sleeps until the release or the signal wakes it. Time-outs are in
/// milliseconds on the monotonic clock, in 10 ms steps: a Lock limit under
/// 10 ms makes one attempt and does not wait, a longer limit t gives up after
/// floor(t / 10) * 10 ms; an event Wait(t) that times out returns after
/// (floor(t / 10) + 1) * 10 ms, so Wait(0) on an unsignalled event takes
/// 10 ms. 0xFFFFFFFF waits without limit, and any other time-out, however long
/// (2^31 ms and more included), waits up to that long. A thread that holds a CVMutex may lock it
/// again and unlocks it once per successful Lock. CreateEvent, CloseEvent,
/// CreateThread and TerminateThread are called by the object's owner from one
/// thread; SetEvent, ResetEvent and Wait may be called from any thread.
#ifndef VOS_VTHREAD_H
#define VOS_VTHREAD_H

#include <pthread.h>

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

/// The time-out that waits without limit.
const unsigned int VWAIT_INFINITE = 0xFFFFFFFFu;

/// A recursive mutex; a waiter sleeps in the mutex until it is released.
class VOS_API CVMutex {
public:
    CVMutex();
    virtual ~CVMutex();

    /// Initialises a fresh, unlocked recursive mutex; the name is not used.
    void Create(const unsigned short* name = nullptr);
    /// 1 when the calling thread holds the mutex, 0 when the time-out passed.
    int Lock(unsigned int timeoutMs = VWAIT_INFINITE);
    /// Releases one level of ownership; always 1.
    int Unlock();
    /// 0 until Create, non-zero from then on until destruction.
    uint32_t GetHandle();

private:
    CVMutex(const CVMutex&);
    CVMutex& operator=(const CVMutex&);

    /// Zero until Create; whether the mutex is created is read from it.
    pthread_mutex_t m_hMutex;
};

/// An event with manual or automatic reset; SetEvent wakes its waiters.
class VOS_API CVEvent {
public:
    CVEvent();
    virtual ~CVEvent();

    /// Replaces any existing event by a new unsignalled one; the name is not
    /// used. 1, or 0 with no event when its record cannot be allocated.
    int CreateEvent(int bManualReset, const unsigned short* name = nullptr);
    /// Adds one signal; 0 without an event.
    int SetEvent();
    /// Discards every pending signal; 0 without an event.
    int ResetEvent();
    /// 1 when signalled (an automatic-reset event consumes one signal), 0 on
    /// time-out; 1 at once when there is no event.
    int Wait(unsigned int timeoutMs = VWAIT_INFINITE);
    /// Frees the event; 0 without one.
    int CloseEvent();
    /// The event's record, or null.
    void* GetHandle();

    /// The event's record, or null.
    void* m_hHandle;

private:
    CVEvent(const CVEvent&);
    CVEvent& operator=(const CVEvent&);
};

/// How CreateThread starts the thread. Every thread starts running at once;
/// callers pass 0.
enum EThreadCreateStatus {
    VTHREAD_CREATE_RUNNING = 0
};

/// One thread running a procedure; the object is idle again once joined.
class VOS_API CVThread {
public:
    CVThread();
    /// Forgets the thread without waiting for it: a running thread runs on and
    /// releases its own resources when its procedure returns.
    virtual ~CVThread();

    /** @name Starting */
    ///@{
    /// Starts proc(param) on a new thread. 0 when the object already owns a
    /// thread or the thread cannot be started.
    int CreateThread(unsigned long (*proc)(void*), void* param, EThreadCreateStatus status);
    int CreateThread(unsigned long (*proc)(void*), void* param, int status = 0) {
        return CreateThread(proc, param, static_cast<EThreadCreateStatus>(status));
    }
    ///@}
    /// Waits until the thread's procedure has returned and makes the object
    /// idle again; 0 without a thread. It does not stop the procedure: the
    /// owner makes it return first. The exit code is not used.
    int TerminateThread(unsigned long exitCode = 0);
    /** @name Priority */
    ///@{
    /// Priorities are not supported: Set does nothing and gives 0, Get gives 1.
    int SetThreadPriority(int priority);
    int GetThreadPriority();
    ///@}
    /// The thread's record, or null.
    void* GetHandle();

    /// The thread's record, or null.
    void* m_hHandle;

private:
    CVThread(const CVThread&);
    CVThread& operator=(const CVThread&);
};

VOS_NAMESPACE_END

#endif  // VOS_VTHREAD_H
