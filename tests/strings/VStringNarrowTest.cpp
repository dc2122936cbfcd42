// CVString and vswprintf with narrow text in the multibyte code page (GBK).
#include <gtest/gtest.h>

#include <stdarg.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "vos/vos.h"

using _palex_zu::CVCMMap;
using _palex_zu::CVString;
using vostest::Text;
using vostest::U16;
using vostest::Units;

namespace {

int Print(unsigned short* buffer, const unsigned short* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = vswprintf(buffer, format, args);
    va_end(args);
    return n;
}

// GBK of U+554A and U+4E2D.
const char kGbkAh[] = "\xB0\xA1";
const char kGbkMiddle[] = "\xD6\xD0";

}  // namespace

class VStringNarrow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CVCMMap::GlobalInit(); }
    static void TearDownTestSuite() { CVCMMap::GlobalUnInit(); }
};

TEST_F(VStringNarrow, ConstructionConvertsFromGbk) {
    const struct {
        const char* narrow;
        std::u16string units;
    } cases[] = {
        {"abc", u"abc"},
        {"\xB0\xA1\xD6\xD0", u"\u554A\u4E2D"},
        {"a\x80z", u"a\u20ACz"},
        {"\xA1\xA1x", u"\u3000x"},
    };
    for (const auto& c : cases) {
        CVString s(c.narrow);
        EXPECT_EQ(c.units, Text(s)) << c.narrow;
        EXPECT_EQ(0, static_cast<const unsigned short*>(s)[s.GetLength()]);
    }

    // Bytes that convert to nothing leave a buffer of length 0.
    CVString nothing("\xFF\xFF");
    EXPECT_NE(nullptr, static_cast<unsigned short*>(nothing));
    EXPECT_EQ(0, nothing.GetLength());
    EXPECT_EQ(1, nothing.IsEmpty());
}

TEST_F(VStringNarrow, NarrowOperandsAreConvertedToo) {
    CVString s(Units(u"\u554A\u4E2Dxy"));
    EXPECT_EQ(0, s.Compare("\xB0\xA1\xD6\xD0xy"));
    EXPECT_EQ(0, s.CompareNoCase("\xB0\xA1\xD6\xD0XY"));
    EXPECT_EQ(1, s.Find(kGbkMiddle, 0));
    EXPECT_EQ(-1, s.Find(kGbkAh, 1));
    EXPECT_EQ(-1, s.Find("\xFF", 0)) << "a narrow text that converts to nothing finds nothing";

    s += kGbkAh;
    EXPECT_EQ(u"\u554A\u4E2Dxy\u554A", Text(s));
    s += "\xFF";
    EXPECT_EQ(5, s.GetLength());
    EXPECT_EQ(u"\u4E2D\u554A\u4E2Dxy\u554A", Text(kGbkMiddle + s));
    EXPECT_EQ(u"\u554A\u4E2Dxy\u554A\u4E2D", Text(s + kGbkMiddle));
    s = kGbkMiddle;
    EXPECT_EQ(u"\u4E2D", Text(s));
}

TEST_F(VStringNarrow, FormatConvertsArgumentsAndFormat) {
    CVString s;
    s.Format(Units(u"\u4E2D%s=%d"), kGbkAh, 7);
    EXPECT_EQ(u"\u4E2D\u554A=7", Text(s));

    // A unit without a code in the multibyte code page drops out.
    s.Format(Units(u"[\u0600]"));
    EXPECT_EQ(u"[]", Text(s));
}

TEST_F(VStringNarrow, LongTextIsCutAtACharacterBoundary) {
    // 300 two-byte characters make a 600-byte narrow format: the cut at 511
    // bytes keeps 255 whole characters.
    std::vector<unsigned short> buffer(512 + 16, 0xEEEE);
    const std::u16string format(300, u'\u4E2D');
    EXPECT_EQ(255, Print(buffer.data(), Units(format)));
    for (int i = 0; i < 255; ++i) ASSERT_EQ(0x4E2D, buffer[i]) << i;
    EXPECT_EQ(0, buffer[255]);
    EXPECT_EQ(0xEEEE, buffer[512]);

    // A narrow result of "ab" and 300 characters is cut at 511 bytes inside
    // the 255th character, whose lone lead byte produces nothing.
    std::string arg = "ab";
    for (int i = 0; i < 300; ++i) arg += kGbkMiddle;
    std::vector<unsigned short> out(512 + 16, 0xEEEE);
    EXPECT_EQ(256, Print(out.data(), Units(u"%s"), arg.c_str()));
    EXPECT_EQ('b', out[1]);
    EXPECT_EQ(0x4E2D, out[255]);
    EXPECT_EQ(0, out[256]);
    EXPECT_EQ(0xEEEE, out[512]);
}
