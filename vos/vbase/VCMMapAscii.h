// Internal to the code-page converters: copying runs of plain ASCII, which
// never needs a table, a block at a time.
#ifndef VOS_VBASE_VCMMAPASCII_H
#define VOS_VBASE_VCMMAPASCII_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "vos/VDefine.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

VOS_NAMESPACE_BEGIN

inline size_t VCMMap_MinSize(size_t a, size_t b) { return a < b ? a : b; }

// Copies the leading run of bytes 0x01-0x7F of [s, s + n), widened, into d
// (room for n units) and gives its length. Plain text is mostly such runs,
// and none of them needs a table.
inline size_t VCMMap_WidenAsciiRun(const unsigned char* s, size_t n, unsigned short* d) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        // High bit set, or a zero byte: both end the run.
        const int stop = _mm_movemask_epi8(_mm_or_si128(v, _mm_cmpeq_epi8(v, zero)));
        if (stop != 0) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 8), _mm_unpackhi_epi8(v, zero));
        i += 16;
    }
#else
    while (i + 8 <= n) {
        uint64_t w;
        memcpy(&w, s + i, 8);
        const uint64_t high = 0x8080808080808080ull;
        if ((w & high) != 0 || ((w - 0x0101010101010101ull) & high) != 0) break;
        for (int k = 0; k < 8; ++k) d[i + k] = s[i + k];
        i += 8;
    }
#endif
    while (i < n && s[i] != 0 && s[i] < 0x80) {
        d[i] = s[i];
        ++i;
    }
    return i;
}

// Narrows the leading run of units 0x01-0x7F of [s, s + n) into d (room for
// n bytes) and gives its length.
inline size_t VCMMap_NarrowAsciiRun(const unsigned short* s, size_t n, unsigned char* d) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i highBits = _mm_set1_epi16(static_cast<short>(0xFF80));
    while (i + 16 <= n) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 8));
        // A unit is plain when its bits 7-15 are clear and it is not zero.
        const __m128i plainA = _mm_andnot_si128(_mm_cmpeq_epi16(a, zero),
                                                _mm_cmpeq_epi16(_mm_and_si128(a, highBits), zero));
        const __m128i plainB = _mm_andnot_si128(_mm_cmpeq_epi16(b, zero),
                                                _mm_cmpeq_epi16(_mm_and_si128(b, highBits), zero));
        if (_mm_movemask_epi8(_mm_and_si128(plainA, plainB)) != 0xFFFF) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(a, b));
        i += 16;
    }
#endif
    while (i < n && s[i] != 0 && s[i] < 0x80) {
        d[i] = static_cast<unsigned char>(s[i]);
        ++i;
    }
    return i;
}

// Narrows 16 units into d (room for 16 bytes) when all of them are 0x01-0x7F,
// and gives whether it did; d is left alone otherwise. One test for the
// block, none per unit, so that text mixing ASCII with other units does not
// pay for a run that ends after a unit or two.
inline bool VCMMap_NarrowAscii16(const unsigned short* s, unsigned char* d) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i highBits = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8));
    const __m128i plainA =
        _mm_andnot_si128(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(_mm_and_si128(a, highBits), zero));
    const __m128i plainB =
        _mm_andnot_si128(_mm_cmpeq_epi16(b, zero), _mm_cmpeq_epi16(_mm_and_si128(b, highBits), zero));
    if (_mm_movemask_epi8(_mm_and_si128(plainA, plainB)) != 0xFFFF) return false;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(a, b));
    return true;
#else
    uint64_t any = 0;
    uint64_t zeros = 0;
    for (int k = 0; k < 4; ++k) {
        uint64_t w;
        memcpy(&w, s + 4 * k, 8);
        any |= w;
        // Exact for whether some 16-bit lane is zero.
        zeros |= (w - 0x0001000100010001ull) & ~w & 0x8000800080008000ull;
    }
    if ((any & 0xFF80FF80FF80FF80ull) != 0 || zeros != 0) return false;
    for (int i = 0; i < 16; ++i) d[i] = static_cast<unsigned char>(s[i]);
    return true;
#endif
}

VOS_NAMESPACE_END

#endif  // VOS_VBASE_VCMMAPASCII_H
