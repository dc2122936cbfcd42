#include "vos/VException.h"

#include <android/log.h>
#include <new>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#include "vbase/VLockGuard.h"
#include "vbase/VProcessLock.h"

VOS_NAMESPACE_BEGIN

// Constructed at load in this order and destroyed in the reverse order.
CVErrorInfo* CVException::m_pLastError = nullptr;
CVMutex CVException::m_cMutexError;
CVMutex CVException::m_cMutexMem;
CVMutex CVException::m_cMutexFile;
CVLeakInfoManager CVException::m_cMemLeakMgr;
CVLeakInfoManager CVException::m_cFileLeakMgr;

namespace {

// Guards both registries; usable from the first call, whatever the order in
// which the process builds its statics.
CVProcessLock s_leakLock;

typedef CVLockGuard<CVMutex> CVLeakLock;

// A copy of a registry's records as a check found them. The registry's own
// table moves and shifts with every later registration, which may come from
// any thread the moment the lock is released; the copy stays as it is until
// the next check of the same registry replaces it. Like the registries'
// tables, it comes from the heap directly, not through CVMem.
class CVLeakSnapshot {
public:
    CVLeakSnapshot() : m_pRecords(nullptr), m_nCapacity(0) {}
    ~CVLeakSnapshot() { free(m_pRecords); }

    // Called with s_leakLock held. Hands out the copy of the registry's
    // records, or null when it has none or no copy can be had.
    int Take(CVLeakInfoManager& mgr, _VLeakInfo*& records, int& count, int& peakSize) {
        _VLeakInfo* table = nullptr;
        const int found = mgr.CheckLeak(table, count, peakSize);
        records = nullptr;
        if (!found) return 0;
        if (count > m_nCapacity) {
            _VLeakInfo* grown = static_cast<_VLeakInfo*>(malloc(static_cast<size_t>(count) * sizeof(_VLeakInfo)));
            if (grown == nullptr) {
                count = 0;
                return 0;
            }
            free(m_pRecords);
            m_pRecords = grown;
            m_nCapacity = count;
        }
        memcpy(m_pRecords, table, static_cast<size_t>(count) * sizeof(_VLeakInfo));
        records = m_pRecords;
        return 1;
    }

private:
    CVLeakSnapshot(const CVLeakSnapshot&);
    CVLeakSnapshot& operator=(const CVLeakSnapshot&);

    _VLeakInfo* m_pRecords;
    int m_nCapacity;
};

CVLeakSnapshot s_memSnapshot;
CVLeakSnapshot s_fileSnapshot;

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
    CVLeakLock lock(s_leakLock);
    return m_cMemLeakMgr.RegisterLeak(p, size, file, static_cast<int>(line));
}

int CVException::UnregisterMemoryLeak(void* p) {
    CVLeakLock lock(s_leakLock);
    return m_cMemLeakMgr.UnRegisterLeak(p);
}

int CVException::CheckMemoryLeak(_VLeakInfo*& records, int& count, int& peakSize) {
    CVLeakLock lock(s_leakLock);
    return s_memSnapshot.Take(m_cMemLeakMgr, records, count, peakSize);
}

int CVException::PrintMemoryLeak() {
    CVLeakLock lock(s_leakLock);
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
    CVLeakLock lock(s_leakLock);
    return m_cFileLeakMgr.RegisterLeak(file, 1, sourceFile, static_cast<int>(line));
}

int CVException::UnregisterFileLeak(CVFile* file) {
    CVLeakLock lock(s_leakLock);
    return m_cFileLeakMgr.UnRegisterLeak(file);
}

int CVException::CheckFileLeak(_VLeakInfo*& records, int& count) {
    CVLeakLock lock(s_leakLock);
    int peakSize = 0;
    return s_fileSnapshot.Take(m_cFileLeakMgr, records, count, peakSize);
}

int CVException::PrintFileLeak() {
    CVLeakLock lock(s_leakLock);
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
