// Helpers for the file tests: strings from UTF-8 literals and direct access
// to the file system that does not go through CVFile.
#ifndef VOS_TESTS_FILES_FILETESTUTIL_H
#define VOS_TESTS_FILES_FILETESTUTIL_H

#include <stdio.h>
#include <sys/stat.h>

#include <string>

#include "support/TestSupport.h"
#include "vos/vos.h"

namespace filetest {

using vostest::Str;

// Holds the UTF-16 form of a path for the operations that take raw units.
class Units {
public:
    explicit Units(const std::string& utf8) : m_text(vostest::U16(utf8.c_str())) {}
    operator const unsigned short*() const { return vostest::Units(m_text); }

private:
    std::u16string m_text;
};

inline void WriteFile(const std::string& path, const std::string& content) {
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
}

// The whole content, or "<missing>" when the file cannot be read.
inline std::string ReadFile(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return "<missing>";
    std::string content;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) content.append(buf, n);
    fclose(f);
    return content;
}

inline bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

inline bool IsDir(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// dir + "/" + a name of 'x's that makes the whole path exactly total bytes.
inline std::string PathOfLength(const std::string& dir, size_t total) {
    return dir + "/" + std::string(total - dir.size() - 1, 'x');
}

}  // namespace filetest

#endif  // VOS_TESTS_FILES_FILETESTUTIL_H
