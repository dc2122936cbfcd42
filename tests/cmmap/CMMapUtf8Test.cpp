// UTF-8 through the general converters and the buffer forms.
#include <algorithm>

#include "CMMapTestSupport.h"
#include "support/TestSupport.h"

using namespace _palex_zu;
using cmmaptest::Exact;
using cmmaptest::FromUtf16;
using cmmaptest::Guarded;
using cmmaptest::ToUtf16;
using U = std::vector<unsigned short>;

namespace {

class CMMapUtf8 : public cmmaptest::Loaded {};

}  // namespace

TEST_F(CMMapUtf8, DecodesEveryLeadClass) {
    const struct {
        const char* name;
        std::string utf8;
        U units;
    } rows[] = {
        {"ascii", "az", {'a', 'z'}},
        {"two bytes", "\xC3\xA9", {0x00E9}},
        {"three bytes", "\xE4\xB8\xAD", {0x4E2D}},
        {"four bytes become a surrogate pair", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"the first plane above the basic one", "\xF0\x90\x80\x80", {0xD800, 0xDC00}},
        {"U+20000 is no zero unit", "\xF0\xA0\x80\x80" "z", {0xD840, 0xDC00, 'z'}},
        {"the last character", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        {"above U+10FFFF", "\xF4\x90\x80\x80" "z", {0xFFFD, 'z'}},
        {"lead bytes F5-F7 are out of range", "\xF7\xBF\xBF\xBF", {0xFFFD}},
        {"five bytes", "\xF8\x88\x80\x80\x80", {0xFFFD}},
        {"six bytes", "\xFC\x84\x80\x80\x81\x82" "z", {0xFFFD, 'z'}},
        {"overlong two bytes", "\xC0\xAF" "z", {0xFFFD, 'z'}},
        {"overlong three bytes", "\xE0\x80\xAF", {0xFFFD}},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", {0xFFFD}},
        {"encoded surrogate halves", "\xED\xA0\xBD\xED\xB8\x80", {0xFFFD, 0xFFFD}},
        {"the last unit before the surrogates", "\xED\x9F\xBF", {0xD7FF}},
        {"stray continuation bytes stand for themselves", "\x80\xBF", {0x0080, 0x00BF}},
        // A lead byte without its continuation bytes stands for U+FFFD alone:
        // the text after it is kept.
        {"lead byte before ASCII", "\xC3\x41", {0xFFFD, 'A'}},
        {"a path keeps its separators", "a\xE4/b/c", {'a', 0xFFFD, '/', 'b', '/', 'c'}},
        {"lead byte before a separator", "\xC3/x", {0xFFFD, '/', 'x'}},
        {"one continuation byte of two", "\xE4\xB8/", {0xFFFD, '/'}},
        {"lead byte before a lead byte", "\xE4\xE4\xB8\xAD", {0xFFFD, 0x4E2D}},
        {"four-byte lead cut by ASCII", "\xF0\x9F\x98z", {0xFFFD, 'z'}},
        {"euro", "\xE2\x82\xAC", {0x20AC}},
    };
    for (auto& r : rows) {
        EXPECT_EQ(r.units, ToUtf16(65001, r.utf8)) << r.name;
        // Any code page but 0 is UTF-8.
        EXPECT_EQ(r.units, ToUtf16(1, r.utf8)) << r.name;
    }
}

TEST_F(CMMapUtf8, EncodesUnitsAndPairs) {
    const struct {
        const char* name;
        U units;
        std::string utf8;
    } rows[] = {
        {"ascii", {'a'}, "a"},
        {"two bytes", {0x00E9, 0x07FF}, "\xC3\xA9\xDF\xBF"},
        {"three bytes", {0x0800, 0xFFFF}, "\xE0\xA0\x80\xEF\xBF\xBF"},
        {"a surrogate pair becomes one four-byte sequence", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        {"the first and the last pair", {0xD800, 0xDC00, 0xDBFF, 0xDFFF}, "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        // A half without its partner has no UTF-8 form.
        {"lone high half", {0xD83D, 'a'}, "\xEF\xBF\xBD" "a"},
        {"lone low half", {'a', 0xDE00}, "a\xEF\xBF\xBD"},
        {"high half at the end", {'a', 0xD83D}, "a\xEF\xBF\xBD"},
        {"halves in the wrong order", {0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"two high halves, then a low one", {0xD83D, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    };
    for (auto& r : rows) EXPECT_EQ(r.utf8, FromUtf16(65001, r.units)) << r.name;

    // The result counts the caller's terminator; nothing produced gives 0.
    const unsigned short euro[] = {0x20AC, 0};
    EXPECT_EQ(4, CVCMMap::WideCharToMultiByte(65001, euro, -1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(4, CVCMMap::WideCharToMultiByte(65001, euro, 1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(0, CVCMMap::WideCharToMultiByte(65001, euro + 1, -1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(0, CVCMMap::WideCharToMultiByte(65001, euro, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(0, CVCMMap::WideCharToMultiByte(65001, nullptr, -1, nullptr, 0, nullptr, nullptr));
    // A pair counts four bytes; a high half before a zero unit stands alone.
    const unsigned short pair[] = {0xD83D, 0xDE00, 0xD83D, 0, 0xDE00};
    EXPECT_EQ(5, CVCMMap::WideCharToMultiByte(65001, pair, 2, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(8, CVCMMap::WideCharToMultiByte(65001, pair, 5, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(std::string("\xF0\x9F\x98\x80\xEF\xBF\xBD"), FromUtf16(65001, U(pair, pair + 5)));
}

TEST_F(CMMapUtf8, CutSequencesNeverReadOutside) {
    const struct {
        const char* name;
        std::string bytes;
        U units;
    } rows[] = {
        {"two of three bytes at the end", std::string("a\xE4\xB8", 3), {'a'}},
        {"lead byte alone at the end", std::string("a\xF0", 2), {'a'}},
        {"six-byte lead with five bytes", std::string("\xFC\x80\x80\x80\x80", 5), {}},
        // A zero is no continuation byte: the lead stands alone, the zero ends the text.
        {"zero inside a sequence", std::string("a\xE4\0bc", 5), {'a', 0xFFFD}},
        {"zero as second byte", std::string("\xC3\0z", 3), {0xFFFD}},
    };
    for (auto& r : rows) {
        Exact<char> src(r.bytes.data(), r.bytes.size());
        Guarded<unsigned short> out(8);
        const int n = CVCMMap::MultiByteToWideChar(65001, src.Data(), src.Len(), out.Data(), out.Cap());
        EXPECT_EQ(r.units, out.Written(static_cast<size_t>(n))) << r.name;
        EXPECT_EQ(n, CVCMMap::MultiByteToWideChar(65001, src.Data(), src.Len(), nullptr, 0)) << r.name;
        EXPECT_TRUE(out.UntouchedFrom(static_cast<size_t>(n))) << r.name;
        EXPECT_TRUE(out.GuardsIntact()) << r.name;
    }
}

TEST_F(CMMapUtf8, NeverWritesPastTheCapacity) {
    std::string utf8;
    for (int i = 0; i < 40; ++i) utf8 += (i % 3) ? "\xE4\xB8\xAD" : "abcdefghijklmnopqrs";
    const U all = ToUtf16(65001, utf8);
    for (int cap = 1; cap < static_cast<int>(all.size()) + 2; cap += 7) {
        Guarded<unsigned short> out(static_cast<size_t>(cap));
        const int n = CVCMMap::MultiByteToWideChar(65001, utf8.data(), static_cast<int>(utf8.size()), out.Data(), out.Cap());
        ASSERT_EQ(std::min<size_t>(cap, all.size()), static_cast<size_t>(n)) << cap;
        EXPECT_EQ(U(all.begin(), all.begin() + n), out.Written(static_cast<size_t>(n))) << cap;
        EXPECT_TRUE(out.GuardsIntact()) << cap;
    }
    for (int cap = 1; cap <= static_cast<int>(utf8.size()) + 2; cap += 5) {
        Guarded<char> out(static_cast<size_t>(cap));
        const int n = CVCMMap::WideCharToMultiByte(65001, all.data(), static_cast<int>(all.size()), out.Data(), out.Cap(),
                                                   nullptr, nullptr);
        if (cap > static_cast<int>(utf8.size())) {
            EXPECT_EQ(static_cast<int>(utf8.size()) + 1, n) << cap;
        } else {
            EXPECT_EQ(0, n) << cap << ": a cut result is no count";
        }
        EXPECT_TRUE(out.GuardsIntact()) << cap;
    }
}

TEST_F(CMMapUtf8, CutResultsAreRecognisableAndEndOnWholeCharacters) {
    // The whole text and its terminator fit: the count with the terminator.
    // Otherwise 0, with the whole characters that leave a byte free written.
    const unsigned short abc[] = {'a', 'b', 'c'};
    const unsigned short mixed[] = {'a', 0x4E2D, 0xD83D, 0xDE00, 'z'};  // 1 + 3 + 4 + 1 bytes
    const struct {
        const unsigned short* units;
        int count;
        int cap;
        int result;
        std::string written;
    } rows[] = {
        {abc, 3, 4, 4, "abc"},
        {abc, 3, 3, 0, "ab"},
        {abc, 3, 1, 0, ""},
        {mixed, 5, 10, 10, "a\xE4\xB8\xAD\xF0\x9F\x98\x80z"},
        {mixed, 5, 9, 0, "a\xE4\xB8\xAD\xF0\x9F\x98\x80"},
        {mixed, 5, 8, 0, "a\xE4\xB8\xAD"},
        {mixed, 5, 5, 0, "a\xE4\xB8\xAD"},
        {mixed, 5, 4, 0, "a"},
    };
    for (const auto& r : rows) {
        Guarded<char> out(static_cast<size_t>(r.cap));
        EXPECT_EQ(r.result, CVCMMap::WideCharToMultiByte(65001, r.units, r.count, out.Data(), out.Cap(), nullptr, nullptr))
            << r.cap;
        const std::vector<char> got = out.Written(r.written.size());
        EXPECT_EQ(r.written, std::string(got.begin(), got.end())) << r.cap;
        EXPECT_TRUE(out.UntouchedFrom(r.written.size())) << r.cap;
        EXPECT_TRUE(out.GuardsIntact()) << r.cap;
    }

    // Units: a pair goes into the destination whole or not at all.
    const std::string smile = "a\xF0\x9F\x98\x80" "b";
    for (int cap = 1; cap <= 4; ++cap) {
        const U expected = cap == 1 ? U{'a'} : cap == 2 ? U{'a'} : cap == 3 ? U{'a', 0xD83D, 0xDE00} : U{'a', 0xD83D, 0xDE00, 'b'};
        Guarded<unsigned short> out(static_cast<size_t>(cap));
        const int n = CVCMMap::MultiByteToWideChar(65001, smile.data(), static_cast<int>(smile.size()), out.Data(), out.Cap());
        EXPECT_EQ(expected, out.Written(static_cast<size_t>(n))) << cap;
        EXPECT_TRUE(out.UntouchedFrom(static_cast<size_t>(n))) << cap;
        EXPECT_TRUE(out.GuardsIntact()) << cap;
    }
    char text[] = "a\xF0\x9F\x98\x80";
    Guarded<unsigned short> three(3);
    EXPECT_EQ(1, CVCMMap::Utf8ToUnicode(text, 5, three.Data(), 3)) << "no lone half before the terminator";
    EXPECT_EQ((U{'a', 0, 0}), three.Written(3));
    Guarded<unsigned short> four(4);
    EXPECT_EQ(3, CVCMMap::Utf8ToUnicode(text, 5, four.Data(), 4));
    EXPECT_EQ((U{'a', 0xD83D, 0xDE00, 0}), four.Written(4));
    EXPECT_EQ(3, CVCMMap::Utf8ToUnicode(text, 5, nullptr, 0));

    unsigned short pair[] = {0xD83D, 0xDE00};
    Guarded<char> four8(4);
    EXPECT_EQ(5, CVCMMap::UnicodeToUtf8(pair, 2, nullptr, 0));
    EXPECT_EQ(0, CVCMMap::UnicodeToUtf8(pair, 2, four8.Data(), four8.Cap()));
    EXPECT_TRUE(four8.UntouchedFrom(0));
}

TEST_F(CMMapUtf8, Utf8ToUnicodeBufferCutsAndTerminates) {
    char ten[] = "0123456789";
    Guarded<unsigned short> four(4);
    EXPECT_EQ(3, CVCMMap::Utf8ToUnicode(ten, 10, four.Data(), 4));
    EXPECT_EQ((U{'0', '1', '2', 0}), four.Written(4));
    EXPECT_TRUE(four.GuardsIntact());

    // Fits: the text, then zeros up to the stated length.
    char word[] = "\xC3\xA9" "a";
    Guarded<unsigned short> big(6);
    EXPECT_EQ(2, CVCMMap::Utf8ToUnicode(word, 3, big.Data(), 6));
    EXPECT_EQ((U{0x00E9, 'a', 0, 0, 0, 0}), big.Written(6));
    EXPECT_TRUE(big.GuardsIntact());

    // Exactly as long as the destination: the last unit goes for the zero.
    Guarded<unsigned short> two(2);
    EXPECT_EQ(1, CVCMMap::Utf8ToUnicode(word, 3, two.Data(), 2));
    EXPECT_EQ((U{0x00E9, 0}), two.Written(2));

    EXPECT_EQ(10, CVCMMap::Utf8ToUnicode(ten, 10, nullptr, 4));
    EXPECT_EQ(10, CVCMMap::Utf8ToUnicode(ten, 10, four.Data(), 0));
    EXPECT_EQ(0, CVCMMap::Utf8ToUnicode(nullptr, 10, four.Data(), 4));
    EXPECT_EQ(0, CVCMMap::Utf8ToUnicode(ten, 0, four.Data(), 4));
    // Nothing to convert still leaves a terminated (empty) text.
    char empty[] = "";
    Guarded<unsigned short> one(4);
    EXPECT_EQ(0, CVCMMap::Utf8ToUnicode(empty, 1, one.Data(), 4));
    EXPECT_EQ(0, one.Written(1)[0]);
    Guarded<unsigned short> none(4);
    EXPECT_EQ(0, CVCMMap::Utf8ToUnicode(ten, 0, none.Data(), 4));
    EXPECT_EQ(0, none.Written(1)[0]);
}

TEST_F(CMMapUtf8, UnicodeToUtf8BufferIsAllOrNothing) {
    unsigned short text[] = {'a', 0x00E9, 0x4E2D, 0};  // 1 + 2 + 3 bytes
    EXPECT_EQ(7, CVCMMap::UnicodeToUtf8(text, 3, nullptr, 0));
    EXPECT_EQ(7, CVCMMap::UnicodeToUtf8(text, 3, nullptr, 100));
    Guarded<char> small(6);
    EXPECT_EQ(7, CVCMMap::UnicodeToUtf8(text, 3, small.Data(), -1));
    EXPECT_EQ(0, CVCMMap::UnicodeToUtf8(text, 3, small.Data(), small.Cap()));
    EXPECT_TRUE(small.UntouchedFrom(0));
    EXPECT_TRUE(small.GuardsIntact());

    Guarded<char> exact(7);
    EXPECT_EQ(7, CVCMMap::UnicodeToUtf8(text, 3, exact.Data(), exact.Cap()));
    EXPECT_EQ(std::string("a\xC3\xA9\xE4\xB8\xAD", 7), std::string(exact.Data(), 7));
    EXPECT_TRUE(exact.GuardsIntact());

    // The count stops at a zero unit within the stated number.
    unsigned short early[] = {'x', 0, 'y'};
    Guarded<char> out(4);
    EXPECT_EQ(2, CVCMMap::UnicodeToUtf8(early, 3, out.Data(), out.Cap()));
    EXPECT_TRUE(out.UntouchedFrom(2));
    EXPECT_EQ(0, CVCMMap::UnicodeToUtf8(text + 3, 1, out.Data(), 4));
    EXPECT_EQ(0, CVCMMap::UnicodeToUtf8(text, 0, out.Data(), 4));
    EXPECT_EQ(0, CVCMMap::UnicodeToUtf8(nullptr, 3, out.Data(), 4));
}

TEST_F(CMMapUtf8, Utf8ToAnsicGivesACountedGbkString) {
    char text[] = "a\xE5\x95\x8A\xE2\x82\xAC" "b";  // a, U+554A, euro, b
    unsigned int len = 99;
    char* gbk = CVCMMap::Utf8ToAnsic(text, 8, len);
    ASSERT_NE(nullptr, gbk);
    EXPECT_EQ(6u, len);
    EXPECT_STREQ("a\xB0\xA1\x80" "b", gbk);
    EXPECT_EQ(6, VCountedBlockCount(gbk));
    VDelete(gbk);

    len = 99;
    EXPECT_EQ(nullptr, CVCMMap::Utf8ToAnsic(nullptr, 3, len));
    EXPECT_EQ(nullptr, CVCMMap::Utf8ToAnsic(text, 0, len));
    EXPECT_EQ(99u, len);
}

TEST_F(CMMapUtf8, Utf8ToAnsicFailsCleanlyWithoutMemory) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not built in";
    vostest::AllocHookGuard guard;
    char text[] = "\xE5\x95\x8A";
    for (unsigned long n = 1; n <= 2; ++n) {
        unsigned int len = 99;
        vostest::FailAllocationAt(n);
        EXPECT_EQ(nullptr, CVCMMap::Utf8ToAnsic(text, 3, len)) << n;
        EXPECT_EQ(99u, len) << n;
    }
}

// Long mixed text goes through block steps on hosts that have them: every
// character, every cut by a zero or by the capacity, and the destination past
// the result come out as character-by-character conversion has them.
TEST_F(CMMapUtf8, LongTextAgreesWithOneCharacterAtATime) {
    cmmaptest::ForEachWalk([&](const char* walk) {
        SCOPED_TRACE(walk);
        static const char* const kPieces[] = {"\xE4\xB8\xAD", "\xE6\x96\x87", "a", "\xE9\x87\x8C", "\xC3\xA9",
                                              "\xF0\x9F\x98\x80", "\xE0\x80\x82", "\xED\xA0\x80", "\x80", "plain ASCII words, 26"};
        std::string utf8;
        U want;
        std::vector<size_t> starts;  // byte offset of each character
        auto add = [&](const std::string& one) {
            starts.push_back(utf8.size());
            utf8 += one;
            const U units = ToUtf16(65001, one);
            want.insert(want.end(), units.begin(), units.end());
        };
        uint32_t state = 1;
        bool tight = false;
        while (utf8.size() < 900) {
            if (!tight && utf8.size() > 300) {
                tight = true;
                // A block of ideographs and ASCII as long as a step takes, then a
                // pair; and ASCII as thin as text comes after a block step that
                // took one unit: the tightest cuts after the widest stores.
                add("\xC3\xA9");
                for (int r = 0; r < 10; ++r) add(kPieces[r % 2]);
                for (int r = 0; r < 15; ++r) add("x");
                add(kPieces[5]);
                add("\xC3\xA9");
                add("a");
                add("\xC3\xA9");
                for (int r = 0; r < 40; ++r) add("y");
            }
            // Mostly runs of ideographs, of up to 14; now and then ASCII and the
            // other forms.
            state = state * 1664525u + 1013904223u;
            const unsigned pick = (state >> 16) % 24;
            const unsigned repeat = pick < 12 ? 1 + (state >> 8) % 14 : 1;
            for (unsigned r = 0; r < repeat; ++r) {
                add(pick < 12 ? kPieces[(pick + r) % 2] : pick < 18 ? kPieces[2 + pick % 2] : kPieces[pick - 14]);
            }
        }
        EXPECT_EQ(want, ToUtf16(65001, utf8));

        // A zero byte ends the text; a cut one leaves the destination alone.
        for (size_t at = 0; at < starts.size(); ++at) {
            std::string cut = utf8;
            cut[starts[at]] = 0;
            const U before = ToUtf16(65001, utf8.substr(0, starts[at]));
            Guarded<unsigned short> out(want.size() + 40);
            const int n = CVCMMap::MultiByteToWideChar(65001, cut.data(), static_cast<int>(cut.size()), out.Data(), out.Cap());
            ASSERT_EQ(before.size(), static_cast<size_t>(n)) << at;
            EXPECT_EQ(before, out.Written(before.size())) << at;
            EXPECT_TRUE(out.UntouchedFrom(before.size())) << at;
        }
        for (size_t cap = 1; cap <= want.size() + 1; ++cap) {
            Guarded<unsigned short> out(cap);
            const int n = CVCMMap::MultiByteToWideChar(65001, utf8.data(), static_cast<int>(utf8.size()), out.Data(), out.Cap());
            const size_t fits = std::min(cap, want.size());
            // Short by one only where a pair would be split.
            const bool split = fits < want.size() && (want[fits - 1] & 0xFC00) == 0xD800;
            ASSERT_EQ(split ? fits - 1 : fits, static_cast<size_t>(n)) << cap;
            EXPECT_EQ(U(want.begin(), want.begin() + n), out.Written(static_cast<size_t>(n))) << cap;
            EXPECT_TRUE(out.UntouchedFrom(static_cast<size_t>(n))) << cap;
            EXPECT_TRUE(out.GuardsIntact()) << cap;
        }

        // The other way, lone halves becoming U+FFFD; a cut result writes its
        // whole characters and no further.
        U wide = want;
        for (size_t i = 40; i < wide.size(); i += 97) wide[i] = static_cast<unsigned short>(i % 2 ? 0xDC00 : 0xD800);
        std::string bytes;
        for (size_t i = 0; i < wide.size(); ++i) {
            const size_t len = (wide[i] & 0xFC00) == 0xD800 && i + 1 < wide.size() && (wide[i + 1] & 0xFC00) == 0xDC00 ? 2 : 1;
            bytes += FromUtf16(65001, U(wide.begin() + i, wide.begin() + i + len));
            i += len - 1;
        }
        EXPECT_EQ(bytes, FromUtf16(65001, wide));
        for (size_t cap = 1; cap <= bytes.size() + 2; ++cap) {
            Guarded<char> out(cap);
            const int n = CVCMMap::WideCharToMultiByte(65001, wide.data(), static_cast<int>(wide.size()), out.Data(), out.Cap(),
                                                       nullptr, nullptr);
            size_t prefix = std::min(cap - 1, bytes.size());
            while (prefix < bytes.size() && prefix > 0 && (bytes[prefix] & 0xC0) == 0x80) --prefix;
            ASSERT_EQ(cap > bytes.size() ? static_cast<int>(bytes.size()) + 1 : 0, n) << cap;
            EXPECT_EQ(std::vector<char>(bytes.begin(), bytes.begin() + prefix), out.Written(prefix)) << cap;
            EXPECT_TRUE(out.UntouchedFrom(prefix)) << cap;
        }
        for (size_t at = 1; at < wide.size(); ++at) {
            U cut = wide;
            cut[at] = 0;
            const std::string before = FromUtf16(65001, U(wide.begin(), wide.begin() + at));
            Guarded<char> out(bytes.size() + 40);
            const int n = CVCMMap::WideCharToMultiByte(65001, cut.data(), static_cast<int>(cut.size()), out.Data(), out.Cap(),
                                                       nullptr, nullptr);
            ASSERT_EQ(before.size() + 1, static_cast<size_t>(n)) << at;
            EXPECT_EQ(std::vector<char>(before.begin(), before.end()), out.Written(before.size())) << at;
            EXPECT_TRUE(out.UntouchedFrom(before.size())) << at;
        }
    });
}
