// UTF-8 through the general converters and the buffer forms, into
// destinations of a fuzzed capacity that are exactly that large. UTF-16 must
// survive the trip to UTF-8 and back unit for unit.
//
// Input: one byte of capacity, then the text (bytes for decoding, and the same
// bytes read as little-endian units for encoding).
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

void Decode(char* src, int n, int cap) {
    const int count = CVCMMap::MultiByteToWideChar(65001, src, n, nullptr, 0);
    std::vector<unsigned short> full(static_cast<size_t>(count) + 1);
    Check(CVCMMap::MultiByteToWideChar(65001, src, n, full.data(), count + 1) == count);
    unsigned short* dst = new unsigned short[cap > 0 ? cap : 1];
    const int part = CVCMMap::MultiByteToWideChar(65001, src, n, dst, cap);
    Check(part == (count < cap ? count : cap));
    Check(memcmp(dst, full.data(), static_cast<size_t>(part) * 2) == 0);

    // The buffer form cuts to fit and always terminates.
    const int units = CVCMMap::Utf8ToUnicode(src, static_cast<unsigned int>(n), dst, static_cast<unsigned int>(cap));
    if (n > 0 && src[0] != 0 && cap > 0) {
        Check(units == (count < cap ? count : cap - 1));
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
    char* dst = new char[cap > 0 ? cap : 1];
    const int part = CVCMMap::WideCharToMultiByte(65001, src, n, dst, cap, nullptr, nullptr);
    const int bytes = part > 0 ? part - 1 : 0;
    Check(bytes <= cap && (count == 0 || bytes <= count - 1));
    Check(memcmp(dst, full.data(), static_cast<size_t>(bytes)) == 0);

    // All or nothing in the buffer form.
    memset(dst, 0x5A, static_cast<size_t>(cap > 0 ? cap : 1));
    const int whole = CVCMMap::UnicodeToUtf8(src, static_cast<unsigned int>(n), dst, cap);
    if (n > 0 && src[0] != 0 && cap > 0) {
        Check(whole == 0 ? count > cap : (whole == count && dst[count - 1] == 0));
    }
    delete[] dst;

    // The units before the first zero come back exactly.
    if (count > 1) {
        int units = 0;
        while (units < n && src[units] != 0) ++units;
        std::vector<unsigned short> back(static_cast<size_t>(units) + 1);
        const int m = CVCMMap::MultiByteToWideChar(65001, full.data(), count - 1, back.data(), units + 1);
        Check(m == units && memcmp(back.data(), src, static_cast<size_t>(units) * 2) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int cap = data[0];
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
