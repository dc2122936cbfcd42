// The 16-bit number parsers against a plain reference: _wtoi, _wtol,
// V_wtol16 and _vcstol agree with each other and with a digit-by-digit model
// that wraps in 32 bits, report exactly the units they consumed, and never
// read past the terminator (the text sits at the very end of its buffer).
//
// Input: one byte selecting the base for _vcstol, then the text as
// little-endian units; a zero unit ends it.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <vector>

#include "vos/vos.h"

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

struct Parsed {
    int value;
    int used;
};

Parsed Decimal(const unsigned short* s) {
    uint32_t v = 0;
    int i = 0;
    const bool negative = s[0] == '-';
    if (negative) i = 1;
    for (; s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10u + (s[i] - '0');
    return {static_cast<int>(negative ? 0u - v : v), i};
}

int HexDigit(unsigned short c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

Parsed Hex(const unsigned short* s) {
    uint32_t v = 0;
    int i = 0;
    for (; HexDigit(s[i]) >= 0; ++i) v = v * 16u + static_cast<uint32_t>(HexDigit(s[i]));
    return {static_cast<int>(v), i};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const int kBases[] = {10, 16, 8, 0, 2, 36, -10, 17};
    const int base = kBases[data[0] % 8];
    std::vector<unsigned short> units;
    for (size_t i = 1; i + 1 < size; i += 2) {
        const unsigned short u = static_cast<unsigned short>(data[i] | data[i + 1] << 8);
        if (u == 0) break;
        units.push_back(u);
    }
    // An exact-size heap copy, so reading one unit past the terminator trips
    // the address sanitizer.
    unsigned short* text = new unsigned short[units.size() + 1];
    for (size_t i = 0; i < units.size(); ++i) text[i] = units[i];
    text[units.size()] = 0;

    const Parsed dec = Decimal(text);
    const Parsed hex = Hex(text);

    Check(_wtoi(text) == dec.value);
    int used = -7;
    Check(_wtol(text, &used) == dec.value);
    Check(used == dec.used);
    Check(_wtol(text, nullptr) == dec.value);
    used = -7;
    Check(V_wtol16(text, &used) == hex.value);
    Check(used == hex.used);
    Check(V_wtol16(text, nullptr) == hex.value);

    unsigned short* end = nullptr;
    const int r = _vcstol(text, &end, base);
    if (base == 10) {
        Check(r == dec.value && end == text + dec.used);
    } else if (base == 16) {
        Check(r == hex.value && end == text + hex.used);
    } else {
        Check(r == 0 && end == nullptr);
    }
    delete[] text;
    return 0;
}
