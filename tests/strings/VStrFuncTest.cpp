// The 16-bit string primitives and the narrow helpers.
#include <gtest/gtest.h>

#include <string.h>

#include "support/TestSupport.h"
#include "vos/vos.h"

using vostest::U16;

namespace {

// A writable copy of a literal's units, with guard units after the terminator
// so that a write past it shows.
struct Buf {
    explicit Buf(const char* utf8) {
        const std::u16string s = U16(utf8);
        for (unsigned short& u : units) u = 0xEEEE;
        for (size_t i = 0; i < s.size(); ++i) units[i] = s[i];
        units[s.size()] = 0;
    }
    unsigned short* p() { return units; }
    std::u16string str() const { return std::u16string(reinterpret_cast<const char16_t*>(units)); }
    unsigned short units[64];
};

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

TEST(VStrFunc, LengthAndCopyReturnTheDocumentedPointers) {
    Buf src("hello");
    Buf empty("");
    EXPECT_EQ(5, wcslen(src.p()));
    EXPECT_EQ(0, wcslen(empty.p()));

    Buf dst("");
    unsigned short* end = wcscpy(dst.p(), src.p());
    EXPECT_EQ(dst.p() + 5, end);
    EXPECT_EQ(0, *end);
    EXPECT_EQ(u"hello", dst.str());

    Buf cat("ab");
    EXPECT_EQ(cat.p(), wcscat(cat.p(), src.p()));
    EXPECT_EQ(u"abhello", cat.str());
    EXPECT_EQ(0xEEEE, cat.units[8]);
}

TEST(VStrFunc, WcsncpyTerminatesOnlyWhenTheSourceEndsFirst) {
    Buf five("abcde");
    Buf two("xy");
    Buf dst("");
    for (unsigned short& u : dst.units) u = 0xEEEE;
    EXPECT_EQ(dst.p(), wcsncpy(dst.p(), five.p(), 3));
    EXPECT_EQ('a', dst.units[0]);
    EXPECT_EQ('c', dst.units[2]);
    EXPECT_EQ(0xEEEE, dst.units[3]) << "no terminator after count units";

    for (unsigned short& u : dst.units) u = 0xEEEE;
    wcsncpy(dst.p(), two.p(), 3);
    EXPECT_EQ('y', dst.units[1]);
    EXPECT_EQ(0, dst.units[2]);
    EXPECT_EQ(0xEEEE, dst.units[3]) << "one zero and nothing after it";

    for (unsigned short& u : dst.units) u = 0xEEEE;
    wcsncpy(dst.p(), two.p(), 0);
    EXPECT_EQ(0xEEEE, dst.units[0]);
}

TEST(VStrFunc, SearchFunctions) {
    Buf s("abcabc");
    EXPECT_EQ(s.p() + 1, wcschr(s.p(), 'b'));
    EXPECT_EQ(s.p() + 4, wcsrchr(s.p(), 'b'));
    EXPECT_EQ(nullptr, wcschr(s.p(), 'z'));
    EXPECT_EQ(nullptr, wcsrchr(s.p(), 'z'));
    EXPECT_EQ(s.p() + 6, wcschr(s.p(), 0));
    EXPECT_EQ(s.p() + 6, wcsrchr(s.p(), 0));

    Buf empty("");
    Buf ab("ab");
    Buf ca("ca");
    Buf abcd("abcd");
    Buf cab("cab");
    EXPECT_EQ(nullptr, wcsstr(empty.p(), empty.p()));
    EXPECT_EQ(nullptr, wcsstr(empty.p(), ab.p()));
    EXPECT_EQ(ab.p(), wcsstr(ab.p(), empty.p()));
    EXPECT_EQ(s.p() + 2, wcsstr(s.p(), ca.p()));
    EXPECT_EQ(s.p() + 2, wcsstr(s.p(), cab.p()));
    EXPECT_EQ(nullptr, wcsstr(s.p(), abcd.p()));
    EXPECT_EQ(nullptr, wcsstr(ab.p(), abcd.p()));
    Buf tail("bc");
    EXPECT_EQ(s.p() + 1, wcsstr(s.p(), tail.p()));

    Buf set("xc");
    Buf none("xyz");
    EXPECT_EQ(s.p() + 2, wcspbrk(s.p(), set.p()));
    EXPECT_EQ(nullptr, wcspbrk(s.p(), none.p()));
    EXPECT_EQ(nullptr, wcspbrk(s.p(), empty.p()));
}

TEST(VStrFunc, WcscmpGivesOnlyTheSignAndNcmpTheRawDifference) {
    const struct {
        const char* a;
        const char* b;
        int cmp;
    } cases[] = {{"abc", "abc", 0}, {"abc", "abz", -1}, {"abz", "abc", 1}, {"ab", "abc", -1},
                 {"abc", "ab", 1},   {"", "", 0},       {"", "a", -1},     {"\xE4\xB8\x80", "a", 1}};
    for (const auto& c : cases) {
        Buf a(c.a);
        Buf b(c.b);
        EXPECT_EQ(c.cmp, wcscmp(a.p(), b.p())) << c.a << " vs " << c.b;
    }

    Buf abc("abc");
    Buf abz("abz");
    Buf ab("ab");
    EXPECT_EQ(0, V_wcsncmp(abc.p(), abz.p(), 0));
    EXPECT_EQ(0, V_wcsncmp(abc.p(), abz.p(), 2));
    EXPECT_EQ('c' - 'z', V_wcsncmp(abc.p(), abz.p(), 3));
    EXPECT_EQ('c' - 'z', V_wcsncmp(abc.p(), abz.p(), 50));
    EXPECT_EQ('c', V_wcsncmp(abc.p(), ab.p(), 5));
    EXPECT_EQ(-'c', V_wcsncmp(ab.p(), abc.p(), 5));
    EXPECT_EQ(0, V_wcsncmp(abc.p(), abc.p(), 50));
}

TEST(VStrFunc, WcsicmpFoldsLettersOnly) {
    const struct {
        const char* a;
        const char* b;
        int result;
    } cases[] = {
        {"abc", "ABC", 0},
        {"ABC", "abc", 0},
        {"aBc", "AbC", 0},
        {"_", "a", '_' - 'a'},         // the underscore sorts before lower-case a
        {"_", "A", '_' - 'A'},         // and after upper-case A
        {"B", "a", ('B' + 32) - 'a'},  // upper against lower folds a
        {"b", "A", ('b' - 32) - 'A'},  // lower against upper folds b back
        {"ab", "a", 'b'},
        {"a", "ab", -'b'},
        {"", "", 0},
    };
    for (const auto& c : cases) {
        Buf a(c.a);
        Buf b(c.b);
        EXPECT_EQ(c.result, _wcsicmp(a.p(), b.p())) << c.a << " vs " << c.b;
    }
}

TEST(VStrFunc, CaseAndReverseInPlace) {
    Buf s("aZ_\xE4\xB8\x80q");
    EXPECT_EQ(s.p(), _wcsupr(s.p()));
    EXPECT_EQ(u"AZ_\u4E00Q", s.str());
    EXPECT_EQ(s.p(), _wcslwr(s.p()));
    EXPECT_EQ(u"az_\u4E00q", s.str());
    EXPECT_EQ(s.p(), _wcsrev(s.p()));
    EXPECT_EQ(u"q\u4E00_za", s.str());
    Buf one("x");
    _wcsrev(one.p());
    EXPECT_EQ(u"x", one.str());
    Buf none("");
    _wcsrev(none.p());
    EXPECT_EQ(u"", none.str());
    Buf even("abcd");
    _wcsrev(even.p());
    EXPECT_EQ(u"dcba", even.str());
}

TEST(VStrFunc, SpaceIsTheOnlyWhiteSpace) {
    EXPECT_EQ(1, iswspace(static_cast<unsigned short>(32)));
    EXPECT_EQ(1, VIsSpace(32));
    for (int c : {9, 10, 13, 0x3000, 0xA0, 0}) {
        EXPECT_EQ(0, iswspace(static_cast<unsigned short>(c))) << c;
        EXPECT_EQ(0, VIsSpace(c)) << c;
    }
    EXPECT_EQ(0, VIsSpace(32 + 0x10000));
    // Plain int, char and char16_t arguments reach the 16-bit test even with
    // the platform's iswspace in view (this file sees it through gtest).
    EXPECT_EQ(0, iswspace(9));
    EXPECT_EQ(0, iswspace('\t'));
    EXPECT_EQ(1, iswspace(' '));
    EXPECT_EQ(1, iswspace(u' '));
    EXPECT_EQ(0, iswspace(u'\u3000'));
}

TEST(VStrFunc, DecimalParsing) {
    const struct {
        const char* text;
        int value;
        int used;
    } cases[] = {
        {"-12x", -12, 3}, {"42", 42, 2},  {" 5", 0, 0},          {"+5", 0, 0},
        {"-", 0, 1},      {"", 0, 0},     {"007", 7, 3},         {"4294967297", 1, 10},  // wraps
        {"2147483648", static_cast<int>(0x80000000u), 10},        {"--1", 0, 1},
    };
    for (const auto& c : cases) {
        Buf s(c.text);
        int used = -99;
        EXPECT_EQ(c.value, _wtol(s.p(), &used)) << c.text;
        EXPECT_EQ(c.used, used) << c.text;
        EXPECT_EQ(c.value, _wtol(s.p(), nullptr)) << c.text;
        EXPECT_EQ(c.value, _wtoi(s.p())) << c.text;
    }
}

TEST(VStrFunc, HexadecimalParsing) {
    const struct {
        const char* text;
        int value;
        int used;
    } cases[] = {{"1aF", 431, 3},   {"0x10", 0, 1},       {"g", 0, 0},
                 {"-1", 0, 0},      {"FFFFFFFF", -1, 8},  {"123456789", 0x23456789, 9}};
    for (const auto& c : cases) {
        Buf s(c.text);
        int used = -99;
        EXPECT_EQ(c.value, V_wtol16(s.p(), &used)) << c.text;
        EXPECT_EQ(c.used, used) << c.text;
        EXPECT_EQ(c.value, V_wtol16(s.p(), nullptr)) << c.text;
    }
}

TEST(VStrFunc, VcstolDispatchesOnTheBase) {
    Buf s("-1aZ");
    unsigned short* end = nullptr;
    EXPECT_EQ(-1, _vcstol(s.p(), &end, 10));
    EXPECT_EQ(s.p() + 2, end);
    Buf h("1aZ");
    EXPECT_EQ(26, _vcstol(h.p(), &end, 16));
    EXPECT_EQ(h.p() + 2, end);
    unsigned short* untouched = s.p() + 3;
    end = untouched;
    for (int base : {0, 2, 8, 36}) {
        EXPECT_EQ(0, _vcstol(h.p(), &end, base)) << base;
        EXPECT_EQ(untouched, end) << base;
    }
}

TEST(VStrFunc, NarrowCaseLeavesTwoByteCharactersAlone) {
    // 0xB0 0x61 is one two-byte character whose trail byte looks like 'a'.
    char s[] = "ab\xB0\x61Z\xC1";
    EXPECT_EQ(s, V_strupr(s));
    EXPECT_STREQ("AB\xB0\x61Z\xC1", s);
    EXPECT_EQ(s, V_strlwr(s));
    EXPECT_STREQ("ab\xB0\x61z\xC1", s);
}

TEST(VStrFunc, NarrowCaselessCompare) {
    const struct {
        const char* a;
        const char* b;
        int result;
    } cases[] = {
        {"ab", "abc", 0},  // a prefix compares equal
        {"aB", "Ab", 0},
        {"abc", "ab", 'c'},
        {"ab", "ac", 'b' - 'c'},
        {"\xB0\x41x", "\xB0\x61x", 0x41 - 0x61},  // a trail byte is not folded
        {"\xB0\x41x", "\xB0\x41X", 0},
        {"\xB0\x41", "\xB1\x41", 0xB0 - 0xB1},
        {"\xB0\x41", "\xB0", 0x41},  // b ends inside the character
        {"", "x", 0},
        {"_", "a", '_' - 'a'},
    };
    for (const auto& c : cases) EXPECT_EQ(c.result, V_stricmp(c.a, c.b)) << c.a << " vs " << c.b;
}

TEST(VStrFunc, NarrowReverseKeepsTwoByteCharacters) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"abc", "cba"}, {"\xB0\xA1x", "x\xB0\xA1"}, {"", ""}, {"a\xB0\xA1\xC1\xC2z", "z\xC1\xC2\xB0\xA1\x61"},
        {"ab\xB0", "\xB0\x62\x61"},  // a lead byte before the terminator stands alone
    };
    for (const auto& c : cases) {
        char buffer[32];
        strcpy(buffer, c.in);
        EXPECT_EQ(buffer, V_strrev(buffer)) << c.in;
        EXPECT_STREQ(c.out, buffer) << c.in;
    }
}

TEST(VStrFunc, BoundedNarrowCaselessCompare) {
    const unsigned char* a = reinterpret_cast<const unsigned char*>("HeLLo world");
    const unsigned char* b = reinterpret_cast<const unsigned char*>("hello WORLD!");
    EXPECT_EQ(0, _strnicmp(a, b, 5));
    EXPECT_EQ(0, _strnicmp(a, b, 11));
    EXPECT_GT(0, _strnicmp(a, b, 12)) << "a ends first";
    EXPECT_EQ(0, _strnicmp(a, b, 0));
    EXPECT_EQ(0, _strnicmp(a, b, -3));
    const unsigned char* c = reinterpret_cast<const unsigned char*>("abd");
    const unsigned char* d = reinterpret_cast<const unsigned char*>("ABC");
    EXPECT_EQ(Sign('d' - 'c'), Sign(_strnicmp(c, d, 3)));
    EXPECT_EQ(0, _strnicmp(c, d, 2));
    // The trail byte of a two-byte character is compared as it is.
    const unsigned char* e = reinterpret_cast<const unsigned char*>("\xB0\x41");
    const unsigned char* f = reinterpret_cast<const unsigned char*>("\xB0\x61");
    EXPECT_NE(0, _strnicmp(e, f, 2));
}
