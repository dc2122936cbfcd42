// Interim: ASCII-only stand-ins for the code-page converters, used until
// CVCMMap lands; they are replaced by direct CVCMMap calls.
#ifndef VOS_VBASE_VSTRCODEPAGE_H
#define VOS_VBASE_VSTRCODEPAGE_H

inline int V_MultiByteToUnits(const char* s, int n, unsigned short* dst, int capacity) {
    int out = 0;
    for (int i = 0; i < n && s[i] != 0 && out < capacity; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) dst[out++] = c;
    }
    return out;
}

inline int V_UnitsToMultiByte(const unsigned short* s, int n, char* dst, int capacity) {
    int out = 0;
    for (int i = 0; i < n && s[i] != 0 && out < capacity; ++i) {
        if (s[i] < 0x80) dst[out++] = static_cast<char>(s[i]);
    }
    return out;
}

#endif  // VOS_VBASE_VSTRCODEPAGE_H
