#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

// A UTF-16 key that stays alive for the test's duration.
struct Text {
    explicit Text(const char* utf8) : s(vostest::U16(utf8)) {}
    operator const unsigned short*() const { return vostest::Units(s); }
    std::u16string s;
};

std::u16string ToU16(const CVString& s) {
    const unsigned short* p = s;
    return p == nullptr ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(p));
}

template <typename Map>
int BlockCount(const Map& m) {
    int n = 0;
    for (CVPlex* p = m.m_pBlockChain; p != nullptr; p = p->pNext) ++n;
    return n;
}

// The map owns nothing and reports itself empty.
template <typename Map>
void ExpectPristine(const Map& m, const char* what) {
    EXPECT_EQ(m.GetCount(), 0) << what;
    EXPECT_EQ(m.IsEmpty(), 1) << what;
    EXPECT_EQ(m.GetStartPosition(), nullptr) << what;
    EXPECT_EQ(m.m_pBuckets, nullptr) << what;
    EXPECT_EQ(m.m_pBlockChain, nullptr) << what;
    EXPECT_EQ(m.m_pFreeAssocs, nullptr) << what;
}

std::vector<unsigned short> IterateWords(const CVMapWordToPtr& m) {
    std::vector<unsigned short> keys;
    void* pos = m.GetStartPosition();
    while (pos != nullptr) {
        unsigned short key = 0;
        void* value = nullptr;
        m.GetNextAssoc(pos, key, value);
        keys.push_back(key);
    }
    return keys;
}

void* P(uintptr_t v) { return reinterpret_cast<void*>(v); }

}  // namespace

TEST(CVMaps, NewMapsAreEmptyWithSeventeenBucketsAndNoTable) {
    CVMapWordToPtr w;
    CVMapPtrToPtr p;
    CVMapDWordToString d;
    CVMapStringToPtr sp;
    CVMapStringToString ss;
    ExpectPristine(w, "word");
    ExpectPristine(p, "ptr");
    ExpectPristine(d, "dword");
    ExpectPristine(sp, "string-ptr");
    ExpectPristine(ss, "string-string");
    EXPECT_EQ(w.GetHashTableSize(), 17u);
    EXPECT_EQ(p.GetHashTableSize(), 17u);
    EXPECT_EQ(d.GetHashTableSize(), 17u);
    EXPECT_EQ(sp.GetHashTableSize(), 17u);
    EXPECT_EQ(ss.GetHashTableSize(), 17u);
    EXPECT_EQ(sp.m_nAssocsPerBlock, 10);
}

TEST(CVMaps, MissesWithoutTableLeaveTheOutArgumentAlone) {
    CVMapWordToPtr w;
    CVMapPtrToPtr p;
    CVMapDWordToString d;
    CVMapStringToPtr sp;
    CVMapStringToString ss;
    void* out = P(0x55);
    EXPECT_EQ(w.Lookup(3, out), 0);
    EXPECT_EQ(p.Lookup(P(0x40), out), 0);
    EXPECT_EQ(sp.Lookup(Text("x"), out), 0);
    EXPECT_EQ(sp.Lookup(nullptr, out), 0);
    EXPECT_EQ(out, P(0x55));
    CVString s(Text("keep"));
    EXPECT_EQ(d.Lookup(9, s), 0);
    EXPECT_EQ(ss.Lookup(Text("x"), s), 0);
    EXPECT_EQ(ToU16(s), u"keep");
    unsigned long k = 77;
    EXPECT_EQ(d.LookupKey(9, k), 0);
    EXPECT_EQ(k, 77ul);
    // No table yet: nothing to walk, nothing to remove.
    EXPECT_EQ(p.GetValueAt(P(0x40)), nullptr);
    EXPECT_EQ(p.GetValueAt(nullptr), nullptr);
    EXPECT_EQ(w.RemoveKey(3), 0);
    EXPECT_EQ(ss.RemoveKey(nullptr), 0);
    ExpectPristine(w, "after misses");
}

TEST(CVMaps, SubscriptInsertsOnceWithAnEmptyValue) {
    CVMapStringToString ss;
    CVString& v = ss[Text("host")];
    EXPECT_EQ(ss.GetCount(), 1);
    EXPECT_EQ(v.IsEmpty(), 1);
    v = Text("1.2.3.4");
    ss[Text("host")];
    EXPECT_EQ(ss.GetCount(), 1);
    CVString out;
    ASSERT_EQ(ss.Lookup(Text("host"), out), 1);
    EXPECT_EQ(ToU16(out), u"1.2.3.4");

    CVMapPtrToPtr p;
    EXPECT_EQ(p[P(0x100)], nullptr);
    p[P(0x100)] = P(7);
    p[P(0x100)];
    EXPECT_EQ(p.GetCount(), 1);
    EXPECT_EQ(p.GetValueAt(P(0x100)), P(7));
    EXPECT_EQ(p.GetValueAt(P(0x200)), nullptr);

    CVMapDWordToString d;
    d.SetAt(5, Text("five"));
    d.SetAt(5, Text("FIVE"));
    EXPECT_EQ(d.GetCount(), 1);
    ASSERT_EQ(d.Lookup(5, out), 1);
    EXPECT_EQ(ToU16(out), u"FIVE");
}

TEST(CVMaps, IntegerKeysHashByShiftingRightFour) {
    CVMapWordToPtr w;
    const struct {
        unsigned short key;
        unsigned int bucket;
    } cases[] = {{0, 0}, {15, 0}, {16, 1}, {272, 0}, {17 * 16 + 16, 1}, {0xFFFF, (0xFFFFu >> 4) % 17}};
    for (const auto& c : cases) {
        unsigned int bucket = 99;
        EXPECT_EQ(w.GetAssocAt(c.key, bucket), nullptr);
        EXPECT_EQ(bucket, c.bucket) << "key " << c.key;
    }
    CVMapDWordToString d;
    unsigned int bucket = 99;
    d.GetAssocAt(0x12345678ul, bucket);
    EXPECT_EQ(bucket, (0x12345678u >> 4) % 17);
}

TEST(CVMaps, PointerHashIsTheShiftedAddressCutTo32Bits) {
    CVMapPtrToPtr p;
    unsigned int bucket = 99;
    p.GetAssocAt(P(0x1230), bucket);
    EXPECT_EQ(bucket, 0x123u % 17);
    if (sizeof(void*) == 8) {
        // Bits above 35 of the address fall outside the 32-bit hash.
        const uintptr_t high = static_cast<uintptr_t>(0xABCull << 52);
        p.GetAssocAt(P(high | 0x100), bucket);
        EXPECT_EQ(bucket, 0x10u % 17);
        p.SetAt(P(high | 0x100), P(1));
        p.SetAt(P(0x100), P(2));
        EXPECT_EQ(p.GetValueAt(P(high | 0x100)), P(1));
        EXPECT_EQ(p.GetValueAt(P(0x100)), P(2));
    }
}

TEST(CVMaps, StringHashIsTimes33AndNullIsEmpty) {
    const struct {
        const char* text;
        unsigned int hash;
    } cases[] = {{"", 0}, {"a", 97}, {"ab", 3299}, {"abc", 3299u * 33 + 99}};
    for (const auto& c : cases) {
        EXPECT_EQ(CVMapStringToPtr::HashKey(Text(c.text)), c.hash) << c.text;
        EXPECT_EQ(CVMapStringToString::HashKey(Text(c.text)), c.hash) << c.text;
    }
    EXPECT_EQ(CVMapStringToPtr::HashKey(nullptr), 0u);
    // Longer texts of every remainder length, wrapping in 32 bits.
    for (size_t len = 4; len <= 24; ++len) {
        std::u16string text;
        for (size_t i = 0; i < len; ++i) text.push_back(static_cast<char16_t>(0xFFFF - i * 977));
        uint32_t h = 0;
        for (char16_t ch : text) h = h * 33u + ch;
        EXPECT_EQ(CVMapStringToPtr::HashKey(vostest::Units(text)), h) << "length " << len;
    }
    CVMapStringToPtr sp;
    unsigned int bucket = 99;
    sp.GetAssocAt(Text("ab"), bucket);
    EXPECT_EQ(bucket, 1u);
}

TEST(CVMaps, KeysThatArePrefixesOrDifferLateStayApart) {
    CVMapStringToPtr sp;
    sp.InitHashTable(1, 1);  // one chain: every lookup compares against every key
    const char* keys[] = {"", "a", "ab", "abc", "abcd", "abcde", "abcdX", "abcdf", "bbcde"};
    for (size_t i = 0; i < sizeof(keys) / sizeof(keys[0]); ++i) sp.SetAt(Text(keys[i]), P(i + 1));
    EXPECT_EQ(sp.GetCount(), 9);
    for (size_t i = 0; i < sizeof(keys) / sizeof(keys[0]); ++i) {
        void* v = nullptr;
        ASSERT_EQ(sp.Lookup(Text(keys[i]), v), 1) << keys[i];
        EXPECT_EQ(v, P(i + 1)) << keys[i];
    }
    void* v = nullptr;
    EXPECT_EQ(sp.Lookup(Text("abcdef"), v), 0);
    EXPECT_EQ(sp.Lookup(Text("abcdY"), v), 0);
}

TEST(CVMaps, EmptyAndNullKeysAreTheSameKey) {
    CVMapStringToPtr sp;
    sp.SetAt(nullptr, P(1));
    sp.SetAt(Text(""), P(2));
    EXPECT_EQ(sp.GetCount(), 1);
    void* v = nullptr;
    ASSERT_EQ(sp.Lookup(nullptr, v), 1);
    EXPECT_EQ(v, P(2));
    const unsigned short* stored = nullptr;
    ASSERT_EQ(sp.LookupKey(Text(""), stored), 1);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored[0], 0);

    // Copying and assigning a map with an empty key.
    sp.SetAt(Text("x"), P(3));
    CVMapStringToPtr copy(sp);
    EXPECT_EQ(copy.GetCount(), 2);
    ASSERT_EQ(copy.Lookup(nullptr, v), 1);
    EXPECT_EQ(v, P(2));
    CVMapStringToPtr assigned;
    assigned.SetAt(Text("old"), P(9));
    assigned = sp;
    EXPECT_EQ(assigned.GetCount(), 2);
    EXPECT_EQ(assigned.Lookup(Text("old"), v), 0);
    ASSERT_EQ(assigned.Lookup(Text(""), v), 1);
    EXPECT_EQ(v, P(2));

    CVMapStringToString ss;
    ss.SetAt(nullptr, Text("v"));
    CVString out;
    ASSERT_EQ(ss.Lookup(Text(""), out), 1);
    EXPECT_EQ(ToU16(out), u"v");
    EXPECT_EQ(ss.RemoveKey(nullptr), 1);
    ExpectPristine(ss, "empty key removed");
}

TEST(CVMaps, IterationIsBucketOrderNewestFirstWithinABucket) {
    CVMapWordToPtr w;
    // 2*16 -> bucket 2; 15*16 and 32*16 -> bucket 15; 0 and 1 -> bucket 0.
    const unsigned short order[] = {15 * 16, 2 * 16, 32 * 16, 1, 0};
    for (unsigned short k : order) w.SetAt(k, P(k + 1));
    EXPECT_EQ(IterateWords(w), (std::vector<unsigned short>{0, 1, 2 * 16, 32 * 16, 15 * 16}));

    void* pos = w.GetStartPosition();
    EXPECT_EQ(pos, P(~static_cast<uintptr_t>(0)));
    unsigned short key = 0;
    void* value = nullptr;
    for (int i = 0; i < 5; ++i) {
        ASSERT_NE(pos, nullptr) << "ended early at " << i;
        w.GetNextAssoc(pos, key, value);
        EXPECT_EQ(value, P(key + 1));
    }
    EXPECT_EQ(pos, nullptr);

    // Stored bucket indices lead the string maps the same way.
    CVMapStringToString ss;
    const char* keys[] = {"ab", "b", "a", "ba"};
    for (const char* k : keys) ss.SetAt(Text(k), Text(k));
    std::vector<unsigned int> buckets;
    pos = ss.GetStartPosition();
    CVString sk, sv;
    while (pos != nullptr) {
        ss.GetNextAssoc(pos, sk, sv);
        EXPECT_EQ(ToU16(sk), ToU16(sv));
        buckets.push_back(CVMapStringToString::HashKey(sk) % 17);
    }
    ASSERT_EQ(buckets.size(), 4u);
    for (size_t i = 1; i < buckets.size(); ++i) EXPECT_LE(buckets[i - 1], buckets[i]);
}

TEST(CVMaps, LastRemovalReleasesTableAndBlocks) {
    CVMapStringToString ss;
    ss.SetAt(Text("only"), Text("one"));
    ASSERT_NE(ss.m_pBuckets, nullptr);
    ASSERT_EQ(BlockCount(ss), 1);
    EXPECT_EQ(ss.RemoveKey(Text("other")), 0);
    EXPECT_EQ(ss.RemoveKey(Text("only")), 1);
    ExpectPristine(ss, "after last removal");
    EXPECT_EQ(ss.GetHashTableSize(), 17u);
    ss.SetAt(Text("again"), Text("x"));
    EXPECT_NE(ss.m_pBuckets, nullptr);
    EXPECT_EQ(BlockCount(ss), 1);
    ss.RemoveAll();
    ExpectPristine(ss, "after RemoveAll");
}

TEST(CVMaps, RemoveKeyUnlinksFromAnyPlaceInTheChain) {
    // Keys 0, 1, 2 share bucket 0; chain order is 2, 1, 0.
    for (unsigned short victim = 0; victim < 3; ++victim) {
        CVMapWordToPtr w;
        for (unsigned short k = 0; k < 3; ++k) w.SetAt(k, P(k + 10));
        EXPECT_EQ(w.RemoveKey(victim), 1);
        EXPECT_EQ(w.RemoveKey(victim), 0);
        EXPECT_EQ(w.GetCount(), 2);
        for (unsigned short k = 0; k < 3; ++k) {
            void* v = nullptr;
            EXPECT_EQ(w.Lookup(k, v), k == victim ? 0 : 1) << "victim " << victim << " key " << k;
            if (k != victim) {
                EXPECT_EQ(v, P(k + 10));
            }
        }
    }
}

TEST(CVMaps, AssociationsComeFromBlocksAndAreRecycled) {
    CVMapWordToPtr w(10);
    std::vector<CVMapWordToPtr::CAssoc*> handed;
    for (unsigned short k = 0; k < 10; ++k) {
        w.SetAt(static_cast<unsigned short>(k * 16), P(k));
        unsigned int b = 0;
        handed.push_back(w.GetAssocAt(static_cast<unsigned short>(k * 16), b));
    }
    EXPECT_EQ(BlockCount(w), 1);
    EXPECT_EQ(w.m_pFreeAssocs, nullptr);
    // The block hands out its associations first to last.
    for (size_t i = 1; i < handed.size(); ++i) EXPECT_EQ(handed[i], handed[i - 1] + 1);
    w.SetAt(999, P(1));
    EXPECT_EQ(BlockCount(w), 2);
    EXPECT_EQ(w.GetCount(), 11);

    w.RemoveKey(3 * 16);
    EXPECT_EQ(w.m_pFreeAssocs, handed[3]);
    EXPECT_EQ(BlockCount(w), 2);
    w.SetAt(1234, P(2));
    unsigned int b = 0;
    EXPECT_EQ(w.GetAssocAt(1234, b), handed[3]);
    EXPECT_EQ(BlockCount(w), 2);
    EXPECT_EQ(w.GetCount(), 11);
}

TEST(CVMaps, RecyclingAnAssociationAllocatesNothing) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    CVMapPtrToPtr p(10);
    for (uintptr_t k = 1; k <= 5; ++k) p.SetAt(P(k * 16), P(k));
    p.RemoveKey(P(16));
    vostest::FailAllocationAt(1, true);  // any allocation from here on fails
    p.SetAt(P(0x999), P(9));
    EXPECT_EQ(vostest::AllocationCalls(), 0u);
    EXPECT_EQ(p.GetValueAt(P(0x999)), P(9));
    EXPECT_EQ(p.GetCount(), 5);
}

TEST(CVMaps, BucketTableKeepsItsCountJustBeforeAlignedBuckets) {
    const unsigned int sizes[] = {17, 1, 10007};
    for (unsigned int n : sizes) {
        CVMapStringToPtr sp;
        sp.InitHashTable(n, 1);
        ASSERT_NE(sp.m_pBuckets, nullptr);
        EXPECT_EQ(sp.GetHashTableSize(), n);
        EXPECT_EQ(reinterpret_cast<const int32_t*>(sp.m_pBuckets)[-1], static_cast<int32_t>(n));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(sp.m_pBuckets) % alignof(void*), 0u);
        if (sizeof(void*) == 4) {
            // The heap hands out 8-byte aligned blocks; the buckets start one
            // 32-bit word into the block.
            EXPECT_EQ(reinterpret_cast<uintptr_t>(sp.m_pBuckets) % 8, 4u);
        }
        for (unsigned int i = 0; i < n; ++i) ASSERT_EQ(sp.m_pBuckets[i], nullptr);
    }
}

TEST(CVMaps, InitHashTableWithoutAllocationWaitsForTheFirstInsertion) {
    CVMapDWordToString d;
    d.InitHashTable(101, 0);
    EXPECT_EQ(d.m_pBuckets, nullptr);
    EXPECT_EQ(d.GetHashTableSize(), 101u);
    d.SetAt(5000, Text("v"));
    ASSERT_NE(d.m_pBuckets, nullptr);
    EXPECT_EQ(reinterpret_cast<const int32_t*>(d.m_pBuckets)[-1], 101);
    unsigned int b = 0;
    ASSERT_NE(d.GetAssocAt(5000, b), nullptr);
    EXPECT_EQ(b, (5000u >> 4) % 101);
    // Zero buckets would divide by zero: the request is ignored.
    d.InitHashTable(0, 1);
    EXPECT_EQ(d.GetHashTableSize(), 101u);
    EXPECT_EQ(d.GetCount(), 1);
}

TEST(CVMaps, InitHashTableOnAFilledMapKeepsItsEntries) {
    CVMapStringToString ss;
    for (int i = 0; i < 50; ++i) {
        const std::string k = "key" + std::to_string(i);
        ss.SetAt(Text(k.c_str()), Text(std::to_string(i).c_str()));
    }
    ss.InitHashTable(7, 0);
    EXPECT_EQ(ss.GetHashTableSize(), 7u);
    EXPECT_EQ(ss.GetCount(), 50);
    int seen = 0;
    void* pos = ss.GetStartPosition();
    unsigned int lastBucket = 0;
    CVString k, v;
    while (pos != nullptr) {
        ss.GetNextAssoc(pos, k, v);
        const unsigned int bucket = CVMapStringToString::HashKey(k) % 7;
        EXPECT_GE(bucket, lastBucket);
        lastBucket = bucket;
        ++seen;
    }
    EXPECT_EQ(seen, 50);
    for (int i = 0; i < 50; ++i) {
        const std::string key = "key" + std::to_string(i);
        CVString out;
        ASSERT_EQ(ss.Lookup(Text(key.c_str()), out), 1) << key;
        EXPECT_EQ(ToU16(out), vostest::U16(std::to_string(i).c_str()));
    }
}

TEST(CVMaps, CopyHasSeventeenBucketsAndAssignmentKeepsTheTargets) {
    CVMapStringToPtr src(4);
    src.InitHashTable(101, 1);
    for (int i = 0; i < 30; ++i) src.SetAt(Text(("n" + std::to_string(i)).c_str()), P(static_cast<uintptr_t>(i + 1)));
    CVMapStringToPtr copy(src);
    EXPECT_EQ(copy.GetHashTableSize(), 17u);
    EXPECT_EQ(copy.m_nAssocsPerBlock, 10);
    EXPECT_EQ(copy.GetCount(), 30);
    CVMapStringToPtr target(3);
    target.InitHashTable(53, 0);
    target = src;
    EXPECT_EQ(target.GetHashTableSize(), 53u);
    EXPECT_EQ(target.m_nAssocsPerBlock, 3);
    for (int i = 0; i < 30; ++i) {
        void* v1 = nullptr;
        void* v2 = nullptr;
        const std::string k = "n" + std::to_string(i);
        ASSERT_EQ(copy.Lookup(Text(k.c_str()), v1), 1);
        ASSERT_EQ(target.Lookup(Text(k.c_str()), v2), 1);
        EXPECT_EQ(v1, P(static_cast<uintptr_t>(i + 1)));
        EXPECT_EQ(v2, v1);
    }
    target = target;  // recognised and left alone
    EXPECT_EQ(target.GetCount(), 30);
    CVMapStringToPtr empty;
    target = empty;
    ExpectPristine(target, "assigned from empty");
}

TEST(CVMaps, WideKeysStayDistinctOn64BitHosts) {
    if (sizeof(unsigned long) != 8) GTEST_SKIP() << "unsigned long is 32 bits here";
    CVMapDWordToString d;
    const unsigned long low = 0x10;
    const unsigned long high = low | static_cast<unsigned long>(1ull << 40);
    d.SetAt(low, Text("low"));
    d.SetAt(high, Text("high"));
    EXPECT_EQ(d.GetCount(), 2);
    unsigned long stored = 0;
    ASSERT_EQ(d.LookupKey(high, stored), 1);
    EXPECT_EQ(stored, high);
    CVString out;
    ASSERT_EQ(d.Lookup(low, out), 1);
    EXPECT_EQ(ToU16(out), u"low");
}

// Every allocation an insertion makes (table, block, key text) may fail; the
// map must then hold exactly what it held before.
TEST(CVMaps, InsertionFailsCleanlyAtEveryAllocation) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    int failuresSeen = 0;
    for (unsigned long n = 1; n < 20; ++n) {
        CVMapStringToString ss;
        vostest::FailAllocationAt(n, true);
        ss.SetAt(Text("name"), Text("value"));
        vostest::FailAllocationAt(0);
        if (ss.GetCount() == 1) {
            CVString out;
            EXPECT_EQ(ss.Lookup(Text("name"), out), 1);
            break;
        }
        ++failuresSeen;
        ExpectPristine(ss, ("failed at allocation " + std::to_string(n)).c_str());
        ss.SetAt(Text("name"), Text("value"));  // works again afterwards
        EXPECT_EQ(ss.GetCount(), 1);
    }
    EXPECT_GE(failuresSeen, 3);  // table, block and key text

    // A failure on a map that holds entries keeps them.
    for (unsigned long n = 1; n < 10; ++n) {
        CVMapStringToPtr sp(1);
        sp.SetAt(Text("first"), P(1));
        vostest::FailAllocationAt(n, true);
        sp.SetAt(Text("second"), P(2));
        vostest::FailAllocationAt(0);
        void* v = nullptr;
        EXPECT_EQ(sp.Lookup(Text("first"), v), 1);
        EXPECT_EQ(v, P(1));
        if (sp.GetCount() == 2) break;
        EXPECT_EQ(sp.GetCount(), 1);
        EXPECT_EQ(sp.Lookup(Text("second"), v), 0);
        // A block obtained before the failure stays, its association freed.
        EXPECT_EQ(BlockCount(sp) == 2, sp.m_pFreeAssocs != nullptr);
    }

    CVMapWordToPtr w;
    vostest::FailAllocationAt(1, true);
    w[5] = P(1);  // the scratch value takes the write
    vostest::FailAllocationAt(0);
    ExpectPristine(w, "word map after failed table");
    void* v = nullptr;
    EXPECT_EQ(w.Lookup(5, v), 0);
}

TEST(CVMaps, FailedRehashKeepsTheOldTable) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    CVMapPtrToPtr p;
    for (uintptr_t k = 1; k <= 20; ++k) p.SetAt(P(k << 4), P(k));
    vostest::FailAllocationAt(1, true);
    p.InitHashTable(211, 1);
    vostest::FailAllocationAt(0);
    EXPECT_EQ(p.GetHashTableSize(), 17u);
    for (uintptr_t k = 1; k <= 20; ++k) EXPECT_EQ(p.GetValueAt(P(k << 4)), P(k));
}

// A long mixed sequence checked against the standard map.
TEST(CVMaps, RandomOperationsAgreeWithStdMap) {
    std::mt19937 rng(12345);
    CVMapStringToPtr sp(7);
    sp.InitHashTable(31, 0);
    std::map<std::u16string, uintptr_t> ref;
    for (int step = 0; step < 4000; ++step) {
        std::u16string key;
        const int len = static_cast<int>(rng() % 4);
        for (int i = 0; i < len; ++i) key.push_back(static_cast<char16_t>(u'a' + rng() % 3));
        const unsigned short* k = vostest::Units(key);
        switch (rng() % 4) {
            case 0:
            case 1: {
                const uintptr_t v = rng() + 1;
                sp.SetAt(k, P(v));
                ref[key] = v;
                break;
            }
            case 2:
                EXPECT_EQ(sp.RemoveKey(k), static_cast<int>(ref.erase(key)));
                break;
            default: {
                void* v = nullptr;
                const auto it = ref.find(key);
                ASSERT_EQ(sp.Lookup(k, v), it != ref.end() ? 1 : 0);
                if (it != ref.end()) {
                    EXPECT_EQ(v, P(it->second));
                }
            }
        }
        ASSERT_EQ(sp.GetCount(), static_cast<int>(ref.size())) << "step " << step;
        if (ref.empty()) {
            ASSERT_EQ(sp.m_pBuckets, nullptr) << "step " << step;
        }
    }
    std::map<std::u16string, uintptr_t> seen;
    void* pos = sp.GetStartPosition();
    CVString key;
    void* value = nullptr;
    while (pos != nullptr) {
        sp.GetNextAssoc(pos, key, value);
        seen[ToU16(key)] = reinterpret_cast<uintptr_t>(value);
    }
    EXPECT_EQ(seen, ref);
}
