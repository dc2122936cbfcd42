// vconv: converts text between GBK, UTF-8 and UTF-16LE with the library's
// converters.
//
//   vconv -f gbk|utf-8|utf-16le -t gbk|utf-8|utf-16le [FILE]
//
// Reads FILE (standard input without one) and writes the converted text to
// standard output. Characters without a code in the target are dropped, as
// the library's converters drop them. Exit status: 0 on success, 1 when the
// input or output fails mid-way, 2 on bad arguments or an unreadable file.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "vos/vos.h"

using _palex_zu::CVCMMap;

namespace {

enum Encoding { kNone, kGbk, kUtf8, kUtf16le };

Encoding ParseEncoding(const char* name) {
    if (strcasecmp(name, "gbk") == 0) return kGbk;
    if (strcasecmp(name, "utf-8") == 0) return kUtf8;
    if (strcasecmp(name, "utf-16le") == 0) return kUtf16le;
    return kNone;
}

int Usage(const char* message) {
    if (message != nullptr) fprintf(stderr, "vconv: %s\n", message);
    fprintf(stderr, "usage: vconv -f gbk|utf-8|utf-16le -t gbk|utf-8|utf-16le [FILE]\n");
    return 2;
}

bool ReadAll(FILE* in, std::string& out) {
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), in)) > 0) out.append(buf, n);
    return ferror(in) == 0;
}

// The converters stop at a zero, so text is converted between zeros and each
// zero is carried over by itself.
void Decode(Encoding from, const std::string& in, std::vector<unsigned short>& out) {
    if (from == kUtf16le) {
        for (size_t i = 0; i + 1 < in.size(); i += 2) {
            out.push_back(static_cast<unsigned short>(static_cast<unsigned char>(in[i]) |
                                                      static_cast<unsigned char>(in[i + 1]) << 8));
        }
        return;
    }
    const unsigned int codePage = from == kGbk ? 0 : 65001;
    size_t pos = 0;
    while (pos <= in.size()) {
        size_t zero = in.find('\0', pos);
        if (zero == std::string::npos) zero = in.size();
        const int len = static_cast<int>(zero - pos);
        if (len > 0) {
            const int count = CVCMMap::MultiByteToWideChar(codePage, in.data() + pos, len, nullptr, 0);
            const size_t at = out.size();
            out.resize(at + static_cast<size_t>(count));
            const int made = CVCMMap::MultiByteToWideChar(codePage, in.data() + pos, len, out.data() + at, count);
            out.resize(at + static_cast<size_t>(made));
        }
        if (zero == in.size()) break;
        out.push_back(0);
        pos = zero + 1;
    }
}

void Encode(Encoding to, const std::vector<unsigned short>& in, std::string& out) {
    if (to == kUtf16le) {
        for (unsigned short u : in) {
            out += static_cast<char>(u & 0xFF);
            out += static_cast<char>(u >> 8);
        }
        return;
    }
    const unsigned int codePage = to == kGbk ? 0 : 65001;
    size_t pos = 0;
    while (pos <= in.size()) {
        size_t zero = pos;
        while (zero < in.size() && in[zero] != 0) ++zero;
        const int len = static_cast<int>(zero - pos);
        if (len > 0) {
            const int count = CVCMMap::WideCharToMultiByte(codePage, in.data() + pos, len, nullptr, 0, nullptr, nullptr);
            const size_t at = out.size();
            out.resize(at + static_cast<size_t>(count));
            int made = CVCMMap::WideCharToMultiByte(codePage, in.data() + pos, len, &out[at], count, nullptr, nullptr);
            // UTF-8 results count a terminator the text does not carry.
            if (codePage != 0 && made > 0) --made;
            out.resize(at + static_cast<size_t>(made));
        }
        if (zero == in.size()) break;
        out += '\0';
        pos = zero + 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Encoding from = kNone, to = kNone;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "-f") == 0 || strcmp(argv[i], "-t") == 0) {
            if (i + 1 >= argc) return Usage("missing encoding after -f or -t");
            const Encoding e = ParseEncoding(argv[i + 1]);
            if (e == kNone) {
                fprintf(stderr, "vconv: unknown encoding '%s'\n", argv[i + 1]);
                return Usage(nullptr);
            }
            (argv[i][1] == 'f' ? from : to) = e;
            ++i;
        } else if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
            Usage(nullptr);
            return 0;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            fprintf(stderr, "vconv: unknown option '%s'\n", argv[i]);
            return Usage(nullptr);
        } else if (path != nullptr) {
            return Usage("only one input file");
        } else {
            path = argv[i];
        }
    }
    if (from == kNone || to == kNone) return Usage("both -f and -t are required");

    FILE* in = stdin;
    if (path != nullptr && strcmp(path, "-") != 0) {
        in = fopen(path, "rb");
        if (in == nullptr) {
            fprintf(stderr, "vconv: cannot read '%s': %s\n", path, strerror(errno));
            return 2;
        }
    }
    std::string input;
    const bool readOk = ReadAll(in, input);
    if (in != stdin) fclose(in);
    if (!readOk) {
        fprintf(stderr, "vconv: cannot read '%s'\n", path != nullptr ? path : "standard input");
        return path != nullptr ? 2 : 1;
    }
    if (from == kUtf16le && input.size() % 2 != 0) {
        fprintf(stderr, "vconv: UTF-16LE input has an odd number of bytes\n");
        return 1;
    }

    if (CVCMMap::GlobalInit() != 1) {
        fprintf(stderr, "vconv: cannot load the code-page tables\n");
        return 1;
    }
    std::vector<unsigned short> units;
    Decode(from, input, units);
    std::string output;
    Encode(to, units, output);
    CVCMMap::GlobalUnInit();

    if (fwrite(output.data(), 1, output.size(), stdout) != output.size() || fflush(stdout) != 0) {
        fprintf(stderr, "vconv: write failed: %s\n", strerror(errno));
        return 1;
    }
    return 0;
}
