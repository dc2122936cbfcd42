// The block walks of 32-bit ARM with NEON, which VCMMapBlocks.cpp chooses when
// the kernel reports NEON. Only this file is built for NEON (-mfpu=neon):
// the rest of the library keeps the armeabi-v7a baseline, so nothing here may
// be reached without that check, and this file shares no inline function of
// external linkage with the others (a NEON copy could be linked in their
// place).
//
// Every step writes the destination as whole vectors, but only what it takes
// changes: the lanes past it are put back as they were read (a blend with a
// mask of the lanes taken) or written again by the same step, so the
// destination beyond the result is never disturbed. Anything unusual (a zero, a byte or unit the step does not know,
// a character without a code) goes one character at a time, exactly as the
// portable walk takes it.
#if defined(__arm__) && defined(__ARM_NEON)

#include <arm_neon.h>
#include <stddef.h>
#include <stdint.h>

#include "vbase/VCMMapBlocks.h"
#include "vbase/VCMMapUtf8Seq.h"

VOS_NAMESPACE_BEGIN

namespace {

// The index's and the entries' mark for "produces nothing" (kVCMMapNoEntry),
// and the entries' mark of a single byte above ASCII (kVCMMapSingleMark).
const uint16_t kNoEntry = 0xFFFF;
const uint16_t kSingleMark = 0xFF00;

// Masks of the first count lanes of a vector.
inline uint16x8_t FirstLanes(unsigned int count) {
    const uint16x8_t lane = {0, 1, 2, 3, 4, 5, 6, 7};
    return vcltq_u16(lane, vdupq_n_u16(static_cast<uint16_t>(count)));
}
// The first count of a vector of bytes are set when it is loaded from
// kByteSlide + 32 - count (count <= 32): cheaper here than comparing.
struct CVByteSlide {
    uint8_t aBytes[64];
    constexpr CVByteSlide() : aBytes() {
        for (int i = 0; i < 32; ++i) aBytes[i] = 0xFF;
    }
};
constexpr CVByteSlide s_byteSlide;
inline const uint8_t* FirstBytes(unsigned int count) { return s_byteSlide.aBytes + 32 - count; }

// Byte shuffles that pack one step's output, indexed by the 8-bit mask of
// its lanes that give more than one byte.
struct CVNeonPacks {
    // UTF-16 to GBK: the 16 bytes of eight entries (lead or single byte low)
    // to the entries' bytes in order, one or two each.
    uint8_t aGbk[256][16];
    uint8_t aGbkLength[256];
    // UTF-16 to UTF-8: eight lead bytes (0-7), middle bytes (8-15) and last
    // bytes (16-23) to one byte per ASCII unit and three per other unit.
    uint8_t aUtf8[256][24];
    uint8_t aUtf8Length[256];
    constexpr CVNeonPacks() : aGbk(), aGbkLength(), aUtf8(), aUtf8Length() {
        for (int m = 0; m < 256; ++m) {
            int g = 0;
            int u = 0;
            for (int j = 0; j < 8; ++j) {
                const bool wide = (m >> j & 1) != 0;
                aGbk[m][g++] = static_cast<uint8_t>(2 * j);
                if (wide) aGbk[m][g++] = static_cast<uint8_t>(2 * j + 1);
                aUtf8[m][u++] = static_cast<uint8_t>(j);
                if (wide) {
                    aUtf8[m][u++] = static_cast<uint8_t>(8 + j);
                    aUtf8[m][u++] = static_cast<uint8_t>(16 + j);
                }
            }
            aGbkLength[m] = static_cast<uint8_t>(g);
            aUtf8Length[m] = static_cast<uint8_t>(u);
            while (g < 16) aGbk[m][g++] = 0xFF;
            while (u < 24) aUtf8[m][u++] = 0xFF;
        }
    }
};
constexpr CVNeonPacks s_packs;

inline bool AnySet(uint8x16_t m) {
    uint32x2_t t = vreinterpret_u32_u8(vorr_u8(vget_low_u8(m), vget_high_u8(m)));
    t = vpmax_u32(t, t);
    return vget_lane_u32(t, 0) != 0;
}

inline bool AnySet16(uint16x8_t m) { return AnySet(vreinterpretq_u8_u16(m)); }

// Bit j set where byte j of m (each 0 or 0xFF) is set.
inline unsigned int Bits8(uint8x8_t m) {
    const uint8x8_t weights = {1, 2, 4, 8, 16, 32, 64, 128};
    uint8x8_t t = vand_u8(m, weights);
    t = vpadd_u8(t, t);
    t = vpadd_u8(t, t);
    t = vpadd_u8(t, t);
    return vget_lane_u8(t, 0);
}

// Bit j set where byte j of the 16 in m (each 0 or 0xFF) is set.
inline unsigned int Bits16(uint8x16_t m) {
    const uint8x16_t weights = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
    const uint8x16_t w = vandq_u8(m, weights);
    uint8x8_t t = vpadd_u8(vget_low_u8(w), vget_high_u8(w));
    t = vpadd_u8(t, t);
    t = vpadd_u8(t, t);
    return vget_lane_u16(vreinterpret_u16_u8(t), 0);
}

inline unsigned int Ctz(uint32_t x) { return static_cast<unsigned int>(__builtin_ctz(x)); }

inline size_t VMin(size_t a, size_t b) { return a < b ? a : b; }

// Where a walk stopped.
inline void Finish(size_t i, size_t out, size_t* pi, size_t* pout) {
    *pi = i;
    *pout = out;
}

// Bytes 0x01-0x7F: plain ASCII, which never needs a table.
inline uint8x16_t PlainBytes(uint8x16_t v) { return vcleq_u8(vsubq_u8(v, vdupq_n_u8(1)), vdupq_n_u8(0x7E)); }

// Widens the leading run of plain ASCII in whole blocks of 32 bytes (room
// for n units at d) and gives its length; the caller goes on from there.
size_t WidenAscii(const unsigned char* s, size_t n, unsigned short* d) {
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const uint8x16_t a = vld1q_u8(s + i);
        const uint8x16_t b = vld1q_u8(s + i + 16);
        // As signed bytes, plain ASCII is above 0 and everything else not.
        int8x8_t low = vmin_s8(vreinterpret_s8_u8(vget_low_u8(a)), vreinterpret_s8_u8(vget_high_u8(a)));
        low = vmin_s8(low, vmin_s8(vreinterpret_s8_u8(vget_low_u8(b)), vreinterpret_s8_u8(vget_high_u8(b))));
        low = vpmin_s8(low, low);
        low = vpmin_s8(low, low);
        low = vpmin_s8(low, low);
        if (vget_lane_s8(low, 0) <= 0) break;
        vst1q_u16(d + i, vmovl_u8(vget_low_u8(a)));
        vst1q_u16(d + i + 8, vmovl_u8(vget_high_u8(a)));
        vst1q_u16(d + i + 16, vmovl_u8(vget_low_u8(b)));
        vst1q_u16(d + i + 24, vmovl_u8(vget_high_u8(b)));
    }
    return i;
}

// Narrows the leading run of units 0x01-0x7F in whole blocks of 32 units
// (room for n bytes at d) and gives its length.
size_t NarrowAscii(const unsigned short* s, size_t n, unsigned char* d) {
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        // Saturated to a byte, a unit above 0x7F stays above it.
        const uint8x16_t a = vcombine_u8(vqmovn_u16(vld1q_u16(s + i)), vqmovn_u16(vld1q_u16(s + i + 8)));
        const uint8x16_t b = vcombine_u8(vqmovn_u16(vld1q_u16(s + i + 16)), vqmovn_u16(vld1q_u16(s + i + 24)));
        int8x8_t low = vmin_s8(vreinterpret_s8_u8(vget_low_u8(a)), vreinterpret_s8_u8(vget_high_u8(a)));
        low = vmin_s8(low, vmin_s8(vreinterpret_s8_u8(vget_low_u8(b)), vreinterpret_s8_u8(vget_high_u8(b))));
        low = vpmin_s8(low, low);
        low = vpmin_s8(low, low);
        low = vpmin_s8(low, low);
        if (vget_lane_s8(low, 0) <= 0) break;
        vst1q_u8(d + i, a);
        vst1q_u8(d + i + 16, b);
    }
    return i;
}

// ---- GBK to UTF-16 ------------------------------------------------------

// A step takes eight two-byte characters, or else the two-byte characters at
// the front of a 16-byte window (up to seven) and the ASCII run after them. It
// reads up to 24 bytes and writes 16 lanes.
const size_t kGbkAhead = 24;
const size_t kGbkRoom = 16;

// Looks up the codes of the eight byte pairs of v at once. base is the
// address of the unit of code 0x8000 in every lane. Doubled and cut to 16
// bits, a code is its offset from base (a code below 0x8000 that of code |
// 0x8000); an offset past that of 0xFEFF (a lead byte 0x7F or 0xFF) is cut to
// it, so that any 16 bytes give addresses inside the index (0x8000-0x80FF are
// the entries of the single bytes just ahead of it) and the codes of lead
// bytes 0x81-0xFE their own units. The addresses go to the core registers two
// at a time (the compiler would go through memory) and each unit is loaded
// straight into its lane.
inline uint16x8_t LookUpCodes(uint8x16_t v, uint32x4_t base) {
    const uint16x8_t offsets =
        vminq_u16(vshlq_n_u16(vreinterpretq_u16_u8(vrev16q_u8(v)), 1), vdupq_n_u16(2 * (0xFEFF - 0x8000)));
    const uint32x4_t low = vaddw_u16(base, vget_low_u16(offsets));
    const uint32x4_t high = vaddw_u16(base, vget_high_u16(offsets));
    uint32_t a[8];
    __asm__("vmov %0, %1, %e2" : "=r"(a[0]), "=r"(a[1]) : "w"(low));
    __asm__("vmov %0, %1, %f2" : "=r"(a[2]), "=r"(a[3]) : "w"(low));
    __asm__("vmov %0, %1, %e2" : "=r"(a[4]), "=r"(a[5]) : "w"(high));
    __asm__("vmov %0, %1, %f2" : "=r"(a[6]), "=r"(a[7]) : "w"(high));
    uint16x8_t u = offsets;  // every lane is replaced
    u = vld1q_lane_u16(reinterpret_cast<const uint16_t*>(a[0]), u, 0);
    u = vld1q_lane_u16(reinterpret_cast<const uint16_t*>(a[1]), u, 1);
    u = vld1q_lane_u16(reinterpret_cast<const uint16_t*>(a[2]), u, 2);
    u = vld1q_lane_u16(reinterpret_cast<const uint16_t*>(a[3]), u, 3);
    u = vld1q_lane_u16(reinterpret_cast<const uint16_t*>(a[4]), u, 4);
    u = vld1q_lane_u16(reinterpret_cast<const uint16_t*>(a[5]), u, 5);
    u = vld1q_lane_u16(reinterpret_cast<const uint16_t*>(a[6]), u, 6);
    u = vld1q_lane_u16(reinterpret_cast<const uint16_t*>(a[7]), u, 7);
    return u;
}

// Bits 31-16 from the 16 bytes of a, bits 15-0 from those of b (each 0 or
// 0xFF), set where the byte is not, the first byte highest: a count of
// leading zeros is a run from the front.
inline uint32_t ClearBitsFromTop(uint8x16_t a, uint8x16_t b) {
    const uint8x16_t weights = {128, 64, 32, 16, 8, 4, 2, 1, 128, 64, 32, 16, 8, 4, 2, 1};
    const uint8x16_t wa = vbicq_u8(weights, a);
    const uint8x16_t wb = vbicq_u8(weights, b);
    uint8x8_t t = vpadd_u8(vpadd_u8(vget_high_u8(wb), vget_low_u8(wb)), vpadd_u8(vget_high_u8(wa), vget_low_u8(wa)));
    t = vpadd_u8(t, t);
    // Bytes: b 8-15, b 0-7, a 8-15, a 0-7.
    return vget_lane_u32(vreinterpret_u32_u8(t), 0);
}

inline unsigned int Clz(uint32_t x) { return static_cast<unsigned int>(__builtin_clz(x)); }

// Whether any lane of m is not 0.
inline bool AnyNonZero16(uint16x8_t m) {
    uint32_t a;
    uint32_t b;
    __asm__("vmov %0, %1, %P2" : "=r"(a), "=r"(b) : "w"(vqmovn_u16(m)));
    return (a | b) != 0;
}

void GbkToUtf16(const unsigned char* s, size_t n, unsigned short* d, size_t cap, const unsigned short* index,
                size_t* pi, size_t* pout) {
    // codes[lead << 8 | trail] for every lead byte 0x81-0xFE.
    const unsigned short* const codes = index - 0x8100;
    const uint32x4_t base = vdupq_n_u32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(codes + 0x8000)));
    const uint16x8_t noEntry = vdupq_n_u16(kNoEntry);
    const unsigned char* p = s + *pi;
    unsigned short* q = d + *pout;
    const unsigned char* const end = s + n;
    unsigned short* const dend = d + cap;
    while (static_cast<size_t>(end - p) >= kGbkAhead && static_cast<size_t>(dend - q) >= kGbkRoom) {
        // Steps that cannot run out of source or room: each takes at most 16
        // bytes and writes at most 16 units.
        for (size_t k = 1 + VMin((static_cast<size_t>(end - p) - kGbkAhead) / 16,
                                 (static_cast<size_t>(dend - q) - kGbkRoom) / 16);
             k != 0; --k) {
            const uint8x16_t v = vld1q_u8(p);
            const uint16x8_t units = LookUpCodes(v, base);
            // Lead-class bytes 0x81-0xFE (a lead byte or a trail byte).
            const uint8x16_t high = vcleq_u8(vaddq_u8(v, vdupq_n_u8(0x7F)), vdupq_n_u8(0x7D));
            const uint16x8_t missing = vceqq_u16(units, noEntry);
            if (!AnyNonZero16(vornq_u16(missing, vreinterpretq_u16_u8(high)))) {
                // Eight two-byte characters, the common case of Chinese text.
                vst1q_u16(q, units);
                p += 16;
                q += 8;
                continue;
            }
            // From a character's start, 2j lead-class bytes are j characters (a
            // character without a unit counts as of another class: it goes
            // alone); an odd one out is a lead byte whose trail is of another
            // class. Then the run of ASCII.
            const uint8x16_t plain = vcgtq_s8(vreinterpretq_s8_u8(v), vdupq_n_s8(0));
            const uint32_t others = ClearBitsFromTop(vbicq_u8(high, vreinterpretq_u8_u16(missing)), plain);
            // Some byte is of another class here: chars < 8. The run stops
            // at the end of the window at the latest (bit 15 of others << 16).
            const unsigned int chars = Clz(others) / 2;
            const unsigned int run = Clz((others << 16 | 0x8000) << (2 * chars));
            const unsigned int taken = chars + run;
            if (taken == 0) {
                // One character as the portable walk takes it.
                const unsigned int c = p[0];
                if (c < 0x80) {
                    if (c == 0) return Finish(static_cast<size_t>(p - s), static_cast<size_t>(q - d), pi, pout);
                    *q++ = static_cast<unsigned short>(c);
                    ++p;
                } else if (c == 0x80) {
                    *q++ = 0x20AC;
                    ++p;
                } else if (c == 0xFF) {
                    ++p;
                } else {
                    const unsigned int trail = p[1];
                    if (trail == 0) return Finish(static_cast<size_t>(p - s), static_cast<size_t>(q - d), pi, pout);
                    const unsigned short unit = codes[c << 8 | trail];
                    if (unit != kNoEntry) *q++ = unit;
                    p += 2;
                }
                continue;
            }
            // Lane j >= chars holds byte chars + j: the run after the characters.
            const uint8x16_t a = vld1q_u8(p + chars);
            const uint16x8_t low = vbslq_u16(FirstLanes(taken), vmovl_u8(vget_low_u8(a)), vld1q_u16(q));
            vst1q_u16(q, vbslq_u16(FirstLanes(chars), units, low));
            if (taken > 8) {
                vst1q_u16(q + 8, vbslq_u16(FirstLanes(taken - 8), vmovl_u8(vget_high_u8(a)), vld1q_u16(q + 8)));
            }
            p += chars + taken;
            q += taken;
            if (run == 16) {
                // ASCII text: on with the run as far as it goes.
                const size_t left = static_cast<size_t>(end - p);
                const size_t room = static_cast<size_t>(dend - q);
                const size_t more = WidenAscii(p, left < room ? left : room, q);
                p += more;
                q += more;
                break;
            }
        }
    }

    Finish(static_cast<size_t>(p - s), static_cast<size_t>(q - d), pi, pout);
}

// ---- UTF-16 to GBK ------------------------------------------------------

// A step takes 16 units and writes 32 bytes.
const size_t kGbkUnits = 16;
const size_t kGbkBytes = 32;

inline uint16x8_t LookUpEntries(uint16x8_t u, const unsigned short* entries) {
    uint16x8_t e = u;  // every lane is replaced
    e = vsetq_lane_u16(entries[vgetq_lane_u16(u, 0)], e, 0);
    e = vsetq_lane_u16(entries[vgetq_lane_u16(u, 1)], e, 1);
    e = vsetq_lane_u16(entries[vgetq_lane_u16(u, 2)], e, 2);
    e = vsetq_lane_u16(entries[vgetq_lane_u16(u, 3)], e, 3);
    e = vsetq_lane_u16(entries[vgetq_lane_u16(u, 4)], e, 4);
    e = vsetq_lane_u16(entries[vgetq_lane_u16(u, 5)], e, 5);
    e = vsetq_lane_u16(entries[vgetq_lane_u16(u, 6)], e, 6);
    e = vsetq_lane_u16(entries[vgetq_lane_u16(u, 7)], e, 7);
    return e;
}

// The bytes of eight entries, one or two each (bit j of wide: entry j has
// two), packed in order.
inline uint8x16_t PackEntries(uint16x8_t e, unsigned int wide) {
    const uint8x16_t bytes = vreinterpretq_u8_u16(e);
    const uint8x8x2_t table = {{vget_low_u8(bytes), vget_high_u8(bytes)}};
    const uint8x16_t pack = vld1q_u8(s_packs.aGbk[wide]);
    return vcombine_u8(vtbl2_u8(table, vget_low_u8(pack)), vtbl2_u8(table, vget_high_u8(pack)));
}

void Utf16ToGbk(const unsigned short* s, size_t n, unsigned char* d, size_t cap, const unsigned short* entries,
                size_t* pi, size_t* pout) {
    size_t i = *pi;
    size_t out = *pout;
    while (n - i >= kGbkUnits && cap - out >= kGbkBytes) {
        // Steps that cannot run out of source or room.
        for (size_t k = 1 + VMin((n - i - kGbkUnits) / kGbkUnits, (cap - out - kGbkBytes) / kGbkBytes); k != 0; --k) {
            const uint16x8_t e0 = LookUpEntries(vld1q_u16(s + i), entries);
            const uint16x8_t e1 = LookUpEntries(vld1q_u16(s + i + 8), entries);
            const uint16x8_t mark = vdupq_n_u16(kSingleMark);
            if (AnySet16(vorrq_u16(vcgeq_u16(e0, mark), vcgeq_u16(e1, mark)))) {
                // A unit without a code (the terminator among them) or with a
                // marked single byte: one unit as the portable walk takes it.
                const unsigned int unit = s[i];
                if (unit == 0) return Finish(i, out, pi, pout);
                const unsigned int entry = entries[unit];
                if (entry != kNoEntry) {
                    const size_t two = entry > 0xFF && entry < kSingleMark ? 1 : 0;
                    d[out + two] = static_cast<unsigned char>(entry >> 8);
                    d[out] = static_cast<unsigned char>(entry & 0xFF);
                    out += 1 + two;
                }
                ++i;
                continue;
            }
            // Entries above 0xFF are two bytes, lead byte low; the rest one byte.
            const uint16x8_t single = vdupq_n_u16(0xFF);
            const uint8x16_t wideLanes = vcombine_u8(vmovn_u16(vcgtq_u16(e0, single)), vmovn_u16(vcgtq_u16(e1, single)));
            const unsigned int wide = Bits16(wideLanes);
            if (wide == 0) {
                // ASCII: on with the run as far as it goes.
                const size_t more = NarrowAscii(s + i, (n - i < cap - out ? n - i : cap - out), d + out);
                if (more != 0) {
                    i += more;
                    out += more;
                    break;
                }
            }
            // The second store writes over what the first one wrote past its
            // bytes (at least 8); only the second is cut to its length.
            const unsigned int first = s_packs.aGbkLength[wide & 0xFF];
            const unsigned int second = s_packs.aGbkLength[wide >> 8];
            vst1q_u8(d + out, PackEntries(e0, wide & 0xFF));
            unsigned char* const tail = d + out + first;
            vst1q_u8(tail, vbslq_u8(vld1q_u8(FirstBytes(second)), PackEntries(e1, wide >> 8), vld1q_u8(tail)));
            i += kGbkUnits;
            out += first + second;
        }
    }

    *pi = i;
    *pout = out;
}

// ---- UTF-8 to UTF-16 ----------------------------------------------------

// A step takes eight three-byte sequences, or else the whole ones at the
// front of a 16-byte window (up to five) and the ASCII run after them; it
// reads up to 26 bytes and writes 16 lanes.
const size_t kDecodeAhead = 32;
const size_t kDecodeRoom = 16;

// The units of three-byte sequences (lead bytes, middle and last bytes in
// lanes), U+FFFD for an overlong form or a surrogate half (as ThreeByteUnit
// has it).
inline uint16x8_t ThreeByteUnits(uint8x8_t lead, uint8x8_t middle, uint8x8_t last) {
    uint16x8_t u = vshlq_n_u16(vshll_n_u8(lead, 8), 4);
    u = vorrq_u16(u, vshll_n_u8(vand_u8(middle, vdup_n_u8(0x3F)), 6));
    u = vaddw_u8(u, vand_u8(last, vdup_n_u8(0x3F)));
    const uint16x8_t head = vandq_u16(u, vdupq_n_u16(0xF800));
    const uint16x8_t bad = vorrq_u16(vceqq_u16(head, vdupq_n_u16(0)), vceqq_u16(head, vdupq_n_u16(0xD800)));
    return vbslq_u16(bad, vdupq_n_u16(0xFFFD), u);
}

void Utf8ToUtf16(const unsigned char* s, size_t n, unsigned short* d, size_t cap, size_t* pi, size_t* pout) {
    size_t i = *pi;
    size_t out = *pout;
    const uint8x8_t leadAt = {0, 3, 6, 9, 12, 0xFF, 0xFF, 0xFF};
    const uint8x8_t middleAt = {1, 4, 7, 10, 13, 0xFF, 0xFF, 0xFF};
    const uint8x8_t lastAt = {2, 5, 8, 11, 14, 0xFF, 0xFF, 0xFF};
    while (n - i >= kDecodeAhead && cap - out >= kDecodeRoom) {
        // Steps that cannot run out of source or room: each takes at most 24
        // bytes and writes at most 16 units.
        for (size_t k = 1 + VMin((n - i - kDecodeAhead) / 24, (cap - out - kDecodeRoom) / 16); k != 0; --k) {
            // Eight ideographs, the common case of Chinese text: lead, middle and
            // last bytes come apart in one load.
            const uint8x8x3_t eight = vld3_u8(s + i);
            const uint8x8_t cont = vdup_n_u8(0x80);
            const uint8x8_t top2 = vdup_n_u8(0xC0);
            uint8x8_t all = vand_u8(vceq_u8(vand_u8(eight.val[0], vdup_n_u8(0xF0)), vdup_n_u8(0xE0)),
                                    vand_u8(vceq_u8(vand_u8(eight.val[1], top2), cont),
                                            vceq_u8(vand_u8(eight.val[2], top2), cont)));
            all = vpmin_u8(all, all);
            all = vpmin_u8(all, all);
            all = vpmin_u8(all, all);
            if (vget_lane_u8(all, 0) != 0) {
                vst1q_u16(d + out, ThreeByteUnits(eight.val[0], eight.val[1], eight.val[2]));
                i += 24;
                out += 8;
                continue;
            }
            const uint8x16_t v = vld1q_u8(s + i);
            const uint8x8x2_t window = {{vget_low_u8(v), vget_high_u8(v)}};
            const uint8x8_t lead = vtbl2_u8(window, leadAt);
            const uint8x8_t middle = vtbl2_u8(window, middleAt);
            const uint8x8_t last = vtbl2_u8(window, lastAt);
            // A lead byte 0xE0-0xEF and two continuation bytes (lanes 5-7 hold
            // zeros: never a sequence).
            const uint8x8_t whole3 =
                vand_u8(vceq_u8(vand_u8(lead, vdup_n_u8(0xF0)), vdup_n_u8(0xE0)),
                        vand_u8(vceq_u8(vand_u8(middle, top2), cont), vceq_u8(vand_u8(last, top2), cont)));
            const unsigned int whole = Ctz(~Bits8(whole3));
            if (whole == 5) {
                // Five ideographs, the common case of Chinese text.
                const uint16x8_t u = ThreeByteUnits(lead, middle, last);
                vst1_u16(d + out, vget_low_u16(u));
                vst1q_lane_u16(d + out + 4, u, 4);
                i += 15;
                out += 5;
                continue;
            }
            const unsigned int skip = 3 * whole;
            const unsigned int plainBits = Bits16(PlainBytes(v));
            const unsigned int run = Ctz(~(plainBits >> skip));
            if (whole + run == 0) {
                // One sequence as the portable walk takes it.
                const unsigned int c = s[i];
                if (c == 0) return Finish(i, out, pi, pout);
                const size_t len = SequenceLength(c);
                if (len == 1) {
                    d[out++] = static_cast<unsigned short>(c);
                    ++i;
                } else {
                    size_t units = 0;  // DecodeAt sets it unless the source ends, which it cannot here
                    i += DecodeAt(s + i, len, n - i, d + out, &units);
                    out += units;
                }
                continue;
            }
            const uint16x8_t u = ThreeByteUnits(lead, middle, last);
            // Lane j >= whole holds byte i + 2 * whole + j: the run after them.
            const uint8x16_t a = vld1q_u8(s + i + 2 * whole);
            uint16x8_t low = vbslq_u16(FirstLanes(whole + run), vmovl_u8(vget_low_u8(a)), vld1q_u16(d + out));
            low = vbslq_u16(FirstLanes(whole), u, low);
            vst1q_u16(d + out, low);
            if (whole + run > 8) {
                vst1q_u16(d + out + 8,
                          vbslq_u16(FirstLanes(whole + run - 8), vmovl_u8(vget_high_u8(a)), vld1q_u16(d + out + 8)));
            }
            i += skip + run;
            out += whole + run;
            if (run == 16) {
                const size_t more = WidenAscii(s + i, (n - i < cap - out ? n - i : cap - out), d + out);
                i += more;
                out += more;
                break;
            }
        }
    }

    *pi = i;
    *pout = out;
}

// ---- UTF-16 to UTF-8 ----------------------------------------------------

// A step takes eight units of ASCII and three-byte characters and writes 24
// bytes.
const size_t kEncodeUnits = 8;
const size_t kEncodeRoom = 24;

void Utf16ToUtf8(const unsigned short* s, size_t n, unsigned char* d, size_t cap, size_t* pi, size_t* pout) {
    size_t i = *pi;
    size_t out = *pout;
    // Room for a pair's four bytes besides: the portable walk checks nothing more.
    while (n - i > kEncodeUnits && cap - out >= kEncodeRoom) {
        // Steps that cannot run out of source or room.
        const size_t steps = VMin((n - i - kEncodeUnits - 1) / kEncodeUnits, (cap - out - kEncodeRoom) / kEncodeRoom);
        for (size_t k = 1 + steps; k != 0; --k) {
            const uint16x8_t u = vld1q_u16(s + i);
            const uint16x8_t ascii = vcltq_u16(vsubq_u16(u, vdupq_n_u16(1)), vdupq_n_u16(0x7F));
            const uint16x8_t surrogate = vceqq_u16(vandq_u16(u, vdupq_n_u16(0xF800)), vdupq_n_u16(0xD800));
            const uint16x8_t three = vandq_u16(vcgeq_u16(u, vdupq_n_u16(0x800)), vmvnq_u16(surrogate));
            if (AnySet16(vmvnq_u16(vorrq_u16(ascii, three)))) {
                // A two-byte unit, a surrogate or the terminator: one character
                // as the portable walk takes it.
                const unsigned int unit = s[i];
                if (unit == 0) return Finish(i, out, pi, pout);
                if (unit < 0x80) {
                    d[out++] = static_cast<unsigned char>(unit);
                    ++i;
                    continue;
                }
                size_t units;
                out += EncodeCodePoint(CodePointAt(s + i, n - i - 1, &units), d + out);
                i += units;
                continue;
            }
            const unsigned int wide = Bits8(vmovn_u16(three));
            if (wide == 0) {
                const size_t more = NarrowAscii(s + i, (n - i < cap - out ? n - i : cap - out), d + out);
                if (more != 0) {
                    i += more;
                    out += more;
                    break;
                }
            }
            const uint8x8_t lead = vmovn_u16(vbslq_u16(ascii, u, vorrq_u16(vshrq_n_u16(u, 12), vdupq_n_u16(0xE0))));
            const uint8x8_t middle = vorr_u8(vand_u8(vshrn_n_u16(u, 6), vdup_n_u8(0x3F)), vdup_n_u8(0x80));
            const uint8x8_t last = vorr_u8(vand_u8(vmovn_u16(u), vdup_n_u8(0x3F)), vdup_n_u8(0x80));
            const uint8x8x4_t table = {{lead, middle, last, vdup_n_u8(0)}};
            const uint8_t* const pack = s_packs.aUtf8[wide];
            const uint8x16_t packed = vcombine_u8(vtbl4_u8(table, vld1_u8(pack)), vtbl4_u8(table, vld1_u8(pack + 8)));
            const uint8x8_t packedTail = vtbl4_u8(table, vld1_u8(pack + 16));
            const unsigned int length = s_packs.aUtf8Length[wide];
            const uint8_t* const mask = FirstBytes(length);
            vst1q_u8(d + out, vbslq_u8(vld1q_u8(mask), packed, vld1q_u8(d + out)));
            vst1_u8(d + out + 16, vbsl_u8(vld1_u8(mask + 16), packedTail, vld1_u8(d + out + 16)));
            i += kEncodeUnits;
            out += length;
        }
    }

    *pi = i;
    *pout = out;
}

}  // namespace

const CVCMMapBlockWalks g_VCMMapNeonWalks = {GbkToUtf16, Utf16ToGbk, Utf8ToUtf16, Utf16ToUtf8};

VOS_NAMESPACE_END

#endif
