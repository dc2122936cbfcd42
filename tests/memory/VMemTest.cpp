#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

struct Counted {
    static int s_live;
    static int s_nextId;
    int id;
    Counted() : id(s_nextId++) { ++s_live; }
    ~Counted() { --s_live; }
};
int Counted::s_live = 0;
int Counted::s_nextId = 0;

}  // namespace

TEST(VNew, UnitsAreZeroedAndCountPrecedesThem) {
    unsigned short* p = VNew<unsigned short>(5, VOS_HERE);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(VCountedBlockCount(p), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(p[i], 0) << "unit " << i;
    // The count word sits immediately before the first element.
    EXPECT_EQ(*reinterpret_cast<int32_t*>(reinterpret_cast<char*>(p) - 4), 5);
    VDelete(p);
}

TEST(VNew, ThirtyTwoBitLayoutStartsFourBytesEarly) {
    // On 32-bit targets every counted block starts 4 bytes before its first
    // element, whatever the element; 64-bit hosts keep pointers aligned.
    EXPECT_EQ(VCountedBlockOffset<unsigned short>(), 4u);
    EXPECT_EQ(VCountedBlockOffset<int32_t>(), 4u);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(VCountedBlockOffset<void*>(), 4u);
        EXPECT_EQ(VCountedBlockOffset<double>(), 4u);
    } else {
        EXPECT_EQ(VCountedBlockOffset<void*>(), alignof(void*));
    }
    void** ptrs = VNew<void*>(3, VOS_HERE);
    ASSERT_NE(ptrs, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ptrs) % alignof(void*), 0u);
    EXPECT_EQ(VCountedBlockCount(ptrs), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ptrs[i], nullptr);
    VDelete(ptrs);
}

TEST(VNew, ClassElementsAreConstructedAndDestroyedInOrder) {
    Counted::s_live = 0;
    Counted::s_nextId = 0;
    Counted* p = VNew<Counted>(4, VOS_HERE);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Counted::s_live, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(p[i].id, i) << "constructed first to last";
    VDelete(p);
    EXPECT_EQ(Counted::s_live, 0);
    VDelete<Counted>(nullptr);  // a null pointer is ignored
    EXPECT_EQ(Counted::s_live, 0);
}

TEST(VNew, ZeroCountGivesAnEmptyBlockAndNegativeCountFails) {
    int* p = VNew<int>(0, VOS_HERE);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(VCountedBlockCount(p), 0);
    VDelete(p);
    EXPECT_EQ(VNew<int>(-1, VOS_HERE), nullptr);
}

namespace {

// An element a quarter of the address space wide: four of them wrap any size.
struct QuarterOfMemory {
    char bytes[static_cast<size_t>(1) << (sizeof(size_t) * 8 - 2)];
};

}  // namespace

TEST(VNew, CountsWhoseByteSizeWrapsGiveNull) {
    EXPECT_EQ(VNew<QuarterOfMemory>(4, VOS_HERE), nullptr) << "4 x a quarter wraps to the count word alone";
    EXPECT_EQ(VNew<QuarterOfMemory>(0x7FFFFFFF, VOS_HERE), nullptr);
    if (sizeof(size_t) == 4) {
        // 32-bit targets: 0x7FFFFFFF units of two bytes and the count word
        // wrap to 2 bytes.
        EXPECT_EQ(VNew<unsigned short>(0x7FFFFFFF, VOS_HERE), nullptr);
        EXPECT_EQ(VNew<unsigned short>(0x7FFFFFFE, VOS_HERE), nullptr);
    }
}

TEST(VNew, AllocationFailureGivesNullAndConstructsNothing) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    Counted::s_live = 0;
    vostest::FailAllocationAt(1);
    EXPECT_EQ(VNew<Counted>(3, VOS_HERE), nullptr);
    EXPECT_EQ(Counted::s_live, 0);
    vostest::FailAllocationAt(0);
    Counted* p = VNew<Counted>(3, VOS_HERE);
    ASSERT_NE(p, nullptr);
    VDelete(p);
}

TEST(CVMem, FacadeBlocksAreHeapBlocks) {
    char* p = static_cast<char*>(CVMem::Allocate(16, VOS_HERE));
    ASSERT_NE(p, nullptr);
    memset(p, 'x', 16);
    p = static_cast<char*>(CVMem::Reallocate(p, 4096));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 16; ++i) ASSERT_EQ(p[i], 'x') << "realloc keeps the content";
    CVMem::Deallocate(p);
    CVMem::Deallocate(nullptr);
    // Nothing is attached behind the global allocator by default.
    EXPECT_EQ(CVMem::m_pAllocData, nullptr);
    EXPECT_EQ(CVMem::m_pMemData, nullptr);
}

TEST(CVLeakInfoManager, RegistrationRules) {
    CVLeakInfoManager mgr;
    EXPECT_EQ(mgr.m_nGrowBy, 64);
    _VLeakInfo* recs = reinterpret_cast<_VLeakInfo*>(1);
    int count = -1, peak = -1;
    EXPECT_EQ(mgr.CheckLeak(recs, count, peak), 0) << "empty registry";
    EXPECT_EQ(recs, nullptr);
    EXPECT_EQ(count, 0);

    int a, b, c;
    EXPECT_EQ(mgr.RegisterLeak(nullptr, 10, "f", 1), 0);
    EXPECT_EQ(mgr.RegisterLeak(&a, 100, "a.cpp", 10), 1);
    EXPECT_EQ(mgr.RegisterLeak(&a, 999, "other.cpp", 99), 1) << "second registration is accepted";
    EXPECT_EQ(mgr.m_nCount, 1) << "but adds no record";
    EXPECT_EQ(mgr.m_nCurSize, 100) << "nor size";
    EXPECT_EQ(mgr.RegisterLeak(&b, 50, "b.cpp", 20), 1);
    EXPECT_EQ(mgr.RegisterLeak(&c, 7, "c.cpp", 30), 1);
    EXPECT_EQ(mgr.UnRegisterLeak(&a), 1);
    EXPECT_EQ(mgr.m_nCurSize, 57);
    EXPECT_EQ(mgr.m_nPeakSize, 157);
    EXPECT_EQ(mgr.UnRegisterLeak(&a), 0) << "already removed";
    int never;
    EXPECT_EQ(mgr.UnRegisterLeak(&never), 0);
    EXPECT_EQ(mgr.UnRegisterLeak(nullptr), 0);

    ASSERT_EQ(mgr.CheckLeak(recs, count, peak), 1);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(peak, 157);
    // Removal keeps the order of the remaining records.
    EXPECT_EQ(recs[0].pAddr, &b);
    EXPECT_EQ(recs[0].nSize, 50u);
    EXPECT_STREQ(recs[0].pszFile, "b.cpp");
    EXPECT_EQ(recs[0].nLine, 20);
    EXPECT_EQ(recs[1].pAddr, &c);
}

TEST(CVLeakInfoManager, CapacityGrowsBySixtyFour) {
    CVLeakInfoManager mgr;
    static char addrs[200];
    EXPECT_EQ(mgr.m_nMaxCount, 0);
    EXPECT_EQ(mgr.RegisterLeak(&addrs[0], 1, "x", 1), 1);
    EXPECT_EQ(mgr.m_nMaxCount, 64) << "the first registration allocates 64 records";
    for (int i = 1; i < 64; ++i) ASSERT_EQ(mgr.RegisterLeak(&addrs[i], 1, "x", i), 1);
    EXPECT_EQ(mgr.m_nMaxCount, 64);
    EXPECT_EQ(mgr.RegisterLeak(&addrs[64], 1, "x", 64), 1);
    EXPECT_EQ(mgr.m_nMaxCount, 128);
    EXPECT_EQ(mgr.m_nCount, 65);
    for (int i = 0; i < 65; ++i) ASSERT_EQ(mgr.m_pLeakInfo[i].pAddr, &addrs[i]) << "records copied over on growth";
    // Removing everything never shrinks the table.
    for (int i = 0; i < 65; ++i) ASSERT_EQ(mgr.UnRegisterLeak(&addrs[i]), 1);
    EXPECT_EQ(mgr.m_nMaxCount, 128);
    EXPECT_EQ(mgr.m_nCurSize, 0);
    EXPECT_EQ(mgr.m_nPeakSize, 65);
}

// A step of nothing leaves no room for the record: the registration fails,
// whether the table is still to be made or full (ASan saw the write past a
// zero-size table).
TEST(CVLeakInfoManager, AZeroGrowthStepFailsTheRegistration) {
    static char addrs[66];
    CVLeakInfoManager fresh;
    fresh.m_nGrowBy = 0;
    EXPECT_EQ(fresh.RegisterLeak(&addrs[0], 1, "x", 1), 0);
    EXPECT_EQ(fresh.m_nCount, 0);
    EXPECT_EQ(fresh.m_nCurSize, 0);

    CVLeakInfoManager full;
    for (int i = 0; i < 64; ++i) ASSERT_EQ(full.RegisterLeak(&addrs[i], 1, "x", i), 1);
    full.m_nGrowBy = 0;
    EXPECT_EQ(full.RegisterLeak(&addrs[64], 1, "x", 64), 0);
    EXPECT_EQ(full.m_nCount, 64);
    EXPECT_EQ(full.m_nMaxCount, 64);
    full.m_nGrowBy = 64;
    EXPECT_EQ(full.RegisterLeak(&addrs[65], 1, "x", 65), 1) << "a real step grows the table again";
    EXPECT_EQ(full.m_nCount, 65);
}
