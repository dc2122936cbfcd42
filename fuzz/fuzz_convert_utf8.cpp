// UTF-8 through the general converters and the buffer forms, into
// destinations of a fuzzed capacity that are exactly that large. Decoding
// gives well-formed UTF-16 (every surrogate half paired); encoding gives
// well-formed UTF-8; UTF-16 survives the trip to UTF-8 and back unit for
// unit, except that a surrogate half without its partner comes back as
// U+FFFD. A destination too small for the whole result holds a prefix that
// ends on a whole character.
//
// Every result is also compared, unit for unit and byte for byte, with a plain
// walk over the text (the reference below), and the destination past the
// result must be left as it was: the converters take blocks of text at a
// time where the host allows, and a block must never show.
//
// Input: one byte of capacity (below 128 the capacity itself, else steps of 32
// up to 4064, so that long texts are cut too), then the text (bytes for
// decoding, and the same bytes read as little-endian units for encoding).
// Run with -max_len=4096 so that texts are long enough for the block steps.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

bool IsHigh(unsigned u) { return (u & 0xFC00) == 0xD800; }
bool IsLow(unsigned u) { return (u & 0xFC00) == 0xDC00; }

// The reference decoder: a sequence by its lead byte, U+FFFD for a lead byte
// whose continuation bytes stop early (the walk goes on at the first byte that
// is none, a zero among them), for an overlong form, an encoded surrogate or a
// value above U+10FFFF, a pair beyond U+FFFF; a stray continuation byte stands
// for itself; the walk ends at a zero byte, at a sequence cut by the end, and
// where the next character's units do not fit (d null: no capacity).
int RefDecode(const unsigned char* s, int n, unsigned short* d, int cap) {
    int i = 0, out = 0;
    while (i < n && s[i] != 0) {
        const unsigned c = s[i];
        int len = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : c < 0xFC ? 5 : 6;
        int whole = 1;
        while (whole < len && i + whole < n && (s[i + whole] & 0xC0) == 0x80) ++whole;
        if (whole < len && i + whole == n) break;
        unsigned units[2] = {c, 0};
        int count = 1;
        if (whole < len) {
            units[0] = 0xFFFD;
            len = whole;
        } else if (len == 2) {
            const unsigned u = (c & 0x1F) << 6 | (s[i + 1] & 0x3F);
            units[0] = u < 0x80 ? 0xFFFD : u;
        } else if (len == 3) {
            const unsigned u = (c & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F);
            units[0] = u < 0x800 || (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u;
        } else if (len == 4) {
            const unsigned cp = (c & 0x07) << 18 | (s[i + 1] & 0x3F) << 12 | (s[i + 2] & 0x3F) << 6 | (s[i + 3] & 0x3F);
            if (cp < 0x10000 || cp > 0x10FFFF) {
                units[0] = 0xFFFD;
            } else {
                units[0] = 0xD800 | (cp - 0x10000) >> 10;
                units[1] = 0xDC00 | (cp & 0x3FF);
                count = 2;
            }
        } else if (len > 4) {
            units[0] = 0xFFFD;
        }
        if (d != nullptr) {
            if (cap - out < count) break;
            for (int k = 0; k < count; ++k) d[out + k] = static_cast<unsigned short>(units[k]);
        }
        out += count;
        i += len;
    }
    return out;
}

// The reference encoder: a pair as one four-byte sequence, a lone half as
// U+FFFD; the walk ends at a zero unit and where the next character's bytes do
// not fit. *whole tells whether it reached the end of the text.
int RefEncode(const unsigned short* s, int n, unsigned char* d, int cap, bool* whole) {
    int i = 0, out = 0;
    while (i < n && s[i] != 0) {
        unsigned cp = s[i];
        int units = 1;
        if (IsHigh(cp) && i + 1 < n && IsLow(s[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
            units = 2;
        } else if (IsHigh(cp) || IsLow(cp)) {
            cp = 0xFFFD;
        }
        unsigned char b[4];
        int len;
        if (cp < 0x80) {
            b[0] = static_cast<unsigned char>(cp);
            len = 1;
        } else if (cp < 0x800) {
            b[0] = static_cast<unsigned char>(0xC0 | cp >> 6);
            b[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            len = 2;
        } else if (cp < 0x10000) {
            b[0] = static_cast<unsigned char>(0xE0 | cp >> 12);
            b[1] = static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F));
            b[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            len = 3;
        } else {
            b[0] = static_cast<unsigned char>(0xF0 | cp >> 18);
            b[1] = static_cast<unsigned char>(0x80 | (cp >> 12 & 0x3F));
            b[2] = static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F));
            b[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            len = 4;
        }
        if (d != nullptr) {
            if (cap - out < len) break;
            memcpy(d + out, b, static_cast<size_t>(len));
        }
        out += len;
        i += units;
    }
    *whole = i == n || s[i] == 0;
    return out;
}

// Every high half is followed by a low one and every low half follows a high one.
bool WellFormedUtf16(const unsigned short* s, int n) {
    for (int i = 0; i < n; ++i) {
        if (IsLow(s[i])) return false;
        if (IsHigh(s[i])) {
            if (i + 1 == n || !IsLow(s[i + 1])) return false;
            ++i;
        }
    }
    return true;
}

// Strict UTF-8: no overlong form, no encoded surrogate, nothing above U+10FFFF.
bool WellFormedUtf8(const unsigned char* s, int n) {
    for (int i = 0; i < n;) {
        const unsigned c = s[i];
        int len;
        unsigned cp;
        if (c < 0x80) {
            len = 1;
            cp = c;
        } else if (c >= 0xC2 && c < 0xE0) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c < 0xF0) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c < 0xF5) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (int k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = cp << 6 | (s[i + k] & 0x3F);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += len;
    }
    return true;
}

void Decode(char* src, int n, int cap) {
    const int count = CVCMMap::MultiByteToWideChar(65001, src, n, nullptr, 0);
    std::vector<unsigned short> full(static_cast<size_t>(count) + 1);
    Check(CVCMMap::MultiByteToWideChar(65001, src, n, full.data(), count + 1) == count);
    Check(WellFormedUtf16(full.data(), count));
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(src);
    Check(count == RefDecode(bytes, n, nullptr, 0));
    std::vector<unsigned short> ref(static_cast<size_t>(cap > 0 ? cap : 1), 0xA5A5);
    const int refPart = n > 0 && cap > 0 ? RefDecode(bytes, n, ref.data(), cap) : 0;
    Check(memcmp(full.data(), ref.data(), static_cast<size_t>(refPart) * 2) == 0);
    unsigned short* dst = new unsigned short[cap > 0 ? cap : 1];
    for (int i = 0; i < cap; ++i) dst[i] = 0xA5A5;
    const int part = CVCMMap::MultiByteToWideChar(65001, src, n, dst, cap);
    Check(part == refPart && memcmp(dst, ref.data(), static_cast<size_t>(cap) * 2) == 0);
    // All that fits, short by one unit only where a pair would be split.
    const int fits = count < cap ? count : cap;
    Check(part == fits || (part == fits - 1 && IsHigh(full[static_cast<size_t>(part)])));
    Check(memcmp(dst, full.data(), static_cast<size_t>(part) * 2) == 0);

    // The buffer form cuts to fit and always terminates.
    const int units = CVCMMap::Utf8ToUnicode(src, static_cast<unsigned int>(n), dst, static_cast<unsigned int>(cap));
    if (n > 0 && src[0] != 0 && cap > 0) {
        const int limit = count < cap ? count : cap - 1;
        Check(units == limit || (units == limit - 1 && IsHigh(full[static_cast<size_t>(units)])));
        Check(dst[units] == 0);
        Check(memcmp(dst, full.data(), static_cast<size_t>(units) * 2) == 0);
    }
    delete[] dst;

    unsigned int len = 0;
    char* gbk = CVCMMap::Utf8ToAnsic(src, static_cast<unsigned int>(n), len);
    if (gbk != nullptr) {
        Check(len >= 1 && gbk[len - 1] == 0 && strlen(gbk) <= len - 1);
        VDelete(gbk);
    }
}

void Encode(unsigned short* src, int n, int cap) {
    const int count = CVCMMap::WideCharToMultiByte(65001, src, n, nullptr, 0, nullptr, nullptr);
    std::vector<char> full(static_cast<size_t>(count) + 1);
    Check(CVCMMap::WideCharToMultiByte(65001, src, n, full.data(), count + 1, nullptr, nullptr) == count);
    const int bytes = count > 0 ? count - 1 : 0;
    Check(WellFormedUtf8(reinterpret_cast<const unsigned char*>(full.data()), bytes));

    // The count with the terminator when it all fits beside it; else 0, with
    // the whole characters that leave a byte free.
    bool reached = false;
    const int refBytes = RefEncode(src, n, nullptr, 0, &reached);
    Check(count == (refBytes == 0 ? 0 : refBytes + 1));
    std::vector<unsigned char> refFull(static_cast<size_t>(refBytes) + 1);
    RefEncode(src, n, refFull.data(), refBytes, &reached);
    Check(memcmp(full.data(), refFull.data(), static_cast<size_t>(refBytes)) == 0);
    std::vector<unsigned char> ref(static_cast<size_t>(cap > 0 ? cap : 1), 0x5A);
    const int refCut = cap > 0 ? RefEncode(src, n, ref.data(), cap - 1, &reached) : 0;
    const int refPart = cap > 0 && reached && refCut > 0 ? refCut + 1 : 0;
    char* dst = new char[cap > 0 ? cap : 1];
    memset(dst, 0x5A, static_cast<size_t>(cap > 0 ? cap : 1));
    const int part = CVCMMap::WideCharToMultiByte(65001, src, n, dst, cap, nullptr, nullptr);
    Check(part == refPart && memcmp(dst, ref.data(), static_cast<size_t>(cap)) == 0);
    if (count == 0 || cap == 0) {
        Check(part == 0);
    } else if (count <= cap) {
        Check(part == count && memcmp(dst, full.data(), static_cast<size_t>(bytes)) == 0);
    } else {
        Check(part == 0);
        int prefix = cap - 1;
        while (prefix > 0 && (full[static_cast<size_t>(prefix)] & 0xC0) == 0x80) --prefix;
        Check(memcmp(dst, full.data(), static_cast<size_t>(prefix)) == 0);
        for (int i = prefix; i < cap; ++i) Check(dst[i] == 0x5A);
    }

    // All or nothing in the buffer form.
    memset(dst, 0x5A, static_cast<size_t>(cap > 0 ? cap : 1));
    const int whole = CVCMMap::UnicodeToUtf8(src, static_cast<unsigned int>(n), dst, cap);
    if (n > 0 && src[0] != 0 && cap > 0) {
        Check(whole == 0 ? count > cap : (whole == count && dst[count - 1] == 0));
    }
    delete[] dst;

    // The units before the first zero come back, a lone half as U+FFFD.
    if (count > 1) {
        int units = 0;
        while (units < n && src[units] != 0) ++units;
        std::vector<unsigned short> want(src, src + units);
        for (int i = 0; i < units; ++i) {
            if (IsHigh(want[i]) && i + 1 < units && IsLow(want[i + 1])) {
                ++i;
            } else if (IsHigh(want[i]) || IsLow(want[i])) {
                want[i] = 0xFFFD;
            }
        }
        std::vector<unsigned short> back(static_cast<size_t>(units) + 1);
        const int m = CVCMMap::MultiByteToWideChar(65001, full.data(), count - 1, back.data(), units + 1);
        Check(m == units && memcmp(back.data(), want.data(), static_cast<size_t>(units) * 2) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int cap = data[0] < 128 ? data[0] : (data[0] - 128) * 32;
    const size_t n = size - 1;
    char* bytes = new char[n ? n : 1];
    memcpy(bytes, data + 1, n);
    Decode(bytes, static_cast<int>(n), cap);
    delete[] bytes;

    const size_t units = n / 2;
    unsigned short* wide = new unsigned short[units ? units : 1];
    for (size_t i = 0; i < units; ++i) wide[i] = static_cast<unsigned short>(data[1 + 2 * i] | data[2 + 2 * i] << 8);
    Encode(wide, static_cast<int>(units), cap);
    delete[] wide;
    return 0;
}
