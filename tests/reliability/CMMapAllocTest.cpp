// Code-page conversion under allocation failure: the converters that build a
// string or a block give their whole result or nothing, and loading the
// tables either loads both or leaves both unloaded.
#include <string.h>

#include <vector>

#include "AllocWalk.h"

using _palex_zu::CVCMMap;
using _palex_zu::CVString;
using _palex_zu::EV_MB2WC;
using _palex_zu::VDelete;
using reliability::FailMode;
using reliability::RunFailingAt;
using reliability::Str;
using reliability::Text;
using reliability::WalkBoth;
using vostest::U16;
using vostest::Units;

namespace {

// A text long enough that every converter needs more than one buffer, with
// one-, two- and three-byte UTF-8 sequences.
const char kUtf8[] = "Hello \xC3\xA9t\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 a-b_c~d.e/f?g=h&i";
const char kUrl[] = "Hello%20%C3%A9t%C3%A9%20%E4%B8%AD%E6%96%87%20a%2Db%5Fc%7Ed%2Ee%2Ff%3Fg%3Dh%26i";

}  // namespace

TEST(CMMapAllocFailure, StringConvertersGiveAllOrNothing) {
    RELIABILITY_REQUIRE_HOOK();
    const std::u16string want = U16(kUtf8);
    WalkBoth("Utf8ToUnicode string", [&](unsigned long n, FailMode mode) {
        CVString s;
        const bool failed = RunFailingAt(n, mode, [&] { s = CVCMMap::Utf8ToUnicode(kUtf8, sizeof kUtf8 - 1); });
        if (failed) {
            EXPECT_EQ(Text(s), u"");
        } else {
            EXPECT_EQ(Text(s), want);
        }
        return failed;
    });

    const CVString source(Units(want));
    WalkBoth("UrlEncode", [&](unsigned long n, FailMode mode) {
        CVString s;
        const bool failed = RunFailingAt(n, mode, [&] { s = CVCMMap::UrlEncode(source); });
        if (failed) {
            EXPECT_EQ(Text(s), u"");
        } else {
            EXPECT_EQ(Text(s), U16(kUrl));
        }
        return failed;
    });

    // The string goes by value: its copy is the only allocation, and a failed
    // copy converts as an empty string, writing nothing.
    WalkBoth("UnicodeToUtf8 string", [&](unsigned long n, FailMode mode) {
        char out[128];
        memset(out, 'x', sizeof out);
        int r = -1;
        const bool failed = RunFailingAt(n, mode, [&] { r = CVCMMap::UnicodeToUtf8(source, out, sizeof out); });
        if (failed) {
            EXPECT_EQ(r, 0);
            EXPECT_EQ(out[0], 'x');
        } else {
            EXPECT_EQ(r, static_cast<int>(sizeof kUtf8));
            EXPECT_STREQ(out, kUtf8);
        }
        return failed;
    });
}

TEST(CMMapAllocFailure, Utf8ToAnsicGivesNullOrTheWholeText) {
    RELIABILITY_REQUIRE_HOOK();
    ASSERT_EQ(1, CVCMMap::GlobalInit());
    char src[] = "ab\xE4\xB8\xAD\xE5\x95\x8A" "cd";  // U+4E2D, U+554A
    const char gbk[] = "ab\xD6\xD0\xB0\xA1" "cd";
    WalkBoth("Utf8ToAnsic", [&](unsigned long n, FailMode mode) {
        unsigned int len = 12345;
        char* out = nullptr;
        const bool failed =
            RunFailingAt(n, mode, [&] { out = CVCMMap::Utf8ToAnsic(src, sizeof src - 1, len); });
        if (failed) {
            EXPECT_EQ(out, nullptr);
        } else {
            EXPECT_NE(out, nullptr);
            EXPECT_EQ(len, sizeof gbk);
            if (out != nullptr) {
                EXPECT_EQ(std::string(out), std::string(gbk));
            }
        }
        VDelete(out);
        return failed;
    });
}

TEST(CMMapAllocFailure, TableLoadingIsAllOrNothing) {
    RELIABILITY_REQUIRE_HOOK();
    const unsigned long points = WalkBoth("GlobalInit", [&](unsigned long n, FailMode mode) {
        int ok = -1;
        const bool failed = RunFailingAt(n, mode, [&] { ok = CVCMMap::GlobalInit(); });
        std::vector<unsigned short> wide(4);
        const int units = CVCMMap::MultiByteToWideChar(0, "\xB0\xA1", 2, wide.data(), 4);
        if (ok == 1) {
            // A lost lookup index still converts, through the sections.
            EXPECT_EQ(units, 1);
            EXPECT_EQ(wide[0], 0x554A);
            char back[4] = {};
            const unsigned short u = 0x554A;
            EXPECT_EQ(CVCMMap::WideCharToMultiByte(0, &u, 1, back, 4, nullptr, nullptr), 2);
            EXPECT_EQ(std::string(back), "\xB0\xA1");
        } else {
            EXPECT_TRUE(failed);
            EXPECT_EQ(ok, 0);
            EXPECT_EQ(CVCMMap::m_pSectionMB2WC, nullptr);
            EXPECT_EQ(CVCMMap::m_pSectionWC2MB, nullptr);
            EXPECT_EQ(CVCMMap::FindSectionIndex(0xB0A1, EV_MB2WC), -1);
            EXPECT_EQ(units, 0);
            // ASCII needs no table.
            EXPECT_EQ(CVCMMap::MultiByteToWideChar(0, "ok", 2, wide.data(), 4), 2);
        }
        return failed;
    });
    EXPECT_GT(points, 150u);  // both section arrays and their entry arrays
    ASSERT_EQ(1, CVCMMap::GlobalInit());
}
