/// @file
/// Code-page conversion: GBK (code page 936), UTF-8 and UTF-16, plus URL
/// encoding.
///
/// CVCMMap has static members only. GBK conversion uses two lookup tables that
/// GlobalInit loads from the images carried in the library and GlobalUnInit
/// frees; UTF-8 conversion needs no table. Between GlobalInit and GlobalUnInit
/// the tables are read-only and any number of threads may convert at once; a
/// conversion must never overlap GlobalInit or GlobalUnInit. No member takes a
/// lock.
///
/// A code-page argument of 0 selects GBK, any other value UTF-8. The buffer
/// converters write no terminating zero of their own and never write more than
/// the capacity the caller states; a character without a mapping is dropped.
#ifndef VOS_VCMMAP_H
#define VOS_VCMMAP_H

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

class CVString;

/// Selects one of the two tables; any other value selects nothing.
enum EVConversionType {
    EV_MB2WC = 1,  ///< multibyte (GBK) to UTF-16
    EV_WC2MB = 2   ///< UTF-16 to multibyte (GBK)
};

/// The four header words of a table image, in image order. Only the section
/// count is used once the table is loaded.
struct _VCMMapHeader {
    /** @name Words */
    ///@{
    /// Tag, format, number of sections, reserved.
    unsigned short wTag;
    unsigned short wFormat;
    unsigned short wSectionCount;
    unsigned short wReserved;
    ///@}
};

/// One section of a loaded table: the half-open code range
/// [wFirstCode, wFirstCode + wCodeCount) and its entries (null when the
/// section has no codes).
struct _VCMMapSection {
    ///@{
    /// The first code, the number of codes, and the entries.
    unsigned short wFirstCode;
    unsigned short wCodeCount;
    unsigned short* pEntries;
    ///@}
};

/// The code-page converters: static members only.
class VOS_API CVCMMap {
public:
    /// Loads both tables from the built-in images, replacing loaded ones.
    /// Always 1.
    static int GlobalInit();
    /// Frees both tables; conversion then handles ASCII only.
    static void GlobalUnInit();

    /// Loads one table image into the table type selects: 0 for a null image,
    /// else 1 (also for a type that selects nothing, which loads nothing).
    static int InitializeMapData(char* image, EVConversionType type);
    /// Index of the section of table type that holds code, or -1.
    static int FindSectionIndex(unsigned short code, EVConversionType type);

    /// Multibyte (GBK for code page 0, else UTF-8) to UTF-16: the number of
    /// units produced, or that would be produced when dst is null (for GBK an
    /// upper bound). Stops at a zero byte or after srcLen bytes.
    static int MultiByteToWideChar(unsigned int codePage, const char* src, int srcLen,
                                   unsigned short* dst, int dstCapacity);
    /// UTF-16 to multibyte. srcLen < 0 means up to the first zero unit. GBK
    /// gives the bytes produced; UTF-8 the bytes produced + 1 (room for the
    /// caller's terminator), 0 when nothing is produced. defaultChar and
    /// usedDefault are accepted and never used.
    static int WideCharToMultiByte(unsigned int codePage, const unsigned short* src, int srcLen,
                                   char* dst, int dstCapacity, const char* defaultChar,
                                   int* usedDefault);

    /// UTF-8 into a caller's buffer of dstLen units, always zero-terminated
    /// and cut to fit; with a null dst or dstLen 0 the unit count.
    static int Utf8ToUnicode(char* src, unsigned int srcLen, unsigned short* dst,
                             unsigned int dstLen);
    /// UTF-16 into a caller's UTF-8 buffer: the byte count including the
    /// terminator, or 0 with nothing written when it does not fit; with a
    /// null dst or dstLen <= 0 the byte count.
    static int UnicodeToUtf8(unsigned short* src, unsigned int srcLen, char* dst, int dstLen);
    /// UTF-8 to a new zero-terminated GBK string in a counted block (release
    /// it with VDelete), with its length including the terminator in outLen;
    /// null for empty input or when an allocation fails.
    static char* Utf8ToAnsic(char* src, unsigned int srcLen, unsigned int& outLen);

    /// UTF-8 to a string; empty for null or empty input.
    static CVString Utf8ToUnicode(const char* src, unsigned int srcLen);
    /// A string into a caller's UTF-8 buffer, as the buffer form above.
    static int UnicodeToUtf8(CVString str, char* dst, int dstLen);
    /// The URL-encoded UTF-8 form of str: letters and digits stay, every
    /// other byte becomes %XX.
    static CVString UrlEncode(const CVString& str);

    /** @name Loaded tables */
    ///@{
    /// The headers and sections of the GBK-to-UTF-16 and UTF-16-to-GBK tables;
    /// the sections are null while a table is not loaded.
    static _VCMMapHeader m_HeaderMB2WC;
    static _VCMMapHeader m_HeaderWC2MB;
    static _VCMMapSection* m_pSectionMB2WC;
    static _VCMMapSection* m_pSectionWC2MB;
    ///@}

private:
    CVCMMap();
};

VOS_NAMESPACE_END

#endif  // VOS_VCMMAP_H
