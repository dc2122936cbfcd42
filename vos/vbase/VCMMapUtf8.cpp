// UTF-8 walks and the buffer conversions built on them.
#include "vos/VCMMap.h"

#include <stdint.h>
#include <string.h>

#include "vos/VMem.h"
#include "vbase/VCMMapAscii.h"
#include "vbase/VCMMapTables.h"

#if defined(__x86_64__) && defined(__GNUC__)
// Byte shuffles pack and unpack runs of three-byte sequences; the baseline
// has only SSE2, so the shuffling walks are chosen at run time.
#define VCMMAP_UTF8_SHUFFLE 1
#include <tmmintrin.h>
#endif

VOS_NAMESPACE_BEGIN

namespace {

// What stands for a sequence or a unit that encodes no character.
const unsigned int kReplacement = 0xFFFD;

// Bytes of the sequence each lead byte announces. Malformed text is decoded,
// never rejected: a stray continuation byte stands for itself, and a lead
// byte without all its continuation bytes for U+FFFD (see DecodeAt).
inline size_t SequenceLength(unsigned int lead) {
    if (lead < 0xC0) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF8) return 4;
    if (lead < 0xFC) return 5;
    return 6;
}

inline bool IsSurrogate(unsigned int u) { return (u & 0xF800) == 0xD800; }
inline bool IsHighSurrogate(unsigned int u) { return (u & 0xFC00) == 0xD800; }
inline bool IsLowSurrogate(unsigned int u) { return (u & 0xFC00) == 0xDC00; }

// A three-byte sequence's unit, or the replacement character for an overlong
// form or an encoded surrogate half (which no well-formed text holds, and
// which would pair up with its neighbour into a different character).
inline unsigned int ThreeByteUnit(unsigned int c, unsigned int b1, unsigned int b2) {
    const unsigned int u = (c & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F);
    // Bit k of the mask: top five bits k mark no character (0: overlong;
    // 0x1B: a surrogate half).
    return (0x08000001u >> (u >> 11)) & 1 ? kReplacement : u;
}

// Decodes a sequence of len >= 2 bytes, all present, into one unit or a
// surrogate pair at d; gives the number of units. Only the low six bits of a
// following byte count. Overlong forms, encoded surrogates and values above
// U+10FFFF (every five- and six-byte sequence among them) give U+FFFD, so
// that no character can be spelt two ways.
inline size_t DecodeSequence(const unsigned char* s, size_t len, unsigned short* d) {
    unsigned int u;
    switch (len) {
        case 2:
            u = (s[0] & 0x1F) << 6 | (s[1] & 0x3F);
            if (u < 0x80) u = kReplacement;
            break;
        case 3:
            u = ThreeByteUnit(s[0], s[1], s[2]);
            break;
        case 4: {
            const unsigned int cp = (s[0] & 0x07) << 18 | (s[1] & 0x3F) << 12 | (s[2] & 0x3F) << 6 | (s[3] & 0x3F);
            if (cp < 0x10000 || cp > 0x10FFFF) {
                u = kReplacement;
                break;
            }
            d[0] = static_cast<unsigned short>(0xD800 | ((cp - 0x10000) >> 10));
            d[1] = static_cast<unsigned short>(0xDC00 | (cp & 0x3FF));
            return 2;
        }
        default:
            u = kReplacement;
            break;
    }
    d[0] = static_cast<unsigned short>(u);
    return 1;
}

inline bool IsContinuation(unsigned int b) { return (b & 0xC0) == 0x80; }

// Decodes the sequence of len >= 2 bytes that the lead byte at s announces,
// with avail bytes of source from s, into d; gives the bytes it takes (0 when
// the source ends inside the sequence: the rest may follow in another call)
// and the units it wrote in *units. A following byte that is no continuation
// byte, a zero among them, cuts the sequence short: what came before it gives
// one U+FFFD and the walk goes on at that byte, so that a broken lead byte
// never swallows the separator or the text after it.
inline size_t DecodeAt(const unsigned char* s, size_t len, size_t avail, unsigned short* d, size_t* units) {
    for (size_t k = 1; k < len; ++k) {
        if (k == avail) return 0;
        if (!IsContinuation(s[k])) {
            d[0] = static_cast<unsigned short>(kReplacement);
            *units = 1;
            return k;
        }
    }
    *units = DecodeSequence(s, len, d);
    return len;
}

// Whether s starts a three-byte sequence with both its continuation bytes.
inline bool IsThreeByteSequence(const unsigned char* s) {
    return (s[0] & 0xF0) == 0xE0 && IsContinuation(s[1]) && IsContinuation(s[2]);
}

#if defined(VCMMAP_UTF8_SHUFFLE)
bool HostHasShuffle() { return __builtin_cpu_supports("ssse3"); }

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
#endif

template <bool kWrite>
size_t Utf8Walk(const unsigned char* s, size_t n, unsigned short* d, size_t cap) {
    size_t i = 0;
    size_t out = 0;
#if defined(VCMMAP_UTF8_SHUFFLE)
    if (kWrite && HostHasShuffle()) Utf8Blocks(s, n, d, cap, &i, &out);
#endif
    for (;;) {
        const size_t left = n - i;
        const size_t room = kWrite ? cap - out : left;
        if (left < 6 || room < 2) break;
        // Below limit every sequence lies inside the source (none is longer
        // than six bytes) and, since no sequence yields more units than it
        // has bytes and a pair needs one unit beyond the byte at limit, the
        // destination has room for all of them.
        const size_t limit = i + VCMMap_MinSize(left - 5, room - 1);
        while (i < limit) {
            const unsigned int c = s[i];
            if (c < 0x80) {
                if (c == 0) return out;
                if (kWrite) {
                    const size_t run = VCMMap_WidenAsciiRun(s + i, limit - i, d + out);
                    i += run;
                    out += run;
                } else {
                    ++i;
                    ++out;
                }
                continue;
            }
            if (IsThreeByteSequence(s + i)) {
                // Most non-ASCII text of this library is CJK: runs of
                // three-byte sequences, decoded in a loop of their own.
                do {
                    if (kWrite) d[out] = static_cast<unsigned short>(ThreeByteUnit(s[i], s[i + 1], s[i + 2]));
                    ++out;
                    i += 3;
                } while (i < limit && IsThreeByteSequence(s + i));
                continue;
            }
            const size_t len = SequenceLength(c);
            if (len == 1) {
                if (kWrite) d[out] = static_cast<unsigned short>(c);
                ++out;
                ++i;
            } else {
                unsigned short pair[2];
                size_t units;
                i += DecodeAt(s + i, len, len, kWrite ? d + out : pair, &units);
                out += units;
            }
        }
    }
    // The last few bytes, or a destination about to fill, with every bound
    // checked; a pair goes out whole or not at all.
    while (i < n) {
        const unsigned int c = s[i];
        if (c < 0x80) {
            if (c == 0) break;
            if (kWrite) {
                if (out == cap) break;
                const size_t run = VCMMap_WidenAsciiRun(s + i, VCMMap_MinSize(n - i, cap - out), d + out);
                i += run;
                out += run;
            } else {
                ++i;
                ++out;
            }
            continue;
        }
        const size_t len = SequenceLength(c);
        unsigned short units[2] = {static_cast<unsigned short>(c), 0};
        size_t count = 1;
        size_t taken = 1;
        if (len > 1) {
            taken = DecodeAt(s + i, len, n - i, units, &count);
            if (taken == 0) break;
        }
        if (kWrite) {
            if (cap - out < count) break;
            d[out] = units[0];
            if (count == 2) d[out + 1] = units[1];
        }
        out += count;
        i += taken;
    }
    return out;
}

// Bytes of the UTF-8 form of code point cp (at most U+10FFFF, never a
// surrogate), written to d.
inline size_t EncodeCodePoint(unsigned int cp, unsigned char* d) {
    if (cp < 0x800) {
        d[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        d[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        d[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        d[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        d[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 3;
    }
    d[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
    d[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
    d[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    d[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 4;
}

// The code point of the non-ASCII unit at s (with next units after it): a
// surrogate pair gives its character and takes two units; a surrogate half
// without its partner gives U+FFFD, since UTF-8 has no form for it.
inline unsigned int CodePointAt(const unsigned short* s, size_t next, size_t* units) {
    const unsigned int u = s[0];
    *units = 1;
    if (!IsSurrogate(u)) return u;
    if (IsHighSurrogate(u) && next > 0 && IsLowSurrogate(s[1])) {
        *units = 2;
        return 0x10000 + ((u - 0xD800) << 10) + (s[1] - 0xDC00);
    }
    return kReplacement;
}

inline size_t CodePointBytes(unsigned int cp) { return cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

// The three UTF-8 bytes of unit u (0x800 or above, no surrogate), in output
// order in the low 24 bits of a little-endian word.
inline uint32_t ThreeByteWord(uint32_t u) {
    return 0x8080E0u | u >> 12 | (u << 2 & 0x3F00) | (u << 16 & 0x3F0000);
}

#if defined(VCMMAP_UTF8_SHUFFLE)
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
#endif

// Encodes units into d; *whole tells whether the walk reached the end of the
// text (its length or a zero unit) rather than the capacity.
template <bool kWrite>
size_t Utf16Walk(const unsigned short* s, size_t n, unsigned char* d, size_t cap, bool* whole) {
    size_t out = 0;
    size_t i = 0;
#if defined(VCMMAP_UTF8_SHUFFLE)
    if (kWrite && HostHasShuffle()) Utf16Blocks(s, n, d, cap, &i, &out);
#endif
    while (kWrite) {
        // No unit yields more than three bytes (a pair four from two units):
        // below limit there is room for all.
        const size_t chunk = VCMMap_MinSize(n - i, (cap - out) / 3);
        if (chunk < 2) break;
        const unsigned short* p = s + i;
        const unsigned short* const limit = p + chunk;
        unsigned char* q = d + out;
        while (p < limit) {
            const unsigned int u = *p;
            if (u >= 0x800) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
                // CJK text comes in runs of three-byte sequences: two units
                // at a time go out in two stores instead of six.
                const unsigned int u1 = p + 1 < limit ? p[1] : 0;
                if (u1 >= 0x800 && !IsSurrogate(u) && !IsSurrogate(u1)) {
                    const uint32_t w0 = ThreeByteWord(u);
                    const uint32_t w1 = ThreeByteWord(u1);
                    const uint32_t head = w0 | w1 << 24;
                    const uint16_t tail = static_cast<uint16_t>(w1 >> 8);
                    memcpy(q, &head, 4);
                    memcpy(q + 4, &tail, 2);
                    q += 6;
                    p += 2;
                    continue;
                }
#endif
                if (!IsSurrogate(u)) {
                    q[0] = static_cast<unsigned char>(0xE0 | (u >> 12));
                    q[1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
                    q[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
                    q += 3;
                    ++p;
                    continue;
                }
                // A pair that straddles the chunk's end is taken up by the
                // next chunk, or by the checked walk below.
                if (p + 1 == limit && limit != s + n) break;
                size_t units;
                q += EncodeCodePoint(CodePointAt(p, static_cast<size_t>(limit - p - 1), &units), q);
                p += units;
                continue;
            }
            ++p;
            if (u >= 0x80) {
                q[0] = static_cast<unsigned char>(0xC0 | (u >> 6));
                q[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
                q += 2;
                continue;
            }
            if (u == 0) {
                *whole = true;
                return static_cast<size_t>(q - d);
            }
            *q++ = static_cast<unsigned char>(u);
            // Block copies pay off for runs of ASCII, not for the odd
            // character between CJK ones.
            if (limit - p >= 16 && (p[0] | p[1] | p[2] | p[3]) < 0x80) {
                const size_t run = VCMMap_NarrowAsciiRun(p, static_cast<size_t>(limit - p), q);
                p += run;
                q += run;
            }
        }
        i = static_cast<size_t>(p - s);
        out = static_cast<size_t>(q - d);
    }
    // The rest, with the capacity checked for every character: none is cut.
    while (i < n) {
        const unsigned int u = s[i];
        if (u < 0x80) {
            if (u == 0) break;
            if (kWrite) {
                if (out == cap) break;
                const size_t run = VCMMap_NarrowAsciiRun(s + i, VCMMap_MinSize(n - i, cap - out), d + out);
                i += run;
                out += run;
            } else {
                ++i;
                ++out;
            }
            continue;
        }
        size_t units;
        const unsigned int cp = CodePointAt(s + i, n - i - 1, &units);
        const size_t len = CodePointBytes(cp);
        if (kWrite) {
            if (cap - out < len) break;
            EncodeCodePoint(cp, d + out);
        }
        out += len;
        i += units;
    }
    *whole = i == n || s[i] == 0;
    return out;
}

}  // namespace

size_t VCMMap_Utf8ToUtf16(const unsigned char* src, size_t srcLen, unsigned short* dst, size_t dstCap) {
    return dst == nullptr ? Utf8Walk<false>(src, srcLen, nullptr, 0) : Utf8Walk<true>(src, srcLen, dst, dstCap);
}

size_t VCMMap_Utf16ToUtf8(const unsigned short* src, size_t srcLen, unsigned char* dst, size_t dstCap) {
    bool whole = false;
    return dst == nullptr ? Utf16Walk<false>(src, srcLen, nullptr, 0, &whole)
                          : Utf16Walk<true>(src, srcLen, dst, dstCap, &whole);
}

int VCMMap_Utf16ToUtf8Terminated(const unsigned short* src, size_t srcLen, unsigned char* dst, size_t dstCap) {
    if (dstCap == 0) return 0;
    bool whole = false;
    const size_t bytes = Utf16Walk<true>(src, srcLen, dst, dstCap - 1, &whole);
    if (!whole || bytes == 0) return 0;
    return static_cast<int>(bytes) + 1;
}

int CVCMMap::Utf8ToUnicode(char* src, unsigned int srcLen, unsigned short* dst, unsigned int dstLen) {
    if (src == nullptr || srcLen == 0 || src[0] == 0) {
        // Still a zero-terminated (empty) result.
        if (dst != nullptr && dstLen > 0) dst[0] = 0;
        return 0;
    }
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = VCMMap_Utf8ToUtf16(s, srcLen, nullptr, 0);
    if (dst == nullptr || dstLen == 0) return static_cast<int>(n);
    // Keep the last unit for the terminator when the text does not fit.
    const size_t limit = n < dstLen ? n : dstLen - 1;
    memset(dst, 0, static_cast<size_t>(dstLen) * sizeof(unsigned short));
    return static_cast<int>(VCMMap_Utf8ToUtf16(s, srcLen, dst, limit));
}

int CVCMMap::UnicodeToUtf8(unsigned short* src, unsigned int srcLen, char* dst, int dstLen) {
    if (src == nullptr || srcLen == 0 || src[0] == 0) return 0;
    const size_t bytes = VCMMap_Utf16ToUtf8(src, srcLen, nullptr, 0);
    if (bytes >= 0x7FFFFFFF) return 0;
    const int n = static_cast<int>(bytes) + 1;
    if (dst == nullptr || dstLen <= 0) return n;
    // All or nothing: the file layer refuses paths whose UTF-8 form would
    // not fit its buffers.
    if (n > dstLen) return 0;
    memset(dst, 0, static_cast<size_t>(n));
    VCMMap_Utf16ToUtf8(src, srcLen, reinterpret_cast<unsigned char*>(dst), bytes);
    return n;
}

char* CVCMMap::Utf8ToAnsic(char* src, unsigned int srcLen, unsigned int& outLen) {
    if (src == nullptr || srcLen == 0) return nullptr;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = VCMMap_Utf8ToUtf16(s, srcLen, nullptr, 0);
    // Every count below must stay a valid int.
    if (n >= 0x3FFFFFFF) return nullptr;
    unsigned short* wide = VNew<unsigned short>(static_cast<int>(n) + 1, VOS_HERE);
    if (wide == nullptr) return nullptr;
    VCMMap_Utf8ToUtf16(s, srcLen, wide, n);
    const int m = WideCharToMultiByte(0, wide, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    // Same layout as the counted block of m + 1 bytes that VDelete releases.
    char* text = VNew<char>(m + 1, VOS_HERE);
    if (text != nullptr) {
        WideCharToMultiByte(0, wide, static_cast<int>(n), text, m, nullptr, nullptr);
        outLen = static_cast<unsigned int>(m) + 1;
    }
    VDelete(wide);
    return text;
}

VOS_NAMESPACE_END
