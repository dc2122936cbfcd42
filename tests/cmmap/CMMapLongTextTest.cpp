// Long mixed texts through all four directions, against a plain per-character
// reading of the tables and of UTF-8: the converters copy ASCII runs and CJK
// pairs in blocks, and those paths must agree with the simple walk at every
// boundary and every capacity.
#include <algorithm>

#include "CMMapTestSupport.h"

using namespace _palex_zu;
using cmmaptest::Guarded;
using U = std::vector<unsigned short>;

namespace {

class CMMapLongText : public cmmaptest::Loaded {};

uint32_t Next(uint32_t& state) {
    state = state * 1103515245u + 12345u;
    return state >> 8;
}

// Runs of ASCII of every length beside CJK, two-byte units, surrogates,
// units without a GBK code and best-fit units; no zero unit.
U MixedUnits(uint32_t seed, size_t count) {
    U out;
    uint32_t st = seed;
    while (out.size() < count) {
        const unsigned kind = Next(st) % 8;
        const unsigned run = Next(st) % 40;
        for (unsigned k = 0; k < run && out.size() < count; ++k) {
            switch (kind) {
                case 0: case 1: out.push_back(static_cast<unsigned short>(1 + Next(st) % 0x7F)); break;
                case 2: case 3: out.push_back(static_cast<unsigned short>(0x4E00 + Next(st) % 0x51A6)); break;
                case 4: out.push_back(static_cast<unsigned short>(0x80 + Next(st) % 0x780)); break;
                case 5: out.push_back(static_cast<unsigned short>(0xD800 + Next(st) % 0x800)); break;
                case 6: out.push_back(static_cast<unsigned short>(0xF92C + Next(st) % 0x6D4)); break;
                default: out.push_back(static_cast<unsigned short>(Next(st) % 2 ? 0x20AC : 0x3000 + Next(st) % 0x400)); break;
            }
        }
    }
    return out;
}

// The UTF-8 form of units character by character: a surrogate pair is one
// four-byte character, a half without its partner is U+FFFD. Also the units
// that form decodes back to, and where each character ends in both.
struct RefUtf8 {
    explicit RefUtf8(const U& in) {
        for (size_t i = 0; i < in.size(); ++i) {
            unsigned cp = in[i];
            if (cp >= 0xD800 && cp <= 0xDFFF) {
                if (cp < 0xDC00 && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
                    units.push_back(in[i]);
                    ++i;
                } else {
                    cp = 0xFFFD;
                }
            }
            units.push_back(static_cast<unsigned short>(cp < 0x10000 ? cp : in[i]));
            if (cp < 0x80) {
                utf8 += static_cast<char>(cp);
            } else if (cp < 0x800) {
                utf8 += static_cast<char>(0xC0 | (cp >> 6));
                utf8 += static_cast<char>(0x80 | (cp & 0x3F));
            } else if (cp < 0x10000) {
                utf8 += static_cast<char>(0xE0 | (cp >> 12));
                utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                utf8 += static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                utf8 += static_cast<char>(0xF0 | (cp >> 18));
                utf8 += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                utf8 += static_cast<char>(0x80 | (cp & 0x3F));
            }
            byteEnds.push_back(utf8.size());
            unitEnds.push_back(units.size());
        }
    }
    // The longest run of whole characters within limit.
    static size_t Prefix(const std::vector<size_t>& ends, size_t limit) {
        size_t best = 0;
        for (size_t e : ends) {
            if (e <= limit) best = e;
        }
        return best;
    }
    std::string utf8;
    U units;
    std::vector<size_t> byteEnds;
    std::vector<size_t> unitEnds;
};

std::string RefGbk(const U& units) {
    std::string s;
    for (unsigned u : units) {
        if (u < 0x80 || u == 0x20AC) {
            s += static_cast<char>(u < 0x80 ? u : 0x80);
            continue;
        }
        const int i = CVCMMap::FindSectionIndex(static_cast<unsigned short>(u), EV_WC2MB);
        if (i < 0) continue;
        const _VCMMapSection& sec = CVCMMap::m_pSectionWC2MB[i];
        const unsigned e = sec.pEntries[u - sec.wFirstCode];
        if (e == 0xFFFF) continue;
        s += static_cast<char>(e & 0xFF);
        if (e > 0xFF) s += static_cast<char>(e >> 8);
    }
    return s;
}

U RefFromGbk(const std::string& gbk) {
    U out;
    for (size_t i = 0; i < gbk.size() && gbk[i] != 0;) {
        const unsigned c = static_cast<unsigned char>(gbk[i]);
        if (c <= 0x80) {
            out.push_back(static_cast<unsigned short>(c == 0x80 ? 0x20AC : c));
            ++i;
        } else if (c == 0xFF) {
            ++i;
        } else {
            if (i + 1 >= gbk.size() || gbk[i + 1] == 0) break;
            const unsigned code = c << 8 | static_cast<unsigned char>(gbk[i + 1]);
            const int k = CVCMMap::FindSectionIndex(static_cast<unsigned short>(code), EV_MB2WC);
            if (k >= 0) {
                const _VCMMapSection& sec = CVCMMap::m_pSectionMB2WC[k];
                out.push_back(sec.pEntries[code - sec.wFirstCode]);
            }
            i += 2;
        }
    }
    return out;
}

}  // namespace

TEST_F(CMMapLongText, AllDirectionsAgreeWithThePlainWalk) {
    cmmaptest::ForEachWalk([&](const char* walk) {
        SCOPED_TRACE(walk);
        for (uint32_t seed = 1; seed <= 6; ++seed) {
            const U units = MixedUnits(seed, 3000);
            const RefUtf8 ref(units);
            EXPECT_EQ(ref.utf8, cmmaptest::FromUtf16(65001, units)) << seed;
            EXPECT_EQ(ref.units, cmmaptest::ToUtf16(65001, ref.utf8)) << seed;
            const std::string gbk = RefGbk(units);
            EXPECT_EQ(gbk, cmmaptest::FromUtf16(0, units)) << seed;
            EXPECT_EQ(RefFromGbk(gbk), cmmaptest::ToUtf16(0, gbk)) << seed;
        }
        // GBK bytes of every kind, including 0x80, 0xFF and unmapped codes.
        std::string bytes;
        uint32_t st = 99;
        while (bytes.size() < 5000) {
            const unsigned run = Next(st) % 30;
            const bool ascii = Next(st) % 2 != 0;
            for (unsigned k = 0; k < run; ++k) bytes += static_cast<char>(ascii ? 1 + Next(st) % 0x7F : 0x80 + Next(st) % 0x80);
        }
        EXPECT_EQ(RefFromGbk(bytes), cmmaptest::ToUtf16(0, bytes));
    });
}

TEST_F(CMMapLongText, EveryCapacityGivesAPrefix) {
    cmmaptest::ForEachWalk([&](const char* walk) {
        SCOPED_TRACE(walk);
        const U units = MixedUnits(7, 400);
        const RefUtf8 ref(units);
        const std::string& utf8 = ref.utf8;
        const std::string gbk = RefGbk(units);
        const U fromGbk = RefFromGbk(gbk);
        for (size_t cap = 1; cap <= utf8.size() + 3; cap += 1 + cap / 16) {
            // UTF-8: the count with the terminator when all fits beside it, else
            // 0 with the whole characters that leave a byte free.
            Guarded<char> a(cap);
            const int n = CVCMMap::WideCharToMultiByte(65001, units.data(), static_cast<int>(units.size()), a.Data(), a.Cap(), nullptr, nullptr);
            const size_t written = RefUtf8::Prefix(ref.byteEnds, cap - 1);
            EXPECT_EQ(written == utf8.size() ? static_cast<int>(written) + 1 : 0, n) << cap;
            const std::vector<char> w = a.Written(written);
            EXPECT_EQ(utf8.substr(0, written), std::string(w.begin(), w.end())) << cap;
            EXPECT_TRUE(a.UntouchedFrom(written)) << cap;
            EXPECT_TRUE(a.GuardsIntact()) << cap;

            Guarded<char> g(cap);
            const int m = CVCMMap::WideCharToMultiByte(0, units.data(), static_cast<int>(units.size()), g.Data(), g.Cap(), nullptr, nullptr);
            ASSERT_LE(static_cast<size_t>(m), cap);
            const std::vector<char> gw = g.Written(static_cast<size_t>(m));
            EXPECT_EQ(gbk.substr(0, gw.size()), std::string(gw.begin(), gw.end())) << cap;
            // Stopped only where the next code would not fit.
            if (static_cast<size_t>(m) < gbk.size()) {
                EXPECT_GT(static_cast<size_t>(m) + 2, cap) << cap;
            }
            EXPECT_TRUE(g.UntouchedFrom(static_cast<size_t>(m))) << cap;
            EXPECT_TRUE(g.GuardsIntact()) << cap;
        }
        for (size_t cap = 1; cap <= ref.units.size() + 2; cap += 1 + cap / 16) {
            Guarded<unsigned short> a(cap);
            const int n = CVCMMap::MultiByteToWideChar(65001, utf8.data(), static_cast<int>(utf8.size()), a.Data(), a.Cap());
            EXPECT_EQ(RefUtf8::Prefix(ref.unitEnds, cap), static_cast<size_t>(n)) << cap;
            EXPECT_EQ(U(ref.units.begin(), ref.units.begin() + n), a.Written(static_cast<size_t>(n))) << cap;
            EXPECT_TRUE(a.GuardsIntact()) << cap;

            Guarded<unsigned short> g(cap);
            const int m = CVCMMap::MultiByteToWideChar(0, gbk.data(), static_cast<int>(gbk.size()), g.Data(), g.Cap());
            EXPECT_EQ(std::min(cap, fromGbk.size()), static_cast<size_t>(m)) << cap;
            EXPECT_EQ(U(fromGbk.begin(), fromGbk.begin() + m), g.Written(static_cast<size_t>(m))) << cap;
            EXPECT_TRUE(g.GuardsIntact()) << cap;
        }
    });
}

TEST_F(CMMapLongText, AZeroEndsTheWalkWhereverItFalls) {
    cmmaptest::ForEachWalk([&](const char* walk) {
        SCOPED_TRACE(walk);
        // The block paths look 16 to 32 characters ahead: a zero at any place in
        // such a stretch must end the text exactly there.
        const U units = MixedUnits(11, 160);
        const std::string gbk = RefGbk(units);
        for (size_t at = 0; at < 120 && at < gbk.size(); ++at) {
            std::string cut = gbk;
            cut[at] = 0;
            EXPECT_EQ(RefFromGbk(cut), cmmaptest::ToUtf16(0, cut)) << at;
        }
        for (size_t at = 0; at < 60; ++at) {
            U cut = units;
            cut[at] = 0;
            EXPECT_EQ(RefGbk(U(cut.begin(), cut.begin() + static_cast<long>(at))), cmmaptest::FromUtf16(0, cut)) << at;
        }
    });
}
