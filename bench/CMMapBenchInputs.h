// Inputs and the plain table loops shared by bench_cmmap (time on the host)
// and count_cmmap (instructions on 32-bit ARM under qemu), so that both
// measure the same text against the same peer.
#ifndef VOS_BENCH_CMMAPINPUTS_H
#define VOS_BENCH_CMMAPINPUTS_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "vos/vos.h"

namespace cmmapbench {

using _palex_zu::CVCMMap;

const size_t kInputBytes = 1 << 20;

struct Inputs {
    std::string gbk;
    std::vector<unsigned short> utf16;
    std::string utf8;
};

inline uint32_t Next(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// Chinese text: runs of common ideographs (GBK rows B0-D7, trail A1-FE)
// broken by short ASCII runs, punctuation, digits and spaces, so that about
// a tenth of the bytes are ASCII.
inline std::string ChineseGbk() {
    std::string s;
    uint32_t state = 12345;
    static const char kAscii[] = " ,.0123456789abcdefxyzABC";
    while (s.size() < kInputBytes) {
        const unsigned run = 4 + Next(state) % 12;
        for (unsigned i = 0; i < run; ++i) {
            const unsigned lead = 0xB0 + Next(state) % 40;
            unsigned trail = 0xA1 + Next(state) % 94;
            if (lead == 0xD7 && trail > 0xF9) trail = 0xF9;  // row D7 ends at F9
            s += static_cast<char>(lead);
            s += static_cast<char>(trail);
        }
        const unsigned ascii = 1 + Next(state) % 4;
        for (unsigned i = 0; i < ascii; ++i) s += kAscii[Next(state) % (sizeof(kAscii) - 1)];
    }
    s.resize(kInputBytes);
    // Never end on a lone lead byte.
    size_t i = 0;
    while (i < s.size()) i += static_cast<unsigned char>(s[i]) >= 0x81 ? 2 : 1;
    if (i > s.size()) s.back() = 'a';
    return s;
}

inline std::string AsciiText() {
    std::string s;
    uint32_t state = 777;
    while (s.size() < kInputBytes) {
        const unsigned word = 1 + Next(state) % 9;
        for (unsigned i = 0; i < word; ++i) s += static_cast<char>('a' + Next(state) % 26);
        s += (Next(state) % 10 == 0) ? ".\n" : " ";
    }
    s.resize(kInputBytes);
    return s;
}

inline Inputs Make(const std::string& gbk) {
    Inputs in;
    in.gbk = gbk;
    const int n = CVCMMap::MultiByteToWideChar(0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    in.utf16.resize(static_cast<size_t>(n));
    in.utf16.resize(static_cast<size_t>(
        CVCMMap::MultiByteToWideChar(0, gbk.data(), static_cast<int>(gbk.size()), in.utf16.data(), n)));
    const int m = CVCMMap::WideCharToMultiByte(65001, in.utf16.data(), static_cast<int>(in.utf16.size()), nullptr, 0,
                                               nullptr, nullptr);
    in.utf8.resize(static_cast<size_t>(m));
    const int w = CVCMMap::WideCharToMultiByte(65001, in.utf16.data(), static_cast<int>(in.utf16.size()), &in.utf8[0],
                                               m, nullptr, nullptr);
    in.utf8.resize(static_cast<size_t>(w - 1));
    return in;
}

// Flat tables for the plain loops: one entry per GBK code (lead byte high)
// and one per UTF-16 unit (the library's entry: lead byte low), 0xFFFF where
// the library has none. Built from the loaded sections, so both peers
// convert with the same data.
struct FlatTables {
    std::vector<unsigned short> mb2wc = std::vector<unsigned short>(0x10000, 0xFFFF);
    std::vector<unsigned short> wc2mb = std::vector<unsigned short>(0x10000, 0xFFFF);
};

// Built from the loaded tables.
inline FlatTables MakeFlatTables() {
    FlatTables t;
    for (int i = 0; i < CVCMMap::m_HeaderMB2WC.wSectionCount; ++i) {
        const _palex_zu::_VCMMapSection& sec = CVCMMap::m_pSectionMB2WC[i];
        for (unsigned k = 0; k < sec.wCodeCount; ++k) t.mb2wc[sec.wFirstCode + k] = sec.pEntries[k];
    }
    for (int i = 0; i < CVCMMap::m_HeaderWC2MB.wSectionCount; ++i) {
        const _palex_zu::_VCMMapSection& sec = CVCMMap::m_pSectionWC2MB[i];
        for (unsigned k = 0; k < sec.wCodeCount; ++k) t.wc2mb[sec.wFirstCode + k] = sec.pEntries[k];
    }
    return t;
}

// The plain loops know nothing of terminators, capacities, unmapped codes or
// the single-byte oddities 0x80 and 0xFF: the bench's text has none of them.
inline size_t LoopGbkToUtf16(const unsigned char* s, size_t n, unsigned short* d, const unsigned short* table) {
    const unsigned char* const end = s + n;
    unsigned short* const start = d;
    while (s < end) {
        const unsigned int c = *s;
        if (c < 0x80) {
            *d++ = static_cast<unsigned short>(c);
            ++s;
        } else {
            *d++ = table[c << 8 | s[1]];
            s += 2;
        }
    }
    return static_cast<size_t>(d - start);
}

inline size_t LoopUtf16ToGbk(const unsigned short* s, size_t n, unsigned char* d, const unsigned short* table) {
    const unsigned short* const end = s + n;
    unsigned char* const start = d;
    while (s < end) {
        const unsigned int u = *s++;
        if (u < 0x80) {
            *d++ = static_cast<unsigned char>(u);
        } else {
            const unsigned short e = table[u];
            d[0] = static_cast<unsigned char>(e);
            d[1] = static_cast<unsigned char>(e >> 8);
            d += 2;
        }
    }
    return static_cast<size_t>(d - start);
}

}  // namespace cmmapbench

#endif  // VOS_BENCH_CMMAPINPUTS_H
