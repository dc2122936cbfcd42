// Text of the library's UTF-16 strings for an example's output, converted by
// the library's own UTF-8 code page.
#ifndef VOS_EXAMPLES_COMMON_EXAMPLETEXT_H
#define VOS_EXAMPLES_COMMON_EXAMPLETEXT_H

#include <string>

#include "vos/vos.h"

namespace vosexample {

inline std::string Utf8(const unsigned short* units, int count) {
    if (units == nullptr || count <= 0) return std::string();
    std::string out(static_cast<size_t>(count) * 3 + 1, '\0');
    const int n = _palex_zu::CVCMMap::WideCharToMultiByte(65001, units, count, &out[0], static_cast<int>(out.size()),
                                                          nullptr, nullptr);
    // The UTF-8 count includes room for a terminator.
    out.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return out;
}

inline std::string Utf8(const _palex_zu::CVString& s) {
    return Utf8(static_cast<const unsigned short*>(s), s.GetLength());
}

inline _palex_zu::CVString FromUtf8(const std::string& s) {
    return _palex_zu::CVCMMap::Utf8ToUnicode(s.c_str(), static_cast<unsigned int>(s.size()));
}

}  // namespace vosexample

#endif  // VOS_EXAMPLES_COMMON_EXAMPLETEXT_H
