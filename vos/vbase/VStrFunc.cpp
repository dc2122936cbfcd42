// Zero-terminated 16-bit string primitives and the narrow helpers.
//
// No platform wide-character header is included here on purpose: every call
// below must resolve to the unsigned short overloads, never to the C
// library's wchar_t functions, whose unit is 32 bits wide on our targets.
#include "vos/VStrFunc.h"

#include <stdlib.h>
#include <string.h>

namespace {

inline bool IsUpper(unsigned int c) { return c >= 'A' && c <= 'Z'; }
inline bool IsLower(unsigned int c) { return c >= 'a' && c <= 'z'; }

// A narrow byte with its high bit set leads a two-byte character unless the
// terminator follows it.
inline bool IsLeadByte(const unsigned char* p) { return p[0] >= 0x80 && p[1] != 0; }

}  // namespace

int wcslen(const unsigned short* s) {
    const unsigned short* p = s;
    while (*p != 0) ++p;
    return static_cast<int>(p - s);
}

unsigned short* wcscpy(unsigned short* dst, const unsigned short* src) {
    while ((*dst = *src) != 0) {
        ++dst;
        ++src;
    }
    return dst;
}

unsigned short* wcscat(unsigned short* dst, const unsigned short* src) {
    unsigned short* end = dst;
    while (*end != 0) ++end;
    wcscpy(end, src);
    return dst;
}

unsigned short* wcsncpy(unsigned short* dst, const unsigned short* src, int count) {
    for (int i = 0; i < count; ++i) {
        dst[i] = src[i];
        if (src[i] == 0) break;
    }
    return dst;
}

unsigned short* wcschr(const unsigned short* s, unsigned short c) {
    for (;; ++s) {
        if (*s == c) return const_cast<unsigned short*>(s);
        if (*s == 0) return nullptr;
    }
}

unsigned short* wcsrchr(const unsigned short* s, unsigned short c) {
    const unsigned short* found = nullptr;
    for (;; ++s) {
        if (*s == c) found = s;
        if (*s == 0) return const_cast<unsigned short*>(found);
    }
}

unsigned short* wcsstr(const unsigned short* s, const unsigned short* sub) {
    if (*s == 0) return nullptr;
    if (*sub == 0) return const_cast<unsigned short*>(s);
    for (; *s != 0; ++s) {
        if (*s != *sub) continue;
        const unsigned short* a = s;
        const unsigned short* b = sub;
        while (*b != 0 && *a == *b) {
            ++a;
            ++b;
        }
        if (*b == 0) return const_cast<unsigned short*>(s);
        // The text ended before the pattern did: no later start can match.
        if (*a == 0) return nullptr;
    }
    return nullptr;
}

unsigned short* wcspbrk(const unsigned short* s, const unsigned short* set) {
    for (; *s != 0; ++s) {
        for (const unsigned short* p = set; *p != 0; ++p) {
            if (*p == *s) return const_cast<unsigned short*>(s);
        }
    }
    return nullptr;
}

int wcscmp(const unsigned short* a, const unsigned short* b) {
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    if (*a < *b) return -1;
    return *a > *b ? 1 : 0;
}

int V_wcsncmp(const unsigned short* a, const unsigned short* b, int count) {
    if (count <= 0) return 0;
    while (--count > 0 && *a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return static_cast<int>(*a) - static_cast<int>(*b);
}

int _wcsicmp(const unsigned short* a, const unsigned short* b) {
    for (;; ++a, ++b) {
        const int ca = *a;
        const int cb = *b;
        if (ca == 0) return 0 - cb;
        if (cb == 0) return ca;
        if ((IsUpper(ca) && IsUpper(cb)) || (IsLower(ca) && IsLower(cb))) {
            if (ca != cb) return ca - cb;
        } else if (IsUpper(ca) && IsLower(cb)) {
            if (ca + 32 != cb) return (ca + 32) - cb;
        } else if (IsLower(ca) && IsUpper(cb)) {
            if (ca != cb + 32) return (ca - 32) - cb;
        } else if (ca != cb) {
            // A letter against a non-letter orders by the raw units.
            return ca - cb;
        }
    }
}

unsigned short* _wcsupr(unsigned short* s) {
    for (unsigned short* p = s; *p != 0; ++p) {
        if (IsLower(*p)) *p = static_cast<unsigned short>(*p - 32);
    }
    return s;
}

unsigned short* _wcslwr(unsigned short* s) {
    for (unsigned short* p = s; *p != 0; ++p) {
        if (IsUpper(*p)) *p = static_cast<unsigned short>(*p + 32);
    }
    return s;
}

unsigned short* _wcsrev(unsigned short* s) {
    unsigned short* lo = s;
    unsigned short* hi = s + wcslen(s);
    while (lo + 1 < hi) {
        --hi;
        const unsigned short t = *lo;
        *lo = *hi;
        *hi = t;
        ++lo;
    }
    return s;
}

int iswspace(unsigned short c) { return c == 32 ? 1 : 0; }

int VIsSpace(int c) { return c == 32 ? 1 : 0; }

int _wtoi(const unsigned short* s) { return _wtol(s, nullptr); }

int _wtol(const unsigned short* s, int* used) {
    const unsigned short* p = s;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    // Unsigned arithmetic: the value wraps in 32 bits instead of overflowing.
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10u + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    if (used != nullptr) *used = static_cast<int>(p - s);
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

int V_wtol16(const unsigned short* s, int* used) {
    const unsigned short* p = s;
    uint32_t value = 0;
    for (;; ++p) {
        uint32_t digit;
        if (*p >= '0' && *p <= '9') {
            digit = static_cast<uint32_t>(*p - '0');
        } else if (*p >= 'A' && *p <= 'F') {
            digit = static_cast<uint32_t>(*p - 'A' + 10);
        } else if (*p >= 'a' && *p <= 'f') {
            digit = static_cast<uint32_t>(*p - 'a' + 10);
        } else {
            break;
        }
        value = (value << 4) | digit;
    }
    if (used != nullptr) *used = static_cast<int>(p - s);
    return static_cast<int>(value);
}

int _vcstol(const unsigned short* s, unsigned short** end, int base) {
    int used = 0;
    int value;
    if (base == 10) {
        value = _wtol(s, &used);
    } else if (base == 16) {
        value = V_wtol16(s, &used);
    } else {
        return 0;
    }
    if (end != nullptr) *end = const_cast<unsigned short*>(s) + used;
    return value;
}

char* V_strupr(char* s) {
    unsigned char* p = reinterpret_cast<unsigned char*>(s);
    while (*p != 0) {
        // A trail byte may look like an ASCII letter; it is left alone.
        if (IsLeadByte(p)) {
            p += 2;
            continue;
        }
        if (IsLower(*p)) *p = static_cast<unsigned char>(*p - 32);
        ++p;
    }
    return s;
}

char* V_strlwr(char* s) {
    unsigned char* p = reinterpret_cast<unsigned char*>(s);
    while (*p != 0) {
        if (IsLeadByte(p)) {
            p += 2;
            continue;
        }
        if (IsUpper(*p)) *p = static_cast<unsigned char>(*p + 32);
        ++p;
    }
    return s;
}

int V_stricmp(const char* a, const char* b) {
    const unsigned char* pa = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* pb = reinterpret_cast<const unsigned char*>(b);
    while (*pa != 0) {
        if (IsLeadByte(pa)) {
            if (pa[0] != pb[0]) return pa[0] - pb[0];
            // pb[0] is not the terminator, so pb[1] is still inside b.
            if (pa[1] != pb[1]) return pa[1] - pb[1];
            pa += 2;
            pb += 2;
            continue;
        }
        const unsigned int ca = *pa;
        const unsigned int cb = *pb;
        const bool match = ca == cb || (IsLower(ca) && ca - 32 == cb) || (IsLower(cb) && cb - 32 == ca);
        if (!match) return static_cast<int>(ca) - static_cast<int>(cb);
        ++pa;
        ++pb;
    }
    return 0;
}

char* V_strrev(char* s) {
    const size_t length = strlen(s);
    // The platform heap directly: this helper stays usable without the facade.
    char* temp = static_cast<char*>(malloc(length + 1));
    if (temp == nullptr) return nullptr;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    char* out = temp + length;
    *out = 0;
    while (*p != 0) {
        if (IsLeadByte(p)) {
            out -= 2;
            out[0] = static_cast<char>(p[0]);
            out[1] = static_cast<char>(p[1]);
            p += 2;
        } else {
            *--out = static_cast<char>(*p++);
        }
    }
    memcpy(s, temp, length + 1);
    free(temp);
    return s;
}

int _strnicmp(const unsigned char* a, const unsigned char* b, int count) {
    bool trail = false;
    for (int i = 0; i < count; ++i) {
        const unsigned int ca = a[i];
        const unsigned int cb = b[i];
        unsigned int fa = ca;
        unsigned int fb = cb;
        if (trail) {
            // The second byte of a two-byte character is compared as it is.
            trail = false;
        } else {
            if (IsUpper(fa)) fa += 32;
            if (IsUpper(fb)) fb += 32;
            trail = ca >= 0x80;
        }
        if (fa != fb) return static_cast<int>(fa) - static_cast<int>(fb);
        if (ca == 0) return 0;
    }
    return 0;
}
