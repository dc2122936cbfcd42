#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

const uint32_t H = CVAllocData::HEADER_SIZE;
const uint32_t G = CVAllocData::GRANULE;

uint32_t Rounded(uint32_t n) { return std::max<uint32_t>((n + G - 1) & ~(G - 1), H); }

// A region of exactly the requested length on the heap, so that the address
// sanitizer catches a write past its end.
struct Region {
    explicit Region(size_t n) : bytes(static_cast<char*>(malloc(n))), size(n) { memset(bytes, 0xCD, n); }
    ~Region() { free(bytes); }
    char* bytes;
    size_t size;
};

using Blocks = std::vector<std::pair<long, uint32_t>>;  // (offset, size) per free block

Blocks FreeList(const CVAllocData& a, const char* base) {
    Blocks out;
    for (tagVFreeBlock* b = a.m_freeAnchor.pNext; b != nullptr && out.size() < 10000; b = b->pNext)
        out.emplace_back(reinterpret_cast<char*>(b) - base, b->nSize);
    return out;
}

uint32_t SizeWord(void* block) { return static_cast<tagVFreeBlock*>(block)->nSize; }

long Off(void* p, const Region& r) { return static_cast<char*>(p) - r.bytes; }

}  // namespace

TEST(AllocData, HeaderIsTwoPointerWidthsAndEightBytesOn32Bit) {
    EXPECT_EQ(H, 2 * sizeof(void*));
    EXPECT_EQ(G, sizeof(void*));
    if (sizeof(void*) == 4) {
        EXPECT_EQ(H, 8u);
        EXPECT_EQ(offsetof(tagVFreeBlock, nSize), 4u) << "the size is the second 32-bit word";
    }
    CVAllocData a;
    EXPECT_EQ(a.m_pFreeHead, &a.m_freeAnchor);
    EXPECT_EQ(a.m_freeAnchor.nSize, H);
    EXPECT_EQ(a.m_freeAnchor.pNext, nullptr);
    EXPECT_EQ(a.m_pMemory, nullptr);
    EXPECT_EQ(a.HeapAllocate(8), nullptr) << "no region attached";
    EXPECT_EQ(a.GlobalAllocate(8), nullptr);
    EXPECT_EQ(a.HeapAllocateEx(8), nullptr);
}

TEST(AllocData, AttachAndDetach) {
    Region r(4096);
    CVAllocData a;
    a.AttachMemory(r.bytes, 4096);
    EXPECT_EQ(a.m_pMemory, r.bytes);
    EXPECT_EQ(a.m_nMemorySize, 4096u);
    EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 4096}}));
    a.DetachMemory();
    EXPECT_EQ(a.m_pMemory, nullptr);
    EXPECT_EQ(a.m_nMemorySize, 0u);
    EXPECT_TRUE(FreeList(a, r.bytes).empty());
    EXPECT_EQ(a.HeapAllocate(8), nullptr);
    EXPECT_EQ(a.GlobalAllocate(8), nullptr);

    // Only whole granules are used; a region too small for a header holds no
    // free block at all.
    a.AttachMemory(r.bytes, 4096 + G - 1);
    EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 4096}}));
    a.AttachMemory(r.bytes, H - 1);
    EXPECT_TRUE(FreeList(a, r.bytes).empty());
    EXPECT_EQ(a.HeapAllocate(1), nullptr);
    a.AttachMemory(nullptr, 4096);
    EXPECT_TRUE(FreeList(a, r.bytes).empty());
}

TEST(AllocData, FirstAllocationsOfAFreshRegion) {
    const uint32_t b = Rounded(100);
    {
        Region r(4096);
        CVAllocData a;
        a.AttachMemory(r.bytes, 4096);
        void* p = a.HeapAllocate(100);
        EXPECT_EQ(p, r.bytes);
        EXPECT_EQ(SizeWord(p), b);
        EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{long(b), 4096 - b}}));
    }
    {
        Region r(4096);
        CVAllocData a;
        a.AttachMemory(r.bytes, 4096);
        void* p = a.GlobalAllocate(100);
        EXPECT_EQ(Off(p, r), long(4096 - b));
        EXPECT_EQ(SizeWord(p), b);
        EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 4096 - b}}));
    }
    {
        Region r(4096);
        CVAllocData a;
        a.AttachMemory(r.bytes, 4096);
        void* q = a.HeapAllocateEx(100);
        EXPECT_EQ(Off(q, r), long(H));
        EXPECT_EQ(SizeWord(r.bytes), b + H);
        EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{long(b + H), 4096 - b - H}}));
        a.HeapDeallocateEx(q);
        EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 4096}}));
    }
}

TEST(AllocData, ThirtyTwoBitLayoutMatchesTheDocumentedOffsets) {
    if (sizeof(void*) != 4) GTEST_SKIP() << "the literal offsets hold on 32-bit targets";
    Region r(4096);
    CVAllocData a;
    a.AttachMemory(r.bytes, 4096);
    char* p = static_cast<char*>(a.HeapAllocate(100));
    EXPECT_EQ(p, r.bytes);
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(p + 4), 100u);
    EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{100, 3996}}));
    a.HeapDeallocate(p);

    char* g = static_cast<char*>(a.GlobalAllocate(100));
    EXPECT_EQ(g, r.bytes + 3996);
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(g + 4), 100u);
    EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 3996}}));
    a.HeapDeallocate(g);

    char* q = static_cast<char*>(a.HeapAllocateEx(100));
    EXPECT_EQ(q, r.bytes + 8);
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(r.bytes + 4), 108u);
    EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{108, 3988}}));
    a.HeapDeallocateEx(q);

    // Requests of four bytes or fewer are served as a whole header's worth.
    char* t = static_cast<char*>(a.HeapAllocate(3));
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(t + 4), 8u);
    EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{8, 4088}}));
}

TEST(AllocData, FitsNeedAHeadersWorthOfMargin) {
    struct {
        const char* what;
        int kind;  // 0 HeapAllocate, 1 GlobalAllocate, 2 HeapAllocateEx
        uint32_t n;
        bool served;
        bool whole;  // the only free block is taken whole
    } cases[] = {
        {"heap: the block's exact size", 0, 4096, false, false},
        {"heap: one granule short of the block", 0, 4096 - G, false, false},
        {"heap: a header short of the block", 0, 4096 - H, true, true},
        {"heap: a header and a granule short", 0, 4096 - H - G, true, false},
        {"global: the block's exact size", 1, 4096, false, false},
        {"global: one granule short of the block", 1, 4096 - G, false, false},
        {"global: a header short of the block", 1, 4096 - H, true, true},
        {"ex: a header short of the block", 2, 4096 - H, false, false},
        {"ex: two headers short of the block", 2, 4096 - 2 * H, true, true},
        {"ex: two headers and a granule short", 2, 4096 - 2 * H - G, true, false},
    };
    for (const auto& c : cases) {
        Region r(4096);
        CVAllocData a;
        a.AttachMemory(r.bytes, 4096);
        void* p = c.kind == 0 ? a.HeapAllocate(c.n) : c.kind == 1 ? a.GlobalAllocate(c.n) : a.HeapAllocateEx(c.n);
        EXPECT_EQ(p != nullptr, c.served) << c.what;
        if (!c.served) {
            EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 4096}})) << c.what << ": a refusal changes nothing";
            continue;
        }
        if (c.whole) {
            EXPECT_EQ(Off(p, r), long(c.kind == 2 ? H : 0)) << c.what;
            EXPECT_TRUE(FreeList(a, r.bytes).empty()) << c.what;
            EXPECT_EQ(SizeWord(r.bytes), 4096u) << c.what << ": the size word still covers the whole block";
        } else {
            EXPECT_EQ(FreeList(a, r.bytes).size(), 1u) << c.what;
        }
        if (c.kind == 2)
            a.HeapDeallocateEx(p);
        else
            a.HeapDeallocate(p);
        EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 4096}})) << c.what;
    }
}

TEST(AllocData, ARequestBelowAHeaderTakesABlockOfItsSizeAndAHeaderWhole) {
    // The floor of one header applies when a block is split; a free block of
    // exactly the rounded request and a header already fits it.
    for (uint32_t n = 0; n < H; ++n) {
        const uint32_t blockSize = ((n + G - 1) & ~(G - 1)) + H;
        for (int global = 0; global < 2; ++global) {
            Region r(blockSize);
            CVAllocData a;
            a.AttachMemory(r.bytes, blockSize);
            void* p = global ? a.GlobalAllocate(n) : a.HeapAllocate(n);
            EXPECT_EQ(p, static_cast<void*>(r.bytes)) << (global ? "global " : "heap ") << n;
            if (p == nullptr) continue;
            EXPECT_TRUE(FreeList(a, r.bytes).empty()) << n;
            EXPECT_EQ(SizeWord(p), blockSize) << n;
            a.HeapDeallocate(p);
            EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, blockSize}})) << n;
        }
    }
}

TEST(AllocData, HeapAllocateIsFirstFitAndGlobalTriesOnlyTheLastBlock) {
    Region r(4096);
    CVAllocData a;
    a.AttachMemory(r.bytes, 4096);
    const uint32_t s64 = Rounded(64), s1024 = Rounded(1024);
    void* hole = a.HeapAllocate(64);
    void* fence = a.HeapAllocate(64);
    void* big = a.HeapAllocate(1024);
    // Leave a last free block of 96 bytes.
    void* rest = a.HeapAllocate(4096 - 2 * s64 - s1024 - 96);
    ASSERT_TRUE(hole && fence && big && rest);
    a.HeapDeallocate(hole);
    a.HeapDeallocate(big);
    ASSERT_EQ(FreeList(a, r.bytes), (Blocks{{0, s64}, {long(2 * s64), s1024}, {4096 - 96, 96}}));

    // Earlier free blocks could serve it, but only the last one is tried.
    EXPECT_EQ(a.GlobalAllocate(200), nullptr);
    // First fit passes over the 64-byte hole and cuts the 1024-byte block.
    EXPECT_EQ(Off(a.HeapAllocate(200), r), long(2 * s64));
    EXPECT_EQ(Off(a.GlobalAllocate(16), r), long(4096 - Rounded(16)));
    EXPECT_EQ(FreeList(a, r.bytes),
              (Blocks{{0, s64}, {long(2 * s64 + Rounded(200)), s1024 - Rounded(200)}, {4096 - 96, 96 - Rounded(16)}}));
}

TEST(AllocData, RequestsNearTheTopOfTheRangeAreRefused) {
    // Rounding such a request within 32 bits would wrap it to a tiny block.
    Region r(4096);
    CVAllocData a;
    a.AttachMemory(r.bytes, 4096);
    const unsigned int sizes[] = {UINT_MAX, UINT_MAX - 1, UINT_MAX - 2 * H, UINT_MAX - 3 * H};
    for (unsigned int n : sizes) {
        EXPECT_EQ(a.HeapAllocate(n), nullptr) << n;
        EXPECT_EQ(a.GlobalAllocate(n), nullptr) << n;
        EXPECT_EQ(a.HeapAllocateEx(n), nullptr) << n;
    }
    EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 4096}}));
}

TEST(AllocData, ThreeAdjacentBlocksMergeInAnyOrder) {
    const uint32_t b = Rounded(100);
    int order[] = {0, 1, 2};
    do {
        Region r(4096);
        CVAllocData a;
        a.AttachMemory(r.bytes, 4096);
        void* blocks[3];
        for (auto& p : blocks) p = a.HeapAllocate(100);
        void* fence = a.HeapAllocate(100);
        ASSERT_NE(fence, nullptr);
        for (int i : order) a.HeapDeallocate(blocks[i]);
        EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 3 * b}, {long(4 * b), 4096 - 4 * b}}))
            << "order " << order[0] << order[1] << order[2];
        a.HeapDeallocate(fence);
        EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 4096}}));
    } while (std::next_permutation(order, order + 3));
}

TEST(AllocData, ReleasesKeepTheListInAddressOrder) {
    Region r(4096);
    CVAllocData a;
    a.AttachMemory(r.bytes, 4096);
    const uint32_t b = Rounded(40);
    std::vector<void*> blocks;
    for (int i = 0; i < 8; ++i) blocks.push_back(a.HeapAllocate(40));
    void* high = a.GlobalAllocate(40);
    // Release every other block, from the top down, then the global one.
    for (int i = 6; i >= 0; i -= 2) a.HeapDeallocate(blocks[i]);
    Blocks expected;
    for (int i = 0; i < 8; i += 2) expected.emplace_back(long(i * b), b);
    expected.emplace_back(long(8 * b), 4096 - 9 * b);
    EXPECT_EQ(FreeList(a, r.bytes), expected);
    // The highest block joins the tail it was cut from.
    a.HeapDeallocate(high);
    expected.back().second = 4096 - 8 * b;
    EXPECT_EQ(FreeList(a, r.bytes), expected);
    // A released block between two free ones merges with both.
    a.HeapDeallocate(blocks[1]);
    expected.erase(expected.begin() + 1);
    expected[0].second = 3 * b;
    EXPECT_EQ(FreeList(a, r.bytes), expected);
    a.HeapDeallocate(nullptr);
    EXPECT_EQ(FreeList(a, r.bytes), expected);
}

TEST(AllocData, TinyRequestsNeverOverlapTheirNeighbours) {
    // A block narrower than a header would have its size word land on the
    // next block's link, or past the region for a global block.
    Region r(4096);
    CVAllocData a;
    a.AttachMemory(r.bytes, 4096);
    std::vector<char*> low;
    for (uint32_t n = 0; n <= 4; ++n) {
        char* p = static_cast<char*>(a.HeapAllocate(n));
        ASSERT_NE(p, nullptr) << n;
        EXPECT_EQ(SizeWord(p), H) << n;
        low.push_back(p);
    }
    for (size_t i = 1; i < low.size(); ++i) EXPECT_EQ(low[i] - low[i - 1], long(H));
    char* g = static_cast<char*>(a.GlobalAllocate(1));
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g + H, r.bytes + 4096) << "the global block ends at the region's end";
    EXPECT_EQ(SizeWord(g), H);
    EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{long(5 * H), 4096 - 6 * H}}));
    for (char* p : low) a.HeapDeallocate(p);
    a.HeapDeallocate(g);
    EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 4096}}));
}

TEST(AllocData, EveryBlockAndHeaderStaysPointerAligned) {
    Region r(8192);
    CVAllocData a;
    a.AttachMemory(r.bytes, 8192);
    const unsigned int sizes[] = {1, 3, 5, 7, 9, 13, 21, 30, 33, 100, 5, 2};
    std::vector<std::pair<void*, int>> live;
    for (unsigned int n : sizes) {
        live.emplace_back(a.HeapAllocate(n), 0);
        live.emplace_back(a.GlobalAllocate(n), 0);
        live.emplace_back(a.HeapAllocateEx(n), 1);
    }
    for (const auto& b : live) {
        ASSERT_NE(b.first, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b.first) % alignof(void*), 0u);
    }
    for (size_t i = 0; i < live.size(); i += 2) {
        if (live[i].second)
            a.HeapDeallocateEx(live[i].first);
        else
            a.HeapDeallocate(live[i].first);
    }
    for (tagVFreeBlock* f = a.m_freeAnchor.pNext; f != nullptr; f = f->pNext)
        EXPECT_EQ(reinterpret_cast<uintptr_t>(f) % alignof(void*), 0u);
}

TEST(AllocData, FacadeGlobalAllocateForwardsToTheInstalledAllocator) {
    ASSERT_EQ(CVMem::m_pAllocData, nullptr);
    EXPECT_EQ(CVMem::GlobalAllocate(16), nullptr);
    Region r(1024);
    CVAllocData a;
    a.AttachMemory(r.bytes, 1024);
    CVMem::m_pAllocData = &a;
    void* p = CVMem::GlobalAllocate(16);
    EXPECT_EQ(Off(p, r), long(1024 - Rounded(16)));
    if (sizeof(unsigned long) > 4) {
        EXPECT_EQ(CVMem::GlobalAllocate(static_cast<unsigned long>(UINT_MAX) + 17), nullptr);
    }
    CVMem::m_pAllocData = nullptr;
    EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 1024 - Rounded(16)}}));
}

TEST(AllocData, SharedRegionSurvivesConcurrentUse) {
    Region r(64 * 1024);
    CVAllocData a;
    a.AttachMemory(r.bytes, 64 * 1024);
    std::atomic<int> bad{0}, served{0}, refused{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&a, &bad, &served, &refused, t] {
            for (int round = 0; round < 200; ++round) {
                const unsigned int n = 16 + unsigned(t * 40 + round % 7 * 8);
                unsigned char* p = static_cast<unsigned char*>(a.HeapAllocateEx(n));
                unsigned char* g = static_cast<unsigned char*>(a.GlobalAllocate(n));
                if (p == nullptr || g == nullptr) {
                    // GlobalAllocate tries only the highest free block, so a
                    // neighbour's block sitting near the top can refuse it;
                    // that is no fault, but what was had must go back.
                    ++refused;
                    a.HeapDeallocate(g);
                    a.HeapDeallocateEx(p);
                    continue;
                }
                ++served;
                memset(p, t + 1, n);
                // A global block's size word must stay intact: fill around it.
                const uint32_t size = SizeWord(g);
                memset(g, t + 1, G);
                memset(g + H, t + 1, size - H);
                for (unsigned int i = 0; i < n; ++i)
                    if (p[i] != t + 1) ++bad;
                for (uint32_t i = H; i < size; ++i)
                    if (g[i] != t + 1) ++bad;
                if (SizeWord(g) != size) ++bad;
                a.HeapDeallocate(g);
                a.HeapDeallocateEx(p);
            }
        });
    }
    for (auto& w : workers) w.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(served.load() + refused.load(), 4 * 200);
    EXPECT_GT(served.load(), 0);
    EXPECT_EQ(FreeList(a, r.bytes), (Blocks{{0, 64 * 1024}})) << "every block merged back after " << refused.load() << " refusals";
}
