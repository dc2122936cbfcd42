// The two general converters and their GBK walks.
#include "vos/VCMMap.h"

#include <stdint.h>
#include <string.h>

#include "vbase/VCMMapAscii.h"
#include "vbase/VCMMapBlocks.h"
#include "vbase/VCMMapTables.h"

VOS_NAMESPACE_BEGIN

namespace {

// One GBK character with every bound checked; false when the walk ends
// here. A lead byte whose trail byte is missing (the end of the source or
// its zero) ends the walk: the trail would lie outside the text.
inline bool GbkStep(const unsigned char*& s, const unsigned char* end, unsigned short*& d,
                    const unsigned short* index) {
    const unsigned int c = *s;
    if (c < 0x80) {
        if (c == 0) return false;
        *d++ = static_cast<unsigned short>(c);
        ++s;
        return true;
    }
    if (c == kVCMMapEuroByte) {
        *d++ = kVCMMapEuroUnit;
        ++s;
        return true;
    }
    if (c == 0xFF) {
        ++s;
        return true;
    }
    if (end - s < 2 || s[1] == 0) return false;
    const unsigned int code = c << 8 | s[1];
    s += 2;
    const unsigned short unit =
        index != nullptr ? index[code - 0x8100] : VCMMap_LookupMB2WC(static_cast<unsigned short>(code));
    if (unit != kVCMMapNoEntry) *d++ = unit;
    return true;
}


size_t GbkToUtf16(const unsigned char* s, size_t n, unsigned short* d, size_t cap) {
    const unsigned char* const end = s + n;
    unsigned short* const start = d;
    unsigned short* const dend = d + cap;
    const unsigned short* const index = CVCMMapIndex::s_pMB2WC;
    const CVCMMapBlockWalks* const blocks = VCMMap_BlockWalks();
    if (index != nullptr && blocks != nullptr && blocks->pfnGbkToUtf16 != nullptr) {
        size_t i = 0;
        size_t out = 0;
        blocks->pfnGbkToUtf16(s, n, d, cap, index, &i, &out);
        s += i;
        d += out;
    }
    while (index != nullptr) {
        const size_t left = static_cast<size_t>(end - s);
        const size_t room = static_cast<size_t>(dend - d);
        if (left < 2 || room == 0) break;
        // Below limit a lead byte's trail lies inside the source and, since no
        // byte yields more than one unit, the destination has room for all.
        const unsigned char* const limit = s + VCMMap_MinSize(left - 1, room);
        while (s < limit) {
            const unsigned int c = *s;
            if (c - 0x81 < 0x7E) {
                const unsigned int trail = s[1];
                const unsigned short unit = index[(c << 8 | trail) - 0x8100];
                s += 2;
                if (unit != kVCMMapNoEntry) {
                    *d++ = unit;
                } else if (trail == 0) {
                    // The index never maps a trail byte 0: it is the terminator.
                    return static_cast<size_t>(d - start);
                }
            } else if (c < 0x80) {
                if (c == 0) return static_cast<size_t>(d - start);
                const size_t run = VCMMap_WidenAsciiRun(s, static_cast<size_t>(limit - s), d);
                s += run;
                d += run;
            } else {
                if (c == kVCMMapEuroByte) *d++ = kVCMMapEuroUnit;
                ++s;  // 0xFF maps to nothing
            }
        }
    }
    while (s < end && d < dend && GbkStep(s, end, d, index)) {
    }
    return static_cast<size_t>(d - start);
}

// GBK counting walk: one unit per byte 0x00-0x80 and per double-byte code,
// whether or not the table maps it, so the count never falls short of the
// conversion. A lead byte cut off by the end counts once and ends the walk.
size_t CountGbk(const unsigned char* s, size_t n) {
    size_t count = 0;
    size_t i = 0;
    while (i < n && s[i] != 0) {
        const unsigned int c = s[i];
        if (c == 0xFF) {
            ++i;
            continue;
        }
        ++count;
        if (c <= 0x80) {
            ++i;
            continue;
        }
        if (n - i < 2 || s[i + 1] == 0) break;
        i += 2;
    }
    return count;
}

inline unsigned short EntryWC2MB(unsigned int unit) {
    return CVCMMapIndex::s_pWC2MB != nullptr ? CVCMMapIndex::s_pWC2MB[unit]
                                             : VCMMap_LookupWC2MB(static_cast<unsigned short>(unit));
}

inline size_t EntryBytes(unsigned int entry) { return VCMMap_IsSingleByteEntry(entry) ? 1 : 2; }

// UTF-16 to GBK. A two-byte code that does not fit the capacity ends the
// walk; nothing is ever split.
size_t Utf16ToGbk(const unsigned short* s, size_t n, unsigned char* d, size_t cap) {
    const unsigned short* const end = s + n;
    unsigned char* const start = d;
    unsigned char* const dend = d + cap;
    const unsigned short* const entries = CVCMMapIndex::s_pWC2MB;
    // Sixteen units at a time while there is room for two bytes each. A
    // block of plain ASCII is narrowed at once; otherwise every unit stores
    // its entry's two bytes, trail byte first, the lead byte (or the single
    // byte) then at the first place, so no branch depends on the mix of
    // ASCII and ideographs. Units without an entry, the terminator among
    // them, and the euro sign take the one branch, which the text almost
    // never takes.
    const CVCMMapBlockWalks* const blocks = VCMMap_BlockWalks();
    if (entries != nullptr && blocks != nullptr && blocks->pfnUtf16ToGbk != nullptr) {
        size_t i = 0;
        size_t out = 0;
        blocks->pfnUtf16ToGbk(s, n, d, cap, entries, &i, &out);
        s += i;
        d += out;
    }
    const size_t kBlock = 16;  // VCMMap_NarrowAscii16's block
    while (entries != nullptr && static_cast<size_t>(end - s) >= kBlock &&
           static_cast<size_t>(dend - d) >= 2 * kBlock) {
        if (VCMMap_NarrowAscii16(s, d)) {
            // ASCII text: on with the run as far as it goes.
            s += kBlock;
            d += kBlock;
            const size_t run = VCMMap_NarrowAsciiRun(
                s, VCMMap_MinSize(static_cast<size_t>(end - s), static_cast<size_t>(dend - d)), d);
            s += run;
            d += run;
            continue;
        }
        for (size_t i = 0; i < kBlock; ++i) {
            const unsigned int u = s[i];
            const unsigned int entry = entries[u];
            if (entry >= kVCMMapSingleMark) {
                if (entry != kVCMMapNoEntry) {
                    *d++ = static_cast<unsigned char>(entry & 0xFF);
                } else if (u == 0) {
                    return static_cast<size_t>(d - start);
                }
                continue;
            }
            // Taken from the unit, not the entry: the next store's place
            // does not wait for the table.
            const size_t two = u >= 0x80 ? 1 : 0;
            d[two] = static_cast<unsigned char>(entry >> 8);
            d[0] = static_cast<unsigned char>(entry & 0xFF);
            d += 1 + two;
        }
        s += kBlock;
    }
    while (s < end && d < dend) {
        const unsigned int u = *s;
        if (u < 0x80) {
            if (u == 0) break;
            *d++ = static_cast<unsigned char>(u);
            ++s;
            continue;
        }
        const unsigned short entry = EntryWC2MB(u);
        if (entry != kVCMMapNoEntry) {
            const size_t bytes = EntryBytes(entry);
            if (static_cast<size_t>(dend - d) < bytes) break;
            d[bytes - 1] = static_cast<unsigned char>(entry >> 8);
            d[0] = static_cast<unsigned char>(entry & 0xFF);
            d += bytes;
        }
        ++s;
    }
    return static_cast<size_t>(d - start);
}

size_t CountUtf16ToGbk(const unsigned short* s, size_t n) {
    size_t count = 0;
    for (size_t i = 0; i < n && s[i] != 0; ++i) {
        const unsigned int u = s[i];
        if (u < 0x80) {
            ++count;
        } else {
            const unsigned short entry = EntryWC2MB(u);
            if (entry != kVCMMapNoEntry) count += EntryBytes(entry);
        }
    }
    return count;
}

// Results are ints: a count beyond INT_MAX cannot be reported, so the walks
// are never given more than that.
inline int ToResult(size_t n) { return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n); }

}  // namespace

int CVCMMap::MultiByteToWideChar(unsigned int codePage, const char* src, int srcLen, unsigned short* dst,
                                 int dstCapacity) {
    if (src == nullptr || srcLen <= 0) return 0;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = static_cast<size_t>(srcLen);
    if (dst == nullptr) {
        return ToResult(codePage == 0 ? CountGbk(s, n) : VCMMap_Utf8ToUtf16(s, n, nullptr, 0));
    }
    if (dstCapacity <= 0) return 0;
    const size_t cap = static_cast<size_t>(dstCapacity);
    return ToResult(codePage == 0 ? GbkToUtf16(s, n, dst, cap) : VCMMap_Utf8ToUtf16(s, n, dst, cap));
}

int CVCMMap::WideCharToMultiByte(unsigned int codePage, const unsigned short* src, int srcLen, char* dst,
                                 int dstCapacity, const char* /*defaultChar*/, int* /*usedDefault*/) {
    if (src == nullptr) return 0;
    size_t n = static_cast<size_t>(srcLen);
    if (srcLen < 0) {
        n = 0;
        while (src[n] != 0) ++n;
    }
    unsigned char* d = reinterpret_cast<unsigned char*>(dst);
    size_t produced;
    if (dst == nullptr) {
        produced = codePage == 0 ? CountUtf16ToGbk(src, n) : VCMMap_Utf16ToUtf8(src, n, nullptr, 0);
    } else if (dstCapacity <= 0) {
        produced = 0;
    } else {
        const size_t cap = static_cast<size_t>(dstCapacity);
        // A UTF-8 result cut by the capacity must not claim a terminator
        // past the buffer.
        if (codePage != 0) return VCMMap_Utf16ToUtf8Terminated(src, n, d, cap);
        produced = Utf16ToGbk(src, n, d, cap);
    }
    if (codePage == 0) return ToResult(produced);
    // UTF-8 leaves room for the caller's terminator.
    return produced == 0 ? 0 : ToResult(produced + 1);
}

VOS_NAMESPACE_END
