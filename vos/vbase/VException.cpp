#include "vos/VException.h"

#include <android/log.h>
#include <new>
#include <pthread.h>

VOS_NAMESPACE_BEGIN

// Constructed at load in this order and destroyed in the reverse order.
CVErrorInfo* CVException::m_pLastError = nullptr;
CVMutex CVException::m_cMutexError;
CVMutex CVException::m_cMutexMem;
CVMutex CVException::m_cMutexFile;
CVLeakInfoManager CVException::m_cMemLeakMgr;
CVLeakInfoManager CVException::m_cFileLeakMgr;

namespace {

// Guards both registries. A plain statically initialised mutex: usable from
// the first call, whatever the order in which the process builds its statics,
// and needing no Create of its own.
pthread_mutex_t s_leakLock = PTHREAD_MUTEX_INITIALIZER;

class LeakLock {
public:
    LeakLock() { pthread_mutex_lock(&s_leakLock); }
    ~LeakLock() { pthread_mutex_unlock(&s_leakLock); }
};

const char kLogTag[] = "vos";

const char* OrUnknown(const char* file) { return file != nullptr ? file : "?"; }

// The mutexes' 16-bit names, for CVMutex::Create (which does not use them).
const unsigned short kNameMutexError[] = {'M', 'u', 't', 'e', 'x', 'E', 'r', 'r', 'o', 'r', 0};
const unsigned short kNameMutexMem[] = {'M', 'u', 't', 'e', 'x', 'M', 'e', 'm', 0};
const unsigned short kNameMutexFile[] = {'M', 'u', 't', 'e', 'x', 'F', 'i', 'l', 'e', 0};

void CreateOnce(CVMutex& mutex, const unsigned short* name) {
    if (mutex.GetHandle() != 0) return;
    mutex.Create(name);
}

}  // namespace

CVException::CVException() {}

CVException::~CVException() {}

void CVException::Init() {
    if (m_pLastError != nullptr) return;
    // Nothing reads the record: when it cannot be had, the store simply stays
    // without one and a later Init tries again.
    void* block = CVMem::Allocate(sizeof(CVErrorInfo), "vos/vbase/VException", __LINE__);
    if (block == nullptr) return;
    m_pLastError = new (block) CVErrorInfo;
}

void CVException::Cleanup() {
    if (m_pLastError == nullptr) return;
    // The members go in reverse order: source file, module, message.
    m_pLastError->~CVErrorInfo();
    CVMem::Deallocate(m_pLastError);
    m_pLastError = nullptr;
}

void CVException::CreateMutexError() { CreateOnce(m_cMutexError, kNameMutexError); }

void CVException::CreateMutexMem() { CreateOnce(m_cMutexMem, kNameMutexMem); }

void CVException::CreateMutexFile() { CreateOnce(m_cMutexFile, kNameMutexFile); }

void CVException::SetLastError(CVString /*message*/, const char* /*module*/, const char* /*file*/,
                               unsigned int /*line*/) {}

void CVException::SetLastError(char* /*message*/, const char* /*module*/, const char* /*file*/,
                               unsigned int /*line*/) {}

void CVException::SetLastError(CVString /*message*/, CVString /*module*/, CVString /*file*/,
                               unsigned int /*line*/) {}

void CVException::SetLastError(CVErrorInfo /*info*/) {}

int CVException::GetLastError() { return 0; }

int CVException::RegisterMemoryLeak(void* p, unsigned int size, const char* file, unsigned int line) {
    LeakLock lock;
    return m_cMemLeakMgr.RegisterLeak(p, size, file, static_cast<int>(line));
}

int CVException::UnregisterMemoryLeak(void* p) {
    LeakLock lock;
    return m_cMemLeakMgr.UnRegisterLeak(p);
}

int CVException::CheckMemoryLeak(_VLeakInfo*& records, int& count, int& peakSize) {
    LeakLock lock;
    return m_cMemLeakMgr.CheckLeak(records, count, peakSize);
}

int CVException::PrintMemoryLeak() {
    LeakLock lock;
    const CVLeakInfoManager& mgr = m_cMemLeakMgr;
    for (int32_t i = 0; i < mgr.m_nCount; ++i) {
        const _VLeakInfo& r = mgr.m_pLeakInfo[i];
        __android_log_print(ANDROID_LOG_WARN, kLogTag, "memory leak: %p, %u bytes, allocated at %s:%d", r.pAddr,
                            static_cast<unsigned>(r.nSize), OrUnknown(r.pszFile), static_cast<int>(r.nLine));
    }
    __android_log_print(ANDROID_LOG_INFO, kLogTag, "memory leaks: %d blocks, %d bytes, peak %d bytes",
                        static_cast<int>(mgr.m_nCount), static_cast<int>(mgr.m_nCurSize),
                        static_cast<int>(mgr.m_nPeakSize));
    return mgr.m_nCount;
}

int CVException::RegisterFileLeak(CVFile* file, const char* sourceFile, unsigned int line) {
    LeakLock lock;
    return m_cFileLeakMgr.RegisterLeak(file, 1, sourceFile, static_cast<int>(line));
}

int CVException::UnregisterFileLeak(CVFile* file) {
    LeakLock lock;
    return m_cFileLeakMgr.UnRegisterLeak(file);
}

int CVException::CheckFileLeak(_VLeakInfo*& records, int& count) {
    LeakLock lock;
    int peakSize = 0;
    return m_cFileLeakMgr.CheckLeak(records, count, peakSize);
}

int CVException::PrintFileLeak() {
    LeakLock lock;
    const CVLeakInfoManager& mgr = m_cFileLeakMgr;
    for (int32_t i = 0; i < mgr.m_nCount; ++i) {
        const _VLeakInfo& r = mgr.m_pLeakInfo[i];
        __android_log_print(ANDROID_LOG_WARN, kLogTag, "file leak: %p, opened at %s:%d", r.pAddr,
                            OrUnknown(r.pszFile), static_cast<int>(r.nLine));
    }
    __android_log_print(ANDROID_LOG_INFO, kLogTag, "file leaks: %d files, peak %d open at once",
                        static_cast<int>(mgr.m_nCount), static_cast<int>(mgr.m_nPeakSize));
    return mgr.m_nCount;
}

VOS_NAMESPACE_END
