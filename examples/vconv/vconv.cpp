// vconv: converts text between GBK, UTF-8 and UTF-16LE with the library's
// converters.
//
//   vconv -f ENCODING -t ENCODING [FILE]
//
// ENCODING is gbk (also cp936, 936), utf-8 (also utf8, 65001) or utf-16le.
// Reads FILE (standard input without one) and writes the converted text to
// standard output. Characters without a code in the target are dropped, as
// the library's converters drop them, and a warning on standard error says
// how many. Exit status: 0 on success, 1 when the input or output fails
// mid-way, 2 on bad arguments or an unreadable file.
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

// The usual names of each encoding, the code-page numbers among them.
Encoding ParseEncoding(const char* name) {
    static const struct {
        const char* name;
        Encoding encoding;
    } kNames[] = {
        {"gbk", kGbk},       {"cp936", kGbk},    {"936", kGbk},           {"utf-8", kUtf8},
        {"utf8", kUtf8},     {"65001", kUtf8},   {"cp65001", kUtf8},      {"utf-16le", kUtf16le},
        {"utf16le", kUtf16le},
    };
    for (const auto& n : kNames) {
        if (strcasecmp(name, n.name) == 0) return n.encoding;
    }
    return kNone;
}

const char kUsage[] =
    "usage: vconv -f ENCODING -t ENCODING [FILE]\n"
    "  ENCODING: gbk (cp936, 936), utf-8 (utf8, 65001) or utf-16le\n"
    "  Converts FILE (standard input without one or for -) to standard output.\n";

int Usage(const char* message) {
    if (message != nullptr) fprintf(stderr, "vconv: %s\n", message);
    fputs(kUsage, stderr);
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

// The characters (a surrogate pair is one) that encode to nothing alone.
size_t DroppedCharacters(Encoding to, const std::vector<unsigned short>& units) {
    const unsigned int codePage = to == kGbk ? 0 : 65001;
    // UTF-8 results count a terminator the text does not carry.
    const int nothing = codePage != 0 ? 1 : 0;
    size_t dropped = 0;
    for (size_t i = 0; i < units.size();) {
        const bool pair = i + 1 < units.size() && (units[i] & 0xFC00) == 0xD800 && (units[i + 1] & 0xFC00) == 0xDC00;
        const int len = pair ? 2 : 1;
        if (units[i] != 0 &&
            CVCMMap::WideCharToMultiByte(codePage, units.data() + i, len, nullptr, 0, nullptr, nullptr) <= nothing) {
            ++dropped;
        }
        i += static_cast<size_t>(len);
    }
    return dropped;
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
            fputs(kUsage, stdout);
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
    // What the target cannot encode is dropped without a trace: reading the
    // output back tells how many units went.
    std::vector<unsigned short> back;
    Decode(to, output, back);
    if (back.size() < units.size()) {
        fprintf(stderr, "vconv: warning: %zu characters have no code in the target and were dropped\n",
                DroppedCharacters(to, units));
    }
    CVCMMap::GlobalUnInit();

    if (fwrite(output.data(), 1, output.size(), stdout) != output.size() || fflush(stdout) != 0) {
        fprintf(stderr, "vconv: write failed: %s\n", strerror(errno));
        return 1;
    }
    return 0;
}
