#include <limits.h>

#include "vos/VMem.h"
#include "vos/VMemPool.h"

VOS_NAMESPACE_BEGIN

static_assert(sizeof(void*) != 4 || sizeof(tagVFreeBlock) == 8, "32-bit block headers are a link and a size word");
static_assert(sizeof(tagVFreeBlock) == 2 * sizeof(void*), "headers span two pointer widths");

namespace {

inline char* Bytes(void* p) { return static_cast<char*>(p); }
inline tagVFreeBlock* At(char* p) { return reinterpret_cast<tagVFreeBlock*>(p); }
inline char* EndOf(tagVFreeBlock* b) { return Bytes(b) + b->nSize; }

}  // namespace

void* CVMem::GlobalAllocate(unsigned long size) {
    if (m_pAllocData == nullptr) return nullptr;
    // A size beyond 32 bits cannot be served from a region; refuse it rather
    // than serve a truncated one.
    if (size > UINT_MAX) return nullptr;
    return m_pAllocData->GlobalAllocate(static_cast<unsigned int>(size));
}

CVAllocData::CVAllocData() : m_pMemory(nullptr), m_pFreeHead(&m_freeAnchor), m_nMemorySize(0) {
    m_freeAnchor.pNext = nullptr;
    m_freeAnchor.nSize = HEADER_SIZE;
    m_mutex.Create(nullptr);
}

CVAllocData::~CVAllocData() {}

void CVAllocData::AttachMemory(void* p, unsigned int n) {
    m_pMemory = p;
    m_nMemorySize = n;
    // Only whole granules are used, so that blocks cut from the high end start
    // aligned; a region too small for one header holds no free block.
    const uint32_t usable = n & ~(GRANULE - 1);
    if (p == nullptr || usable < HEADER_SIZE) {
        m_freeAnchor.pNext = nullptr;
        return;
    }
    tagVFreeBlock* block = static_cast<tagVFreeBlock*>(p);
    block->pNext = nullptr;
    block->nSize = usable;
    m_freeAnchor.pNext = block;
}

void CVAllocData::DetachMemory() {
    m_pMemory = nullptr;
    m_nMemorySize = 0;
    m_freeAnchor.pNext = nullptr;
}

void CVAllocData::LockMemory() {
    while (!m_mutex.Lock(500)) {
    }
}

void CVAllocData::UnlockMemory() { m_mutex.Unlock(); }

uint32_t CVAllocData::BlockBytes(unsigned int n) {
    // A block smaller than a header would have its size word written over the
    // next block (or past the region's end), so no request is served below
    // one. Requests too large to round within 32 bits get a size no free
    // block can match.
    const uint64_t rounded = (static_cast<uint64_t>(n) + GRANULE - 1) & ~static_cast<uint64_t>(GRANULE - 1);
    if (rounded > UINT32_MAX - 2 * HEADER_SIZE) return UINT32_MAX - 2 * HEADER_SIZE + 1;
    return rounded < HEADER_SIZE ? HEADER_SIZE : static_cast<uint32_t>(rounded);
}

namespace {

// The request rounded up to the granule, without the floor of one header: a
// block this size plus a header, taken whole, already holds a size word of
// its own, so the floor matters only where a block is split.
uint32_t WholeBlockBytes(unsigned int n) {
    const uint64_t rounded = (static_cast<uint64_t>(n) + CVAllocData::GRANULE - 1) &
                             ~static_cast<uint64_t>(CVAllocData::GRANULE - 1);
    const uint64_t whole = rounded + CVAllocData::HEADER_SIZE;
    return whole > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(whole);
}

// First fit from the low end: a block above need plus a header is split, one
// from least up to need plus a header is taken whole (a remainder of a bare
// header could serve nothing).
tagVFreeBlock* FirstFit(tagVFreeBlock* head, uint32_t need, uint64_t least) {
    const uint64_t whole = static_cast<uint64_t>(need) + CVAllocData::HEADER_SIZE;
    tagVFreeBlock* prev = head;
    for (tagVFreeBlock* block = prev->pNext; block != nullptr; prev = block, block = block->pNext) {
        if (block->nSize > whole) {
            // The rest stays free in the block's place in the list.
            tagVFreeBlock* rest = At(Bytes(block) + need);
            rest->pNext = block->pNext;
            rest->nSize = block->nSize - need;
            prev->pNext = rest;
            block->nSize = need;
            return block;
        }
        if (block->nSize >= least) {
            prev->pNext = block->pNext;
            return block;
        }
    }
    return nullptr;
}

}  // namespace

tagVFreeBlock* CVAllocData::TakeFirstFit(uint32_t need) {
    return FirstFit(m_pFreeHead, need, static_cast<uint64_t>(need) + HEADER_SIZE);
}

void* CVAllocData::HeapAllocate(unsigned int n) {
    LockMemory();
    void* block = FirstFit(m_pFreeHead, BlockBytes(n), WholeBlockBytes(n));
    UnlockMemory();
    return block;
}

void* CVAllocData::HeapAllocateEx(unsigned int n) {
    LockMemory();
    tagVFreeBlock* block = TakeFirstFit(BlockBytes(n) + HEADER_SIZE);
    UnlockMemory();
    return block != nullptr ? Bytes(block) + HEADER_SIZE : nullptr;
}

void* CVAllocData::GlobalAllocate(unsigned int n) {
    LockMemory();
    const uint32_t b = BlockBytes(n);
    tagVFreeBlock* prev = m_pFreeHead;
    tagVFreeBlock* last = prev->pNext;
    void* result = nullptr;
    if (last != nullptr) {
        while (last->pNext != nullptr) {
            prev = last;
            last = last->pNext;
        }
        const uint64_t whole = static_cast<uint64_t>(b) + HEADER_SIZE;
        if (last->nSize > whole) {
            last->nSize -= b;
            tagVFreeBlock* block = At(EndOf(last));
            block->nSize = b;
            result = block;
        } else if (last->nSize >= WholeBlockBytes(n)) {
            prev->pNext = nullptr;
            result = last;
        }
    }
    UnlockMemory();
    return result;
}

void CVAllocData::Release(tagVFreeBlock* block) {
    tagVFreeBlock* first = m_freeAnchor.pNext;
    if (first == nullptr || block < first) {
        if (first != nullptr && EndOf(block) == Bytes(first)) {
            block->nSize += first->nSize;
            block->pNext = first->pNext;
        } else {
            block->pNext = first;
        }
        m_freeAnchor.pNext = block;
        return;
    }
    tagVFreeBlock* prev = first;
    while (prev->pNext != nullptr && prev->pNext <= block) prev = prev->pNext;
    block->pNext = prev->pNext;
    prev->pNext = block;
    if (block->pNext != nullptr && EndOf(block) == Bytes(block->pNext)) {
        block->nSize += block->pNext->nSize;
        block->pNext = block->pNext->pNext;
    }
    if (EndOf(prev) == Bytes(block)) {
        prev->nSize += block->nSize;
        prev->pNext = block->pNext;
    }
}

void CVAllocData::HeapDeallocate(void* p) {
    if (p == nullptr) return;
    LockMemory();
    Release(static_cast<tagVFreeBlock*>(p));
    UnlockMemory();
}

void CVAllocData::HeapDeallocateEx(void* q) {
    if (q == nullptr) return;
    LockMemory();
    Release(At(Bytes(q) - HEADER_SIZE));
    UnlockMemory();
}

VOS_NAMESPACE_END
