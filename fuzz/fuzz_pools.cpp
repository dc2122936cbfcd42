// Random allocate/release sequences on the size-class pool and on a region
// allocator. Every block is filled with its own byte and checked when it is
// released, so overlapping blocks show up; the region's free list is checked
// after every step (ascending, aligned, inside the region, never two adjacent
// blocks, free plus live bytes covering the region exactly).
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

const uint32_t kRegion = 8192;
const uint32_t H = CVAllocData::HEADER_SIZE;
const uint32_t G = CVAllocData::GRANULE;

struct Live {
    unsigned char* p;
    uint32_t n;     // bytes filled (pool) or block size (region)
    int kind;       // 0 pool, 1 heap/global block, 2 Ex block
    unsigned char tag;
};

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// The ranges of a block the caller may write: a region block's size word
// belongs to the allocator until the block is released.
void Fill(const Live& b) {
    if (b.kind == 1) {
        memset(b.p, b.tag, G);
        memset(b.p + H, b.tag, b.n - H);
    } else {
        memset(b.p, b.tag, b.n);
    }
}

void Verify(const Live& b) {
    const uint32_t from = b.kind == 1 ? H : 0;
    if (b.kind == 1) {
        for (uint32_t i = 0; i < G; ++i) Check(b.p[i] == b.tag);
        Check(static_cast<tagVFreeBlock*>(static_cast<void*>(b.p))->nSize == b.n);
    }
    for (uint32_t i = from; i < b.n; ++i) Check(b.p[i] == b.tag);
}

uint32_t RegionBytes(const Live& b) { return b.kind == 2 ? reinterpret_cast<tagVFreeBlock*>(b.p - H)->nSize : b.n; }

void CheckFreeList(const CVAllocData& a, const char* region, const std::vector<Live>& live) {
    uint64_t used = 0;
    for (const Live& b : live)
        if (b.kind != 0) used += RegionBytes(b);
    uint64_t free = 0;
    const char* prevEnd = nullptr;
    for (tagVFreeBlock* f = a.m_freeAnchor.pNext; f != nullptr; f = f->pNext) {
        const char* start = reinterpret_cast<const char*>(f);
        Check(start >= region && start + f->nSize <= region + kRegion);
        Check(reinterpret_cast<uintptr_t>(start) % alignof(void*) == 0);
        Check(f->nSize >= H);
        Check(prevEnd == nullptr || start > prevEnd);  // ascending, not adjacent
        prevEnd = start + f->nSize;
        free += f->nSize;
    }
    Check(free + used == kRegion);
}

CVMemData* Pool() {
    // One pool for the whole run: its chunks stay with it for good.
    static CVMemData* s_pool = new CVMemData();
    return s_pool;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static char* s_region = static_cast<char*>(aligned_alloc(16, kRegion));
    CVAllocData region;
    region.AttachMemory(s_region, kRegion);
    std::vector<Live> live;
    unsigned char tag = 0;

    for (size_t i = 0; i + 3 <= size; i += 3) {
        const int op = data[i] % 6;
        const uint32_t arg = data[i + 1] | (static_cast<uint32_t>(data[i + 2]) << 8);
        ++tag;
        if (op == 0) {
            const uint32_t n = arg % 3000 + 1;
            unsigned char* p = static_cast<unsigned char*>(Pool()->_Allocate(n));
            Check(p != nullptr);
            live.push_back(Live{p, n, 0, tag});
            Fill(live.back());
        } else if (op >= 1 && op <= 3) {
            const uint32_t n = arg % 700;
            void* p = op == 1 ? region.HeapAllocate(n) : op == 2 ? region.GlobalAllocate(n) : region.HeapAllocateEx(n);
            if (p != nullptr) {
                Live b{static_cast<unsigned char*>(p), 0, op == 3 ? 2 : 1, tag};
                if (b.kind == 1) {
                    b.n = static_cast<tagVFreeBlock*>(p)->nSize;
                    Check(b.n >= n && b.n >= H);
                } else {
                    b.n = RegionBytes(Live{b.p, 0, 2, 0}) - H;
                    Check(b.n >= n);
                }
                Check(b.p >= reinterpret_cast<unsigned char*>(s_region) &&
                      b.p + b.n <= reinterpret_cast<unsigned char*>(s_region) + kRegion);
                live.push_back(b);
                Fill(b);
            }
        } else if (!live.empty()) {
            const size_t k = arg % live.size();
            const Live b = live[k];
            Verify(b);
            live.erase(live.begin() + static_cast<long>(k));
            if (b.kind == 0)
                Pool()->_Deallocate(b.p, b.n);
            else if (b.kind == 1)
                region.HeapDeallocate(b.p);
            else
                region.HeapDeallocateEx(b.p);
        }
        CheckFreeList(region, s_region, live);
    }

    for (const Live& b : live) {
        Verify(b);
        if (b.kind == 0)
            Pool()->_Deallocate(b.p, b.n);
        else if (b.kind == 1)
            region.HeapDeallocate(b.p);
        else
            region.HeapDeallocateEx(b.p);
    }
    live.clear();
    // Everything released: the region is one free block again.
    Check(region.m_freeAnchor.pNext == static_cast<void*>(s_region) && region.m_freeAnchor.pNext->nSize == kRegion &&
          region.m_freeAnchor.pNext->pNext == nullptr);
    return 0;
}
