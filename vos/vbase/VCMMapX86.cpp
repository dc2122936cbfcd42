// The block walks of x86-64: GBK windows with SSE2 (every x86-64 processor
// has it) and the UTF-8 walks with SSSE3's byte shuffles, which pack and
// unpack runs of three-byte sequences; VCMMapBlocks.cpp chooses them.
#if defined(__x86_64__) && defined(__GNUC__)

#include <stdint.h>
#include <string.h>
#include <tmmintrin.h>

#include "vbase/VCMMapAscii.h"
#include "vbase/VCMMapBlocks.h"
#include "vbase/VCMMapTables.h"
#include "vbase/VCMMapUtf8Seq.h"

VOS_NAMESPACE_BEGIN

namespace {

// GBK to UTF-16 32 characters at a time, with no branch that depends on the
// text: on mixed text the choice between one and two bytes per character
// would be mispredicted at every change. Each window is the next 64 bytes,
// which start at a character and hold at least 32 characters. For every
// byte position the window computes the index entry the byte would select
// as the first of a character (the single-byte entries for a byte that
// stands alone, the double-byte entry with the following byte for a lead
// byte) and the positions where characters start; the characters are then
// the first 32 such positions. A window with a zero byte is left to the
// exact walk, as is the end of the source or of the destination. Advances
// s and d past what it converted.
void GbkToUtf16Windows(const unsigned char*& s, const unsigned char* end, unsigned short*& d,
                       const unsigned short* dend, const unsigned short* index) {
    const int kBytes = 64;
    const int kChars = kBytes / 2;
    const unsigned short* const entries = index - 0x100;  // single bytes first, then code - 0x8000
    const __m128i zero = _mm_setzero_si128();
    const __m128i below81 = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i aboveFE = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i row80 = _mm_set1_epi16(0x80);
    alignas(16) unsigned short slot[kBytes];
    // A window reads one byte more than it holds: its last position's
    // following byte.
    while (end - s > kBytes && dend - d >= kBytes) {
        __m128i bytes[4];
        __m128i zeroBytes[4];
        __m128i special = zero;  // high bit set in the bytes that are not plain ASCII
        for (int k = 0; k < 4; ++k) {
            bytes[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * k));
            zeroBytes[k] = _mm_cmpeq_epi8(bytes[k], zero);
            special = _mm_or_si128(special, _mm_or_si128(bytes[k], zeroBytes[k]));
        }
        if (_mm_movemask_epi8(special) == 0) {
            // Plain ASCII: widened as it stands.
            for (int k = 0; k < 4; ++k) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16 * k), _mm_unpacklo_epi8(bytes[k], zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16 * k + 8), _mm_unpackhi_epi8(bytes[k], zero));
            }
            s += kBytes;
            d += kBytes;
            // ASCII text: on with the run as far as it goes.
            const size_t run = VCMMap_WidenAsciiRun(
                s, VCMMap_MinSize(static_cast<size_t>(end - s), static_cast<size_t>(dend - d)), d);
            s += run;
            d += run;
            continue;
        }
        const __m128i anyZero =
            _mm_or_si128(_mm_or_si128(zeroBytes[0], zeroBytes[1]), _mm_or_si128(zeroBytes[2], zeroBytes[3]));
        if (_mm_movemask_epi8(anyZero) != 0) return;
        uint64_t lead = 0;
        for (int k = 0; k < 4; ++k) {
            // Lead bytes 0x81-0xFE are, as signed bytes, above -128 and below -1.
            const __m128i isLead = _mm_and_si128(_mm_cmpgt_epi8(bytes[k], below81), _mm_cmpgt_epi8(aboveFE, bytes[k]));
            lead |= static_cast<uint64_t>(static_cast<unsigned int>(_mm_movemask_epi8(isLead))) << (16 * k);
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * k + 1));
            // slot = lead ? (byte - 0x80) << 8 | next byte : byte, eight at a time.
            const __m128i halves[2][3] = {
                {_mm_unpacklo_epi8(bytes[k], zero), _mm_unpacklo_epi8(next, zero), _mm_unpacklo_epi8(isLead, isLead)},
                {_mm_unpackhi_epi8(bytes[k], zero), _mm_unpackhi_epi8(next, zero), _mm_unpackhi_epi8(isLead, isLead)}};
            for (int h = 0; h < 2; ++h) {
                const __m128i dbl = _mm_or_si128(_mm_slli_epi16(_mm_sub_epi16(halves[h][0], row80), 8), halves[h][1]);
                _mm_store_si128(reinterpret_cast<__m128i*>(slot + 16 * k + 8 * h),
                                _mm_or_si128(_mm_and_si128(halves[h][2], dbl), _mm_andnot_si128(halves[h][2], halves[h][0])));
            }
        }
        // Characters start at position 0, after every byte that is not a
        // lead byte, and in a run of lead bytes at every second one: the
        // bytes between are trails. Adding each run's first bit to the runs
        // that start at an even position clears those runs (the carry
        // leaves them), which splits the runs by the parity of their start.
        const uint64_t even = 0x5555555555555555ull;
        const uint64_t runStarts = lead & ~(lead << 1);
        const uint64_t evenRuns = lead & ~(lead + (runStarts & even));
        const uint64_t leadStarts = (evenRuns & even) | ((lead ^ evenRuns) & ~even);
        uint64_t starts = ~(leadStarts << 1);
        for (int i = 0; i < kChars; ++i) {
            const unsigned int at = static_cast<unsigned int>(__builtin_ctzll(starts));
            starts &= starts - 1;
            const unsigned short unit = entries[slot[at]];
            if (unit != kVCMMapNoEntry) *d++ = unit;
        }
        // The next start, or the end of the window when the last character
        // took its last two bytes.
        s += starts != 0 ? __builtin_ctzll(starts) : kBytes;
    }
}

void GbkToUtf16Blocks(const unsigned char* s, size_t n, unsigned short* d, size_t cap, const unsigned short* index,
                      size_t* pi, size_t* pout) {
    const unsigned char* p = s + *pi;
    unsigned short* q = d + *pout;
    GbkToUtf16Windows(p, s + n, q, d + cap, index);
    *pi = static_cast<size_t>(p - s);
    *pout = static_cast<size_t>(q - d);
}

// Block steps store a whole vector, past the units they take, so they run only
// where the exact walk that follows is bound to write over those lanes again:
// with no zero byte or unit within reach of the step and with the capacity
// well ahead, the rest of the walk produces more than a vector's worth. A
// cut or short text thus leaves the destination beyond its result as it was.
// Zero is looked for a span at a time, so that the span stays in cache for
// the steps that follow.
const size_t kScanSpan = 1024;

// Bytes of source and units of room that a decoding step needs ahead: a step
// reads at most 46 bytes, takes at most 32 and stores up to 26 units; the
// 200 - 32 - 5 bytes after it hold at least 27 whole sequences (six bytes at
// most), one unit each; and a walk stopped by the capacity ends at most one
// unit (half a pair) short.
const size_t kDecodeAhead = 200;
const size_t kDecodeRoom = 27;

// Bit k set where byte k of the 32 in a, b has its top bit set.
__attribute__((target("ssse3"))) inline uint32_t ByteMask(__m128i a, __m128i b) {
    return static_cast<uint32_t>(_mm_movemask_epi8(a)) | static_cast<uint32_t>(_mm_movemask_epi8(b)) << 16;
}

// The units of the five three-byte sequences in bytes 0-14 of v, each lead
// byte followed by two continuation bytes, in lanes 0-4; an overlong form or
// a surrogate half gives U+FFFD, as ThreeByteUnit has it.
__attribute__((target("ssse3"))) inline __m128i DecodeFive(__m128i v) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low6 = _mm_set1_epi16(0x3F);
    const __m128i high5 = _mm_set1_epi16(static_cast<short>(0xF800));
    // Lead byte 3j and last byte 3j + 2 in one lane, the middle byte in the other.
    const __m128i leadLast =
        _mm_shuffle_epi8(v, _mm_setr_epi8(2, 0, 5, 3, 8, 6, 11, 9, 14, 12, -1, -1, -1, -1, -1, -1));
    const __m128i middle =
        _mm_shuffle_epi8(v, _mm_setr_epi8(1, -1, 4, -1, 7, -1, 10, -1, 13, -1, -1, -1, -1, -1, -1, -1));
    const __m128i u = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(leadLast, _mm_set1_epi16(0x0F00)), 4),
                                   _mm_or_si128(_mm_slli_epi16(_mm_and_si128(middle, low6), 6),
                                                _mm_and_si128(leadLast, low6)));
    const __m128i head = _mm_and_si128(u, high5);
    const __m128i bad = _mm_or_si128(_mm_cmpeq_epi16(head, zero),
                                     _mm_cmpeq_epi16(head, _mm_set1_epi16(static_cast<short>(0xD800))));
    return _mm_or_si128(_mm_andnot_si128(bad, u),
                        _mm_and_si128(bad, _mm_set1_epi16(static_cast<short>(kReplacement))));
}

// Decodes from *pi, *pout while such steps may run, and leaves the rest (and
// anything at a zero byte) to the exact walk.
__attribute__((target("ssse3"))) void Utf8Blocks(const unsigned char* s, size_t n, unsigned short* d, size_t cap,
                                                size_t* pi, size_t* pout) {
    size_t i = *pi;
    size_t out = *pout;
    const __m128i zero = _mm_setzero_si128();
    const __m128i leadBits = _mm_set1_epi8(static_cast<char>(0xF0));
    const __m128i leadThree = _mm_set1_epi8(static_cast<char>(0xE0));
    const __m128i contBits = _mm_set1_epi8(static_cast<char>(0xC0));
    const __m128i cont = _mm_set1_epi8(static_cast<char>(0x80));
    while (cap - out >= kDecodeRoom && n - i >= kDecodeAhead) {
        const size_t span = VCMMap_MinSize(n - i, kScanSpan);
        const void* z = memchr(s + i, 0, span);
        const size_t clear = z != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(z) - s) : i + span;
        if (clear - i < kDecodeAhead) break;
        const size_t stop = clear - kDecodeAhead;
        while (i <= stop && cap - out >= kDecodeRoom) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16));
            // No zero lies this near: a byte below 0x80 is an ASCII character.
            const uint32_t ascii = ~ByteMask(v, w);
            if (ascii == 0xFFFFFFFFu) {
                // Plain text: whole blocks in a loop of their own, which writes
                // only what it takes and stops at a zero byte by itself.
                const size_t plain = VCMMap_WidenAsciiRun(s + i, VCMMap_MinSize(n - i, cap - out), d + out);
                i += plain;
                out += plain;
                continue;
            }
            const uint32_t leads = ByteMask(_mm_cmpeq_epi8(_mm_and_si128(v, leadBits), leadThree),
                                            _mm_cmpeq_epi8(_mm_and_si128(w, leadBits), leadThree));
            const uint32_t conts =
                ByteMask(_mm_cmpeq_epi8(_mm_and_si128(v, contBits), cont), _mm_cmpeq_epi8(_mm_and_si128(w, contBits), cont));
            // Bit 3j set where bytes 3j to 3j + 2 are a three-byte sequence: the
            // whole sequences at the front of the block (up to ten), then the
            // ASCII bytes after them (up to 16), in one step without a branch
            // between the two, since Chinese text switches between them often.
            const uint32_t triple = leads & conts >> 1 & conts >> 2;
            const unsigned int skip = static_cast<unsigned int>(__builtin_ctz((~triple & 0x09249249u) | 0x40000000u));
            const unsigned int whole = skip / 3;
            const unsigned int run = static_cast<unsigned int>(__builtin_ctz(~(ascii >> skip) | 0x10000u));
            if (whole + run == 0) {
                // Anything else one sequence at a time, all of it in the source.
                const unsigned int c = s[i];
                const size_t len = SequenceLength(c);
                if (len == 1) {
                    d[out++] = static_cast<unsigned short>(c);
                    ++i;
                } else {
                    size_t units;
                    i += DecodeAt(s + i, len, len, d + out, &units);
                    out += units;
                }
                continue;
            }
            // Units 0-4 from bytes 0-14 and units 5-9 from bytes 15-29; the
            // second store overwrites the first one's spare lanes, and the
            // ASCII run overwrites whatever lies past the sequences.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + out), DecodeFive(v));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + out + 5),
                             DecodeFive(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 15))));
            const __m128i rest = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + skip));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + out + whole), _mm_unpacklo_epi8(rest, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + out + whole + 8), _mm_unpackhi_epi8(rest, zero));
            i += skip + run;
            out += whole + run;
        }
    }
    *pi = i;
    *pout = out;
}

// Units of source and bytes of room that an encoding step needs ahead: a step
// takes at most 16 units and stores up to 64 bytes; each of the 96 - 16 units
// after it yields a byte at least; and a walk stopped by the capacity ends at
// most three bytes short.
const size_t kEncodeAhead = 96;
const size_t kEncodeRoom = 68;

// The first zero unit of [s, s + n), or n.
__attribute__((target("ssse3"))) size_t ZeroUnit(const unsigned short* s, size_t n) {
    size_t i = 0;
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(v, zero));
        if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned int>(mask))) / 2;
    }
    while (i < n && s[i] != 0) ++i;
    return i;
}

// The three bytes of each of the eight units in v (0x800 and above, no
// surrogate), 24 bytes in order at d, which has room for 28.
__attribute__((target("ssse3"))) inline void EncodeEight(__m128i v, unsigned char* d) {
    const __m128i low6 = _mm_set1_epi16(0x3F);
    const __m128i lead = _mm_or_si128(_mm_srli_epi16(v, 12), _mm_set1_epi16(0xE0));
    const __m128i tail = _mm_or_si128(
        _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 6), low6), _mm_slli_epi16(_mm_and_si128(v, low6), 8)),
        _mm_set1_epi16(static_cast<short>(0x8080)));
    // Lanes of (lead, 0, middle, last) per unit, to the three bytes in order.
    const __m128i pack = _mm_setr_epi8(0, 2, 3, 4, 6, 7, 8, 10, 11, 12, 14, 15, -1, -1, -1, -1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_shuffle_epi8(_mm_unpacklo_epi16(lead, tail), pack));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 12), _mm_shuffle_epi8(_mm_unpackhi_epi16(lead, tail), pack));
}

// Encodes from *pi, *pout while block steps may run (see Utf8Blocks), and
// leaves the rest to the exact walk.
__attribute__((target("ssse3"))) void Utf16Blocks(const unsigned short* s, size_t n, unsigned char* d, size_t cap,
                                                 size_t* pi, size_t* pout) {
    size_t i = *pi;
    size_t out = *pout;
    const __m128i zero = _mm_setzero_si128();
    const __m128i notAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i high5 = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
    const __m128i bytes = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    while (cap - out >= kEncodeRoom && n - i >= kEncodeAhead) {
        const size_t span = VCMMap_MinSize(n - i, kScanSpan / 2);
        const size_t clear = i + ZeroUnit(s + i, span);
        if (clear - i < kEncodeAhead) break;
        const size_t stop = clear - kEncodeAhead;
        while (i <= stop && cap - out >= kEncodeRoom) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 8));
            // One bit per unit: ASCII (no zero unit lies this near), and units
            // of three bytes (0x800 and above, no surrogate).
            const unsigned int ascii = static_cast<unsigned int>(_mm_movemask_epi8(
                _mm_packs_epi16(_mm_cmpeq_epi16(_mm_and_si128(v, notAscii), zero),
                                _mm_cmpeq_epi16(_mm_and_si128(w, notAscii), zero))));
            if (ascii == 0xFFFF) {
                // Plain text: whole blocks in a loop of their own, which writes
                // only what it takes and stops at a zero unit by itself.
                const size_t plain = VCMMap_NarrowAsciiRun(s + i, VCMMap_MinSize(n - i, cap - out), d + out);
                i += plain;
                out += plain;
                continue;
            }
            const __m128i headV = _mm_and_si128(v, high5);
            const __m128i headW = _mm_and_si128(w, high5);
            const unsigned int others = static_cast<unsigned int>(_mm_movemask_epi8(
                _mm_packs_epi16(_mm_or_si128(_mm_cmpeq_epi16(headV, zero), _mm_cmpeq_epi16(headV, surrogate)),
                                _mm_or_si128(_mm_cmpeq_epi16(headW, zero), _mm_cmpeq_epi16(headW, surrogate)))));
            // The three-byte units at the front of the block, then the ASCII
            // ones after them, in one step.
            const unsigned int whole = static_cast<unsigned int>(__builtin_ctz(others | 0x10000));
            const unsigned int run = static_cast<unsigned int>(__builtin_ctz(~(ascii >> whole)));
            if (whole + run == 0) {
                // Two-byte units and surrogates one at a time; a pair's partner
                // lies in the source.
                size_t units;
                out += EncodeCodePoint(CodePointAt(s + i, n - i - 1, &units), d + out);
                i += units;
                continue;
            }
            EncodeEight(v, d + out);
            EncodeEight(w, d + out + 24);
            const __m128i narrow = _mm_packus_epi16(v, w);
            const __m128i rest = _mm_shuffle_epi8(narrow, _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(whole))));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + out + 3 * whole), rest);
            i += whole + run;
            out += 3 * whole + run;
        }
    }
    *pi = i;
    *pout = out;
}

}  // namespace

const CVCMMapBlockWalks g_VCMMapSse2Walks = {GbkToUtf16Blocks, nullptr, nullptr, nullptr};
const CVCMMapBlockWalks g_VCMMapSsse3Walks = {GbkToUtf16Blocks, nullptr, Utf8Blocks, Utf16Blocks};

VOS_NAMESPACE_END

#endif
