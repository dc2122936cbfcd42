/// @file
/// The process-wide error facade: the last-error store, three named global
/// mutexes for the host, and the leak interface over two registries (memory
/// blocks and open files).
///
/// The last-error store keeps nothing: SetLastError returns at once and
/// GetLastError gives 0, so callers rely on results alone. The global mutexes
/// are never locked inside the library; the host creates them before it shares
/// them. The leak interface forwards to m_cMemLeakMgr and m_cFileLeakMgr under
/// a lock of its own and may be called from any thread; the library itself
/// registers nothing, the host decides what to track.
#ifndef VOS_VEXCEPTION_H
#define VOS_VEXCEPTION_H

#include "vos/VDefine.h"
#include "vos/VMem.h"
#include "vos/VString.h"
#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

class CVFile;

/// One reported failure: what, which module, where.
class VOS_API CVErrorInfo {
public:
    CVErrorInfo() : m_ulLine(0) {}

    ///@{
    /// The message, the module tag, the source file and line.
    CVString m_strMessage;
    CVString m_strModule;
    CVString m_strFile;
    uint32_t m_ulLine;
    ///@}
};

/// The last-error store, the global mutexes and the leak registries: static
/// members only.
class VOS_API CVException {
public:
    CVException();
    virtual ~CVException();

    /** @name Error record */
    ///@{
    /// Create and destroy the error record; called by the library's start-up
    /// and shut-down.
    static void Init();
    static void Cleanup();
    ///@}

    /** @name Global mutexes */
    ///@{
    /// Create the named global mutex unless it already exists.
    static void CreateMutexError();
    static void CreateMutexMem();
    static void CreateMutexFile();
    ///@}

    ///@{
    /// Accepted and discarded.
    static void SetLastError(CVString message, const char* module, const char* file, unsigned int line);
    static void SetLastError(char* message, const char* module, const char* file, unsigned int line);
    static void SetLastError(CVString message, CVString module, CVString file, unsigned int line);
    static void SetLastError(CVErrorInfo info);
    ///@}
    /// Always 0.
    static int GetLastError();

    /// Memory blocks: 1 when p is (now) registered, 0 for null p or a full
    /// registry; the first registration of an address wins.
    static int RegisterMemoryLeak(void* p, unsigned int size, const char* file, unsigned int line);
    /// 1 when p was registered and is now removed, else 0.
    static int UnregisterMemoryLeak(void* p);
    /// Hands out a copy of the registry's records as they are now, their
    /// count and the peak total size; 1 when at least one block is
    /// registered, else 0 (records null). The copy belongs to the library and
    /// stays valid, whatever is registered meanwhile, until the next check of
    /// the same registry.
    static int CheckMemoryLeak(_VLeakInfo*& records, int& count, int& peakSize);
    /// Logs every registered block and the totals; gives the number of blocks.
    static int PrintMemoryLeak();

    /** @name Open files */
    ///@{
    /// Open files, each counted as size 1: the registry's peak total is the
    /// most files that were registered at once.
    /// Register, unregister and list open files as the memory forms above do.
    static int RegisterFileLeak(CVFile* file, const char* sourceFile, unsigned int line);
    static int UnregisterFileLeak(CVFile* file);
    static int CheckFileLeak(_VLeakInfo*& records, int& count);
    ///@}
    /// Logs every registered file; gives the number of files.
    static int PrintFileLeak();

    /** @name State */
    ///@{
    /// The error record (null outside start-up and shut-down), the three
    /// global mutexes and the two leak registries.
    static CVErrorInfo* m_pLastError;
    static CVMutex m_cMutexError;
    static CVMutex m_cMutexMem;
    static CVMutex m_cMutexFile;
    static CVLeakInfoManager m_cMemLeakMgr;
    static CVLeakInfoManager m_cFileLeakMgr;
    ///@}
};

VOS_NAMESPACE_END

#endif  // VOS_VEXCEPTION_H
