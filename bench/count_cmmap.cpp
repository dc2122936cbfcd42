// One conversion of bench_cmmap's inputs, repeated, for counting executed
// instructions under qemu (scripts/bench-arm): where timing an emulator says
// nothing, instructions per input byte compare the implementations on the
// same target. Prepares the inputs and the peer, converts once to warm up
// (iconv loads its module then), and then REPS more times; the script runs it
// with REPS 0 and REPS N and divides the difference by N times the input
// bytes, which subtracts start-up and preparation.
//
// Usage: count_cmmap TASK IMPL KIND REPS
//   TASK gbk2utf16 | utf162gbk | utf82utf16 | utf162utf8
//   IMPL vos | iconv | table_loop (the two GBK tasks only)
//   KIND chinese | ascii
// Prints the input bytes; exits 1 on bad arguments, 2 when a peer does not
// produce what vos does.
#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "CMMapBenchInputs.h"

using namespace cmmapbench;

namespace {

enum Task { kGbkToUtf16, kUtf16ToGbk, kUtf8ToUtf16, kUtf16ToUtf8 };

struct Job {
    Task task;
    const Inputs* in;
    std::vector<unsigned short> wide = std::vector<unsigned short>(4 * kInputBytes);
    std::vector<char> narrow = std::vector<char>(8 * kInputBytes);
    const char* Source() const {
        return task == kGbkToUtf16   ? in->gbk.data()
               : task == kUtf8ToUtf16 ? in->utf8.data()
                                      : reinterpret_cast<const char*>(in->utf16.data());
    }
    size_t SourceBytes() const {
        return task == kGbkToUtf16 ? in->gbk.size() : task == kUtf8ToUtf16 ? in->utf8.size() : in->utf16.size() * 2;
    }
    bool WideOut() const { return task == kGbkToUtf16 || task == kUtf8ToUtf16; }
    char* Dest() { return WideOut() ? reinterpret_cast<char*>(wide.data()) : narrow.data(); }
};

// Output bytes of one conversion.
size_t RunVos(Job& job) {
    const int n = static_cast<int>(job.task == kGbkToUtf16   ? job.in->gbk.size()
                                   : job.task == kUtf8ToUtf16 ? job.in->utf8.size()
                                                              : job.in->utf16.size());
    const unsigned int cp = job.task == kGbkToUtf16 || job.task == kUtf16ToGbk ? 0 : 65001;
    if (job.WideOut()) {
        return 2 * static_cast<size_t>(CVCMMap::MultiByteToWideChar(cp, job.Source(), n, job.wide.data(),
                                                                    static_cast<int>(job.wide.size())));
    }
    const int m = CVCMMap::WideCharToMultiByte(cp, job.in->utf16.data(), n, job.narrow.data(),
                                               static_cast<int>(job.narrow.size()), nullptr, nullptr);
    return static_cast<size_t>(cp == 0 ? m : m - 1);
}

size_t RunIconv(Job& job, iconv_t cd) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* s = const_cast<char*>(job.Source());
    size_t left = job.SourceBytes();
    char* d = job.Dest();
    size_t room = job.narrow.size();
    iconv(cd, &s, &left, &d, &room);
    return left == 0 ? static_cast<size_t>(d - job.Dest()) : 0;
}

size_t RunLoop(Job& job, const FlatTables& flat) {
    if (job.task == kGbkToUtf16) {
        return 2 * LoopGbkToUtf16(reinterpret_cast<const unsigned char*>(job.in->gbk.data()), job.in->gbk.size(),
                                  job.wide.data(), flat.mb2wc.data());
    }
    return LoopUtf16ToGbk(job.in->utf16.data(), job.in->utf16.size(), reinterpret_cast<unsigned char*>(job.narrow.data()),
                          flat.wc2mb.data());
}

int Index(const char* arg, const char* const* names, int count) {
    for (int i = 0; i < count; ++i) {
        if (strcmp(arg, names[i]) == 0) return i;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    static const char* const kTasks[] = {"gbk2utf16", "utf162gbk", "utf82utf16", "utf162utf8"};
    static const char* const kImpls[] = {"vos", "iconv", "table_loop"};
    static const char* const kKinds[] = {"chinese", "ascii"};
    const int task = argc == 5 ? Index(argv[1], kTasks, 4) : -1;
    const int impl = argc == 5 ? Index(argv[2], kImpls, 3) : -1;
    const int kind = argc == 5 ? Index(argv[3], kKinds, 2) : -1;
    if (task < 0 || impl < 0 || kind < 0 || (impl == 2 && task > kUtf16ToGbk)) {
        fprintf(stderr, "usage: count_cmmap gbk2utf16|utf162gbk|utf82utf16|utf162utf8 vos|iconv|table_loop chinese|ascii REPS\n");
        return 1;
    }
    const long reps = atol(argv[4]);
    if (CVCMMap::GlobalInit() != 1) return 1;
    const Inputs in = Make(kind == 0 ? ChineseGbk() : AsciiText());
    Job job;
    job.task = static_cast<Task>(task);
    job.in = &in;
    // What vos produces, for the peers to match.
    const size_t want = RunVos(job);
    const std::vector<char> wantBytes(job.Dest(), job.Dest() + want);

    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    FlatTables flat;
    if (impl == 1) {
        const char* from = task == kGbkToUtf16 ? "GBK" : task == kUtf8ToUtf16 ? "UTF-8" : "UTF-16LE";
        const char* to = task == kUtf16ToGbk ? "GBK" : task == kUtf16ToUtf8 ? "UTF-8" : "UTF-16LE";
        cd = iconv_open(to, from);
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            fprintf(stderr, "iconv_open %s to %s failed\n", from, to);
            return 2;
        }
    } else if (impl == 2) {
        flat = MakeFlatTables();
    }
    size_t got = 0;
    for (long r = 0; r <= reps; ++r) {
        got = impl == 0 ? RunVos(job) : impl == 1 ? RunIconv(job, cd) : RunLoop(job, flat);
    }
    if (got != want || memcmp(job.Dest(), wantBytes.data(), want) != 0) {
        fprintf(stderr, "%s does not produce what vos does\n", kImpls[impl]);
        return 2;
    }
    printf("%zu\n", job.SourceBytes());
    if (impl == 1) iconv_close(cd);
    CVCMMap::GlobalUnInit();
    return 0;
}
