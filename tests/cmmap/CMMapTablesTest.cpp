// The loaded code-page tables: their shape, their telling entries, the
// section search, loading and freeing, and the committed images.
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <map>
#include <sstream>

#include "CMMapTestSupport.h"
#include "support/TestSupport.h"

using namespace _palex_zu;
using cmmaptest::Loaded;

namespace {

class CMMapTables : public Loaded {};

unsigned short DecodeCode(unsigned int code) {
    const int i = CVCMMap::FindSectionIndex(static_cast<unsigned short>(code), EV_MB2WC);
    if (i < 0) return 0xFFFF;
    const _VCMMapSection& s = CVCMMap::m_pSectionMB2WC[i];
    return s.pEntries[code - s.wFirstCode];
}

// The GBK code of a unit as lead * 256 + trail, or -1.
int EncodeUnit(unsigned int unit) {
    const int i = CVCMMap::FindSectionIndex(static_cast<unsigned short>(unit), EV_WC2MB);
    if (i < 0) return -1;
    const _VCMMapSection& s = CVCMMap::m_pSectionWC2MB[i];
    const unsigned short e = s.pEntries[unit - s.wFirstCode];
    if (e == 0xFFFF) return -1;
    return (e & 0xFF) << 8 | e >> 8;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// An image in the table format, built word by word.
std::vector<char> Image(const std::vector<std::pair<unsigned, unsigned>>& sections,
                        const std::vector<unsigned>& entries) {
    std::vector<unsigned> words = {0x4D4D, 0x0200, static_cast<unsigned>(sections.size()), 0};
    for (auto& s : sections) {
        words.push_back(s.first);
        words.push_back(s.second);
    }
    words.insert(words.end(), entries.begin(), entries.end());
    std::vector<char> out;
    for (unsigned w : words) {
        out.push_back(static_cast<char>(w & 0xFF));
        out.push_back(static_cast<char>(w >> 8));
    }
    return out;
}

}  // namespace

TEST_F(CMMapTables, HeadersAndCountsMatchTheImages) {
    EXPECT_EQ(0x4D4D, CVCMMap::m_HeaderMB2WC.wTag);  // "MM"
    EXPECT_EQ(0x4D57, CVCMMap::m_HeaderWC2MB.wTag);  // "WM"
    EXPECT_EQ(0x0200, CVCMMap::m_HeaderMB2WC.wFormat);
    EXPECT_EQ(0x0200, CVCMMap::m_HeaderWC2MB.wFormat);
    EXPECT_EQ(0, CVCMMap::m_HeaderMB2WC.wReserved);
    ASSERT_EQ(127, CVCMMap::m_HeaderMB2WC.wSectionCount);
    ASSERT_EQ(30, CVCMMap::m_HeaderWC2MB.wSectionCount);

    unsigned total = 0, noEntry = 0, questionMarks = 0;
    for (int i = 0; i < 127; ++i) {
        const _VCMMapSection& s = CVCMMap::m_pSectionMB2WC[i];
        for (unsigned k = 0; k < s.wCodeCount; ++k) {
            ++total;
            if (s.pEntries[k] == 0xFFFF) ++noEntry;
            if (((s.wFirstCode + k) & 0xFF) == 0x7F) {
                ++questionMarks;
                EXPECT_EQ(0x003F, s.pEntries[k]) << std::hex << s.wFirstCode + k;
            }
        }
    }
    EXPECT_EQ(22175u, total);
    EXPECT_EQ(0u, noEntry);
    EXPECT_EQ(119u, questionMarks);

    // The 30 sections of the Unicode-to-multibyte table, first and last code.
    const unsigned ranges[30][2] = {
        {0x00A2, 0x00FC}, {0x0101, 0x016B}, {0x01C1, 0x01DC}, {0x0251, 0x0261}, {0x02C7, 0x02D9},
        {0x0391, 0x03C9}, {0x0401, 0x0451}, {0x2010, 0x203B}, {0x2103, 0x2121}, {0x2160, 0x2179},
        {0x2190, 0x2199}, {0x2208, 0x22BF}, {0x2312, 0x2312}, {0x2460, 0x249B}, {0x2500, 0x2573},
        {0x2581, 0x2595}, {0x25A0, 0x25E5}, {0x2605, 0x2642}, {0x3000, 0x3029}, {0x3041, 0x309E},
        {0x30A1, 0x30FE}, {0x3105, 0x3129}, {0x3220, 0x32A3}, {0x338E, 0x33D5}, {0x4E00, 0x9FA5},
        {0xE72D, 0xE864}, {0xF92C, 0xFA29}, {0xFE30, 0xFE4F}, {0xFE50, 0xFE6B}, {0xFF01, 0xFFE5}};
    total = noEntry = 0;
    unsigned bestFit = 0;
    for (int i = 0; i < 30; ++i) {
        const _VCMMapSection& s = CVCMMap::m_pSectionWC2MB[i];
        EXPECT_EQ(ranges[i][0], s.wFirstCode) << "section " << i;
        EXPECT_EQ(ranges[i][1] - ranges[i][0] + 1, s.wCodeCount) << "section " << i;
        for (unsigned k = 0; k < s.wCodeCount; ++k) {
            ++total;
            const unsigned short e = s.pEntries[k];
            if (e == 0xFFFF) {
                ++noEntry;
            } else if (DecodeCode((e & 0xFF) << 8 | e >> 8) != s.wFirstCode + k) {
                ++bestFit;
            }
        }
    }
    EXPECT_EQ(23253u, total);
    EXPECT_EQ(824u, noEntry);
    EXPECT_EQ(373u, bestFit);
}

TEST_F(CMMapTables, MultibyteSectionsFollowTheLeadBytes) {
    // Lead byte -> trail ranges of its sections.
    std::map<unsigned, std::vector<std::pair<unsigned, unsigned>>> byLead;
    for (int i = 0; i < 127; ++i) {
        const _VCMMapSection& s = CVCMMap::m_pSectionMB2WC[i];
        byLead[s.wFirstCode >> 8].push_back({s.wFirstCode & 0xFF, (s.wFirstCode & 0xFF) + s.wCodeCount - 1});
    }
    ASSERT_EQ(126u, byLead.size());
    for (auto& [lead, trails] : byLead) {
        std::vector<std::pair<unsigned, unsigned>> want;
        if (lead >= 0xA1 && lead <= 0xA6) {
            want = {{0xA1, 0xFE}};
        } else if (lead == 0xA7) {
            want = {{0x67, 0x70}, {0xA1, 0xFE}};
        } else if ((lead >= 0xAA && lead <= 0xAF) || lead >= 0xF8) {
            want = {{0x40, 0xA0}};
        } else {
            want = {{0x40, 0xFE}};
        }
        EXPECT_EQ(want, trails) << std::hex << "lead " << lead;
    }
}

TEST_F(CMMapTables, TellingEntries) {
    const struct {
        unsigned code, unit;
    } decode[] = {
        {0xA1A1, 0x3000}, {0xA1A4, 0x00B7}, {0xA1AA, 0x2014}, {0xA844, 0x2015}, {0xA3A4, 0xFFE5},
        {0xB0A1, 0x554A}, {0x8140, 0x4E02}, {0x817F, 0x003F}, {0xA767, 0xE72D}, {0xA770, 0xE736},
        {0xA2AB, 0xE766}, {0xA8A4, 0x00E0},
    };
    for (auto& row : decode) EXPECT_EQ(row.unit, DecodeCode(row.code)) << std::hex << row.code;

    const struct {
        unsigned unit;
        int code;
    } encode[] = {
        {0x554A, 0xB0A1}, {0x3000, 0xA1A1}, {0x00A2, 0xA1E9}, {0x00A5, 0xA3A4}, {0x00C0, 0xA8A4},
        {0x0112, 0xA8A5}, {0x322A, 0xD4C2}, {0x3280, 0xD2BB}, {0xE737, 0xA771}, {0xE765, 0xA7A0},
        {0x20AC, -1},     {0x003F, -1},     {0x00A6, -1},
    };
    for (auto& row : encode) EXPECT_EQ(row.code, EncodeUnit(row.unit)) << std::hex << row.unit;
    EXPECT_NE(-1, EncodeUnit(0x2218));
    EXPECT_NE(-1, EncodeUnit(0x223C));

    // The 47 private-use characters after U+E736 go to A7 71..A7 A0 with the
    // trail 0x7F skipped; none of those codes decodes back.
    int code = 0xA771;
    for (unsigned u = 0xE737; u <= 0xE765; ++u, ++code) {
        if ((code & 0xFF) == 0x7F) ++code;
        EXPECT_EQ(code, EncodeUnit(u)) << std::hex << u;
        EXPECT_EQ(-1, CVCMMap::FindSectionIndex(static_cast<unsigned short>(code), EV_MB2WC));
    }

    // The 255 codes GBK leaves undefined get U+E766..U+E864 in code order.
    std::vector<unsigned> privateCodes;
    for (unsigned c = 0x8100; c <= 0xFEFF; ++c) {
        const unsigned short u = DecodeCode(c);
        if (u >= 0xE766 && u <= 0xE864) {
            EXPECT_EQ(0xE766u + privateCodes.size(), u) << std::hex << c;
            privateCodes.push_back(c);
        }
    }
    ASSERT_EQ(255u, privateCodes.size());
    for (unsigned c : privateCodes) {
        const unsigned row = c >> 8;
        EXPECT_TRUE(row == 0xA2 || (row >= 0xA4 && row <= 0xA9) || row == 0xD7 || row == 0xFE) << std::hex << c;
    }
}

TEST_F(CMMapTables, EveryCodeRoundTrips) {
    // All double-byte codes of the table in one text, and every unit that
    // has a code of its own.
    std::string gbk;
    std::vector<unsigned short> units;
    for (int i = 0; i < 127; ++i) {
        const _VCMMapSection& s = CVCMMap::m_pSectionMB2WC[i];
        for (unsigned k = 0; k < s.wCodeCount; ++k) {
            const unsigned code = s.wFirstCode + k;
            if ((code & 0xFF) == 0x7F) continue;  // decodes to '?', which stays ASCII
            gbk += static_cast<char>(code >> 8);
            gbk += static_cast<char>(code & 0xFF);
            units.push_back(s.pEntries[k]);
        }
    }
    ASSERT_EQ(22175u - 119u, units.size());
    EXPECT_EQ(units, cmmaptest::ToUtf16(0, gbk));
    EXPECT_EQ(gbk, cmmaptest::FromUtf16(0, units));
    // UTF-8 carries every one of those units through unchanged.
    EXPECT_EQ(units, cmmaptest::ToUtf16(65001, cmmaptest::FromUtf16(65001, units)));
}

// The characters a single byte stands for come back as that byte, and no
// unit is written as a single byte that reads back as another character.
TEST_F(CMMapTables, EverySingleByteRoundTrips) {
    for (unsigned b = 1; b < 0x100; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::vector<unsigned short> unit = cmmaptest::ToUtf16(0, byte);
        if (unit.size() != 1) continue;  // a lead byte alone, or 0xFF
        EXPECT_EQ(byte, cmmaptest::FromUtf16(0, unit)) << std::hex << b;
    }
    for (unsigned u = 0x80; u < 0x10000; ++u) {
        const std::vector<unsigned short> unit = {static_cast<unsigned short>(u)};
        const std::string gbk = cmmaptest::FromUtf16(0, unit);
        if (gbk.size() != 1) continue;
        EXPECT_EQ(unit, cmmaptest::ToUtf16(0, gbk)) << std::hex << u;
    }
}

TEST_F(CMMapTables, FindSectionIndexEdges) {
    const int lastWM = 29, lastMM = 126;
    const struct {
        unsigned code;
        EVConversionType type;
        int index;
    } rows[] = {
        {0x00A2, EV_WC2MB, 0},      {0x00FC, EV_WC2MB, 0},      {0x00FD, EV_WC2MB, -1},
        {0x00A1, EV_WC2MB, -1},     {0xFFE5, EV_WC2MB, lastWM}, {0xFFE6, EV_WC2MB, -1},
        {0xFF01, EV_WC2MB, lastWM}, {0x4E00, EV_WC2MB, 24},     {0x9FA6, EV_WC2MB, -1},
        {0x2312, EV_WC2MB, 12},     {0x2313, EV_WC2MB, -1},     {0x20AC, EV_WC2MB, -1},
        {0x8140, EV_MB2WC, 0},      {0x813F, EV_MB2WC, -1},     {0xFEA0, EV_MB2WC, lastMM},
        {0xFEA1, EV_MB2WC, -1},     {0xA766, EV_MB2WC, -1},     {0xA767, EV_MB2WC, 38},
        {0xA770, EV_MB2WC, 38},     {0xA771, EV_MB2WC, -1},     {0xA7A1, EV_MB2WC, 39},
        {0xAAA1, EV_MB2WC, -1},     {0xB0A1, EV_MB2WC, 48},     {0x0041, EV_MB2WC, -1},
        {0xB0A1, static_cast<EVConversionType>(0), -1},        {0x4E00, static_cast<EVConversionType>(3), -1},
    };
    for (auto& r : rows) {
        EXPECT_EQ(r.index, CVCMMap::FindSectionIndex(static_cast<unsigned short>(r.code), r.type))
            << std::hex << r.code << " type " << r.type;
    }
}

TEST_F(CMMapTables, UnloadedTablesFindNothingAndConvertOnlyAscii) {
    CVCMMap::GlobalUnInit();
    EXPECT_EQ(nullptr, CVCMMap::m_pSectionMB2WC);
    EXPECT_EQ(nullptr, CVCMMap::m_pSectionWC2MB);
    EXPECT_EQ(0, CVCMMap::m_HeaderMB2WC.wSectionCount);
    EXPECT_EQ(0, CVCMMap::m_HeaderWC2MB.wSectionCount);
    EXPECT_EQ(-1, CVCMMap::FindSectionIndex(0xB0A1, EV_MB2WC));
    EXPECT_EQ(-1, CVCMMap::FindSectionIndex(0x554A, EV_WC2MB));

    const std::vector<unsigned short> ascii = {'a', 0x20AC, 'b'};
    EXPECT_EQ(ascii, cmmaptest::ToUtf16(0, "a\x80\xB0\xA1" "b"));
    EXPECT_EQ("ab", cmmaptest::FromUtf16(0, {'a', 0x554A, 'b'}));
    EXPECT_EQ("a\x80" "b", cmmaptest::FromUtf16(0, ascii));
    // UTF-8 never needs the tables.
    EXPECT_EQ(std::vector<unsigned short>{0x554A}, cmmaptest::ToUtf16(65001, "\xE5\x95\x8A"));
    CVCMMap::GlobalUnInit();  // twice is harmless

    ASSERT_EQ(1, CVCMMap::GlobalInit());
    EXPECT_EQ(std::vector<unsigned short>{0x554A}, cmmaptest::ToUtf16(0, "\xB0\xA1"));
}

TEST_F(CMMapTables, InitializeMapDataOwnImages) {
    EXPECT_EQ(0, CVCMMap::InitializeMapData(nullptr, EV_MB2WC));
    std::vector<char> image = Image({{0x8140, 2}, {0x8200, 0}, {0x8240, 1}}, {0x4E00, 0xFFFF, 0x4E01});
    // A type that selects nothing loads nothing, yet succeeds.
    EXPECT_EQ(1, CVCMMap::InitializeMapData(image.data(), static_cast<EVConversionType>(3)));
    EXPECT_EQ(127, CVCMMap::m_HeaderMB2WC.wSectionCount);

    // Replaces the loaded table; the section without codes has no entries
    // and takes none from the entry area.
    ASSERT_EQ(1, CVCMMap::InitializeMapData(image.data(), EV_MB2WC));
    ASSERT_EQ(3, CVCMMap::m_HeaderMB2WC.wSectionCount);
    EXPECT_EQ(nullptr, CVCMMap::m_pSectionMB2WC[1].pEntries);
    EXPECT_EQ(0x4E01, CVCMMap::m_pSectionMB2WC[2].pEntries[0]);
    EXPECT_EQ(-1, CVCMMap::FindSectionIndex(0x8200, EV_MB2WC));
    // The converters follow the loaded table, and an entry 0xFFFF produces nothing.
    const std::vector<unsigned short> want = {0x4E00, 'x', 0x4E01};
    EXPECT_EQ(want, cmmaptest::ToUtf16(0, "\x81\x40\x81\x41x\x82\x40\xB0\xA1"));

    // A table of one section: every code in it is found, no other.
    std::vector<char> one = Image({{0x0100, 4}}, {0x4141, 0x00A0, 0xFFFF, 0x4242});
    ASSERT_EQ(1, CVCMMap::InitializeMapData(one.data(), EV_WC2MB));
    EXPECT_EQ(0, CVCMMap::FindSectionIndex(0x0100, EV_WC2MB));
    EXPECT_EQ(0, CVCMMap::FindSectionIndex(0x0103, EV_WC2MB));
    EXPECT_EQ(-1, CVCMMap::FindSectionIndex(0x0104, EV_WC2MB));
    EXPECT_EQ(-1, CVCMMap::FindSectionIndex(0x00FF, EV_WC2MB));
    // A single byte that would lead a code (0x00A0) and 0xFFFF produce nothing.
    EXPECT_EQ("AABB", cmmaptest::FromUtf16(0, {0x0100, 0x0101, 0x0102, 0x0103, 0x554A}));

    // An image without sections loads as an empty table.
    std::vector<char> empty = Image({}, {});
    ASSERT_EQ(1, CVCMMap::InitializeMapData(empty.data(), EV_WC2MB));
    EXPECT_EQ(-1, CVCMMap::FindSectionIndex(0x0100, EV_WC2MB));
    EXPECT_EQ("a", cmmaptest::FromUtf16(0, {'a', 0x0100}));
}

TEST_F(CMMapTables, GlobalInitFailsCleanlyWhenMemoryRunsOut) {
    if (!vostest::AllocHookAvailable()) GTEST_SKIP() << "allocation hook not built in";
    vostest::AllocHookGuard guard;
    // Fail each of the first allocations in turn: loading gives 0 and leaves
    // both tables unloaded, or succeeds with working tables.
    for (unsigned long n = 1; n <= 140; n += 3) {
        vostest::FailAllocationAt(n);
        const int ok = CVCMMap::GlobalInit();
        vostest::FailAllocationAt(0);
        if (ok) {
            EXPECT_EQ(0x554A, DecodeCode(0xB0A1)) << n;
        } else {
            EXPECT_EQ(nullptr, CVCMMap::m_pSectionMB2WC) << n;
            EXPECT_EQ(nullptr, CVCMMap::m_pSectionWC2MB) << n;
            EXPECT_EQ(-1, CVCMMap::FindSectionIndex(0xB0A1, EV_MB2WC)) << n;
        }
    }
    // Allocations of a load: section array and 127 entry arrays, then the
    // lookup index; the same for the other table with 30 entry arrays and
    // then its index pages. Losing only an index still converts, through the
    // sections.
    for (unsigned long n : {129ul, 161ul, 165ul}) {
        vostest::FailAllocationAt(n);
        EXPECT_EQ(1, CVCMMap::GlobalInit()) << n;
        vostest::FailAllocationAt(0);
        EXPECT_EQ(std::vector<unsigned short>{0x554A}, cmmaptest::ToUtf16(0, "\xB0\xA1")) << n;
        EXPECT_EQ("\xB0\xA1\xA1\xE9", cmmaptest::FromUtf16(0, {0x554A, 0x00A2})) << n;
    }
    ASSERT_EQ(1, CVCMMap::GlobalInit());
}

#if defined(VOS_SOURCE_DIR) && defined(VOS_PYTHON3)
TEST(CMMapImages, CommittedImagesMatchTheGenerator) {
    vostest::TempDir dir;
    const std::string out = dir.File("VCMMapTables.cpp");
    const std::string cmd = std::string("\"") + VOS_PYTHON3 + "\" \"" VOS_SOURCE_DIR "/tools/gen_cmmap_tables.py\" \"" +
                            VOS_SOURCE_DIR "/tools/cp936-bestfit.txt\" \"" + out + "\"";
    ASSERT_EQ(0, system(cmd.c_str())) << cmd;
    const std::string fresh = ReadFile(out);
    ASSERT_FALSE(fresh.empty());
    EXPECT_TRUE(fresh == ReadFile(VOS_SOURCE_DIR "/vos/vbase/VCMMapTables.cpp"))
        << "vos/vbase/VCMMapTables.cpp is out of date: run python3 tools/gen_cmmap_tables.py";
}
#endif
