#include "vos/VTimer.h"

#include <stdint.h>
#include <string.h>

#include "vos/VMsg.h"
#include "vos/VTime.h"
#include "vbase/VLockGuard.h"
#include "vbase/VProcessLock.h"
#include "vsi/android/VTimeCalc.h"
#include "vsi/android/VTimeHook.h"
#include "vsi/android/VTimerHook.h"
#include "vsi/android/VWait.h"

#ifdef VOS_TEST_HOOKS
void (*VTimer_HookBeforeEnd)() = nullptr;
void (*VTimer_HookAfterPass)() = nullptr;
namespace {
unsigned long g_ulPasses = 0;
}
unsigned long VTimer_HookPassCount() { return __atomic_load_n(&g_ulPasses, __ATOMIC_ACQUIRE); }
#endif

VOS_NAMESPACE_BEGIN

CVTimer::tagCTimerData CVTimer::s_TimerQueue[CVTimer::MAX_TIMERS];
int CVTimer::s_iSize = 0;
CVMutex CVTimer::s_ListMutex;
CVThread CVTimer::s_TimerThread;
int CVTimer::s_bRunning = 0;

namespace {

const unsigned int kTimerMessage = 17;
const int64_t kNsPerMs = 1000000;

// Changed by every SetTimer, KillTimer and KillAll: the timer thread sleeps
// on it until its next timer comes due, and the change wakes it to look at
// the table again.
int32_t g_nWakeWord = 0;

void WakeTimerThread() {
    __atomic_add_fetch(&g_nWakeWord, 1, __ATOMIC_ACQ_REL);
    VWordWake(&g_nWakeWord, 1);
}

// The slot whose callback or post is under way on the timer thread, and
// whether that callback set or killed the slot's own timer. Both are guarded
// by the timer lock, which the timer thread holds while it fires.
int g_iFiringSlot = -1;
int g_bFiringTouched = 0;

// s_iSize and s_bRunning are changed under the timer lock, but the thread
// reads them without it between passes.
int LoadSize() { return __atomic_load_n(&CVTimer::s_iSize, __ATOMIC_ACQUIRE); }
void AddSize(int delta) { __atomic_store_n(&CVTimer::s_iSize, CVTimer::s_iSize + delta, __ATOMIC_RELEASE); }
void SetRunning(int value) { __atomic_store_n(&CVTimer::s_bRunning, value, __ATOMIC_RELEASE); }
int IsRunning() { return __atomic_load_n(&CVTimer::s_bRunning, __ATOMIC_ACQUIRE); }

void NoteTouched(int slot) {
    if (slot == g_iFiringSlot) g_bFiringTouched = 1;
}

unsigned long TimerThreadProc(void*) {
    CVTimer::TimerProcess();
    return 0;
}

// The timer lock is created by whichever call comes first (Init or a timer
// operation before it): two threads making the first call together must not
// both create it, nor re-create it while one holds it.
CVProcessLock s_timerLock(CVTimer::s_ListMutex, nullptr);

CVMutex& TimerLock() { return s_timerLock.Get(); }

void FillSlot(CVTimer::tagCTimerData& slot, unsigned long id, CVTimer::TimerCallback callback, void* param,
              unsigned int delay, unsigned int period, int remaining) {
    slot.nID = id;
    slot.pfnCallback = callback;
    slot.pParam = param;
    slot.nDue = delay;
    slot.nElapsed = 0;
    slot.nLastTick = V_GetTickCount();
    slot.nPeriod = period;
    slot.nRemaining = remaining;
}

// Called with the timer lock held. s_bRunning is set here, not only by the
// new thread, so that a second SetTimer before the thread has started does
// not try to start another. 0 when the thread cannot be started.
int StartThreadIfNeeded() {
    if (IsRunning()) return 1;
    if (!CVTimer::s_TimerThread.CreateThread(TimerThreadProc, nullptr, 0)) return 0;
    SetRunning(1);
    return 1;
}

// SetTimer's end, with the timer lock held and the slot filled: a timer that
// no thread will ever fire is not set, so without a thread the slot is freed
// again and the failure reported.
int StartOrFree(int index) {
    if (StartThreadIfNeeded()) return 0;
    CVTimer::ClearTimer(CVTimer::s_TimerQueue[index]);
    AddSize(-1);
    return -3;
}

// Called on the timer thread with the timer lock held, once it has found the
// table empty. Clearing s_bRunning under the lock closes the window in which
// a SetTimer would see the thread as running while it is already leaving:
// any SetTimer after this point starts a fresh thread. Terminating from the
// thread itself lets it go without a join, so the object is free for that
// fresh thread at once.
void LeaveTimerThread() {
    SetRunning(0);
    CVTimer::s_TimerThread.TerminateThread(0);
}

void FireSlot(int index) {
    CVTimer::tagCTimerData& slot = CVTimer::s_TimerQueue[index];
    g_iFiringSlot = index;
    g_bFiringTouched = 0;
    if (slot.pfnCallback != nullptr) {
        slot.pfnCallback(slot.nID, slot.pParam);
    } else {
        // lParam is 32 bits wide; on the 32-bit device a pointer fits whole.
        CVMsg::PostMessage(kTimerMessage, static_cast<unsigned int>(slot.nID),
                           static_cast<int>(reinterpret_cast<intptr_t>(slot.pParam)));
    }
    g_iFiringSlot = -1;
    // A callback that killed or re-set its own timer has already left the
    // slot as it wants it; counting the firing again would free it twice.
    if (g_bFiringTouched) return;
    if (slot.nRemaining > 0) --slot.nRemaining;
    if (slot.nRemaining == 0 || slot.nPeriod == 0) {
        CVTimer::ClearTimer(slot);
        AddSize(-1);
    } else {
        slot.nDue = slot.nPeriod;
        slot.nElapsed = 0;
    }
}

}  // namespace

void CVTimer::Init() { TimerLock(); }

int CVTimer::SetTimer(unsigned long id, void (*callback)(unsigned long, void*), void* param, unsigned int delay,
                      unsigned int period, unsigned int count) {
    if (id == 0) return -1;
    const int remaining = count == 0 ? -1 : static_cast<int>(count);
    CVLockGuard<CVMutex> lock(TimerLock());
    int freeSlot = -1;
    for (int i = 0; i < MAX_TIMERS; ++i) {
        tagCTimerData& slot = s_TimerQueue[i];
        if (slot.nID == id) {
            // A re-set timer counts from now: the thread may have slept long
            // since its last pass over the slot, and that time must not
            // bring the new due time forward.
            slot.nLastTick = V_GetTickCount();
            slot.pfnCallback = callback;
            slot.pParam = param;
            slot.nDue = delay;
            slot.nPeriod = period;
            slot.nRemaining = remaining;
            slot.nElapsed = 0;
            NoteTouched(i);
            WakeTimerThread();
            return StartOrFree(i);
        }
        if (slot.nID == 0 && freeSlot < 0) freeSlot = i;
    }
    if (freeSlot < 0) return -2;
    FillSlot(s_TimerQueue[freeSlot], id, callback, param, delay, period, remaining);
    AddSize(1);
    WakeTimerThread();
    return StartOrFree(freeSlot);
}

int CVTimer::KillTimer(unsigned long id) {
    if (id == 0) return 0;
    CVLockGuard<CVMutex> lock(TimerLock());
    for (int i = 0; i < MAX_TIMERS; ++i) {
        if (s_TimerQueue[i].nID == id) {
            ClearTimer(s_TimerQueue[i]);
            AddSize(-1);
            NoteTouched(i);
            WakeTimerThread();
            return 1;
        }
    }
    return 0;
}

void CVTimer::KillAll() {
    CVLockGuard<CVMutex> lock(TimerLock());
    for (int i = 0; i < MAX_TIMERS; ++i) ClearTimer(s_TimerQueue[i]);
    __atomic_store_n(&s_iSize, 0, __ATOMIC_RELEASE);
    if (g_iFiringSlot >= 0) g_bFiringTouched = 1;
    WakeTimerThread();
}

void CVTimer::Release() {
    KillAll();
}

void CVTimer::ClearTimer(tagCTimerData& timer) {
    memset(&timer, 0, sizeof(timer));
}

void CVTimer::TimerProcess() {
    SetRunning(1);
    for (;;) {
        if (LoadSize() <= 0) {
#ifdef VOS_TEST_HOOKS
            if (VTimer_HookBeforeEnd != nullptr) VTimer_HookBeforeEnd();
#endif
            CVLockGuard<CVMutex> lock(TimerLock());
            if (s_iSize <= 0) {
                LeaveTimerThread();
                return;
            }
        }
        // Read before the pass: a change of the table after this point makes
        // the sleep below return at once.
        const int32_t seen = __atomic_load_n(&g_nWakeWord, __ATOMIC_ACQUIRE);
        int64_t nextMs = INT64_MAX;
        {
            CVLockGuard<CVMutex> lock(TimerLock());
#ifdef VOS_TEST_HOOKS
            __atomic_add_fetch(&g_ulPasses, 1, __ATOMIC_ACQ_REL);
#endif
            for (int i = 0; i < MAX_TIMERS; ++i) {
                tagCTimerData& slot = s_TimerQueue[i];
                if (slot.nID == 0) continue;
                const int64_t nowNs = VTickClockNs();
                const unsigned int now = VTickOf(nowNs / 1000000000, nowNs % 1000000000 / 1000);
                slot.nElapsed += VTicksSince(slot.nLastTick, now);
                slot.nLastTick = now;
                if (slot.nElapsed >= slot.nDue) FireSlot(i);
                if (slot.nID == 0) continue;
                // Due when the tick has gone on by what is left; one
                // millisecond more, because the timer was set somewhere
                // within its first tick, and it must not fire early.
                const int64_t left = slot.nElapsed >= slot.nDue ? 0 : slot.nDue - slot.nElapsed + 1;
                const int64_t dueMs = nowNs / kNsPerMs + left;
                if (dueMs < nextMs) nextMs = dueMs;
            }
        }
#ifdef VOS_TEST_HOOKS
        void (*afterPass)() = __atomic_load_n(&VTimer_HookAfterPass, __ATOMIC_ACQUIRE);
        if (afterPass != nullptr) afterPass();
#endif
        // The pass fired the last timer: the loop's head decides to end.
        if (nextMs == INT64_MAX) continue;
        // Asleep until the next timer is due, or until the table changes.
        VWordWait(&g_nWakeWord, seen, nextMs * kNsPerMs);
    }
}

VOS_NAMESPACE_END
