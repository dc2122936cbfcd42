// vswprintf: 16-bit formatting through the narrow vsprintf.
//
// The format is converted to the multibyte code page, formatted by the C
// library and converted back. Both legs are bounded: the narrow format and
// the narrow result are each kept to 511 bytes, and the 16-bit result to 511
// units plus its terminator, the room every caller provides.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "vos/VStrFunc.h"
#include "vos/VCMMap.h"

using _palex_zu::CVCMMap;

namespace {

const int kNarrowCapacity = 512;
const int kResultCapacity = 512;

// A format cut short may end inside a conversion directive ("%-08l");
// the C library's behaviour for such a tail is undefined, so it is dropped.
void DropIncompleteConversion(char* format) {
    const size_t length = strlen(format);
    size_t i = 0;
    while (i < length) {
        if (format[i] != '%') {
            ++i;
            continue;
        }
        const size_t start = i++;
        // Flags, width, precision and length modifiers, then one conversion.
        while (i < length && strchr("-+ #0123456789.*'hlLqjztI", format[i]) != nullptr) ++i;
        if (i >= length) {
            format[start] = 0;
            return;
        }
        ++i;
    }
}

}  // namespace

int vswprintf(unsigned short* buffer, const unsigned short* format, va_list args) {
    // A local scratch for the narrow format (rather than buffer itself) keeps
    // a format that lies in buffer intact until it has been converted.
    char narrowFormat[kNarrowCapacity];
    memset(narrowFormat, 0, sizeof(narrowFormat));
    // The converter stops before a two-byte character that would not fit, so
    // a long format is cut at a character boundary.
    int formatBytes =
        CVCMMap::WideCharToMultiByte(0, format, wcslen(format), narrowFormat, kNarrowCapacity - 1, nullptr, nullptr);
    if (formatBytes < 0) formatBytes = 0;
    if (formatBytes > kNarrowCapacity - 1) formatBytes = kNarrowCapacity - 1;
    narrowFormat[formatBytes] = 0;
    DropIncompleteConversion(narrowFormat);

    char narrowResult[kNarrowCapacity];
    memset(narrowResult, 0, sizeof(narrowResult));
    vsnprintf(narrowResult, sizeof(narrowResult), narrowFormat, args);

    int units = CVCMMap::MultiByteToWideChar(0, narrowResult, static_cast<int>(strlen(narrowResult)), buffer,
                                             kResultCapacity - 1);
    if (units < 0) units = 0;
    if (units > kResultCapacity - 1) units = kResultCapacity - 1;
    buffer[units] = 0;
    return units;
}
