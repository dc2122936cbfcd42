// GBK to UTF-16 and back through the general converters.
#include "CMMapTestSupport.h"

using namespace _palex_zu;
using cmmaptest::Exact;
using cmmaptest::FromUtf16;
using cmmaptest::Guarded;
using cmmaptest::ToUtf16;
using U = std::vector<unsigned short>;

namespace {

class CMMapGbk : public cmmaptest::Loaded {};

int ToWide(const std::string& s, unsigned short* dst, int cap) {
    return CVCMMap::MultiByteToWideChar(0, s.data(), static_cast<int>(s.size()), dst, cap);
}

}  // namespace

TEST_F(CMMapGbk, DecodesByByteClass) {
    const struct {
        const char* name;
        std::string gbk;
        U units;
    } rows[] = {
        {"ascii", "Az~\x7f", {'A', 'z', '~', 0x7F}},
        {"B0 A1 and A1 A1", "\xB0\xA1\xA1\xA1", {0x554A, 0x3000}},
        {"euro byte", "\x80", {0x20AC}},
        {"trail 0x7F", "\x81\x7F", {0x003F}},
        {"code outside every section", "a\xAA\xA1z", {'a', 'z'}},
        {"0xFF skipped, next byte kept", "\xFF" "b\xFF\xB0\xA1", {'b', 0x554A}},
        {"best-fit code decodes to its own character", "\xA8\xA4", {0x00E0}},
        {"mixed", "x\xD6\xD0\xCE\xC4y", {'x', 0x4E2D, 0x6587, 'y'}},
    };
    for (auto& r : rows) EXPECT_EQ(r.units, ToUtf16(0, r.gbk)) << r.name;
}

TEST_F(CMMapGbk, CountingIsAnUpperBound) {
    // One unit per byte 0x00-0x80 and per lead byte, whether mapped or not.
    const struct {
        std::string gbk;
        int count, produced;
    } rows[] = {
        {"ab\xB0\xA1", 3, 3}, {"\xAA\xA1\xAA\xA2" "c", 3, 1}, {"\xFF\xFF", 0, 0}, {"\x80", 1, 1},
    };
    for (auto& r : rows) {
        EXPECT_EQ(r.count, ToWide(r.gbk, nullptr, 0)) << r.gbk;
        U out(8);
        EXPECT_EQ(r.produced, ToWide(r.gbk, out.data(), 8)) << r.gbk;
    }
}

TEST_F(CMMapGbk, StopsAtZeroAndLength) {
    U out(8, 0xEEEE);
    EXPECT_EQ(2, CVCMMap::MultiByteToWideChar(0, "ab\0cd", 5, out.data(), 8));
    EXPECT_EQ(2, CVCMMap::MultiByteToWideChar(0, "abcd", 2, out.data(), 8));
    EXPECT_EQ(0xEEEE, out[2]);  // no terminator of its own
    EXPECT_EQ(0, CVCMMap::MultiByteToWideChar(0, "abcd", 0, out.data(), 8));
    EXPECT_EQ(0, CVCMMap::MultiByteToWideChar(0, "abcd", -1, out.data(), 8));
    EXPECT_EQ(0, CVCMMap::MultiByteToWideChar(0, nullptr, 4, out.data(), 8));
    EXPECT_EQ(0, CVCMMap::MultiByteToWideChar(0, "abcd", 4, out.data(), 0));
}

TEST_F(CMMapGbk, CutLeadByteNeverReadsOutside) {
    // A lead byte as the last byte of the stated length, in a block of
    // exactly that size: the trail byte would lie beyond it.
    Exact<char> atEnd("ab\xB0", 3);
    Guarded<unsigned short> out(8);
    EXPECT_EQ(2, CVCMMap::MultiByteToWideChar(0, atEnd.Data(), atEnd.Len(), out.Data(), out.Cap()));
    EXPECT_EQ((U{'a', 'b'}), out.Written(2));
    EXPECT_TRUE(out.UntouchedFrom(2));
    EXPECT_GE(CVCMMap::MultiByteToWideChar(0, atEnd.Data(), atEnd.Len(), nullptr, 0), 2);

    // A lead byte before the terminator: nothing after the zero is converted.
    Exact<char> beforeZero("a\xB0\0cd", 5);
    Guarded<unsigned short> out2(8);
    EXPECT_EQ(1, CVCMMap::MultiByteToWideChar(0, beforeZero.Data(), beforeZero.Len(), out2.Data(), out2.Cap()));
    EXPECT_TRUE(out2.UntouchedFrom(1));
    EXPECT_EQ(2, CVCMMap::MultiByteToWideChar(0, beforeZero.Data(), beforeZero.Len(), nullptr, 0));
    EXPECT_TRUE(out.GuardsIntact());
    EXPECT_TRUE(out2.GuardsIntact());
}

TEST_F(CMMapGbk, NeverWritesPastTheCapacity) {
    const std::string text = "abcdefghijklmnopqrstuvwxyz0123456789\xB0\xA1\xB0\xA1xyz";
    for (int cap = 1; cap <= 42; ++cap) {
        Guarded<unsigned short> out(static_cast<size_t>(cap));
        const int n = ToWide(text, out.Data(), out.Cap());
        EXPECT_EQ(cap < 41 ? cap : 41, n) << cap;
        EXPECT_TRUE(out.GuardsIntact()) << cap;
    }
}

TEST_F(CMMapGbk, EncodesAndDropsUnmapped) {
    const struct {
        const char* name;
        U units;
        std::string gbk;
    } rows[] = {
        {"round trip", {0x554A, 0x3000}, "\xB0\xA1\xA1\xA1"},
        {"euro is its single byte", {'a', 0x20AC, 'b'}, "a\x80" "b"},
        {"best fit", {0x00C0, 0x00A5}, "\xA8\xA4\xA3\xA4"},
        {"unit without section", {0x0600, 0x4E2D}, "\xD6\xD0"},
        {"entry 0xFFFF", {0x00A6, 'x'}, "x"},
        {"question mark stays ASCII", {'?'}, "?"},
    };
    for (auto& r : rows) EXPECT_EQ(r.gbk, FromUtf16(0, r.units)) << r.name;
    const unsigned short zeroTerminated[] = {'a', 0x554A, 0, 'z'};
    char out[8] = {};
    EXPECT_EQ(3, CVCMMap::WideCharToMultiByte(0, zeroTerminated, -1, out, 8, "?", nullptr));
    EXPECT_EQ(3, CVCMMap::WideCharToMultiByte(0, zeroTerminated, 4, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(0, CVCMMap::WideCharToMultiByte(0, nullptr, 3, out, 8, nullptr, nullptr));
    EXPECT_STREQ("a\xB0\xA1", out);
}

TEST_F(CMMapGbk, EncodingNeverSplitsACodeAtTheCapacity) {
    const U text = {'a', 0x554A, 'b'};
    for (int cap = 1; cap <= 4; ++cap) {
        Guarded<char> out(static_cast<size_t>(cap));
        const int n = CVCMMap::WideCharToMultiByte(0, text.data(), 3, out.Data(), out.Cap(), nullptr, nullptr);
        const int want[] = {0, 1, 1, 3, 4};
        EXPECT_EQ(want[cap], n) << cap;
        EXPECT_TRUE(out.UntouchedFrom(static_cast<size_t>(n))) << cap;
        EXPECT_TRUE(out.GuardsIntact()) << cap;
    }
    // The source length is honoured with no zero after it.
    Exact<unsigned short> exact(text.data(), 2);
    Guarded<char> out(8);
    EXPECT_EQ(3, CVCMMap::WideCharToMultiByte(0, exact.Data(), exact.Len(), out.Data(), out.Cap(), nullptr, nullptr));
}

TEST_F(CMMapGbk, LongMixedTextRoundTrips) {
    cmmaptest::ForEachWalk([&](const char* walk) {
        SCOPED_TRACE(walk);
        // Long enough for the block-wise ASCII paths, with runs of every length.
        std::string gbk;
        for (int i = 0; i < 300; ++i) {
            gbk.append(static_cast<size_t>(i % 37), static_cast<char>('a' + i % 26));
            gbk += "\xD6\xD0";
        }
        const U units = ToUtf16(0, gbk);
        ASSERT_EQ(gbk.size() - 300, units.size());
        EXPECT_EQ(gbk, FromUtf16(0, units));
    });
}
