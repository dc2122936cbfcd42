// CVString under allocation failure: every operation that builds a buffer is
// walked through each of its allocations. A failure must leave the string in
// the state its operation promises (no buffer, or unchanged with a 0 / -1
// result), never half-built, and the string must work normally afterwards.
#include <functional>

#include "AllocWalk.h"

using _palex_zu::CVString;
using reliability::FailMode;
using reliability::RunFailingAt;
using reliability::Str;
using reliability::Text;
using reliability::WalkBoth;
using vostest::U16;
using vostest::Units;

namespace {

bool HasNoBuffer(const CVString& s) { return static_cast<const unsigned short*>(s) == nullptr; }

// The length word and the terminator agree with the text, and the string
// still takes an assignment and an append once memory is back.
void ExpectSound(CVString& s) {
    const unsigned short* p = s;
    if (p != nullptr) {
        EXPECT_EQ(s.GetLength(), wcslen(p));
        EXPECT_EQ(p[s.GetLength()], 0);
    } else {
        EXPECT_EQ(s.GetLength(), 0);
        EXPECT_TRUE(s.IsEmpty());
    }
    CVString probe = s;
    probe += "ok";
    EXPECT_EQ(Text(probe), Text(s) + u"ok");
}

const char* const kBase = "abc \xE4\xB8\xAD\xE6\x96\x87 def  ";

// An operation on a copy of kBase that either succeeds with want, or fails
// leaving one of the accepted failure states.
struct EditCase {
    const char* name;
    std::function<int(CVString&)> op;  // result compared when the op succeeds
    int okResult;
    const char* want;                  // UTF-8 text after success
    int failResult;                    // result on failure
    bool failEmpties;                  // failure leaves no buffer (else unchanged)
};

// The texts the construction and append walks build from, with the narrow
// one's GBK bytes and what they give.
struct SourceTexts {
    const std::u16string wide = U16("wide \xE4\xB8\xAD text");
    const char* narrow = "narrow \xD6\xD0\xCE\xC4 text";
    const std::u16string narrowWant = U16("narrow \xE4\xB8\xAD\xE6\x96\x87 text");
    const CVString source = Str("copied text");
};

}  // namespace

TEST(StringAllocFailure, ConstructionAndAssignmentLeaveNoBuffer) {
    RELIABILITY_REQUIRE_HOOK();
    ASSERT_EQ(1, _palex_zu::CVCMMap::GlobalInit());  // narrow text is GBK
    const SourceTexts texts;
    const std::u16string& wide = texts.wide;
    const char* narrow = texts.narrow;
    const CVString& source = texts.source;
    const std::u16string& narrowWant = texts.narrowWant;
    struct Case {
        const char* name;
        std::function<void(CVString&)> op;
        std::u16string want;
    } cases[] = {
        {"construct from units", [&](CVString& s) { new (&s) CVString(Units(wide)); }, wide},
        {"construct from narrow", [&](CVString& s) { new (&s) CVString(narrow); }, narrowWant},
        {"copy-construct", [&](CVString& s) { new (&s) CVString(source); }, Text(source)},
        {"assign string", [&](CVString& s) { s = source; }, Text(source)},
        {"assign units", [&](CVString& s) { s = Units(wide); }, wide},
        {"assign narrow", [&](CVString& s) { s = narrow; }, narrowWant},
    };
    for (const auto& c : cases) {
        const bool constructs = std::string(c.name).compare(0, 9, "construct") == 0 ||
                                std::string(c.name) == "copy-construct";
        WalkBoth(c.name, [&](unsigned long n, FailMode mode) {
            CVString s = Str("old");
            if (constructs) s.~CVString();
            const bool failed = RunFailingAt(n, mode, [&] { c.op(s); });
            if (failed) {
                EXPECT_TRUE(HasNoBuffer(s)) << c.name;
            } else {
                EXPECT_EQ(Text(s), c.want) << c.name;
            }
            ExpectSound(s);
            return failed;
        });
    }
}

// An append whose block with room to spare cannot be had takes a block of
// the exact size (past half the largest length the spare one would be some
// 2 GiB, out of reach of a 32-bit process); one that still fails leaves the
// string as it was.
TEST(StringAllocFailure, AppendFallsBackToTheExactSizeOrKeepsTheText) {
    RELIABILITY_REQUIRE_HOOK();
    ASSERT_EQ(1, _palex_zu::CVCMMap::GlobalInit());  // narrow text is GBK
    const SourceTexts t;
    const std::u16string old = U16("old");
    struct Case {
        const char* name;
        std::function<void(CVString&)> op;
        std::u16string want;
        bool grows;  // too long for the room the old block has
    } cases[] = {
        {"append string", [&](CVString& s) { s += t.source; }, old + Text(t.source), true},
        {"append units", [&](CVString& s) { s += Units(t.wide); }, old + t.wide, true},
        {"append narrow", [&](CVString& s) { s += t.narrow; }, old + t.narrowWant, true},
        {"append unit", [&](CVString& s) { s += static_cast<unsigned short>(0x4E2D); }, u"old\u4E2D", false},
    };
    for (const auto& c : cases) {
        bool fellBack = false;
        WalkBoth(c.name, [&](unsigned long n, FailMode mode) {
            CVString s = Str("old");
            const bool failed = RunFailingAt(n, mode, [&] { c.op(s); });
            const std::u16string got = Text(s);
            if (!failed || mode == FailMode::Once) {
                EXPECT_TRUE(got == c.want || (failed && got == old)) << c.name;
            } else {
                EXPECT_TRUE(got == old) << c.name << ": the text was not kept";
            }
            if (failed && got == c.want) fellBack = true;
            ExpectSound(s);
            return failed;
        });
        if (c.grows) {
            EXPECT_TRUE(fellBack) << c.name << ": no append fell back to the exact size";
        }
    }
}

TEST(StringAllocFailure, ConcatenationGivesTheWholeTextOrNothing) {
    RELIABILITY_REQUIRE_HOOK();
    const CVString a = Str("left ");
    const CVString b = Str("right");
    const std::u16string ua = U16("left ");
    const std::u16string ub = U16("right");
    struct Case {
        const char* name;
        std::function<CVString()> op;
    } cases[] = {
        {"string + string", [&] { return a + b; }},
        {"string + narrow", [&] { return a + "right"; }},
        {"string + units", [&] { return a + Units(ub); }},
        {"narrow + string", [&] { return "left " + b; }},
        {"units + string", [&] { return Units(ua) + b; }},
    };
    for (const auto& c : cases) {
        WalkBoth(c.name, [&](unsigned long n, FailMode mode) {
            CVString r;
            const bool failed = RunFailingAt(n, mode, [&] { r = c.op(); });
            // A result made from one operand alone would pass for a
            // successful concatenation.
            if (failed && (mode == FailMode::FromThereOn || Text(r) != u"left right")) {
                EXPECT_TRUE(HasNoBuffer(r)) << c.name << ": " << r.GetLength() << " units";
            } else {
                EXPECT_EQ(Text(r), u"left right") << c.name;
            }
            ExpectSound(r);
            return failed;
        });
    }
}

TEST(StringAllocFailure, EditsReportFailureAndKeepTheText) {
    RELIABILITY_REQUIRE_HOOK();
    const std::u16string xy = U16("XY");
    const std::u16string space = U16(" ");
    const std::u16string under = U16("_");
    const std::u16string set = U16("ab ");
    const EditCase cases[] = {
        {"Insert unit", [](CVString& s) { return s.Insert(3, static_cast<unsigned short>('X')); }, 14,
         "abcX \xE4\xB8\xAD\xE6\x96\x87 def  ", -1, false},
        {"Insert text", [&](CVString& s) { return s.Insert(0, Units(xy)); }, 15,
         "XYabc \xE4\xB8\xAD\xE6\x96\x87 def  ", -1, false},
        {"Delete", [](CVString& s) { return s.Delete(1, 3); }, 9, "a\xE4\xB8\xAD\xE6\x96\x87 def  ", -1, false},
        {"Replace text", [&](CVString& s) { return s.Replace(Units(space), Units(under)); }, 4,
         "abc_\xE4\xB8\xAD\xE6\x96\x87_def__", 0, false},
        {"TrimRight", [](CVString& s) { s.TrimRight(); return 0; }, 0, "abc \xE4\xB8\xAD\xE6\x96\x87 def", 0, true},
        {"TrimRight set", [&](CVString& s) { s.TrimRight(Units(set)); return 0; }, 0,
         "abc \xE4\xB8\xAD\xE6\x96\x87 def", 0, true},
        {"TrimRight unit", [](CVString& s) { s.TrimRight(static_cast<unsigned char>(' ')); return 0; }, 0,
         "abc \xE4\xB8\xAD\xE6\x96\x87 def", 0, true},
    };
    for (const auto& c : cases) {
        WalkBoth(c.name, [&](unsigned long n, FailMode mode) {
            CVString s = Str(kBase);
            int result = 0;
            const bool failed = RunFailingAt(n, mode, [&] { result = c.op(s); });
            if (failed) {
                EXPECT_EQ(result, c.failResult) << c.name;
                if (c.failEmpties) {
                    EXPECT_TRUE(HasNoBuffer(s)) << c.name;
                } else {
                    EXPECT_EQ(Text(s), U16(kBase)) << c.name;
                }
            } else {
                EXPECT_EQ(result, c.okResult) << c.name;
                EXPECT_EQ(Text(s), U16(c.want)) << c.name;
            }
            ExpectSound(s);
            return failed;
        });
    }
}

// Operations whose failure state is left open: the text is then either what
// it was or gone, never something in between.
TEST(StringAllocFailure, TrimLeftFormatAndExtractionNeverHalfBuild) {
    RELIABILITY_REQUIRE_HOOK();
    ASSERT_EQ(1, _palex_zu::CVCMMap::GlobalInit());
    const std::u16string set = U16("ab ");
    const std::u16string fmt = U16("%d-%s-%x");
    struct Case {
        const char* name;
        std::function<void(CVString&)> op;
        const char* want;
    } cases[] = {
        {"TrimLeft", [](CVString& s) { s = Str("  lead"); s.TrimLeft(); }, "lead"},
        {"TrimLeft set", [&](CVString& s) { s = Str("ba lead"); s.TrimLeft(Units(set)); }, "lead"},
        {"TrimLeft unit", [](CVString& s) { s = Str("xxlead"); s.TrimLeft(static_cast<unsigned char>('x')); }, "lead"},
        {"Format", [&](CVString& s) { s = Str("before"); s.Format(Units(fmt), 42, "\xD6\xD0", 255); },
         "42-\xE4\xB8\xAD-ff"},
        {"Mid", [](CVString& s) { s = Str("0123456789").Mid(2, 5); }, "23456"},
        {"Mid to end", [](CVString& s) { s = Str("0123456789").Mid(7); }, "789"},
        {"Left", [](CVString& s) { s = Str("0123456789").Left(3); }, "012"},
        {"Right", [](CVString& s) { s = Str("0123456789").Right(4); }, "6789"},
    };
    for (const auto& c : cases) {
        // The setup allocations run inside the armed window as well, so the
        // walk also covers them; the first string's own text is the only
        // accepted partial state.
        WalkBoth(c.name, [&](unsigned long n, FailMode mode) {
            CVString s;
            const bool failed = RunFailingAt(n, mode, [&] { c.op(s); });
            if (!failed) {
                EXPECT_EQ(Text(s), U16(c.want)) << c.name;
            }
            if (failed && !HasNoBuffer(s)) {
                const std::u16string t = Text(s);
                EXPECT_TRUE(t == U16(c.want) || t.empty() || t == U16("  lead") || t == U16("ba lead") ||
                            t == U16("xxlead") || t == U16("before"))
                    << c.name << " left \"" << std::string(t.begin(), t.end()) << "\"";
            }
            ExpectSound(s);
            return failed;
        });
    }
}

TEST(StringAllocFailure, BufferAccess) {
    RELIABILITY_REQUIRE_HOOK();
    WalkBoth("GetBufferSetLength", [&](unsigned long n, FailMode mode) {
        CVString s = Str("abcdef");
        unsigned short* p = nullptr;
        const bool failed = RunFailingAt(n, mode, [&] { p = s.GetBufferSetLength(10); });
        if (failed) {
            EXPECT_EQ(p, nullptr);
            EXPECT_TRUE(HasNoBuffer(s));
        } else {
            EXPECT_EQ(s.GetLength(), 10);
            EXPECT_EQ(Text(s).substr(0, 6), u"abcdef");
            EXPECT_EQ(Text(s).substr(6), std::u16string(4, 0));
            EXPECT_EQ(p, static_cast<unsigned short*>(s));
        }
        return failed;
    });
}
