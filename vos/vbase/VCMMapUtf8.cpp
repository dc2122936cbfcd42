// UTF-8 walks and the buffer conversions built on them.
#include "vos/VCMMap.h"

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
        unsigned short unit;
        size_t len;
        if (c >= 0xE0 && c < 0xF0 && n - i >= 3 && s[i + 1] != 0 && s[i + 2] != 0) {
            // Most non-ASCII text of this library is CJK: three bytes.
            len = 3;
            unit = static_cast<unsigned short>((c & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F));
        } else {
            len = SequenceLength(c);
            if (len == 1) {
                unit = static_cast<unsigned short>(c);
            } else {
                if (!SequenceComplete(s + i, len, n - i)) break;
                unit = DecodeSequence(s + i, len);
            }
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

template <bool kWrite>
size_t Utf16Walk(const unsigned short* s, size_t n, unsigned char* d, size_t cap) {
    size_t out = 0;
    for (size_t i = 0; i < n;) {
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
        // Surrogates are not paired: each half is a three-byte sequence.
        if (u < 0x800) {
            if (kWrite) {
                if (cap - out < 2) break;
                d[out] = static_cast<unsigned char>(0xC0 | (u >> 6));
                d[out + 1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
            }
            out += 2;
        } else {
            if (kWrite) {
                if (cap - out < 3) break;
                d[out] = static_cast<unsigned char>(0xE0 | (u >> 12));
                d[out + 1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
                d[out + 2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
            }
            out += 3;
        }
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
