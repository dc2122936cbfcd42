/// @file
/// Memory: the allocation facade every part of vos allocates through, the
/// counted blocks made by VNew and released by VDelete, and the leak registry.
///
/// A CVMem block is exactly a process-heap block: Allocate, Reallocate and
/// Deallocate may be mixed freely with each other. A counted block keeps its
/// signed 32-bit element count in the word just before the first element; on
/// 32-bit targets the block starts exactly 4 bytes before the elements, on
/// 64-bit hosts early enough to keep elements of wider alignment aligned.
/// Neither the facade nor a registry takes a lock.
#ifndef VOS_VMEM_H
#define VOS_VMEM_H

#include <new>
#include <string.h>

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

class CVAllocData;
class CVMemData;

/// The allocation facade: static members only.
class VOS_API CVMem {
public:
    CVMem() {}

    /// A block of size bytes from the process heap, or null. The source
    /// position is accepted for the call sites' sake and not used.
    static void* Allocate(unsigned long size, const char* file, int line);
    /// Returns a block to the process heap; null is allowed.
    static void Deallocate(void* p);
    /// Resizes as realloc does.
    static void* Reallocate(void* p, unsigned long size);
    /// CVAllocData::GlobalAllocate of m_pAllocData, or null when none is set.
    static void* GlobalAllocate(unsigned long size);

    /** @name Installed allocators */
    ///@{
    /// The region heap behind GlobalAllocate and the size-class pools a host
    /// may install; null when none is.
    static CVAllocData* m_pAllocData;
    static CVMemData* m_pMemData;
    ///@}
};

/// Offset of the first element from the start of a counted block: the 32-bit
/// count word, widened on 64-bit hosts to the element's alignment so that the
/// elements stay aligned while the count remains in the word just before them.
template <typename T>
constexpr size_t VCountedBlockOffset() {
    return (sizeof(void*) == 4 || alignof(T) <= sizeof(int32_t)) ? sizeof(int32_t) : alignof(T);
}

/// The count word of a counted block, given its first element.
inline int32_t& VCountedBlockCount(void* first) {
    return *reinterpret_cast<int32_t*>(static_cast<char*>(first) - sizeof(int32_t));
}

/// Makes a counted block of count zeroed elements, default-constructs class
/// elements first to last, and returns the first element (null on failure).
template <typename T>
T* VNew(int count, const char* file, int line) {
    if (count < 0) return nullptr;
    const size_t offset = VCountedBlockOffset<T>();
    const unsigned long bytes = static_cast<unsigned long>(offset + sizeof(T) * static_cast<size_t>(count));
    char* block = static_cast<char*>(CVMem::Allocate(bytes, file, line));
    if (block == nullptr) return nullptr;
    T* first = reinterpret_cast<T*>(block + offset);
    VCountedBlockCount(first) = count;
    memset(static_cast<void*>(first), 0, sizeof(T) * static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) ::new (static_cast<void*>(first + i)) T;
    return first;
}

/// Destroys every element of a counted block first to last and frees the block.
template <typename T>
void VDelete(T* p) {
    if (p == nullptr) return;
    const int32_t count = VCountedBlockCount(p);
    for (int32_t i = 0; i < count; ++i) p[i].~T();
    CVMem::Deallocate(reinterpret_cast<char*>(p) - VCountedBlockOffset<T>());
}

/// One registered allocation.
struct _VLeakInfo {
    ///@{
    /// The block, its size in bytes, and the source file and line that
    /// registered it.
    void* pAddr;
    uint32_t nSize;
    const char* pszFile;
    int32_t nLine;
    ///@}
};

/// A table of live allocations with their origin, the current total size and
/// its peak. Grows by 64 records, never shrinks; the table itself comes from
/// the process heap directly. No lock: a shared registry is guarded by its user.
class VOS_API CVLeakInfoManager {
public:
    CVLeakInfoManager();
    virtual ~CVLeakInfoManager();

    /** @name Registration */
    ///@{
    /// RegisterLeak records a block (1, or 0 for null p or when the table
    /// cannot grow; the first registration of an address wins);
    /// UnRegisterLeak removes it (1 when it was registered, else 0).
    int RegisterLeak(void* p, unsigned int size, const char* file, int line);
    int UnRegisterLeak(void* p);
    ///@}
    /// Hands out the table in place; valid until the next RegisterLeak.
    int CheckLeak(_VLeakInfo*& records, int& count, int& peakSize);
    /// Grows the table by m_nGrowBy records; 1, or 0 when it cannot.
    int GrowUp();

    /** @name Table and totals */
    ///@{
    /// The growth step, the records, their capacity and count, and the peak
    /// and current total size in bytes.
    int32_t m_nGrowBy;
    _VLeakInfo* m_pLeakInfo;
    int32_t m_nMaxCount;
    int32_t m_nCount;
    int32_t m_nPeakSize;
    int32_t m_nCurSize;
    ///@}

private:
    CVLeakInfoManager(const CVLeakInfoManager&);
    CVLeakInfoManager& operator=(const CVLeakInfoManager&);
};

VOS_NAMESPACE_END

#endif  // VOS_VMEM_H
