// CVArray and the five hash maps under allocation failure: growth that cannot
// get memory leaves the container as it was, an insertion inserts nothing,
// and every entry present before the failure survives it.
#include <stdint.h>

#include <map>
#include <string>

#include "AllocWalk.h"

using namespace _palex_zu;
using reliability::FailMode;
using reliability::RunFailingAt;
using reliability::Str;
using reliability::Text;
using reliability::WalkBoth;
using vostest::U16;
using vostest::Units;

namespace {

void* P(uintptr_t v) { return reinterpret_cast<void*>(v); }

template <class Array>
void ExpectInts(const Array& a, int count) {
    ASSERT_EQ(a.GetSize(), count);
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(a[i], i * 7) << i;
    }
}

void ExpectStrings(const CVArray<CVString, CVString&>& a, int count) {
    ASSERT_EQ(a.GetSize(), count);
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(Text(a[i]), U16(("item" + std::to_string(i)).c_str())) << i;
    }
}

}  // namespace

TEST(ArrayAllocFailure, GrowthKeepsTheArrayAsItWas) {
    RELIABILITY_REQUIRE_HOOK();
    // Sizes at which the buffer is full (it grows 1, 5, 9, 13 ...), so that
    // the operation must grow it.
    for (int start : {0, 1, 5, 13}) {
        const std::string tag = "int array of " + std::to_string(start);
        WalkBoth((tag + ": Add").c_str(), [&](unsigned long n, FailMode mode) {
            CVArray<int, int> a;
            for (int i = 0; i < start; ++i) a.Add(i * 7);
            EXPECT_EQ(a.m_nCapacity, start);
            int index = -2;
            const bool failed = RunFailingAt(n, mode, [&] { index = a.Add(start * 7); });
            if (failed) {
                EXPECT_EQ(index, -1);
                ExpectInts(a, start);
            } else {
                EXPECT_EQ(index, start);
                ExpectInts(a, start + 1);
            }
            return failed;
        });
        WalkBoth((tag + ": SetAtGrow").c_str(), [&](unsigned long n, FailMode mode) {
            CVArray<int, int> a;
            for (int i = 0; i < start; ++i) a.Add(i * 7);
            const bool failed = RunFailingAt(n, mode, [&] { a.SetAtGrow(start + 40, 1); });
            if (failed) {
                ExpectInts(a, start);
            } else {
                EXPECT_EQ(a.GetSize(), start + 41);
                EXPECT_EQ(a[start + 40], 1);
                EXPECT_EQ(a[start + 39], 0);
            }
            return failed;
        });
    }
    WalkBoth("string array: SetSize", [&](unsigned long n, FailMode mode) {
        CVArray<CVString, CVString&> a;
        for (int i = 0; i < 5; ++i) {
            CVString s = Str("item" + std::to_string(i));
            a.Add(s);
        }
        const bool failed = RunFailingAt(n, mode, [&] { a.SetSize(300); });
        if (failed) {
            ExpectStrings(a, 5);
        } else {
            EXPECT_EQ(a.GetSize(), 300);
            for (int i = 0; i < 5 && i < a.GetSize(); ++i) {
                EXPECT_EQ(Text(a[i]), U16(("item" + std::to_string(i)).c_str()));
            }
            if (a.GetSize() == 300) {
                EXPECT_TRUE(a[299].IsEmpty());
            }
        }
        return failed;
    });
    // The element is a string: its own copy is a second allocation, whose
    // failure leaves an empty element in a slot that was added.
    WalkBoth("string array: Add", [&](unsigned long n, FailMode mode) {
        CVArray<CVString, CVString&> a;
        for (int i = 0; i < 4; ++i) {
            CVString s = Str("item" + std::to_string(i));
            a.Add(s);
        }
        a.SetSize(4, 1);  // full, so the next Add grows
        CVString v = Str("item4");
        int index = -2;
        const bool failed = RunFailingAt(n, mode, [&] { index = a.Add(v); });
        if (index == -1) {
            EXPECT_TRUE(failed);
            ExpectStrings(a, 4);
        } else {
            EXPECT_EQ(index, 4);
            EXPECT_EQ(a.GetSize(), 5);
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(Text(a[i]), U16(("item" + std::to_string(i)).c_str()));
            }
            if (!failed) {
                EXPECT_EQ(Text(a[4]), u"item4");
            } else {
                EXPECT_TRUE(a[4].IsEmpty() || Text(a[4]) == u"item4");
            }
        }
        // Adding an element of the array itself while it grows.
        if (a.GetSize() > 0) {
            EXPECT_GE(a.Add(a[0]), 0);
        }
        return failed;
    });
}

namespace {

// Entries every map holds before the failing operation.
constexpr int kEntries = 25;

std::string Key(int i) { return "key" + std::to_string(i); }

template <class Check>
void ForEachEntry(Check check) {
    for (int i = 0; i < kEntries; ++i) check(i);
}

}  // namespace

TEST(MapAllocFailure, InsertionInsertsEverythingOrNothing) {
    RELIABILITY_REQUIRE_HOOK();
    // Fresh maps (the first insertion allocates table, block and texts) and
    // maps whose block is full (a new block is needed).
    for (int before : {0, kEntries}) {
        const std::string tag = before == 0 ? "empty " : "filled ";
        WalkBoth((tag + "CVMapWordToPtr SetAt").c_str(), [&](unsigned long n, FailMode mode) {
            CVMapWordToPtr m(5);
            for (int i = 0; i < before; ++i) m.SetAt(static_cast<unsigned short>(i), P(i + 1));
            const bool failed = RunFailingAt(n, mode, [&] { m.SetAt(1000, P(77)); });
            void* v = nullptr;
            EXPECT_EQ(m.GetCount(), before + (failed ? 0 : 1));
            EXPECT_EQ(m.Lookup(1000, v), failed ? 0 : 1);
            for (int i = 0; i < before; ++i) {
                EXPECT_EQ(m.Lookup(static_cast<unsigned short>(i), v) ? v : nullptr, P(i + 1));
            }
            m.SetAt(1001, P(78));  // usable afterwards
            EXPECT_EQ(m.Lookup(1001, v), 1);
            return failed;
        });
        WalkBoth((tag + "CVMapPtrToPtr operator[]").c_str(), [&](unsigned long n, FailMode mode) {
            CVMapPtrToPtr m(5);
            for (int i = 0; i < before; ++i) m[P((i + 1) * 16)] = P(i + 1);
            const bool failed = RunFailingAt(n, mode, [&] { m[P(0x5000)] = P(77); });
            EXPECT_EQ(m.GetCount(), before + (failed ? 0 : 1));
            EXPECT_EQ(m.GetValueAt(P(0x5000)), failed ? nullptr : P(77));
            for (int i = 0; i < before; ++i) {
                EXPECT_EQ(m.GetValueAt(P((i + 1) * 16)), P(i + 1));
            }
            return failed;
        });
        WalkBoth((tag + "CVMapDWordToString SetAt").c_str(), [&](unsigned long n, FailMode mode) {
            CVMapDWordToString m(5);
            for (int i = 0; i < before; ++i) m.SetAt(static_cast<unsigned long>(i), Units(U16(Key(i).c_str())));
            const std::u16string value = U16("a value of some length");
            const bool failed = RunFailingAt(n, mode, [&] { m.SetAt(5000ul, Units(value)); });
            CVString out;
            const int found = m.Lookup(5000ul, out);
            if (failed) {
                // The value's own copy may be what failed: then the entry
                // exists with an empty value, never a wrong one.
                EXPECT_TRUE(found == 0 || out.IsEmpty());
                EXPECT_EQ(m.GetCount(), before + found);
            } else {
                EXPECT_EQ(found, 1);
                EXPECT_EQ(Text(out), value);
                EXPECT_EQ(m.GetCount(), before + 1);
            }
            for (int i = 0; i < before; ++i) {
                EXPECT_EQ(m.Lookup(static_cast<unsigned long>(i), out), 1);
                EXPECT_EQ(Text(out), U16(Key(i).c_str()));
            }
            return failed;
        });
        WalkBoth((tag + "CVMapStringToPtr SetAt").c_str(), [&](unsigned long n, FailMode mode) {
            CVMapStringToPtr m(5);
            for (int i = 0; i < before; ++i) m.SetAt(Units(U16(Key(i).c_str())), P(i + 1));
            const std::u16string key = U16("the new key");
            const bool failed = RunFailingAt(n, mode, [&] { m.SetAt(Units(key), P(77)); });
            void* v = nullptr;
            EXPECT_EQ(m.GetCount(), before + (failed ? 0 : 1));
            EXPECT_EQ(m.Lookup(Units(key), v), failed ? 0 : 1);
            for (int i = 0; i < before; ++i) {
                EXPECT_EQ(m.Lookup(Units(U16(Key(i).c_str())), v), 1);
                EXPECT_EQ(v, P(i + 1));
            }
            // Every stored key is a real text: iteration hands out no empty
            // key the caller never inserted.
            void* pos = m.GetStartPosition();
            for (int guard = 0; pos != nullptr && guard < 1000; ++guard) {
                CVString k;
                m.GetNextAssoc(pos, k, v);
                EXPECT_FALSE(k.IsEmpty());
            }
            return failed;
        });
        WalkBoth((tag + "CVMapStringToString SetAt").c_str(), [&](unsigned long n, FailMode mode) {
            CVMapStringToString m(5);
            for (int i = 0; i < before; ++i) m.SetAt(Units(U16(Key(i).c_str())), Units(U16(Key(i + 100).c_str())));
            const std::u16string key = U16("the new key");
            const std::u16string value = U16("the new value");
            const bool failed = RunFailingAt(n, mode, [&] { m.SetAt(Units(key), Units(value)); });
            CVString out;
            const int found = m.Lookup(Units(key), out);
            if (failed) {
                EXPECT_TRUE(found == 0 || out.IsEmpty());
                EXPECT_EQ(m.GetCount(), before + found);
            } else {
                EXPECT_EQ(found, 1);
                EXPECT_EQ(Text(out), value);
            }
            for (int i = 0; i < before; ++i) {
                EXPECT_EQ(m.Lookup(Units(U16(Key(i).c_str())), out), 1);
                EXPECT_EQ(Text(out), U16(Key(i + 100).c_str()));
            }
            void* pos = m.GetStartPosition();
            for (int guard = 0; pos != nullptr && guard < 1000; ++guard) {
                CVString k;
                m.GetNextAssoc(pos, k, out);
                EXPECT_FALSE(k.IsEmpty());
            }
            return failed;
        });
    }
}

TEST(MapAllocFailure, RehashAndCopyKeepTheEntries) {
    RELIABILITY_REQUIRE_HOOK();
    WalkBoth("CVMapStringToPtr InitHashTable", [&](unsigned long n, FailMode mode) {
        CVMapStringToPtr m(3);
        ForEachEntry([&](int i) { m.SetAt(Units(U16(Key(i).c_str())), P(i + 1)); });
        const bool failed = RunFailingAt(n, mode, [&] { m.InitHashTable(101, 1); });
        EXPECT_EQ(m.GetHashTableSize(), failed ? 17u : 101u);
        EXPECT_EQ(m.GetCount(), kEntries);
        ForEachEntry([&](int i) {
            void* v = nullptr;
            EXPECT_EQ(m.Lookup(Units(U16(Key(i).c_str())), v), 1) << i;
            EXPECT_EQ(v, P(i + 1));
        });
        return failed;
    });
    WalkBoth("CVMapWordToPtr InitHashTable", [&](unsigned long n, FailMode mode) {
        CVMapWordToPtr m(3);
        const bool failed = RunFailingAt(n, mode, [&] { m.InitHashTable(257, 1); });
        // A table that could not be made now waits for the first insertion.
        m.SetAt(9, P(9));
        void* v = nullptr;
        EXPECT_EQ(m.Lookup(9, v), 1);
        EXPECT_EQ(m.GetHashTableSize(), 257u);
        return failed;
    });
    WalkBoth("CVMapStringToPtr copy", [&](unsigned long n, FailMode mode) {
        CVMapStringToPtr source(4);
        ForEachEntry([&](int i) { source.SetAt(Units(U16(Key(i).c_str())), P(i + 1)); });
        CVMapStringToPtr* copy = nullptr;
        const bool failed = RunFailingAt(n, mode, [&] { copy = new CVMapStringToPtr(source); });
        // A copy that lost entries to the shortage holds a subset, each
        // with its own value.
        EXPECT_LE(copy->GetCount(), kEntries);
        if (!failed) {
            EXPECT_EQ(copy->GetCount(), kEntries);
        }
        int present = 0;
        ForEachEntry([&](int i) {
            void* v = nullptr;
            if (copy->Lookup(Units(U16(Key(i).c_str())), v)) {
                ++present;
                EXPECT_EQ(v, P(i + 1));
            }
        });
        EXPECT_EQ(present, copy->GetCount());
        delete copy;
        EXPECT_EQ(source.GetCount(), kEntries);
        return failed;
    });
    WalkBoth("CVMapStringToPtr assignment", [&](unsigned long n, FailMode mode) {
        CVMapStringToPtr source(4);
        ForEachEntry([&](int i) { source.SetAt(Units(U16(Key(i).c_str())), P(i + 1)); });
        CVMapStringToPtr target;
        target.SetAt(Units(U16("old")), P(5));
        const bool failed = RunFailingAt(n, mode, [&] { target = source; });
        if (!failed) {
            EXPECT_EQ(target.GetCount(), kEntries);
        }
        int present = 0;
        ForEachEntry([&](int i) {
            void* v = nullptr;
            if (target.Lookup(Units(U16(Key(i).c_str())), v)) {
                ++present;
                EXPECT_EQ(v, P(i + 1));
            }
        });
        EXPECT_EQ(present, target.GetCount());
        return failed;
    });
}
