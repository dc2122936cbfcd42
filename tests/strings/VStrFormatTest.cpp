// vswprintf and CVString::Format: results, limits and buffer bounds.
#include <gtest/gtest.h>

#include <stdarg.h>
#include <string.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "vos/vos.h"

using _palex_zu::CVString;
using vostest::Text;
using vostest::U16;
using vostest::Units;

namespace {

const int kGuard = 64;
const unsigned short kGuardUnit = 0xEEEE;

// A 512-unit buffer with guard units on both sides.
struct GuardedBuffer {
    GuardedBuffer() : units(512 + 2 * kGuard, kGuardUnit) {}
    unsigned short* p() { return units.data() + kGuard; }
    bool GuardsIntact() const {
        for (int i = 0; i < kGuard; ++i) {
            if (units[i] != kGuardUnit || units[kGuard + 512 + i] != kGuardUnit) return false;
        }
        return true;
    }
    std::vector<unsigned short> units;
};

int Print(unsigned short* buffer, const unsigned short* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = vswprintf(buffer, format, args);
    va_end(args);
    return n;
}

std::u16string Repeat(char16_t c, size_t n) { return std::u16string(n, c); }

}  // namespace

TEST(VStrFormat, ConversionsAreThoseOfTheNarrowPrintf) {
    GuardedBuffer b;
    const std::u16string format = U16("%d|%s|%x|%5.2f|%c|%%|%-3s|");
    const int n = Print(b.p(), Units(format), -42, "narrow", 255, 3.14159, 'q', "ab");
    const std::u16string expected = U16("-42|narrow|ff| 3.14|q|%|ab |");
    EXPECT_EQ(static_cast<int>(expected.size()), n);
    EXPECT_EQ(expected, std::u16string(reinterpret_cast<const char16_t*>(b.p())));
    EXPECT_TRUE(b.GuardsIntact());

    GuardedBuffer empty;
    EXPECT_EQ(0, Print(empty.p(), Units(U16(""))));
    EXPECT_EQ(0, empty.p()[0]);
}

TEST(VStrFormat, LongResultIsCutAt511UnitsAndTerminated) {
    const std::string longArg(2000, 'x');
    GuardedBuffer b;
    const int n = Print(b.p(), Units(U16("<%s>")), longArg.c_str());
    EXPECT_EQ(511, n);
    EXPECT_EQ('<', b.p()[0]);
    EXPECT_EQ('x', b.p()[510]);
    EXPECT_EQ(0, b.p()[511]);
    EXPECT_TRUE(b.GuardsIntact());

    // Exactly 511 fits whole.
    const std::string fits(509, 'y');
    GuardedBuffer c;
    EXPECT_EQ(511, Print(c.p(), Units(U16("<%s>")), fits.c_str()));
    EXPECT_EQ('>', c.p()[510]);
    EXPECT_EQ(0, c.p()[511]);
    EXPECT_TRUE(c.GuardsIntact());
}

TEST(VStrFormat, LongFormatIsCutAt511Bytes) {
    const struct {
        std::u16string format;
        size_t expected;  // units of output
    } cases[] = {
        {Repeat(u'a', 700), 511},
        {Repeat(u'a', 511), 511},
        {Repeat(u'a', 512), 511},
        // The conversion falls beyond the cut and is never reached.
        {Repeat(u'a', 600) + u"%s", 511},
        // The cut lands inside a conversion: the incomplete tail is dropped.
        {Repeat(u'a', 510) + u"%d", 510},
        {Repeat(u'a', 508) + u"%-08ld", 508},
        // A complete conversion right at the end still runs.
        {Repeat(u'a', 509) + u"%d", 510},
    };
    for (const auto& c : cases) {
        GuardedBuffer b;
        const int n = Print(b.p(), Units(c.format), 7);
        EXPECT_EQ(static_cast<int>(c.expected), n) << "format of " << c.format.size() << " units";
        EXPECT_EQ(0, b.p()[c.expected]);
        EXPECT_TRUE(b.GuardsIntact());
    }
    GuardedBuffer b;
    Print(b.p(), Units(Repeat(u'a', 509) + u"%d"), 7);
    EXPECT_EQ('7', b.p()[509]);
}

TEST(VStrFormat, FormatMayLieInTheDestination) {
    GuardedBuffer b;
    const std::u16string format = U16("n=%d");
    memcpy(b.p(), format.c_str(), (format.size() + 1) * sizeof(unsigned short));
    EXPECT_EQ(3, Print(b.p(), b.p(), 5));
    EXPECT_EQ(U16("n=5"), std::u16string(reinterpret_cast<const char16_t*>(b.p())));
}

TEST(VStringFormat, ReplacesTheText) {
    CVString s(Units(U16("old text")));
    s.Format(Units(U16("%d items in %s")), 3, "box");
    EXPECT_EQ(U16("3 items in box"), Text(s));
    s.Format(Units(U16("")));
    EXPECT_EQ(nullptr, static_cast<unsigned short*>(s));
    s.Format(Units(U16("%s")), "");
    EXPECT_EQ(1, s.IsEmpty());

    const std::string longArg(3000, 'z');
    s.Format(Units(U16("%s")), longArg.c_str());
    EXPECT_EQ(511, s.GetLength());
    EXPECT_EQ(0, static_cast<const unsigned short*>(s)[511]);

    s.Format(Units(Repeat(u'w', 2000)));
    EXPECT_EQ(511, s.GetLength());

    // The format may be the string's own text.
    s = Units(U16("v%d"));
    s.Format(s, 12);
    EXPECT_EQ(U16("v12"), Text(s));
}

TEST(VStringFormat, AllocationFailureEmptiesTheString) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not compiled in";
    vostest::AllocHookGuard guard;
    CVString s(Units(U16("abc")));
    const std::u16string format = U16("%d");
    vostest::FailAllocationAt(1);
    s.Format(Units(format), 1);
    EXPECT_EQ(nullptr, static_cast<unsigned short*>(s));
}
