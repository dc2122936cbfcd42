// CVString search, extraction, trimming and editing.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "vos/vos.h"

using _palex_zu::CVString;
using vostest::Str;
using vostest::Text;
using vostest::U16;
using vostest::Units;

namespace {

bool HasNoBuffer(const CVString& s) { return static_cast<const unsigned short*>(s) == nullptr; }

}  // namespace

TEST(VStringSearch, FindUnit) {
    const CVString s = Str("abcab");
    const struct {
        int ch;
        int start;
        int result;
    } cases[] = {
        {'b', 0, 1}, {'b', 2, 4},  {'b', -5, 1}, {'z', 0, -1}, {'a', 5, -1},  // start = length
        {'a', 9, -1}, {0, 0, 5},   {0, 4, 5},    {0, 5, -1},  {'a' + 0x10000, 0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.result, s.Find(c.ch, c.start)) << c.ch << " from " << c.start;
    EXPECT_EQ(3, Str("xyz").Find(0, 0));
    EXPECT_EQ(-1, CVString().Find('a', 0));
    EXPECT_EQ(-1, CVString().Find(0, 0));
}

TEST(VStringSearch, FindText) {
    const CVString s = Str("abcabc");
    const struct {
        const char* sub;
        int start;
        int result;
    } cases[] = {
        {"bc", 0, 1}, {"bc", 2, 4},  {"bc", 5, -1}, {"abcabc", 0, 0}, {"abcabcd", 0, -1}, {"ca", -3, 2},
        {"", 0, 0},   {"", 3, 3},    {"", 6, -1},  // empty sub at start = length
        {"c", 6, -1}, {"c", 7, -1},  {"x", 0, -1},
    };
    for (const auto& c : cases) {
        const std::u16string sub = U16(c.sub);
        EXPECT_EQ(c.result, s.Find(Units(sub), c.start)) << c.sub << " from " << c.start;
    }
    EXPECT_EQ(-1, s.Find(static_cast<const unsigned short*>(nullptr), 0));
    EXPECT_EQ(-1, CVString().Find(Units(U16("a")), 0));
    EXPECT_EQ(4, s.Find("bc", 2));
    EXPECT_EQ(-1, s.Find("", 0)) << "an empty narrow sub gives -1";
    EXPECT_EQ(-1, s.Find(static_cast<const char*>(nullptr), 0));
    EXPECT_EQ(1, s.Find("b"));
}

TEST(VStringSearch, ReverseFindAndFindOneOf) {
    const CVString s = Str("abcabc");
    EXPECT_EQ(4, s.ReverseFind('b'));
    EXPECT_EQ(-1, s.ReverseFind('z'));
    EXPECT_EQ(6, s.ReverseFind(0));
    EXPECT_EQ(-1, CVString().ReverseFind(0));

    EXPECT_EQ(1, s.FindOneOf(Units(U16("xcb"))));
    EXPECT_EQ(-1, s.FindOneOf(Units(U16("xyz"))));
    EXPECT_EQ(-1, s.FindOneOf(Units(U16(""))));
    EXPECT_EQ(-1, CVString().FindOneOf(Units(U16("a"))));
}

TEST(VStringExtract, MidLeftRight) {
    const CVString s = Str("abcde");
    const struct {
        CVString result;
        const char* expected;
    } cases[] = {
        {s.Mid(2), "cde"},      {s.Mid(7), ""},          {s.Mid(5), ""},         {s.Mid(-1), "abcde"},
        {s.Mid(-1, 2), "ab"},   {s.Mid(1, 100), "bcde"}, {s.Mid(1, 0), ""},      {s.Mid(1, -2), ""},
        {s.Mid(4, 1), "e"},     {s.Left(0), ""},         {s.Left(2), "ab"},      {s.Left(9), "abcde"},
        {s.Left(-1), ""},       {s.Right(10), "abcde"},  {s.Right(2), "de"},     {s.Right(0), ""},
        {s.Right(-3), ""},      {s.Right(5), "abcde"},   {CVString().Mid(0), ""}, {CVString().Right(3), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(U16(c.expected), Text(c.result)) << c.expected;
    EXPECT_TRUE(HasNoBuffer(s.Mid(7)));
    EXPECT_TRUE(HasNoBuffer(s.Left(0)));
    EXPECT_EQ(U16("abcde"), Text(s));
}

TEST(VStringTrim, SpacesCharactersAndSets) {
    const struct {
        const char* in;
        const char* left;
        const char* right;
    } spaces[] = {
        {"  ab  ", "ab  ", "  ab"}, {"\tab", "\tab", "\tab"}, {"ab", "ab", "ab"}, {"   ", "", ""}, {" a b ", "a b ", " a b"},
    };
    for (const auto& c : spaces) {
        CVString left = Str(c.in);
        left.TrimLeft();
        EXPECT_EQ(U16(c.left), Text(left)) << '"' << c.in << '"';
        CVString right = Str(c.in);
        right.TrimRight();
        EXPECT_EQ(U16(c.right), Text(right)) << '"' << c.in << '"';
    }
    CVString blank = Str("    ");
    blank.TrimLeft();
    EXPECT_TRUE(HasNoBuffer(blank));
    blank = Str("    ");
    blank.TrimRight();
    EXPECT_TRUE(HasNoBuffer(blank));

    CVString x = Str("xxaxx");
    x.TrimLeft(static_cast<unsigned char>('x'));
    EXPECT_EQ(U16("axx"), Text(x));
    x.TrimRight(static_cast<unsigned char>('x'));
    EXPECT_EQ(U16("a"), Text(x));

    // U+0100 shares its low byte with the zero unit; only real zero units go.
    CVString wide = Str("\xC4\x80" "a");
    wide.TrimLeft(static_cast<unsigned char>(0x00));
    EXPECT_EQ(2, wide.GetLength());
    CVString zeros = Str("a");
    zeros.GetBufferSetLength(3);
    zeros.TrimRight(static_cast<unsigned char>(0x00));
    EXPECT_EQ(U16("a"), Text(zeros));

    CVString set = Str("-=ab=-");
    const std::u16string marks = U16("=-");
    set.TrimLeft(Units(marks));
    EXPECT_EQ(U16("ab=-"), Text(set));
    set.TrimRight(Units(marks));
    EXPECT_EQ(U16("ab"), Text(set));
    set.TrimLeft(static_cast<const unsigned short*>(nullptr));
    set.TrimRight(Units(U16("")));
    EXPECT_EQ(U16("ab"), Text(set));

    CVString empty;
    empty.TrimLeft();
    empty.TrimRight(Units(marks));
    EXPECT_TRUE(HasNoBuffer(empty));
}

TEST(VStringTrim, FailedTrimRightEmptiesTheString) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    CVString s = Str("ab  ");
    vostest::FailAllocationAt(1);
    s.TrimRight();
    EXPECT_TRUE(HasNoBuffer(s));
}

TEST(VStringCase, UpperLowerReverse) {
    CVString s = Str("aB\xE4\xB8\x80z");
    s.MakeUpper();
    EXPECT_EQ(U16("AB\xE4\xB8\x80Z"), Text(s));
    s.MakeLower();
    EXPECT_EQ(U16("ab\xE4\xB8\x80z"), Text(s));
    s.MakeReverse();
    EXPECT_EQ(U16("z\xE4\xB8\x80" "ba"), Text(s));
    CVString empty;
    empty.MakeUpper();
    empty.MakeLower();
    empty.MakeReverse();
    EXPECT_TRUE(HasNoBuffer(empty));
}

TEST(VStringEdit, ReplaceUnits) {
    CVString s = Str("banana");
    EXPECT_EQ(3, s.Replace(static_cast<unsigned short>('a'), static_cast<unsigned short>('o')));
    EXPECT_EQ(U16("bonono"), Text(s));
    EXPECT_EQ(0, s.Replace(static_cast<unsigned short>('o'), static_cast<unsigned short>('o')));
    EXPECT_EQ(0, s.Replace(static_cast<unsigned short>('z'), static_cast<unsigned short>('o')));
    CVString empty;
    EXPECT_EQ(0, empty.Replace(static_cast<unsigned short>('a'), static_cast<unsigned short>('b')));
}

TEST(VStringEdit, ReplaceTexts) {
    const struct {
        const char* text;
        const char* from;
        const char* to;
        int count;
        const char* result;
    } cases[] = {
        {"aaaaa", "aa", "b", 2, "bba"},       // occurrences never overlap
        {"abcabc", "bc", "XYZ", 2, "aXYZaXYZ"}, {"abcabc", "b", "", 2, "acac"}, {"abc", "x", "y", 0, "abc"},
        {"abc", "abc", "", 1, ""},           {"abc", "abcd", "y", 0, "abc"},  {"abc", "", "y", 0, "abc"},
        {"a", "a", "aaa", 1, "aaa"},
    };
    for (const auto& c : cases) {
        CVString s = Str(c.text);
        const std::u16string from = U16(c.from);
        const std::u16string to = U16(c.to);
        EXPECT_EQ(c.count, s.Replace(Units(from), Units(to))) << c.text << " " << c.from << "->" << c.to;
        EXPECT_EQ(U16(c.result), Text(s)) << c.text << " " << c.from << "->" << c.to;
    }
    CVString s = Str("abc");
    EXPECT_EQ(0, s.Replace(static_cast<const unsigned short*>(nullptr), Units(U16("x"))));
    EXPECT_EQ(0, s.Replace(Units(U16("a")), static_cast<const unsigned short*>(nullptr)));
    CVString empty;
    EXPECT_EQ(0, empty.Replace(Units(U16("a")), Units(U16("b"))));
    CVString all = Str("abab");
    EXPECT_EQ(2, all.Replace(Units(U16("ab")), Units(U16(""))));
    EXPECT_TRUE(HasNoBuffer(all));

    // Hundreds of occurrences, shrinking and growing.
    std::u16string many;
    std::u16string grown;
    std::u16string shrunk;
    for (int i = 0; i < 300; ++i) {
        many += u"ab";
        grown += u"axyz";
        shrunk += u"a";
    }
    CVString big(Units(many));
    EXPECT_EQ(300, big.Replace(Units(u"b"), Units(u"xyz")));
    EXPECT_EQ(grown, Text(big));
    EXPECT_EQ(300, big.Replace(Units(u"xyz"), Units(u"")));
    EXPECT_EQ(shrunk, Text(big));

    // The pattern and the replacement may lie in the string itself.
    CVString self = Str("xyxy");
    EXPECT_EQ(2, self.Replace(static_cast<const unsigned short*>(self) + 2, static_cast<const unsigned short*>(self) + 3));
    EXPECT_EQ(U16("yy"), Text(self));
}

TEST(VStringEdit, ReplaceFailureLeavesTheStringUnchanged) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    CVString s = Str("abab");
    const std::u16string from = U16("a");
    const std::u16string to = U16("xx");
    vostest::FailAllocationAt(1);
    EXPECT_EQ(0, s.Replace(Units(from), Units(to)));
    EXPECT_EQ(U16("abab"), Text(s));
}

TEST(VStringEdit, Delete) {
    const struct {
        int index;
        int count;
        int result;
        const char* text;
    } cases[] = {
        {1, 100, 1, "a"}, {5, 1, 5, "abcde"}, {-3, 2, 3, "cde"}, {1, 2, 3, "ade"},    {0, 0, 5, "abcde"},
        {2, -1, 5, "abcde"}, {0, 5, 0, ""},   {4, 1, 4, "abcd"}, {1, 0x7FFFFFFF, 1, "a"}, {-3, 0x7FFFFFFF, 0, ""},
    };
    for (const auto& c : cases) {
        CVString s = Str("abcde");
        EXPECT_EQ(c.result, s.Delete(c.index, c.count)) << c.index << "," << c.count;
        EXPECT_EQ(U16(c.text), Text(s)) << c.index << "," << c.count;
    }
    CVString s = Str("abcde");
    s.Delete(0, 5);
    EXPECT_TRUE(HasNoBuffer(s));
    EXPECT_EQ(0, s.Delete(0, 1));
}

TEST(VStringEdit, DeleteAndInsertFailuresReportMinusOne) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    CVString s = Str("abc");
    const std::u16string xy = U16("xy");
    vostest::FailAllocationAt(1);
    EXPECT_EQ(-1, s.Delete(0, 1));
    EXPECT_EQ(U16("abc"), Text(s));
    vostest::FailAllocationAt(1);
    EXPECT_EQ(-1, s.Insert(1, static_cast<unsigned short>('x')));
    EXPECT_EQ(U16("abc"), Text(s));
    vostest::FailAllocationAt(1);
    EXPECT_EQ(-1, s.Insert(1, Units(xy)));
    EXPECT_EQ(U16("abc"), Text(s));
}

TEST(VStringEdit, InsertUnit) {
    const struct {
        int index;
        int result;
        const char* text;
    } cases[] = {{10, 5, "abcX"}, {0, 5, "Xabc"}, {-4, 5, "Xabc"}, {1, 5, "aXbc"}, {3, 5, "abcX"}};
    for (const auto& c : cases) {
        CVString s = Str("abc");
        EXPECT_EQ(c.result, s.Insert(c.index, static_cast<unsigned short>('X'))) << c.index;
        EXPECT_EQ(U16(c.text), Text(s)) << c.index;
    }
    CVString empty;
    EXPECT_EQ(0, empty.Insert(7, static_cast<unsigned short>('X')));
    EXPECT_EQ(U16("X"), Text(empty));

    // A zero unit is inserted as a unit like any other.
    CVString zero = Str("ab");
    EXPECT_EQ(4, zero.Insert(1, static_cast<unsigned short>(0)));
    EXPECT_EQ(3, zero.GetLength());
    EXPECT_EQ(0, zero[1]);
    EXPECT_EQ('b', zero[2]);
}

TEST(VStringEdit, InsertText) {
    CVString s = Str("abc");
    EXPECT_EQ(6, s.Insert(1, Units(U16("XY"))));
    EXPECT_EQ(U16("aXYbc"), Text(s));
    EXPECT_EQ(8, s.Insert(99, Units(U16("Z!"))));
    EXPECT_EQ(U16("aXYbcZ!"), Text(s));
    EXPECT_EQ(-1, s.Insert(0, static_cast<const unsigned short*>(nullptr)));
    EXPECT_EQ(-1, s.Insert(0, Units(U16(""))));
    EXPECT_EQ(U16("aXYbcZ!"), Text(s));

    CVString empty;
    EXPECT_EQ(-1, empty.Insert(0, static_cast<const unsigned short*>(nullptr)));
    EXPECT_EQ(0, empty.Insert(5, Units(U16("hi"))));
    EXPECT_EQ(U16("hi"), Text(empty));
    CVString stillEmpty;
    EXPECT_EQ(0, stillEmpty.Insert(0, Units(U16(""))));
    EXPECT_TRUE(HasNoBuffer(stillEmpty));

    // Inserting the string's own text.
    CVString self = Str("ab");
    EXPECT_EQ(5, self.Insert(1, static_cast<const unsigned short*>(self)));
    EXPECT_EQ(U16("aabb"), Text(self));
}
