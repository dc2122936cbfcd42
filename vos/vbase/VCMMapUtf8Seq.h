// Internal to the code-page converters: one UTF-8 sequence or UTF-16
// character at a time, for the portable walks and for the block walks of
// each instruction set, which leave everything unusual to these.
//
// Everything here has internal linkage: the files built for one instruction
// set (VCMMapNeon.cpp) must not hand their copies to the portable ones.
#ifndef VOS_VBASE_VCMMAPUTF8SEQ_H
#define VOS_VBASE_VCMMAPUTF8SEQ_H

#include <stddef.h>
#include <stdint.h>

#include "vos/VDefine.h"

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

}  // namespace

VOS_NAMESPACE_END

#endif  // VOS_VBASE_VCMMAPUTF8SEQ_H
