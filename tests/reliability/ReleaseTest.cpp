// The library's own long-lived objects are given back by the calls that
// release them: bringing each one up and down many times must leave the heap
// where it was. LeakSanitizer cannot see this (a singleton that is never
// released stays reachable), so the heap's own count of bytes in use is
// compared, in builds whose heap is the C library's.
#include <malloc.h>

#include <functional>

#include "AllocWalk.h"

using namespace _palex_zu;
using vostest::U16;
using vostest::Units;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kPlainHeap = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kPlainHeap = false;
#else
constexpr bool kPlainHeap = true;
#endif
#else
constexpr bool kPlainHeap = true;
#endif

size_t BytesInUse() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    return mallinfo2().uordblks;
#else
    return static_cast<size_t>(mallinfo().uordblks);
#endif
}

// Heap growth over many rounds of cycle, after a few to settle caches: the
// least of three windows, because the C library's own bookkeeping (thread
// stacks and their thread-local blocks, arenas) drifts up and down from
// window to window while an object left behind grows every one of them.
long GrowthOver(int rounds, const std::function<void()>& cycle, int settle = 10) {
    for (int i = 0; i < settle; ++i) cycle();
    long least = 0;
    for (int window = 0; window < 3; ++window) {
        const size_t before = BytesInUse();
        for (int i = 0; i < rounds; ++i) cycle();
        const long growth = static_cast<long>(BytesInUse()) - static_cast<long>(before);
        if (window == 0 || growth < least) least = growth;
    }
    return least;
}

// Blocks of the library's memory facade still out after many rounds: exact,
// whatever the C library does with its own.
long BlocksLeftOver(int rounds, const std::function<void()>& cycle) {
    cycle();
    const long before = VMemHook_LiveBlocks();
    for (int i = 0; i < rounds; ++i) cycle();
    return VMemHook_LiveBlocks() - before;
}

// Less than this per round cannot be an object left behind: the smallest of
// them (an event record, a table of sockets) holds more.
constexpr long kRounds = 40;
constexpr long kSlackPerRound = 16;

}  // namespace

TEST(Release, SingletonsAndTablesGoBackToTheHeap) {
    if (!kPlainHeap) GTEST_SKIP() << "the sanitizer's heap keeps its own books";
    const std::u16string host = U16("cached.example");
    struct Case {
        const char* name;
        std::function<void()> cycle;
        int settle;
    } cases[] = {
        // The heap settles its own bookkeeping over the first rounds of large
        // blocks (the mmap threshold moves as they are freed).
        {"code-page tables",
         [] {
             CVCMMap::GlobalInit();
             CVCMMap::GlobalUnInit();
         },
         200},
        {"error record",
         [] {
             CVException::Cleanup();
             CVException::Init();
             CVException::Cleanup();
         },
         10},
        {"resolver",
         [] {
             CVDNSParse::GetInstance();
             CVDNSParse::ReleaseInstance();
         },
         10},
        {"name cache with entries",
         [&] {
             CVDNSCache* cache = CVDNSCache::Instance();
             CVString name(Units(host));
             cache->AddHostAndName(name, 0x0100007Fu, 80u);
             CVDNSCache::ReleaseInstance();
         },
         10},
        {"socket manager with its worker",
         [] {
             CVSocketMan man;
             man.InitSocketMan();
             man.SetSocketMax(200);
             CVSocket s;
             man.AddSocket(&s);
             man.StartSocketProc();
             CVDNSParse::GetInstance();
             CVDNSCache::Instance();
             man.UnInitSocketMan();
         },
         10},
    };
    for (const auto& c : cases) {
        const long growth = GrowthOver(kRounds, c.cycle, c.settle);
        RecordProperty(std::string("heap_growth_") + c.name, static_cast<int>(growth));
        EXPECT_LT(growth, kRounds * kSlackPerRound) << c.name << ": " << growth << " bytes after " << kRounds
                                                    << " rounds";
        EXPECT_EQ(0, BlocksLeftOver(kRounds, c.cycle)) << c.name << ": blocks of the library left behind";
    }
    // Released for good: the next user starts from nothing.
    EXPECT_EQ(CVDNSParse::s_pDNSParse, nullptr);
    EXPECT_EQ(CVDNSCache::s_pDnsCache, nullptr);
    ASSERT_EQ(1, CVCMMap::GlobalInit());
    CVException::Init();
}

// Proof that the measure sees a block left behind.
TEST(Release, TheMeasureSeesAnObjectLeftBehind) {
    if (!kPlainHeap) GTEST_SKIP() << "the sanitizer's heap keeps its own books";
    std::vector<CVEvent*> kept;
    const long growth = GrowthOver(kRounds, [&] {
        CVEvent* e = new CVEvent;
        e->CreateEvent(0);
        kept.push_back(e);
    });
    EXPECT_GE(growth, kRounds * kSlackPerRound);
    const long blocks = BlocksLeftOver(kRounds, [&] {
        CVEvent* e = new CVEvent;
        e->CreateEvent(0);
        kept.push_back(e);
    });
    EXPECT_EQ(kRounds, blocks);  // one event record each
    for (CVEvent* e : kept) delete e;
}
