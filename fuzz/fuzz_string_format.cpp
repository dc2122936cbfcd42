// Fuzzes CVString::Format and vswprintf with arbitrary 16-bit formats.
//
// Input: byte 0 picks the argument set, the rest are little-endian 16-bit
// units of the format. A '%' unit is always followed by a complete conversion
// chosen from a table (the next unit picks it), so the format never asks for
// an argument the harness does not pass: every argument is a narrow string
// pointer, which %d, %x, %c and %u read as a word-sized slot on the host.
// Checks: the result stays within 511 units and is terminated, a 512-unit
// heap buffer is never overrun (AddressSanitizer), and all-ASCII runs agree
// with the C library's own snprintf.
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "vos/vos.h"

using _palex_zu::CVString;

namespace {

const char* const kConversions[] = {"%s",  "%d",  "%x",    "%c",    "%u",   "%%",    "%5s",  "%-7s",
                                    "%.3s", "%500s", "%-300d", "%08X", "%.0s", "%3c", "%s%s", "%+d"};
const int kMaxConversions = 12;

std::string g_long(900, 'L');

// Argument sets: ASCII only (comparable with snprintf), and one with text in
// the multibyte code page, including a lead byte cut off by the terminator.
const char* const kAsciiArgs[] = {"alpha", "", "b", "0123456789", g_long.c_str(), "x y z", "%s%n", "tail"};
const char* const kGbkArgs[] = {"\xB0\xA1\xD6\xD0", "\xB0", "a\x80" "b", "\xFF\xFE", g_long.c_str(), "", "\xA1\xA1", "z"};

void Fail(const char* what) {
    fprintf(stderr, "fuzz_string_format: %s\n", what);
    abort();
}

int CallVswprintf(unsigned short* buffer, const unsigned short* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = vswprintf(buffer, format, args);
    va_end(args);
    return n;
}

// Formats the same all-ASCII format with the C library and checks that the
// 16-bit result carries the same text.
void CompareWithSnprintf(const std::vector<unsigned short>& format, const unsigned short* buffer, int n,
                         const char* const* a) {
    std::string narrow;
    for (size_t i = 0; format[i] != 0; ++i) narrow.push_back(static_cast<char>(format[i]));
    if (narrow.size() > 511) return;
    char expected[512];
    snprintf(expected, sizeof(expected), narrow.c_str(), a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[0], a[1], a[2],
             a[3], a[4], a[5], a[6], a[7], a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    // %c of a pointer slot may print a byte of the code page's upper half,
    // which the conversion back rightly reads as text in that code page.
    for (const char* p = expected; *p != 0; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80) return;
    }
    const size_t length = strlen(expected);
    if (static_cast<size_t>(n) != length) Fail("length differs from snprintf");
    for (size_t i = 0; i < length; ++i) {
        if (buffer[i] != static_cast<unsigned char>(expected[i])) Fail("text differs from snprintf");
    }
}

}  // namespace

// The code-page tables stay loaded for the whole run, as they are between
// the library's start-up and shut-down.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    _palex_zu::CVCMMap::GlobalInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool ascii = (data[0] & 1) == 0;
    const char* const* a = ascii ? kAsciiArgs : kGbkArgs;

    // Build the format: conversions come from the table, other units as given
    // (a zero unit ends the format, as it would for any caller).
    std::vector<unsigned short> format;
    bool allAscii = true;
    int conversions = 0;
    for (size_t i = 1; i + 1 < size; i += 2) {
        unsigned short unit = static_cast<unsigned short>(data[i] | (data[i + 1] << 8));
        if (unit == 0) break;
        if (unit == '%') {
            if (conversions >= kMaxConversions || i + 3 >= size) {
                format.push_back('#');
                continue;
            }
            const char* conv = kConversions[data[i + 2] % (sizeof(kConversions) / sizeof(kConversions[0]))];
            for (const char* p = conv; *p != 0; ++p) format.push_back(static_cast<unsigned char>(*p));
            conversions += 2;
            i += 2;
            continue;
        }
        if (unit >= 0x80) allAscii = false;
        format.push_back(unit);
    }
    format.push_back(0);

    // vswprintf into a heap buffer of exactly the promised 512 units.
    unsigned short* buffer = static_cast<unsigned short*>(malloc(512 * sizeof(unsigned short)));
    memset(buffer, 0xEE, 512 * sizeof(unsigned short));
    const int n = CallVswprintf(buffer, format.data(), a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[0], a[1], a[2],
                                a[3], a[4], a[5], a[6], a[7], a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    if (n < 0 || n > 511) Fail("vswprintf result out of range");
    if (buffer[n] != 0) Fail("vswprintf result not terminated");
    for (int i = 0; i < n; ++i) {
        if (buffer[i] == 0) Fail("zero unit inside the counted result");
    }

    if (ascii && allAscii) CompareWithSnprintf(format, buffer, n, a);

    CVString s;
    s.Format(format.data(), a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7],
             a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    if (s.GetLength() != n) Fail("Format and vswprintf disagree on the length");
    if (n > 0) {
        const unsigned short* text = s;
        if (memcmp(text, buffer, static_cast<size_t>(n) * sizeof(unsigned short)) != 0) Fail("Format and vswprintf disagree");
        if (text[n] != 0) Fail("Format result not terminated");
    }
    free(buffer);
    return 0;
}
