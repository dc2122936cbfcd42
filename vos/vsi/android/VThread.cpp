#include "vos/VThread.h"

#include <string.h>

#include "vos/VMem.h"

#include "VThreadRecord.h"

VOS_NAMESPACE_BEGIN

namespace {

// What the new thread needs to start. It lives apart from the record because
// a destroyed CVThread frees its record while the thread may still be
// starting; the thread frees this block itself.
struct tagVThreadStart {
    unsigned long (*pfnProc)(void*);
    void* pParam;
};

void* ThreadMain(void* arg) {
    tagVThreadStart start = *static_cast<tagVThreadStart*>(arg);
    CVMem::Deallocate(arg);
    const unsigned long result = start.pfnProc(start.pParam);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(result));
}

void FreeRecord(tagVThreadRecord* rec) {
    pthread_attr_destroy(&rec->attr);
    VDelete(rec);
}

}  // namespace

CVThread::CVThread() : m_hHandle(nullptr) {}

CVThread::~CVThread() {
    tagVThreadRecord* rec = static_cast<tagVThreadRecord*>(m_hHandle);
    if (rec == nullptr) return;
    // Nobody will join the thread any more: detached, it gives back its stack
    // and bookkeeping by itself when its procedure returns.
    pthread_detach(rec->hThread);
    FreeRecord(rec);
    m_hHandle = nullptr;
}

int CVThread::CreateThread(unsigned long (*proc)(void*), void* param, EThreadCreateStatus /*status*/) {
    if (m_hHandle != nullptr || proc == nullptr) return 0;
    tagVThreadRecord* rec = VNew<tagVThreadRecord>(1, "vos/vsi/android/VThread", 310);
    if (rec == nullptr) return 0;
    pthread_attr_init(&rec->attr);
    tagVThreadStart* start =
        static_cast<tagVThreadStart*>(CVMem::Allocate(sizeof(tagVThreadStart), "vos/vsi/android/VThread", 310));
    if (start == nullptr) {
        FreeRecord(rec);
        return 0;
    }
    start->pfnProc = proc;
    start->pParam = param;
    // The handle is in place before the thread starts, so that a procedure
    // that looks at its owner finds it owning a thread.
    m_hHandle = rec;
    if (pthread_create(&rec->hThread, nullptr, ThreadMain, start) != 0) {
        m_hHandle = nullptr;
        CVMem::Deallocate(start);
        FreeRecord(rec);
        return 0;
    }
    return 1;
}

int CVThread::TerminateThread(unsigned long /*exitCode*/) {
    tagVThreadRecord* rec = static_cast<tagVThreadRecord*>(m_hHandle);
    if (rec == nullptr) return 0;
    if (pthread_equal(rec->hThread, pthread_self())) {
        // Called from the thread's own procedure: joining would never return,
        // so the thread is let go to release itself when it ends.
        pthread_detach(rec->hThread);
    } else {
        void* ignored = nullptr;
        pthread_join(rec->hThread, &ignored);
    }
    m_hHandle = nullptr;
    FreeRecord(rec);
    return 1;
}

int CVThread::SetThreadPriority(int /*priority*/) { return 0; }

int CVThread::GetThreadPriority() { return 1; }

void* CVThread::GetHandle() { return m_hHandle; }

VOS_NAMESPACE_END
