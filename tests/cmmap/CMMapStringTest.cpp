// The string forms of the UTF-8 conversions and URL encoding.
#include "CMMapTestSupport.h"
#include "support/TestSupport.h"

using namespace _palex_zu;
using vostest::Str;
using vostest::Text;
using vostest::U16;
using vostest::Units;

TEST(CMMapString, UrlEncode) {
    const struct {
        const char* in;  // UTF-8 of the string
        const char* out;
    } rows[] = {
        {"a b-c", "a%20b%2Dc"},
        {"", ""},
        {"AZaz09", "AZaz09"},
        {"-_.~+/", "%2D%5F%2E%7E%2B%2F"},
        {"\xE4\xB8\xAD" "Z", "%E4%B8%AD%5A"},
        {"\xE4\xB8\xAD" "A", "%E4%B8%ADA"},
        {"\xC3\xA9" "Z", "%C3%A9Z"},
        {"\xE4\xB8\xAD\xE4\xB8\xAD" "Z", "%E4%B8%AD%E4%B8%ADZ"},
        {"\xE4\xB8\xAD", "%E4%B8%AD"},
        {"\x7F", "%7F"},
    };
    for (auto& r : rows) EXPECT_EQ(U16(r.out), Text(CVCMMap::UrlEncode(Str(r.in)))) << r.in;
    EXPECT_EQ(u"", Text(CVCMMap::UrlEncode(CVString())));
}

TEST(CMMapString, Utf8ToUnicodeString) {
    const CVString s = CVCMMap::Utf8ToUnicode("\xC3\xA9" "a", 3);
    EXPECT_EQ(2, s.GetLength());
    EXPECT_EQ(u"\u00E9a", Text(s));
    EXPECT_EQ(u"\U0000F600", Text(CVCMMap::Utf8ToUnicode("\xF0\x9F\x98\x80", 4)));
    EXPECT_EQ(0, CVCMMap::Utf8ToUnicode(nullptr, 3).GetLength());
    EXPECT_EQ(0, CVCMMap::Utf8ToUnicode("abc", 0).GetLength());
    EXPECT_EQ(u"ab", Text(CVCMMap::Utf8ToUnicode("ab\0cd", 5)));
}

TEST(CMMapString, UnicodeToUtf8String) {
    char four[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(4, CVCMMap::UnicodeToUtf8(Str("abc"), four, 4));
    EXPECT_STREQ("abc", four);

    char three[3] = {'x', 'x', 'x'};
    EXPECT_EQ(0, CVCMMap::UnicodeToUtf8(Str("abc"), three, 3));
    EXPECT_EQ(0, memcmp(three, "xxx", 3));

    EXPECT_EQ(7, CVCMMap::UnicodeToUtf8(Str("a\xC3\xA9\xE4\xB8\xAD"), nullptr, 0));
    EXPECT_EQ(7, CVCMMap::UnicodeToUtf8(Str("a\xC3\xA9\xE4\xB8\xAD"), four, -1));
    EXPECT_EQ(0, CVCMMap::UnicodeToUtf8(CVString(), four, 4));
}
