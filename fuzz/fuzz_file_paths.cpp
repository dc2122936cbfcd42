// Path handling of the file layer inside a private temporary directory:
// GetDir with a fuzzed name filter lists exactly the names that end with it,
// and CreateDirectory of a fuzzed relative path (either slash) gives 1
// exactly when the whole path then exists as a directory. Names that hold a
// surrogate half without its partner are made the way another program
// would (each half a three-byte sequence): they are not UTF-8, so listings
// leave them out, and the file layer refuses such paths.
//
// Input: bytes pick units from a small alphabet (letters, a dot, digits, a
// CJK character, both surrogate halves, both slashes); unit 0xFF ends a part.
// Parts: up to eight file names, then a filter, then a directory path.
#include <dirent.h>
#include <ftw.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

typedef std::u16string Units16;

const char16_t kAlphabet[] = {u'a', u'b', u't', u'x', u'.', u'1', u'-', 0x4E2D, 0xD800, 0xDC00, u'/', u'\\', u'T'};
const size_t kPlainCount = 10;  // letters to the surrogate halves: no separator

bool IsHigh(char16_t c) { return (c & 0xFC00) == 0xD800; }
bool IsLow(char16_t c) { return (c & 0xFC00) == 0xDC00; }

bool HasLoneHalf(const std::u16string& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (IsLow(s[i])) return true;
        if (IsHigh(s[i])) {
            if (i + 1 == s.size() || !IsLow(s[i + 1])) return true;
            ++i;
        }
    }
    return false;
}

std::string Root() {
    static std::string root;
    if (root.empty()) {
        char templ[] = "/tmp/vos-fuzz-paths-XXXXXX";
        const char* made = mkdtemp(templ);
        Check(made != nullptr);
        root = made;
    }
    return root;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

void EmptyRoot() {
    const std::string root = Root();
    DIR* d = opendir(root.c_str());
    if (d == nullptr) return;
    std::vector<std::string> entries;
    for (struct dirent* e = readdir(d); e != nullptr; e = readdir(d)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) entries.push_back(root + "/" + e->d_name);
    }
    closedir(d);
    for (const auto& p : entries) nftw(p.c_str(), RemoveEntry, 8, FTW_DEPTH | FTW_PHYS);
}

// The UTF-8 form of a path: a pair is one four-byte sequence; a lone half
// becomes a three-byte sequence, as other programs write it.
std::string Utf8(const Units16& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned u = s[i];
        if (IsHigh(s[i]) && i + 1 < s.size() && IsLow(s[i + 1])) {
            u = 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
            out += static_cast<char>(0xF0 | (u >> 18));
            out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

CVString Str(const Units16& s) { return CVString(reinterpret_cast<const unsigned short*>(s.c_str())); }

Units16 FromUtf8(const std::string& s) {
    Units16 out;
    for (char c : s) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

bool EndsWith(const Units16& s, const Units16& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void TestListing(const std::vector<Units16>& names, const Units16& filter) {
    std::set<Units16> created;
    for (const Units16& n : names) {
        if (n.empty() || n == u"." || n == u"..") continue;
        const std::string path = Root() + "/" + Utf8(n);
        FILE* f = fopen(path.c_str(), "w");
        if (f == nullptr) continue;
        fclose(f);
        created.insert(n);
    }
    Units16 suffix = filter;
    if (!suffix.empty() && suffix[0] != u'.') suffix.insert(suffix.begin(), u'.');
    std::set<Units16> want;
    for (const Units16& n : created) {
        if (HasLoneHalf(n)) continue;
        if (suffix.empty() || EndsWith(n, suffix)) want.insert(n);
    }

    CVArray<CVString, CVString&> out;
    const int count = CVFile::GetDir(Str(FromUtf8(Root())), Str(filter), out);
    Check(count == out.GetSize());
    std::set<Units16> got;
    for (int i = 0; i < out.GetSize(); ++i) {
        const unsigned short* p = out[i];
        Check(p != nullptr);
        got.insert(Units16(reinterpret_cast<const char16_t*>(p), static_cast<size_t>(out[i].GetLength())));
    }
    Check(static_cast<size_t>(count) == got.size());  // no name twice
    Check(got == want);
    // A listing into an array that holds names already is refused.
    if (out.GetSize() > 0) Check(CVFile::GetDir(Str(FromUtf8(Root())), Str(filter), out) == 0);
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void TestCreateDirectory(const Units16& rel) {
    // ".." would leave the temporary directory.
    Units16 part;
    for (size_t i = 0; i <= rel.size(); ++i) {
        if (i == rel.size() || rel[i] == u'/' || rel[i] == u'\\') {
            if (part == u"..") return;
            part.clear();
        } else {
            part += rel[i];
        }
    }
    Units16 full = FromUtf8(Root() + "/dirs/") + rel;
    const int r = CVFile::CreateDirectory(reinterpret_cast<const unsigned short*>(full.c_str()));
    std::string sys = Root() + "/dirs/" + Utf8(rel);
    for (char& c : sys) {
        if (c == '\\') c = '/';
    }
    const bool exists = IsDirectory(sys);
    Check(r == (exists ? 1 : 0));
    if (HasLoneHalf(rel)) Check(r == 0);
    Check(CVFile::IsDirectoryExist(reinterpret_cast<const unsigned short*>(full.c_str())) == (exists ? 1 : 0));
    // A second call over an existing path agrees.
    if (exists) Check(CVFile::CreateDirectory(reinterpret_cast<const unsigned short*>(full.c_str())) == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<Units16> parts(1);
    for (size_t i = 0; i < size && parts.size() <= 10; ++i) {
        if (data[i] == 0xFF) {
            parts.emplace_back();
            continue;
        }
        if (parts.back().size() >= 24) continue;
        parts.back() += kAlphabet[data[i] % (sizeof kAlphabet / sizeof kAlphabet[0])];
    }
    // File names and the filter are single components.
    std::vector<Units16> names;
    Units16 filter;
    Units16 dir;
    for (size_t i = 0; i < parts.size(); ++i) {
        Units16 p = parts[i];
        if (i + 1 < parts.size() || parts.size() == 1) {
            for (char16_t& c : p) {
                if (c == u'/' || c == u'\\') c = kAlphabet[(c + i) % kPlainCount];
            }
        }
        if (i + 2 < parts.size()) {
            names.push_back(p);
        } else if (i + 2 == parts.size()) {
            // Short enough for the filter buffer with its dot; the limits
            // themselves have tests of their own.
            filter = p.substr(0, 8);
        } else {
            dir = p;
        }
    }
    EmptyRoot();
    TestListing(names, filter);
    if (!dir.empty()) TestCreateDirectory(dir);
    EmptyRoot();
    return 0;
}
