// Loading, freeing and searching the two code-page tables, and the direct
// lookup index the converters use.
#include "vos/VCMMap.h"

#include <string.h>

#include "vos/VMem.h"
#include "vbase/VCMMapTables.h"

VOS_NAMESPACE_BEGIN

_VCMMapHeader CVCMMap::m_HeaderMB2WC = {0, 0, 0, 0};
_VCMMapHeader CVCMMap::m_HeaderWC2MB = {0, 0, 0, 0};
_VCMMapSection* CVCMMap::m_pSectionMB2WC = nullptr;
_VCMMapSection* CVCMMap::m_pSectionWC2MB = nullptr;

namespace {

const unsigned int kMB2WCIndexBase = 0x8100;
const unsigned int kMB2WCIndexSize = 0xFF00 - kMB2WCIndexBase;
// The single-byte entries ahead of the double-byte index.
const unsigned int kSingleByteEntries = 0x100;

// Entries of the Unicode-to-multibyte index: one per unit.
const unsigned int kWC2MBIndexSize = 0x10000;

// The images are read byte by byte: they need not be aligned, and their
// words are little-endian whatever the target.
inline unsigned short ReadWord(const unsigned char* p) {
    return static_cast<unsigned short>(p[0] | (p[1] << 8));
}

_VCMMapHeader& HeaderOf(EVConversionType type) {
    return type == EV_MB2WC ? CVCMMap::m_HeaderMB2WC : CVCMMap::m_HeaderWC2MB;
}

_VCMMapSection*& SectionsOf(EVConversionType type) {
    return type == EV_MB2WC ? CVCMMap::m_pSectionMB2WC : CVCMMap::m_pSectionWC2MB;
}

void FreeTable(EVConversionType type) {
    _VCMMapSection*& sections = SectionsOf(type);
    _VCMMapHeader& header = HeaderOf(type);
    if (type == EV_MB2WC) {
        CVCMMapIndex::FreeMB2WC();
    } else {
        CVCMMapIndex::FreeWC2MB();
    }
    if (sections != nullptr) {
        for (unsigned int i = 0; i < header.wSectionCount; ++i) CVMem::Deallocate(sections[i].pEntries);
        CVMem::Deallocate(sections);
    }
    sections = nullptr;
    header.wSectionCount = 0;
}

}  // namespace

unsigned short* CVCMMapIndex::s_pMB2WC = nullptr;
unsigned short* CVCMMapIndex::s_pWC2MB = nullptr;

unsigned short VCMMap_LookupMB2WC(unsigned short code) {
    const int index = CVCMMap::FindSectionIndex(code, EV_MB2WC);
    if (index < 0) return kVCMMapNoEntry;
    const _VCMMapSection& section = CVCMMap::m_pSectionMB2WC[index];
    return section.pEntries[code - section.wFirstCode];
}

unsigned short VCMMap_LookupWC2MB(unsigned short unit) {
    // The euro sign lies in no section: its byte is the single byte that
    // the multibyte side reads as it, table or not.
    if (unit == kVCMMapEuroUnit) return static_cast<unsigned short>(kVCMMapEuroByte);
    const int index = CVCMMap::FindSectionIndex(unit, EV_WC2MB);
    if (index < 0) return kVCMMapNoEntry;
    const _VCMMapSection& section = CVCMMap::m_pSectionWC2MB[index];
    const unsigned short entry = section.pEntries[unit - section.wFirstCode];
    // A single-byte entry is written as that byte where the byte stands for
    // a character alone; a zero would end the text, and a lone lead byte
    // (or 0xFF) would take the next character with it.
    if (entry <= 0x00FF) {
        return entry == 0 || entry > kVCMMapEuroByte ? kVCMMapNoEntry : entry;
    }
    return entry;
}

void CVCMMapIndex::BuildMB2WC() {
    FreeMB2WC();
    unsigned short* block = static_cast<unsigned short*>(
        CVMem::Allocate((kSingleByteEntries + kMB2WCIndexSize) * sizeof(unsigned short), VOS_HERE));
    // Without the index the converters fall back to the section search.
    if (block == nullptr) return;
    for (unsigned int c = 0; c < kSingleByteEntries; ++c) {
        block[c] = (c == 0 || c > kVCMMapEuroByte) ? kVCMMapNoEntry
                                                   : static_cast<unsigned short>(c == kVCMMapEuroByte ? kVCMMapEuroUnit : c);
    }
    unsigned short* index = block + kSingleByteEntries;
    for (unsigned int i = 0; i < kMB2WCIndexSize; ++i) {
        // A trail byte 0 is always the terminator, never part of a code: the
        // converters rely on finding no entry there.
        index[i] = (i & 0xFF) == 0 ? kVCMMapNoEntry
                                   : VCMMap_LookupMB2WC(static_cast<unsigned short>(kMB2WCIndexBase + i));
    }
    s_pMB2WC = index;
}

void CVCMMapIndex::FreeMB2WC() {
    if (s_pMB2WC != nullptr) CVMem::Deallocate(s_pMB2WC - kSingleByteEntries);
    s_pMB2WC = nullptr;
}

void CVCMMapIndex::BuildWC2MB() {
    FreeWC2MB();
    // One flat entry per unit: a single load per character, for the block
    // walks as for the plain one.
    unsigned short* entries =
        static_cast<unsigned short*>(CVMem::Allocate(kWC2MBIndexSize * sizeof(unsigned short), VOS_HERE));
    // Without the index the converters fall back to the section search.
    if (entries == nullptr) return;
    for (unsigned int unit = 0; unit < kWC2MBIndexSize; ++unit) {
        // Plain ASCII gives its own byte, so that the converters need not
        // tell it from other units; the terminator has no entry.
        unsigned short entry = unit == 0 ? kVCMMapNoEntry
                               : unit < 0x80 ? static_cast<unsigned short>(unit)
                                             : VCMMap_LookupWC2MB(static_cast<unsigned short>(unit));
        if (unit >= 0x80 && entry <= 0xFF) entry = static_cast<unsigned short>(kVCMMapSingleMark | entry);
        entries[unit] = entry;
    }
    s_pWC2MB = entries;
}

void CVCMMapIndex::FreeWC2MB() {
    if (s_pWC2MB != nullptr) CVMem::Deallocate(s_pWC2MB);
    s_pWC2MB = nullptr;
}

int CVCMMap::GlobalInit() {
    GlobalUnInit();
    const int loaded =
        InitializeMapData(const_cast<char*>(reinterpret_cast<const char*>(g_VCMMapImageMB2WC)), EV_MB2WC) &&
        InitializeMapData(const_cast<char*>(reinterpret_cast<const char*>(g_VCMMapImageWC2MB)), EV_WC2MB);
    if (!loaded) {
        GlobalUnInit();
        return 0;
    }
    return 1;
}

void CVCMMap::GlobalUnInit() {
    FreeTable(EV_MB2WC);
    FreeTable(EV_WC2MB);
}

int CVCMMap::InitializeMapData(char* image, EVConversionType type) {
    if (image == nullptr) return 0;
    if (type != EV_MB2WC && type != EV_WC2MB) return 1;

    // A table loaded earlier would otherwise be lost with its memory.
    FreeTable(type);

    const unsigned char* p = reinterpret_cast<const unsigned char*>(image);
    _VCMMapHeader header;
    header.wTag = ReadWord(p);
    header.wFormat = ReadWord(p + 2);
    header.wSectionCount = ReadWord(p + 4);
    header.wReserved = ReadWord(p + 6);

    const unsigned int count = header.wSectionCount;
    _VCMMapSection* sections = nullptr;
    if (count > 0) {
        sections = static_cast<_VCMMapSection*>(CVMem::Allocate(count * sizeof(_VCMMapSection), VOS_HERE));
        if (sections == nullptr) return 0;
        memset(sections, 0, count * sizeof(_VCMMapSection));
    }
    const unsigned char* directory = p + 8;
    for (unsigned int i = 0; i < count; ++i) {
        sections[i].wFirstCode = ReadWord(directory + 4 * i);
        sections[i].wCodeCount = ReadWord(directory + 4 * i + 2);
    }
    const unsigned char* entries = directory + 4 * count;
    for (unsigned int i = 0; i < count; ++i) {
        const unsigned int codes = sections[i].wCodeCount;
        if (codes == 0) continue;
        unsigned short* array = static_cast<unsigned short*>(CVMem::Allocate(codes * sizeof(unsigned short), VOS_HERE));
        if (array == nullptr) {
            for (unsigned int j = 0; j < i; ++j) CVMem::Deallocate(sections[j].pEntries);
            CVMem::Deallocate(sections);
            return 0;
        }
        for (unsigned int k = 0; k < codes; ++k) array[k] = ReadWord(entries + 2 * k);
        sections[i].pEntries = array;
        entries += 2 * codes;
    }

    HeaderOf(type) = header;
    SectionsOf(type) = sections;
    if (type == EV_MB2WC) {
        CVCMMapIndex::BuildMB2WC();
    } else {
        CVCMMapIndex::BuildWC2MB();
    }
    return 1;
}

int CVCMMap::FindSectionIndex(unsigned short code, EVConversionType type) {
    if (type != EV_MB2WC && type != EV_WC2MB) return -1;
    const _VCMMapSection* sections = SectionsOf(type);
    const int count = HeaderOf(type).wSectionCount;
    if (sections == nullptr || count == 0) return -1;

    const int last = count - 1;
    const unsigned int c = code;
    if (c < sections[0].wFirstCode) return -1;
    if (c >= static_cast<unsigned int>(sections[last].wFirstCode) + sections[last].wCodeCount) return -1;
    if (c < static_cast<unsigned int>(sections[0].wFirstCode) + sections[0].wCodeCount) return 0;
    if (c >= sections[last].wFirstCode) return last;

    int lo = 0;
    int hi = last;
    while (lo < hi) {
        const int mid = (lo + hi) >> 1;
        const unsigned int first = sections[mid].wFirstCode;
        if (c < first) {
            hi = mid;
        } else if (c < first + sections[mid].wCodeCount) {
            return mid;
        } else {
            lo = mid + 1;
        }
    }
    return -1;
}

VOS_NAMESPACE_END
