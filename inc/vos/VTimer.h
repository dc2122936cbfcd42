/// @file
/// Timers: up to 50 process-wide timers, each named by a non-zero id of the
/// caller's choice, firing once or periodically. A timer fires by calling its
/// callback on the timer thread or, without a callback, by posting message 17
/// on the message bus with wParam = id and lParam = param.
///
/// Call CVTimer::Init before the first SetTimer. The timer thread sleeps until
/// the next timer is due on the monotonic clock (setting, re-setting or
/// killing a timer wakes it), so a timer fires on time and never early; it
/// starts with the first timer and ends when none is left. A re-set timer
/// counts its delay from the SetTimer that re-set it.
/// Callbacks run with the timer lock held; it is recursive, so a callback may
/// set and kill timers, its own included.
#ifndef VOS_VTIMER_H
#define VOS_VTIMER_H

#include "vos/VDefine.h"
#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

/// The timer service: static members only.
class VOS_API CVTimer {
public:
    /// A timer callback: the timer id and the param given to SetTimer.
    typedef void (*TimerCallback)(unsigned long id, void* param);

    /// One slot of the timer table.
    struct tagCTimerData {
        unsigned long nID;        ///< 0 marks a free slot
        TimerCallback pfnCallback;  ///< null: post message 17 instead
        void* pParam;  ///< handed to the callback, or posted as lParam
        unsigned int nDue;        ///< ms to run before the next firing
        unsigned int nElapsed;    ///< ms run since set or last fired
        unsigned int nLastTick;   ///< V_GetTickCount() of the last update
        unsigned int nPeriod;     ///< ms between later firings; 0 fires once
        int nRemaining;           ///< firings left; -1 without end
    };

    enum { MAX_TIMERS = 50 };

    /// Creates the timer lock, once per process; call it before the first
    /// SetTimer (a timer operation before it creates the lock itself).
    static void Init();
    /// 0 on success, -1 for id 0, -2 when all slots are in use, -3 when the
    /// timer thread cannot be started (the timer is then not set, its slot
    /// free). Setting an id that is set already re-arms it in its slot.
    static int SetTimer(unsigned long id, void (*callback)(unsigned long, void*), void* param,
                        unsigned int delay, unsigned int period, unsigned int count);
    /// 1 when the timer was set, else 0.
    static int KillTimer(unsigned long id);
    /** @name Clearing */
    ///@{
    /// KillAll and Release clear every slot under the timer lock; ClearTimer
    /// zeroes one slot and takes no lock.
    static void KillAll();
    static void Release();
    static void ClearTimer(tagCTimerData& timer);
    ///@}
    /// The timer thread's procedure.
    static void TimerProcess();

    /** @name State */
    ///@{
    /// The timer table, the slots in use, the timer lock (held while callbacks
    /// run and timer messages are posted), the timer thread and its running flag.
    static tagCTimerData s_TimerQueue[MAX_TIMERS];
    static int s_iSize;
    static CVMutex s_ListMutex;
    static CVThread s_TimerThread;
    static int s_bRunning;
    ///@}
};

VOS_NAMESPACE_END

#endif  // VOS_VTIMER_H
