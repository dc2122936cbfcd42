// CVString comparison and concatenation.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "vos/vos.h"

using _palex_zu::CVString;
using vostest::Str;
using vostest::Text;
using vostest::U16;
using vostest::Units;

TEST(VStringCompare, EmptinessDecidesBeforeTheTexts) {
    const CVString empty;
    const CVString abc = Str("abc");
    const unsigned short emptyUnits[1] = {0};
    const std::u16string abcUnits = U16("abc");

    EXPECT_EQ(0, empty.Compare(CVString()));
    EXPECT_EQ(-1, empty.Compare(abc));
    EXPECT_EQ(-1, empty.Compare(Units(abcUnits)));
    EXPECT_EQ(-1, empty.Compare("abc"));
    EXPECT_EQ(1, abc.Compare(empty));
    EXPECT_EQ(1, abc.Compare(static_cast<const unsigned short*>(nullptr)));
    EXPECT_EQ(1, abc.Compare(emptyUnits));
    EXPECT_EQ(1, abc.Compare(static_cast<const char*>(nullptr)));
    EXPECT_EQ(1, abc.Compare(""));
    EXPECT_EQ(0, empty.Compare(static_cast<const unsigned short*>(nullptr)));
    EXPECT_EQ(0, empty.Compare(""));

    EXPECT_EQ(0, empty.CompareNoCase(CVString()));
    EXPECT_EQ(-1, empty.CompareNoCase(abc));
    EXPECT_EQ(-1, empty.CompareNoCase("abc"));
    EXPECT_EQ(1, abc.CompareNoCase(emptyUnits));
    EXPECT_EQ(1, abc.CompareNoCase(""));
}

TEST(VStringCompare, TextsCompareThroughThePrimitives) {
    const struct {
        const char* a;
        const char* b;
        int compare;      // exactly -1, 0 or 1
        int noCaseSign;   // sign of CompareNoCase
    } cases[] = {
        {"abc", "abc", 0, 0},   {"abc", "abd", -1, -1}, {"abd", "abc", 1, 1}, {"ab", "abc", -1, -1},
        {"abc", "ab", 1, 1},    {"abc", "ABC", 1, 0},   {"ABC", "abc", -1, 0}, {"a_", "aA", 1, 1},
        {"zz", "\xE4\xB8\x80", -1, -1},
    };
    for (const auto& c : cases) {
        const CVString a = Str(c.a);
        const CVString b = Str(c.b);
        const std::u16string bUnits = U16(c.b);
        EXPECT_EQ(c.compare, a.Compare(b)) << c.a << " vs " << c.b;
        EXPECT_EQ(c.compare, a.Compare(Units(bUnits))) << c.a << " vs " << c.b;
        const int noCase = a.CompareNoCase(b);
        EXPECT_EQ(c.noCaseSign, (noCase > 0) - (noCase < 0)) << c.a << " vs " << c.b;
        const int noCaseUnits = a.CompareNoCase(Units(bUnits));
        EXPECT_EQ(c.noCaseSign, (noCaseUnits > 0) - (noCaseUnits < 0)) << c.a << " vs " << c.b;
    }
    EXPECT_EQ(0, Str("Hello").CompareNoCase("hELLO"));
    EXPECT_EQ(1, Str("b").Compare("a"));
}

TEST(VStringConcat, AppendFormsAndOperands) {
    CVString s;
    s += CVString();
    EXPECT_EQ(nullptr, static_cast<unsigned short*>(s));
    s += static_cast<const unsigned short*>(nullptr);
    s += "";
    s += static_cast<const char*>(nullptr);
    EXPECT_EQ(nullptr, static_cast<unsigned short*>(s));

    s += Str("ab");
    s += static_cast<unsigned short>('c');
    s += Units(U16("de"));
    s += "fg";
    EXPECT_EQ(U16("abcdefg"), Text(s));

    s += s;
    EXPECT_EQ(U16("abcdefgabcdefg"), Text(s));
    s += static_cast<const unsigned short*>(s) + 12;  // its own tail
    EXPECT_EQ(U16("abcdefgabcdefgfg"), Text(s));

    CVString single;
    single += static_cast<unsigned short>(0x4E00);
    EXPECT_EQ(1, single.GetLength());
    EXPECT_EQ(0x4E00, single[0]);

    const CVString left = Str("L");
    const std::u16string rUnits = U16("R");
    EXPECT_EQ(U16("LR"), Text(left + Str("R")));
    EXPECT_EQ(U16("LR"), Text(left + "R"));
    EXPECT_EQ(U16("LR"), Text(left + Units(rUnits)));
    EXPECT_EQ(U16("RL"), Text("R" + left));
    EXPECT_EQ(U16("RL"), Text(Units(rUnits) + left));
    EXPECT_EQ(U16("L"), Text(left + CVString()));
    EXPECT_EQ(U16("L"), Text(CVString() + left));
    EXPECT_EQ(nullptr, static_cast<const unsigned short*>(CVString() + CVString()));
    EXPECT_EQ(U16("L"), Text(left));
}

TEST(VStringConcat, FailedAppendKeepsTheText) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    CVString s = Str("abc");
    const CVString d = Str("d");
    vostest::FailAllocationAt(1, true);
    s += d;
    EXPECT_EQ(U16("abc"), Text(s));
    vostest::FailAllocationAt(1, true);
    s += static_cast<unsigned short>('d');
    EXPECT_EQ(U16("abc"), Text(s));
}
