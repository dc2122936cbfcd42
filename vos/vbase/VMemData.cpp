#include "vos/VMemPool.h"

#include <stdlib.h>
#include <string.h>

#include "vos/VMem.h"

VOS_NAMESPACE_BEGIN

namespace {

// A free block's first word links it to the next block of its list.
inline void*& Link(void* block) { return *static_cast<void**>(block); }

inline void Push(void** heads, unsigned long list, void* block) {
    Link(block) = heads[list - 1];
    heads[list - 1] = block;
}

inline void* Pop(void** heads, unsigned long list) {
    void* block = heads[list - 1];
    if (block != nullptr) heads[list - 1] = Link(block);
    return block;
}

inline unsigned long SmallList(unsigned long n) { return (n + CVMemData::SMALL_STEP - 1) / CVMemData::SMALL_STEP; }
inline unsigned long MediumList(unsigned long n) { return (n + CVMemData::MEDIUM_STEP - 1) / CVMemData::MEDIUM_STEP; }

// The small and the medium pool differ only in their lists, chunk cursor,
// step and largest class; the refill logic is shared.
struct PoolView {
    void** heads;
    char*& start;
    char*& end;
    int32_t& heap;
    unsigned long step;
    unsigned long largest;
    int perRefill;
};

PoolView SmallPool(CVMemData& d) {
    return PoolView{d.m_apSmallFree, d.m_pSmallStart, d.m_pSmallEnd, d.m_nSmallHeap,
                    CVMemData::SMALL_STEP, CVMemData::SMALL_MAX, 4};
}

PoolView MediumPool(CVMemData& d) {
    return PoolView{d.m_apMediumFree, d.m_pMediumStart, d.m_pMediumEnd, d.m_nMediumHeap,
                    CVMemData::MEDIUM_STEP, CVMemData::MEDIUM_MAX, 2};
}

// Chunks come through the facade (which is the process heap) so that test
// builds can make a refill fail on demand.
bool NewChunk(PoolView& pool) {
    char* chunk = static_cast<char*>(CVMem::Allocate(CVMemData::CHUNK_SIZE, VOS_HERE));
    if (chunk == nullptr) return false;
    // The 32-bit tally wraps instead of overflowing past 2 GB of chunks.
    pool.heap = static_cast<int32_t>(static_cast<uint32_t>(pool.heap) + CVMemData::CHUNK_SIZE);
    pool.start = chunk;
    pool.end = chunk + CVMemData::CHUNK_SIZE;
    return true;
}

// When the heap is exhausted a free block of this class or a larger one of
// the same pool becomes the new chunk.
bool ReuseFreeBlock(PoolView& pool, unsigned long size) {
    for (unsigned long cls = size; cls <= pool.largest; cls += pool.step) {
        char* block = static_cast<char*>(Pop(pool.heads, cls / pool.step));
        if (block == nullptr) continue;
        pool.start = block;
        pool.end = block + cls;
        return true;
    }
    return false;
}

void* ChunkAlloc(CVMemData& d, PoolView pool, bool medium, unsigned long size, int& want) {
    for (;;) {
        const unsigned long left = static_cast<unsigned long>(pool.end - pool.start);
        const unsigned long total = size * static_cast<unsigned long>(want);
        if (left >= total || left >= size) {
            if (left < total) want = static_cast<int>(left / size);
            char* blocks = pool.start;
            pool.start += size * static_cast<unsigned long>(want);
            return blocks;
        }
        // The chunk cannot serve one more block: keep its tail as a free block
        // of its own size. Tails are multiples of the pool's step; a medium
        // tail of 256 bytes or less belongs to the small lists.
        if (left != 0) {
            if (medium && MediumList(left) > CVMemData::SMALL_MAX / CVMemData::MEDIUM_STEP)
                Push(d.m_apMediumFree, MediumList(left), pool.start);
            else
                Push(d.m_apSmallFree, SmallList(left), pool.start);
        }
        pool.start = pool.end = nullptr;
        if (NewChunk(pool)) continue;
        if (ReuseFreeBlock(pool, size)) continue;
        if (NewChunk(pool)) continue;
        return nullptr;
    }
}

// Cuts up to perRefill blocks of one class; the first goes to the caller, the
// rest go onto the class's list in ascending address order. The list is empty
// whenever _Allocate refills it; a direct call keeps what the list held
// behind the new blocks.
void* Refill(CVMemData& d, PoolView pool, bool medium, unsigned long size) {
    int want = pool.perRefill;
    char* blocks = static_cast<char*>(ChunkAlloc(d, pool, medium, size, want));
    if (blocks == nullptr) return nullptr;
    for (int i = want - 1; i >= 1; --i) Push(pool.heads, size / pool.step, blocks + size * static_cast<unsigned long>(i));
    return blocks;
}

}  // namespace

CVMemData::CVMemData()
    : m_pSmallStart(nullptr),
      m_pSmallEnd(nullptr),
      m_nSmallHeap(0),
      m_pMediumStart(nullptr),
      m_pMediumEnd(nullptr),
      m_nMediumHeap(0),
      m_pLock(&m_mutex) {
    memset(m_apSmallFree, 0, sizeof(m_apSmallFree));
    memset(m_apMediumFree, 0, sizeof(m_apMediumFree));
    m_mutex.Create(nullptr);
}

// The chunks are deliberately kept: blocks handed out may outlive the pool.
CVMemData::~CVMemData() {}

void* CVMemData::_Allocate(unsigned long n) {
    if (n > MEDIUM_MAX) return malloc(n);
    // A request of 0 bytes is served as one of 1, and _Deallocate treats 0 the
    // same way, so the pair stays consistent.
    if (n == 0) n = 1;
    while (!m_pLock->Lock(500)) {
    }
    void* block;
    if (n > SMALL_MAX) {
        const unsigned long list = MediumList(n);
        block = Pop(m_apMediumFree, list);
        if (block == nullptr) block = MediumRefill(list * MEDIUM_STEP);
    } else {
        const unsigned long list = SmallList(n);
        block = Pop(m_apSmallFree, list);
        if (block == nullptr) block = SmallRefill(list * SMALL_STEP);
    }
    m_pLock->Unlock();
    return block;
}

void CVMemData::_Deallocate(void* p, unsigned long n) {
    if (p == nullptr) return;
    if (n > MEDIUM_MAX) {
        free(p);
        return;
    }
    if (n == 0) n = 1;
    while (!m_pLock->Lock(500)) {
    }
    if (n > SMALL_MAX)
        Push(m_apMediumFree, MediumList(n), p);
    else
        Push(m_apSmallFree, SmallList(n), p);
    m_pLock->Unlock();
}

void* CVMemData::SmallRefill(unsigned long size) { return Refill(*this, SmallPool(*this), false, size); }

void* CVMemData::MediumRefill(unsigned long size) { return Refill(*this, MediumPool(*this), true, size); }

void* CVMemData::SmallChunkAlloc(unsigned long size, int& want) {
    return ChunkAlloc(*this, SmallPool(*this), false, size, want);
}

void* CVMemData::MediumChunkAlloc(unsigned long size, int& want) {
    return ChunkAlloc(*this, MediumPool(*this), true, size, want);
}

VOS_NAMESPACE_END
