#include "vos/VThread.h"

#include "VThreadRecord.h"
#include "VTimeHook.h"
#include "VWait.h"

#include "vos/VMem.h"

VOS_NAMESPACE_BEGIN

namespace {

inline tagVEventRecord* Record(void* handle) { return static_cast<tagVEventRecord*>(handle); }

// One attempt to pass the event. An automatic-reset waiter takes its signal
// with a single test-and-decrement, so one signal releases one waiter only.
bool TryPass(tagVEventRecord* rec) {
    int32_t count = __atomic_load_n(&rec->nCount, __ATOMIC_ACQUIRE);
    if (rec->bManualReset) return count != 0;
    while (count > 0) {
        if (__atomic_compare_exchange_n(&rec->nCount, &count, count - 1, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE))
            return true;
    }
    return false;
}

}  // namespace

CVEvent::CVEvent() : m_hHandle(nullptr) {}

CVEvent::~CVEvent() { CloseEvent(); }

int CVEvent::CreateEvent(int bManualReset, const unsigned short* /*name*/) {
    CloseEvent();
    tagVEventRecord* rec = VNew<tagVEventRecord>(1, "vos/vsi/android/VThread", 184);
    if (rec == nullptr) return 0;
    rec->nCount = 0;
    rec->bManualReset = bManualReset;
    m_hHandle = rec;
    return 1;
}

int CVEvent::SetEvent() {
    if (m_hHandle == nullptr) return 0;
    tagVEventRecord* rec = Record(m_hHandle);
    __atomic_add_fetch(&rec->nCount, 1, __ATOMIC_ACQ_REL);
    // A woken automatic-reset waiter takes the signal or, when another thread
    // was quicker, sleeps again; so one wake-up per signal is enough there,
    // while a manual-reset event lets every waiter through.
    VWordWake(&rec->nCount, rec->bManualReset ? INT32_MAX : 1);
    return 1;
}

int CVEvent::ResetEvent() {
    if (m_hHandle == nullptr) return 0;
    __atomic_store_n(&Record(m_hHandle)->nCount, 0, __ATOMIC_RELEASE);
    return 1;
}

int CVEvent::Wait(unsigned int timeoutMs) {
    tagVEventRecord* rec = Record(m_hHandle);
    if (rec == nullptr) return 1;
    if (TryPass(rec)) return 1;
    // The waiter sleeps on the count while it is 0 and SetEvent wakes it. A
    // time-out ends where the 10 ms steps callers know would have: after the
    // limit's whole tens of milliseconds plus one step, so that Wait(0) on an
    // unsignalled event still takes 10 ms and callers pacing themselves with
    // it do not spin. Counted in 64 bits, a limit of 2^31 ms or more is a long
    // wait, not a negative one.
    int64_t deadline = VWAIT_NO_DEADLINE;
    if (timeoutMs != VWAIT_INFINITE) {
        // The extra step of the largest limits passes 2^32 ms: counted in 64
        // bits, it does not wrap into a wait of a few milliseconds.
        const uint64_t limitMs = (static_cast<uint64_t>(timeoutMs) / 10 + 1) * 10;
        VWaitNoteLimit(limitMs > VWAIT_INFINITE ? VWAIT_INFINITE : static_cast<unsigned int>(limitMs));
        deadline = VTickClockNs() + static_cast<int64_t>(limitMs) * 1000000;
    }
    for (;;) {
        // Every return from the sleep looks at the count before giving up: a
        // waiter woken for a signal takes it even at its deadline, so no
        // wake-up is spent on a waiter that then leaves without it.
        VWordWait(&rec->nCount, 0, deadline);
        if (TryPass(rec)) return 1;
        if (deadline != VWAIT_NO_DEADLINE && VTickClockNs() >= deadline) return 0;
    }
}

int CVEvent::CloseEvent() {
    if (m_hHandle == nullptr) return 0;
    VDelete(Record(m_hHandle));
    m_hHandle = nullptr;
    return 1;
}

void* CVEvent::GetHandle() { return m_hHandle; }

VOS_NAMESPACE_END
