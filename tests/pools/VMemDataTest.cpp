#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

// A pool keeps its chunks for good, even past its destructor. The pools of
// these tests stay reachable for the life of the process so that the leak
// checker of the sanitizer builds sees the chunks as the pool's own.
CVMemData& FreshPool() {
    static std::vector<CVMemData*>* s_pools = new std::vector<CVMemData*>();
    s_pools->push_back(new CVMemData());
    return *s_pools->back();
}

char* At(void* p, long offset) { return static_cast<char*>(p) + offset; }

// The blocks of a free list, first to last.
std::vector<void*> ListOf(void* head) {
    std::vector<void*> blocks;
    for (void* b = head; b != nullptr && blocks.size() < 10000; b = *static_cast<void**>(b)) blocks.push_back(b);
    return blocks;
}

bool AllListsEmpty(const CVMemData& pool) {
    for (void* head : pool.m_apSmallFree)
        if (head != nullptr) return false;
    for (void* head : pool.m_apMediumFree)
        if (head != nullptr) return false;
    return true;
}

}  // namespace

TEST(MemData, FreshPoolHasNoListsNoChunksAndACreatedLock) {
    CVMemData& pool = FreshPool();
    EXPECT_TRUE(AllListsEmpty(pool));
    EXPECT_EQ(pool.m_pSmallStart, nullptr);
    EXPECT_EQ(pool.m_pMediumEnd, nullptr);
    EXPECT_EQ(pool.m_nSmallHeap, 0);
    EXPECT_EQ(pool.m_nMediumHeap, 0);
    EXPECT_EQ(pool.m_pLock, &pool.m_mutex);
    EXPECT_NE(pool.m_mutex.GetHandle(), 0u);
    // A pool that never took a chunk can be destroyed without leaving anything.
    CVMemData* unused = new CVMemData();
    delete unused;
}

TEST(MemData, RequestsMapToTheirSizeClasses) {
    // After the first request of a class on a fresh pool, the refill leaves the
    // class's list holding the blocks right after the one handed out.
    struct {
        unsigned long n;
        bool medium;
        unsigned long cls;
        size_t left;  // blocks left on the class's list
    } cases[] = {
        {1, false, 8, 3},      {8, false, 8, 3},       {9, false, 16, 3},     {24, false, 24, 3},
        {256, false, 256, 3},  {257, true, 288, 1},    {300, true, 320, 1},   {1000, true, 1024, 1},
        {2047, true, 2048, 1}, {2048, true, 2048, 1},
    };
    for (const auto& c : cases) {
        CVMemData& pool = FreshPool();
        void* p = pool._Allocate(c.n);
        ASSERT_NE(p, nullptr) << c.n;
        void* const* lists = c.medium ? pool.m_apMediumFree : pool.m_apSmallFree;
        const unsigned long list = c.cls / (c.medium ? 32 : 8);
        std::vector<void*> blocks = ListOf(lists[list - 1]);
        ASSERT_EQ(blocks.size(), c.left) << c.n;
        for (size_t i = 0; i < blocks.size(); ++i) EXPECT_EQ(blocks[i], At(p, long(c.cls * (i + 1)))) << c.n;
        EXPECT_EQ(c.medium ? pool.m_nMediumHeap : pool.m_nSmallHeap, 4096) << c.n;
        EXPECT_EQ(c.medium ? pool.m_nSmallHeap : pool.m_nMediumHeap, 0) << c.n;
        memset(p, 0xA5, c.n);
        pool._Deallocate(p, c.n);
        EXPECT_EQ(lists[list - 1], p) << c.n << ": a released block heads its class's list";
    }
}

TEST(MemData, LargeRequestsBypassThePool) {
    CVMemData& pool = FreshPool();
    void* p = pool._Allocate(2049);
    ASSERT_NE(p, nullptr);
    memset(p, 1, 2049);
    EXPECT_TRUE(AllListsEmpty(pool));
    EXPECT_EQ(pool.m_nSmallHeap + pool.m_nMediumHeap, 0);
    pool._Deallocate(p, 2049);
    EXPECT_TRUE(AllListsEmpty(pool));
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // A request the heap cannot meet gives null (the sanitizers' heaps abort
    // on such a request instead).
    EXPECT_EQ(pool._Allocate(static_cast<unsigned long>(-1)), nullptr);
#endif
}

TEST(MemData, SmallRefillCutsFourBlocksFromOneChunk) {
    CVMemData& pool = FreshPool();
    char* first = static_cast<char*>(pool._Allocate(24));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(pool.m_nSmallHeap, 4096);
    EXPECT_EQ(ListOf(pool.m_apSmallFree[2]), (std::vector<void*>{first + 24, first + 48, first + 72}));
    EXPECT_EQ(pool.m_pSmallStart, first + 96);
    EXPECT_EQ(pool.m_pSmallEnd - pool.m_pSmallStart, 4000);
    // The next three come off the list, in address order, without a chunk.
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(pool._Allocate(24), first + 24 * i);
    EXPECT_EQ(pool.m_apSmallFree[2], nullptr);
    EXPECT_EQ(pool.m_nSmallHeap, 4096);
    // The fifth refills from the rest of the same chunk.
    EXPECT_EQ(pool._Allocate(17), first + 96);
    EXPECT_EQ(pool.m_nSmallHeap, 4096);
    EXPECT_EQ(pool.m_pSmallEnd - pool.m_pSmallStart, 4096 - 192);
}

TEST(MemData, MediumRefillCutsTwoBlocks) {
    CVMemData& pool = FreshPool();
    char* p = static_cast<char*>(pool._Allocate(1000));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(pool.m_nMediumHeap, 4096);
    EXPECT_EQ(ListOf(pool.m_apMediumFree[31]), std::vector<void*>{p + 1024});
    EXPECT_EQ(pool.m_pMediumStart, p + 2048);
    EXPECT_EQ(pool.m_pMediumEnd - pool.m_pMediumStart, 2048);

    // The 2048-byte class on a fresh pool needs a whole chunk for its two blocks.
    CVMemData& fresh = FreshPool();
    char* q = static_cast<char*>(fresh._Allocate(2048));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(ListOf(fresh.m_apMediumFree[63]), std::vector<void*>{q + 2048});
    EXPECT_EQ(fresh.m_pMediumStart, fresh.m_pMediumEnd);
    EXPECT_EQ(fresh.m_nMediumHeap, 4096);
}

TEST(MemData, ChunkTailBecomesAFreeBlockOfItsOwnSize) {
    CVMemData& pool = FreshPool();
    // Leave exactly 40 bytes in the small chunk.
    int want = 507;
    char* chunk = static_cast<char*>(pool.SmallChunkAlloc(8, want));
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(want, 507);
    ASSERT_EQ(pool.m_pSmallEnd - pool.m_pSmallStart, 40);

    char* p = static_cast<char*>(pool._Allocate(48));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(ListOf(pool.m_apSmallFree[4]), std::vector<void*>{chunk + 4056}) << "the 40-byte tail";
    EXPECT_EQ(pool.m_nSmallHeap, 8192);
    EXPECT_EQ(ListOf(pool.m_apSmallFree[5]), (std::vector<void*>{p + 48, p + 96, p + 144}));
    void* tail = pool._Allocate(33);
    EXPECT_EQ(tail, chunk + 4056) << "the tail serves its own class";
    pool._Deallocate(tail, 40);  // keeps the first chunk reachable from the pool

    // A medium tail of 256 bytes or less goes to the small lists, a larger one
    // to the medium lists.
    CVMemData& medium = FreshPool();
    want = 1;
    char* m = static_cast<char*>(medium.MediumChunkAlloc(32 * 120, want));  // leaves 256
    ASSERT_NE(m, nullptr);
    ASSERT_NE(medium._Allocate(1000), nullptr);
    EXPECT_EQ(ListOf(medium.m_apSmallFree[31]), std::vector<void*>{m + 3840});
    want = 1;
    m = static_cast<char*>(medium.MediumChunkAlloc(32 * 119, want));  // takes 3808, leaves 288
    ASSERT_NE(m, nullptr);
    ASSERT_NE(medium._Allocate(1500), nullptr);
    EXPECT_EQ(ListOf(medium.m_apMediumFree[8]), std::vector<void*>{m + 3808});
}

TEST(MemData, ChunkCutShrinksTheCountWhenTheChunkRunsShort) {
    CVMemData& pool = FreshPool();
    int want = 500;
    ASSERT_NE(pool.SmallChunkAlloc(8, want), nullptr);  // 96 bytes left
    want = 4;
    char* start = pool.m_pSmallStart;
    EXPECT_EQ(pool.SmallChunkAlloc(40, want), start);
    EXPECT_EQ(want, 2);
    EXPECT_EQ(pool.m_pSmallEnd - pool.m_pSmallStart, 16);

    // A refill that gets a single block leaves the list alone.
    CVMemData& other = FreshPool();
    want = 500;
    ASSERT_NE(other.SmallChunkAlloc(8, want), nullptr);
    want = 1;
    ASSERT_NE(other.SmallChunkAlloc(24, want), nullptr);  // 72 bytes left
    void* p = other._Allocate(64);
    EXPECT_EQ(p, other.m_pSmallStart - 64);
    EXPECT_EQ(other.m_apSmallFree[7], nullptr);
    EXPECT_EQ(other.m_nSmallHeap, 4096);
}

TEST(MemData, ReleasedBlockIsTheNextOneOfItsClass) {
    struct {
        unsigned long released, requested;
        bool medium;
        unsigned long list;
    } cases[] = {
        {300, 289, true, 10}, {300, 320, true, 10}, {320, 300, true, 10}, {2048, 2017, true, 64},
        {256, 249, false, 32}, {1, 8, false, 1},    {17, 24, false, 3},
    };
    for (const auto& c : cases) {
        CVMemData& pool = FreshPool();
        void* p = pool._Allocate(c.released);
        ASSERT_NE(p, nullptr);
        void* others = pool._Allocate(c.released);
        pool._Deallocate(p, c.released);
        void* const* lists = c.medium ? pool.m_apMediumFree : pool.m_apSmallFree;
        EXPECT_EQ(lists[c.list - 1], p) << c.released;
        EXPECT_EQ(pool._Allocate(c.requested), p) << c.released << " then " << c.requested;
        pool._Deallocate(others, c.released);
    }
}

TEST(MemData, ZeroBytesIsServedAsOne) {
    CVMemData& pool = FreshPool();
    void* p = pool._Allocate(0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(ListOf(pool.m_apSmallFree[0]).size(), 3u);
    pool._Deallocate(p, 0);
    EXPECT_EQ(pool.m_apSmallFree[0], p);
    pool._Deallocate(nullptr, 24);
    EXPECT_EQ(pool.m_apSmallFree[2], nullptr);
}

TEST(MemData, ChunkFailureGivesNullAndLeavesTheListsAlone) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "no allocation hook in this build";
    vostest::AllocHookGuard guard;
    CVMemData& pool = FreshPool();
    vostest::FailAllocationAt(1, true);
    EXPECT_EQ(pool._Allocate(24), nullptr);
    EXPECT_EQ(pool._Allocate(1000), nullptr);
    EXPECT_TRUE(AllListsEmpty(pool));
    EXPECT_EQ(pool.m_nSmallHeap + pool.m_nMediumHeap, 0);
    EXPECT_EQ(pool.m_pSmallStart, nullptr);
    EXPECT_EQ(pool.m_pSmallEnd, nullptr);
    vostest::FailAllocationAt(0);
    void* p = pool._Allocate(24);
    EXPECT_NE(p, nullptr);
    pool._Deallocate(p, 24);

    // One failed chunk is retried once before the pool gives up.
    CVMemData& retry = FreshPool();
    vostest::FailAllocationAt(1, false);
    char* q = static_cast<char*>(retry._Allocate(100));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(retry.m_nSmallHeap, 4096);
    EXPECT_EQ(vostest::AllocationCalls(), 2u);
    retry._Deallocate(q, 100);
}

TEST(MemData, ExhaustedHeapTurnsALargerFreeBlockIntoAChunk) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "no allocation hook in this build";
    vostest::AllocHookGuard guard;
    CVMemData& pool = FreshPool();
    char* p = static_cast<char*>(pool._Allocate(256));
    ASSERT_NE(p, nullptr);
    int want = 384;
    ASSERT_EQ(pool.SmallChunkAlloc(8, want), p + 1024);  // use up the chunk
    ASSERT_EQ(pool.m_pSmallStart, pool.m_pSmallEnd);

    vostest::FailAllocationAt(1, true);
    // The 256-byte block at p + 256 becomes the chunk for four 24-byte blocks.
    EXPECT_EQ(pool._Allocate(24), p + 256);
    EXPECT_EQ(ListOf(pool.m_apSmallFree[2]), (std::vector<void*>{p + 280, p + 304, p + 328}));
    EXPECT_EQ(ListOf(pool.m_apSmallFree[31]), (std::vector<void*>{p + 512, p + 768}));
    EXPECT_EQ(pool.m_pSmallStart, p + 352);
    EXPECT_EQ(pool.m_pSmallEnd, p + 512);
    EXPECT_EQ(pool.m_nSmallHeap, 4096);
    // 160 bytes remain, too few for a 200-byte block: they go onto the
    // 160-byte list and the next 256-byte block becomes the chunk, which
    // yields a single 200-byte block and so leaves the 200-byte list empty.
    EXPECT_EQ(pool._Allocate(200), p + 512);
    EXPECT_EQ(ListOf(pool.m_apSmallFree[19]), std::vector<void*>{p + 352});
    EXPECT_EQ(pool.m_apSmallFree[24], nullptr);
    EXPECT_EQ(ListOf(pool.m_apSmallFree[31]), std::vector<void*>{p + 768});
    EXPECT_EQ(pool.m_pSmallStart, p + 712);
    // The medium pool has nothing free of its own: null.
    EXPECT_EQ(pool._Allocate(1000), nullptr);
}

TEST(MemData, SharedPoolKeepsEveryThreadsBlocksIntact) {
    CVMemData& pool = FreshPool();
    const int threads = 4;
    const int rounds = 300;
    std::atomic<int> corrupt{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&pool, &corrupt, t, rounds] {
            static const unsigned long sizes[] = {8, 24, 100, 256, 300, 1000, 2048, 3000};
            std::vector<std::pair<unsigned char*, unsigned long>> live;
            for (int r = 0; r < rounds; ++r) {
                for (unsigned long n : sizes) {
                    unsigned char* p = static_cast<unsigned char*>(pool._Allocate(n));
                    if (p == nullptr) {
                        ++corrupt;
                        continue;
                    }
                    memset(p, (t * 16 + r) & 0xFF, n);
                    live.emplace_back(p, n);
                }
                for (auto& block : live) {
                    for (unsigned long i = 0; i < block.second; ++i)
                        if (block.first[i] != ((t * 16 + r) & 0xFF)) {
                            ++corrupt;
                            break;
                        }
                    pool._Deallocate(block.first, block.second);
                }
                live.clear();
            }
        });
    }
    for (auto& w : workers) w.join();
    EXPECT_EQ(corrupt.load(), 0);
}
