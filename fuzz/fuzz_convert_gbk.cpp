// GBK through both general converters: decoding arbitrary bytes and encoding
// arbitrary units, into destinations of a fuzzed capacity that are exactly
// that large, so that AddressSanitizer catches any write past the capacity
// and any read past the stated source length.
//
// Input: one byte of capacity, then the text (bytes for decoding, and the same
// bytes read as little-endian units for encoding).
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "vos/vos.h"

using _palex_zu::CVCMMap;

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

void Decode(const char* src, int n, int cap) {
    const int count = CVCMMap::MultiByteToWideChar(0, src, n, nullptr, 0);
    std::vector<unsigned short> full(static_cast<size_t>(count) + 1);
    const int all = CVCMMap::MultiByteToWideChar(0, src, n, full.data(), count + 1);
    // The count never falls short of what the conversion produces.
    Check(all >= 0 && all <= count);
    unsigned short* dst = new unsigned short[cap > 0 ? cap : 1];
    const int part = CVCMMap::MultiByteToWideChar(0, src, n, dst, cap);
    Check(part >= 0 && part <= cap && part <= all);
    Check(memcmp(dst, full.data(), static_cast<size_t>(part) * 2) == 0);
    delete[] dst;
}

void Encode(const unsigned short* src, int n, int cap) {
    const int count = CVCMMap::WideCharToMultiByte(0, src, n, nullptr, 0, nullptr, nullptr);
    std::vector<char> full(static_cast<size_t>(count) + 1);
    const int all = CVCMMap::WideCharToMultiByte(0, src, n, full.data(), count + 1, nullptr, nullptr);
    Check(all == count);
    char* dst = new char[cap > 0 ? cap : 1];
    const int part = CVCMMap::WideCharToMultiByte(0, src, n, dst, cap, nullptr, nullptr);
    Check(part >= 0 && part <= cap && part <= all);
    Check(memcmp(dst, full.data(), static_cast<size_t>(part)) == 0);
    // No code is ever split at the capacity.
    Check(part == all || part + 2 > cap);
    delete[] dst;
    // Whatever was produced decodes again without fault.
    const int back = CVCMMap::MultiByteToWideChar(0, full.data(), all, nullptr, 0);
    Check(back >= 0 && back <= all);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int loaded = CVCMMap::GlobalInit();
    if (loaded != 1 || size < 1) return 0;
    const int cap = data[0];
    const size_t n = size - 1;
    // Exact-size copies: nothing after the stated length is readable.
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
