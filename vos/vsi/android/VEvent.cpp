#include "vos/VThread.h"

#include "VPoll.h"
#include "VThreadRecord.h"

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
    __atomic_add_fetch(&Record(m_hHandle)->nCount, 1, __ATOMIC_ACQ_REL);
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
    // Polled in 10 ms steps: the signalling side never wakes a waiter.
    if (timeoutMs == VWAIT_INFINITE) {
        while (!TryPass(rec)) VPollSleep();
        return 1;
    }
    // Counted in 64 bits: a limit of 2^31 ms or more is a long wait, not a
    // negative one that would give up without looking.
    for (int64_t remaining = timeoutMs; remaining >= 0; remaining -= 10) {
        if (TryPass(rec)) return 1;
        VPollSleep();
    }
    return 0;
}

int CVEvent::CloseEvent() {
    if (m_hHandle == nullptr) return 0;
    VDelete(Record(m_hHandle));
    m_hHandle = nullptr;
    return 1;
}

void* CVEvent::GetHandle() { return m_hHandle; }

VOS_NAMESPACE_END
