// URL encoding of arbitrary strings: the result holds only letters, digits
// and %XX escapes, and unescaping it gives back the UTF-8 form of the string.
//
// Input: little-endian units; a zero unit ends the string.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

int HexValue(unsigned short c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<unsigned short> units;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const unsigned short u = static_cast<unsigned short>(data[i] | data[i + 1] << 8);
        if (u == 0) break;
        units.push_back(u);
    }
    units.push_back(0);
    const CVString in(units.data());
    const CVString out = CVCMMap::UrlEncode(in);

    const int n = CVCMMap::WideCharToMultiByte(65001, units.data(), -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> utf8(static_cast<size_t>(n) + 1);
    CVCMMap::WideCharToMultiByte(65001, units.data(), -1, utf8.data(), n, nullptr, nullptr);
    const std::string want(utf8.data(), n > 0 ? static_cast<size_t>(n - 1) : 0);

    std::string decoded;
    const unsigned short* p = out;
    const int len = out.GetLength();
    for (int i = 0; i < len;) {
        const unsigned short c = p[i];
        if (c == '%') {
            Check(i + 2 < len);
            const int hi = HexValue(p[i + 1]), lo = HexValue(p[i + 2]);
            Check(hi >= 0 && lo >= 0);
            decoded += static_cast<char>(hi << 4 | lo);
            i += 3;
        } else {
            Check((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
            decoded += static_cast<char>(c);
            ++i;
        }
    }
    Check(decoded == want);
    return 0;
}
