// The conversions that take or give a CVString, and URL encoding.
#include "vos/VCMMap.h"

#include <string.h>

#include "vos/VMem.h"
#include "vos/VString.h"
#include "vbase/VCMMapTables.h"

VOS_NAMESPACE_BEGIN

namespace {

inline bool IsAlphaNumeric(unsigned int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

inline void AppendEscaped(unsigned short*& out, unsigned int c) {
    static const char kHex[] = "0123456789ABCDEF";
    out[0] = '%';
    out[1] = static_cast<unsigned short>(kHex[c >> 4]);
    out[2] = static_cast<unsigned short>(kHex[c & 0x0F]);
    out += 3;
}

}  // namespace

CVString CVCMMap::Utf8ToUnicode(const char* src, unsigned int srcLen) {
    CVString result;
    if (src == nullptr || srcLen == 0) return result;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    const size_t n = VCMMap_Utf8ToUtf16(s, srcLen, nullptr, 0);
    if (n == 0 || n >= 0x7FFFFFFF) return result;
    unsigned short* wide = VNew<unsigned short>(static_cast<int>(n) + 1, VOS_HERE);
    if (wide == nullptr) return result;
    VCMMap_Utf8ToUtf16(s, srcLen, wide, n);
    result = wide;
    VDelete(wide);
    return result;
}

int CVCMMap::UnicodeToUtf8(CVString str, char* dst, int dstLen) {
    return UnicodeToUtf8(str.GetBuffer(0), static_cast<unsigned int>(str.GetLength()), dst, dstLen);
}

CVString CVCMMap::UrlEncode(const CVString& str) {
    CVString result;
    const unsigned short* text = str;
    if (text == nullptr || text[0] == 0) return result;

    const int n = WideCharToMultiByte(65001, text, -1, nullptr, 0, nullptr, nullptr);
    // Three output units per byte must still fit an int.
    if (n <= 1 || n > 0x2AAAAAAA) return result;
    unsigned char* utf8 = static_cast<unsigned char*>(CVMem::Allocate(static_cast<unsigned long>(n), VOS_HERE));
    if (utf8 == nullptr) return result;
    memset(utf8, 0, static_cast<size_t>(n));
    WideCharToMultiByte(65001, text, -1, reinterpret_cast<char*>(utf8), n, nullptr, nullptr);

    const int bytes = n - 1;
    unsigned short* encoded = VNew<unsigned short>(3 * bytes + 1, VOS_HERE);
    if (encoded != nullptr) {
        unsigned short* out = encoded;
        for (int i = 0; i < bytes; ++i) {
            const unsigned int c = utf8[i];
            if (IsAlphaNumeric(c)) {
                *out++ = static_cast<unsigned short>(c);
                continue;
            }
            AppendEscaped(out, c);
            // Escaped bytes are taken in pairs from a lead byte 0x82-0xFD on,
            // as the servers that read these URLs have always been sent them;
            // a letter from 'B' upward after such a pair is escaped too.
            if (c >= 0x82 && c <= 0xFD && i + 1 < bytes && utf8[i + 1] > 0x41) {
                ++i;
                AppendEscaped(out, utf8[i]);
            }
        }
        result = encoded;
        VDelete(encoded);
    }
    CVMem::Deallocate(utf8);
    return result;
}

VOS_NAMESPACE_END
