/// @file
/// Pooled allocators a host may install behind the memory facade
/// (CVMem::m_pMemData, CVMem::m_pAllocData); nothing in the library creates
/// or installs them.
///
/// CVMemData serves requests up to 256 bytes from 32 free lists in 8-byte
/// steps and requests up to 2048 bytes from free lists in 32-byte steps, both
/// refilled from 4096-byte chunks of the process heap that are kept for the
/// pool's whole life; larger requests go to the process heap. Blocks carry no
/// header: the caller hands the requested size back to _Deallocate.
///
/// CVAllocData is a first-fit allocator over one region its owner attaches:
/// HeapAllocate cuts from the low end, GlobalAllocate from the high end, and a
/// release merges the block with free neighbours. A HeapAllocate or
/// GlobalAllocate block keeps its size in its header's size word (the second
/// 32-bit word on 32-bit targets), which the caller must leave intact until
/// HeapDeallocate; HeapAllocateEx blocks keep a whole header in front of the
/// pointer handed out.
///
/// Each object guards itself with its own lock, so one object may serve every
/// thread. Neither checks the pointers it is given back: releasing a foreign
/// pointer, releasing twice or giving _Deallocate another size class corrupts
/// the lists. Attach and detach a region only while no thread uses it.
#ifndef VOS_VMEMPOOL_H
#define VOS_VMEMPOOL_H

#include "vos/VDefine.h"
#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

/// Size-class pools: small and medium requests served from free lists that
/// are refilled in chunks from the process heap; larger ones go to the heap.
class VOS_API CVMemData {
public:
    /** @name Class limits */
    ///@{
    /// The largest request served from the small lists and from the medium
    /// lists, and the class steps of each.
    static constexpr unsigned long SMALL_MAX = 256;
    static constexpr unsigned long MEDIUM_MAX = 2048;
    static constexpr unsigned long SMALL_STEP = 8;
    static constexpr unsigned long MEDIUM_STEP = 32;
    ///@}
    /// Bytes taken from the process heap per refill chunk.
    static constexpr unsigned long CHUNK_SIZE = 4096;

    CVMemData();
    /// Destroys the lock; chunks and blocks stay allocated.
    virtual ~CVMemData();

    /// A block of at least n bytes (n at least 1), or null.
    void* _Allocate(unsigned long n);
    /// Returns p, which _Allocate(n) gave, to the list it came from.
    void _Deallocate(void* p, unsigned long n);

    /** @name Refilling */
    ///@{
    /// One block of the class size after stocking the class's list (up to
    /// four small or two medium blocks per refill), or null. Lock held.
    void* SmallRefill(unsigned long size);
    void* MediumRefill(unsigned long size);
    ///@}
    /** @name Cutting chunks */
    ///@{
    /// want blocks of the class size cut from the current chunk; want comes
    /// back as the number delivered (fewer when the chunk runs short). Null
    /// when no memory can be had. Lock held.
    void* SmallChunkAlloc(unsigned long size, int& want);
    void* MediumChunkAlloc(unsigned long size, int& want);
    ///@}

    /** @name Free lists and chunks */
    ///@{
    /// m_apSmallFree[k - 1] heads the free list of 8 * k-byte blocks and
    /// m_apMediumFree[k - 1] that of 32 * k-byte blocks (k from 9 on). A free
    /// block's first word links to the next one of its list. Start and end
    /// delimit the unused rest of the current chunk of each kind, the heap
    /// counts the bytes taken from the process heap; m_pLock is the lock in
    /// use (m_mutex).
    void* m_apSmallFree[32];
    char* m_pSmallStart;
    char* m_pSmallEnd;
    int32_t m_nSmallHeap;
    void* m_apMediumFree[64];
    char* m_pMediumStart;
    char* m_pMediumEnd;
    int32_t m_nMediumHeap;
    CVMutex m_mutex;
    CVMutex* m_pLock;
    ///@}

private:
    CVMemData(const CVMemData&);
    CVMemData& operator=(const CVMemData&);
};

/// Header at the start of every free block of a CVAllocData region, and in
/// front of every HeapAllocateEx block. On 32-bit targets it is 8 bytes (link,
/// then size); on 64-bit hosts it spans two pointer widths so that the link of
/// every header cut from the region stays aligned.
struct tagVFreeBlock {
    /// The next free block, in address order.
    tagVFreeBlock* pNext;
    uint32_t nSize;  ///< bytes in the block, this header included
};

/// A heap carved from one region of memory the host attaches: free blocks in
/// address order, first fit, neighbours merged on release.
class VOS_API CVAllocData {
public:
    ///@{
    /// Bytes of a block header, and the step every request is rounded up to:
    /// 8 and 4 on 32-bit targets.
    static constexpr unsigned int HEADER_SIZE = sizeof(tagVFreeBlock);
    static constexpr unsigned int GRANULE = sizeof(void*);
    ///@}

    CVAllocData();
    /// Destroys the lock; the region belongs to whoever attached it.
    virtual ~CVAllocData();

    /// The whole region becomes one free block. Takes no lock.
    void AttachMemory(void* p, unsigned int n);
    /// Forgets the region; every later allocation fails. Takes no lock.
    void DetachMemory();

    /// A block cut from the high end of the last free block, or null.
    void* GlobalAllocate(unsigned int n);
    /// A block cut from the low end of the first free block that fits, or null.
    void* HeapAllocate(unsigned int n);
    /// Releases a block from HeapAllocate or GlobalAllocate.
    void HeapDeallocate(void* p);
    /// Usable bytes just past a block header, or null.
    void* HeapAllocateEx(unsigned int n);
    /// Releases a pointer from HeapAllocateEx.
    void HeapDeallocateEx(void* q);
    /// Releases the lock; every allocating and releasing operation ends with it.
    void UnlockMemory();

    /// The attached region.
    void* m_pMemory;
    tagVFreeBlock* m_pFreeHead;  ///< always &m_freeAnchor
    tagVFreeBlock m_freeAnchor;  ///< pNext is the first free block
    /// Size of the attached region in bytes.
    uint32_t m_nMemorySize;
    /// Held by every allocating and releasing operation.
    CVMutex m_mutex;

private:
    CVAllocData(const CVAllocData&);
    CVAllocData& operator=(const CVAllocData&);

    void LockMemory();
    /// Size every request is served with: n rounded up to the granule and
    /// never below a header.
    static uint32_t BlockBytes(unsigned int n);
    /// First fit from the low end for a block of need bytes, keeping a
    /// header's worth of margin; null when nothing fits. Lock held.
    tagVFreeBlock* TakeFirstFit(uint32_t need);
    void Release(tagVFreeBlock* block);
};

VOS_NAMESPACE_END

#endif  // VOS_VMEMPOOL_H
