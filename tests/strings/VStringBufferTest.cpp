// CVString construction, buffer layout, access and assignment.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "support/TestSupport.h"
#include "vos/vos.h"

using _palex_zu::CVString;
using vostest::Text;
using vostest::U16;
using vostest::Units;

TEST(VStringBuffer, EmptyFormsHaveNoBuffer) {
    const unsigned short emptyUnits[1] = {0};
    CVString byDefault;
    CVString fromEmptyUnits(emptyUnits);
    CVString fromNullUnits(static_cast<const unsigned short*>(nullptr));
    CVString fromEmptyNarrow("");
    CVString fromNullNarrow(static_cast<const char*>(nullptr));
    for (const CVString* s : {&byDefault, &fromEmptyUnits, &fromNullUnits, &fromEmptyNarrow, &fromNullNarrow}) {
        EXPECT_EQ(nullptr, static_cast<const unsigned short*>(*s));
        EXPECT_EQ(0, s->GetLength());
        EXPECT_EQ(0, s->GetCharCount());
        EXPECT_EQ(1, s->IsEmpty());
        EXPECT_EQ(0, s->GetAt(0));
        EXPECT_EQ(0, (*s)[0]);
    }
}

TEST(VStringBuffer, BlockIsCountedWith32BitLengthAndZeroUnit) {
    const std::u16string text = U16("hello");
    CVString s(Units(text));
    const unsigned short* units = s;
    ASSERT_NE(nullptr, units);
    int32_t length = 0;
    memcpy(&length, reinterpret_cast<const char*>(units) - 4, sizeof(length));
    EXPECT_EQ(5, length);
    EXPECT_EQ(0, units[5]);
    EXPECT_EQ(5, _palex_zu::VCountedBlockCount(const_cast<unsigned short*>(units)));
    EXPECT_EQ(4u, sizeof(_palex_zu::CVStringData));
    // One pointer of data beside the virtual table pointer.
    EXPECT_EQ(2 * sizeof(void*), sizeof(CVString));
}

TEST(VStringBuffer, BlockIsExactSizeAndFreedOnEveryReplacement) {
    // The allocation hook counts CVMem calls: a copy takes exactly one block.
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    CVString source(Units(U16("abc")));
    vostest::FailAllocationAt(1000);
    CVString copy(source);
    EXPECT_EQ(1u, vostest::AllocationCalls());
    copy += source;
    EXPECT_EQ(2u, vostest::AllocationCalls());
    EXPECT_EQ(U16("abcabc"), Text(copy));
}

TEST(VStringBuffer, GetBufferSetLengthKeepsPrefixAndZeroFills) {
    CVString s(Units(U16("abcdef")));
    EXPECT_EQ(nullptr, CVString().GetBuffer(0));
    EXPECT_EQ(static_cast<unsigned short*>(s) + 2, s.GetBuffer(2));
    unsigned short* p = s.GetBufferSetLength(3);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(p, s.GetBuffer(0));
    EXPECT_EQ(3, s.GetLength());
    EXPECT_EQ(U16("abc"), Text(s));
    EXPECT_EQ(0, p[3]);

    p = s.GetBufferSetLength(6);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(6, s.GetLength());
    const unsigned short expected[7] = {'a', 'b', 'c', 0, 0, 0, 0};
    EXPECT_EQ(0, memcmp(expected, p, sizeof(expected)));

    // A buffer of length 0 exists but behaves as empty everywhere.
    p = s.GetBufferSetLength(0);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0, p[0]);
    EXPECT_EQ(0, s.GetLength());
    EXPECT_EQ(1, s.IsEmpty());
    const unsigned short empty[1] = {0};
    EXPECT_EQ(0, s.Compare(empty));
    EXPECT_EQ(0, s.Compare(CVString()));
    EXPECT_EQ(-1, s.Find('a', 0));
    CVString copy(s);
    EXPECT_NE(nullptr, static_cast<unsigned short*>(copy));
    EXPECT_EQ(0, copy.GetLength());

    // A negative length counts as 0.
    EXPECT_NE(nullptr, s.GetBufferSetLength(-4));
    EXPECT_EQ(0, s.GetLength());
}

TEST(VStringBuffer, GetBufferSetLengthFailureLeavesNoBuffer) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    CVString s(Units(U16("abc")));
    vostest::FailAllocationAt(1);
    EXPECT_EQ(nullptr, s.GetBufferSetLength(10));
    EXPECT_EQ(nullptr, static_cast<unsigned short*>(s));
    EXPECT_EQ(0, s.GetLength());
}

TEST(VStringBuffer, AccessChecksBoundsExceptSubscript) {
    CVString s(Units(U16("xyz")));
    const struct {
        int index;
        unsigned short unit;
    } cases[] = {{-1, 0}, {0, 'x'}, {2, 'z'}, {3, 0}, {100, 0}};
    for (const auto& c : cases) EXPECT_EQ(c.unit, s.GetAt(c.index)) << "index " << c.index;
    EXPECT_EQ('y', s[1]);

    s.SetAt(1, 0x10041);  // stored as a 16-bit unit
    s.SetAt(-1, 'q');
    s.SetAt(3, 'q');
    EXPECT_EQ(U16("xAz"), Text(s));
    EXPECT_EQ(0, static_cast<const unsigned short*>(s)[3]);
}

TEST(VStringBuffer, CopiesAreIndependent) {
    CVString source(Units(U16("abc")));
    CVString copy(source);
    copy.SetAt(0, 'z');
    EXPECT_EQ(U16("abc"), Text(source));
    EXPECT_EQ(U16("zbc"), Text(copy));
    EXPECT_NE(static_cast<unsigned short*>(source), static_cast<unsigned short*>(copy));

    CVString assigned;
    assigned = source;
    assigned.SetAt(2, 'q');
    EXPECT_EQ(U16("abc"), Text(source));
    EXPECT_EQ(U16("abq"), Text(assigned));

    assigned = CVString();
    EXPECT_EQ(nullptr, static_cast<unsigned short*>(assigned));
}

TEST(VStringBuffer, AssignmentFromOwnTextIsSafe) {
    CVString s(Units(U16("hello world")));
    s = s;
    EXPECT_EQ(U16("hello world"), Text(s));
    s = static_cast<const unsigned short*>(s) + 6;
    EXPECT_EQ(U16("world"), Text(s));
    const unsigned short* self = s;
    s = self;
    EXPECT_EQ(U16("world"), Text(s));
    s = static_cast<const unsigned short*>(nullptr);
    EXPECT_EQ(1, s.IsEmpty());
    s = "narrow";
    EXPECT_EQ(U16("narrow"), Text(s));
    s = static_cast<const char*>(nullptr);
    EXPECT_EQ(nullptr, static_cast<unsigned short*>(s));
}

TEST(VStringBuffer, EmptyReleasesTheBuffer) {
    CVString s(Units(U16("abc")));
    s.Empty();
    EXPECT_EQ(nullptr, static_cast<unsigned short*>(s));
    s.ReleaseBuffer();
    EXPECT_EQ(1, s.IsEmpty());
}

TEST(VStringBuffer, ConstructionFailureLeavesNoBuffer) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    const std::u16string text = U16("abc");
    CVString source(Units(text));
    vostest::FailAllocationAt(1);
    CVString copy(source);
    EXPECT_EQ(nullptr, static_cast<unsigned short*>(copy));
    vostest::FailAllocationAt(1);
    CVString fromUnits(Units(text));
    EXPECT_EQ(nullptr, static_cast<unsigned short*>(fromUnits));
    // The narrow form needs a temporary and the buffer: fail either one.
    for (unsigned long n = 1; n <= 2; ++n) {
        vostest::FailAllocationAt(n);
        CVString fromNarrow("abc");
        EXPECT_EQ(nullptr, static_cast<unsigned short*>(fromNarrow)) << "failing allocation " << n;
    }
    vostest::FailAllocationAt(0);
    CVString fine("abc");
    EXPECT_EQ(U16("abc"), Text(fine));
}

TEST(VStringBuffer, AppendsInALoopKeepLengthWordAndTerminator) {
    // Appends reuse the room a grown block has to spare; every step must
    // still show the exact length, the text and the zero unit after it,
    // also when the appended text is the string's own. Heap blocks that
    // held other data first make the room to spare anything but zeros.
    std::vector<void*> used;
    for (size_t size = 16; size <= 4096; size += size / 4) {
        used.push_back(malloc(size));
        memset(used.back(), 0xEE, size);
    }
    for (void* p : used) free(p);
    CVString s;
    std::u16string expect;
    for (int i = 0; i < 300; ++i) {
        const unsigned short unit = static_cast<unsigned short>('a' + i % 26);
        s += unit;
        expect += static_cast<char16_t>(unit);
        if (i % 7 == 0) {
            s += Units(U16("xyz"));
            expect += U16("xyz");
        }
        if (i == 40 || i == 41) {
            // Its own text, whole and from a point inside it.
            s += s;
            expect += expect;
            s += static_cast<const unsigned short*>(s) + 5;
            expect += expect.substr(5);
        }
        ASSERT_EQ(static_cast<int>(expect.size()), s.GetLength()) << i;
        ASSERT_EQ(expect.size(), static_cast<size_t>(_palex_zu::VCountedBlockCount(s.GetBuffer(0)))) << i;
        ASSERT_EQ(0, s.GetBuffer(0)[expect.size()]) << i;
        ASSERT_EQ(expect, Text(s)) << i;
    }
}
