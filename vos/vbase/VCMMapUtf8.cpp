// UTF-8 walks and the buffer conversions built on them.
#include "vos/VCMMap.h"

#include <stdint.h>
#include <string.h>

#include "vos/VMem.h"
#include "vbase/VCMMapAscii.h"
#include "vbase/VCMMapTables.h"

VOS_NAMESPACE_BEGIN

namespace {

// Bytes of the sequence each lead byte announces. Malformed text is decoded
// by the lead byte's class, never rejected: a stray continuation byte stands
// for itself.
inline size_t SequenceLength(unsigned int lead) {
    if (lead < 0xC0) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF8) return 4;
    if (lead < 0xFC) return 5;
    return 6;
}

// The low 16 bits of the code point of a sequence of two or more bytes:
// characters beyond U+FFFF keep only those bits, and only the low six bits
// of a following byte count.
inline unsigned short DecodeSequence(const unsigned char* s, size_t len) {
    switch (len) {
        case 2:
            return static_cast<unsigned short>((s[0] & 0x1F) << 6 | (s[1] & 0x3F));
        case 3:
            return static_cast<unsigned short>((s[0] & 0x0F) << 12 | (s[1] & 0x3F) << 6 | (s[2] & 0x3F));
        default:
            // The last three bytes carry the low 16 bits.
            return static_cast<unsigned short>((s[len - 3] & 0x0F) << 12 | (s[len - 2] & 0x3F) << 6 |
                                               (s[len - 1] & 0x3F));
    }
}

// A sequence cut short, by the end of the source or by a zero byte among its
// following bytes, ends the walk: decoding it would read past the text.
inline bool SequenceComplete(const unsigned char* s, size_t len, size_t left) {
    if (left < len) return false;
    for (size_t k = 1; k < len; ++k) {
        if (s[k] == 0) return false;
    }
    return true;
}

template <bool kWrite>
size_t Utf8Walk(const unsigned char* s, size_t n, unsigned short* d, size_t cap) {
    size_t i = 0;
    size_t out = 0;
    for (;;) {
        const size_t left = n - i;
        const size_t room = kWrite ? cap - out : left;
        if (left < 6 || room == 0) break;
        // Below limit every sequence lies inside the source (none is longer
        // than six bytes) and, since each yields one unit from at least one
        // byte, the destination has room for all of them.
        const size_t limit = i + VCMMap_MinSize(left - 5, room);
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
            unsigned short unit;
            if (c - 0xE0 < 0x10) {
                // Most non-ASCII text of this library is CJK: three bytes.
                const unsigned int b1 = s[i + 1];
                const unsigned int b2 = s[i + 2];
                if (b1 == 0 || b2 == 0) return out;
                unit = static_cast<unsigned short>((c & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F));
                i += 3;
            } else {
                const size_t len = SequenceLength(c);
                if (len == 1) {
                    unit = static_cast<unsigned short>(c);
                } else {
                    if (!SequenceComplete(s + i, len, len)) return out;
                    unit = DecodeSequence(s + i, len);
                }
                i += len;
            }
            if (kWrite) d[out] = unit;
            ++out;
        }
    }
    // The last few bytes, or a destination about to fill, with every bound checked.
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
        unsigned short unit = static_cast<unsigned short>(c);
        if (len > 1) {
            if (!SequenceComplete(s + i, len, n - i)) break;
            unit = DecodeSequence(s + i, len);
        }
        if (kWrite) {
            if (out == cap) break;
            d[out] = unit;
        }
        ++out;
        i += len;
    }
    return out;
}

inline size_t EncodeUnit(unsigned int u, unsigned char* d) {
    // Surrogates are not paired: each half is a three-byte sequence.
    if (u < 0x800) {
        d[0] = static_cast<unsigned char>(0xC0 | (u >> 6));
        d[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
        return 2;
    }
    d[0] = static_cast<unsigned char>(0xE0 | (u >> 12));
    d[1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
    d[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
    return 3;
}

// The three bytes of u's sequence in output order, in the low 24 bits of a
// little-endian word.
inline uint32_t ThreeByteWord(unsigned int u) {
    return (0xE0 | (u >> 12)) | (0x80 | ((u >> 6) & 0x3F)) << 8 | (0x80 | (u & 0x3F)) << 16;
}

template <bool kWrite>
size_t Utf16Walk(const unsigned short* s, size_t n, unsigned char* d, size_t cap) {
    size_t out = 0;
    size_t i = 0;
    while (kWrite) {
        // No unit yields more than three bytes: below limit there is room for all.
        const size_t chunk = VCMMap_MinSize(n - i, (cap - out) / 3);
        if (chunk == 0) break;
        const unsigned short* p = s + i;
        const unsigned short* const limit = p + chunk;
        unsigned char* q = d + out;
        while (p < limit) {
            const unsigned int u = *p;
            if (u >= 0x800) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
                // CJK text comes in runs of three-byte sequences: two units
                // at a time go out in two stores instead of six.
                if (p + 1 < limit && p[1] >= 0x800) {
                    const uint32_t w0 = ThreeByteWord(u);
                    const uint32_t w1 = ThreeByteWord(p[1]);
                    const uint32_t head = w0 | w1 << 24;
                    const uint16_t tail = static_cast<uint16_t>(w1 >> 8);
                    memcpy(q, &head, 4);
                    memcpy(q + 4, &tail, 2);
                    q += 6;
                    p += 2;
                    continue;
                }
#endif
                q[0] = static_cast<unsigned char>(0xE0 | (u >> 12));
                q[1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
                q[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
                q += 3;
                ++p;
                continue;
            }
            ++p;
            if (u >= 0x80) {
                q[0] = static_cast<unsigned char>(0xC0 | (u >> 6));
                q[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
                q += 2;
                continue;
            }
            if (u == 0) return static_cast<size_t>(q - d);
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
    // The rest, with the capacity checked for every sequence.
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
        const size_t len = u < 0x800 ? 2 : 3;
        if (kWrite) {
            if (cap - out < len) break;
            EncodeUnit(u, d + out);
        }
        out += len;
        ++i;
    }
    return out;
}

}  // namespace

size_t VCMMap_Utf8ToUtf16(const unsigned char* src, size_t srcLen, unsigned short* dst, size_t dstCap) {
    return dst == nullptr ? Utf8Walk<false>(src, srcLen, nullptr, 0) : Utf8Walk<true>(src, srcLen, dst, dstCap);
}

size_t VCMMap_Utf16ToUtf8(const unsigned short* src, size_t srcLen, unsigned char* dst, size_t dstCap) {
    return dst == nullptr ? Utf16Walk<false>(src, srcLen, nullptr, 0) : Utf16Walk<true>(src, srcLen, dst, dstCap);
}

int CVCMMap::Utf8ToUnicode(char* src, unsigned int srcLen, unsigned short* dst, unsigned int dstLen) {
    if (src == nullptr || srcLen == 0 || src[0] == 0) return 0;
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
