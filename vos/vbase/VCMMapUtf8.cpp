// UTF-8 walks and the buffer conversions built on them.
#include "vos/VCMMap.h"

#include <stdint.h>
#include <string.h>

#include "vos/VMem.h"
#include "vbase/VCMMapAscii.h"
#include "vbase/VCMMapBlocks.h"
#include "vbase/VCMMapTables.h"
#include "vbase/VCMMapUtf8Seq.h"

VOS_NAMESPACE_BEGIN

namespace {

template <bool kWrite>
size_t Utf8Walk(const unsigned char* s, size_t n, unsigned short* d, size_t cap) {
    size_t i = 0;
    size_t out = 0;
    const CVCMMapBlockWalks* const blocks = kWrite ? VCMMap_BlockWalks() : nullptr;
    if (blocks != nullptr && blocks->pfnUtf8ToUtf16 != nullptr) blocks->pfnUtf8ToUtf16(s, n, d, cap, &i, &out);
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

// Encodes units into d; *whole tells whether the walk reached the end of the
// text (its length or a zero unit) rather than the capacity.
template <bool kWrite>
size_t Utf16Walk(const unsigned short* s, size_t n, unsigned char* d, size_t cap, bool* whole) {
    size_t out = 0;
    size_t i = 0;
    const CVCMMapBlockWalks* const blocks = kWrite ? VCMMap_BlockWalks() : nullptr;
    if (blocks != nullptr && blocks->pfnUtf16ToUtf8 != nullptr) blocks->pfnUtf16ToUtf8(s, n, d, cap, &i, &out);
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
