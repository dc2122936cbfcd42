// Conversion throughput of CVCMMap beside glibc iconv and ICU, on 1 MiB of
// generated Chinese GBK text (about 10% ASCII) and on 1 MiB of ASCII, in
// MB/s of input. The GBK tasks have a third peer, table_loop: a plain loop
// over one flat table per direction, built at start-up from the library's
// own loaded tables, which bounds what any table-driven converter can do on
// the same input. After the runs a table gives each task's ratio to the
// faster peer, and one more the GBK tasks' ratio to table_loop.
#include <iconv.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "vos/vos.h"
#include "CMMapBenchInputs.h"

#if defined(VOS_HAVE_ICU)
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#endif

using _palex_zu::CVCMMap;
using namespace cmmapbench;

namespace {

const Inputs& Get(int kind) {
    static bool loaded = CVCMMap::GlobalInit() == 1;
    static const Inputs chinese = Make(ChineseGbk());
    static const Inputs ascii = Make(AsciiText());
    (void)loaded;
    return kind == 0 ? chinese : ascii;
}

enum Task { kGbkToUtf16, kUtf16ToGbk, kUtf8ToUtf16, kUtf16ToUtf8 };
const char* const kTaskNames[] = {"GbkToUtf16", "Utf16ToGbk", "Utf8ToUtf16", "Utf16ToUtf8"};
const char* const kKindNames[] = {"Chinese", "Ascii"};

size_t InputBytes(const Inputs& in, Task task) {
    switch (task) {
        case kGbkToUtf16:
            return in.gbk.size();
        case kUtf8ToUtf16:
            return in.utf8.size();
        default:
            return in.utf16.size() * 2;
    }
}

// Output buffers large enough for any task.
struct Buffers {
    std::vector<unsigned short> wide = std::vector<unsigned short>(4 * kInputBytes);
    std::vector<char> narrow = std::vector<char>(8 * kInputBytes);
};

void RunVos(benchmark::State& state, Task task, int kind) {
    const Inputs& in = Get(kind);
    Buffers out;
    const int wideCap = static_cast<int>(out.wide.size());
    const int narrowCap = static_cast<int>(out.narrow.size());
    size_t produced = 0;
    for (auto _ : state) {
        switch (task) {
            case kGbkToUtf16:
                produced = static_cast<size_t>(CVCMMap::MultiByteToWideChar(0, in.gbk.data(), static_cast<int>(in.gbk.size()),
                                                                            out.wide.data(), wideCap));
                break;
            case kUtf16ToGbk:
                produced = static_cast<size_t>(CVCMMap::WideCharToMultiByte(0, in.utf16.data(), static_cast<int>(in.utf16.size()),
                                                                            out.narrow.data(), narrowCap, nullptr, nullptr));
                break;
            case kUtf8ToUtf16:
                produced = static_cast<size_t>(CVCMMap::MultiByteToWideChar(65001, in.utf8.data(),
                                                                            static_cast<int>(in.utf8.size()), out.wide.data(),
                                                                            wideCap));
                break;
            case kUtf16ToUtf8:
                produced = static_cast<size_t>(CVCMMap::WideCharToMultiByte(65001, in.utf16.data(),
                                                                            static_cast<int>(in.utf16.size()), out.narrow.data(),
                                                                            narrowCap, nullptr, nullptr));
                break;
        }
        benchmark::DoNotOptimize(produced);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * InputBytes(in, task)));
}

void RunIconv(benchmark::State& state, Task task, int kind) {
    const Inputs& in = Get(kind);
    Buffers out;
    const char* from = task == kGbkToUtf16 ? "GBK" : task == kUtf8ToUtf16 ? "UTF-8" : "UTF-16LE";
    const char* to = task == kUtf16ToGbk ? "GBK" : task == kUtf16ToUtf8 ? "UTF-8" : "UTF-16LE";
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("iconv_open failed");
        return;
    }
    const char* src = task == kGbkToUtf16 ? in.gbk.data()
                      : task == kUtf8ToUtf16 ? in.utf8.data()
                                             : reinterpret_cast<const char*>(in.utf16.data());
    const size_t srcLen = InputBytes(in, task);
    char* dstBase = (task == kGbkToUtf16 || task == kUtf8ToUtf16) ? reinterpret_cast<char*>(out.wide.data())
                                                                  : out.narrow.data();
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* s = const_cast<char*>(src);
        size_t left = srcLen;
        char* d = dstBase;
        size_t room = out.narrow.size();
        const size_t r = iconv(cd, &s, &left, &d, &room);
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
        if (left != 0) {
            state.SkipWithError("iconv did not convert the whole input");
            break;
        }
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * srcLen));
}

const FlatTables& Flat() {
    static const FlatTables tables = [] {
        Get(0);  // loads the library's tables
        return MakeFlatTables();
    }();
    return tables;
}

void RunTableLoop(benchmark::State& state, Task task, int kind) {
    const Inputs& in = Get(kind);
    const FlatTables& flat = Flat();
    Buffers out;
    Buffers check;
    // The loop must produce exactly what the library does on this input, or
    // it would not be doing the same work.
    size_t expect = 0, got = 0;
    bool same = false;
    if (task == kGbkToUtf16) {
        const unsigned char* src = reinterpret_cast<const unsigned char*>(in.gbk.data());
        expect = static_cast<size_t>(CVCMMap::MultiByteToWideChar(0, in.gbk.data(), static_cast<int>(in.gbk.size()),
                                                                  check.wide.data(), static_cast<int>(check.wide.size())));
        got = LoopGbkToUtf16(src, in.gbk.size(), out.wide.data(), flat.mb2wc.data());
        same = got == expect && memcmp(out.wide.data(), check.wide.data(), got * 2) == 0;
    } else {
        expect = static_cast<size_t>(CVCMMap::WideCharToMultiByte(0, in.utf16.data(), static_cast<int>(in.utf16.size()),
                                                                  check.narrow.data(),
                                                                  static_cast<int>(check.narrow.size()), nullptr, nullptr));
        got = LoopUtf16ToGbk(in.utf16.data(), in.utf16.size(), reinterpret_cast<unsigned char*>(out.narrow.data()),
                             flat.wc2mb.data());
        same = got == expect && memcmp(out.narrow.data(), check.narrow.data(), got) == 0;
    }
    if (!same) {
        state.SkipWithError("table_loop and vos disagree on this input");
        return;
    }
    size_t produced = 0;
    for (auto _ : state) {
        if (task == kGbkToUtf16) {
            produced = LoopGbkToUtf16(reinterpret_cast<const unsigned char*>(in.gbk.data()), in.gbk.size(),
                                      out.wide.data(), flat.mb2wc.data());
        } else {
            produced = LoopUtf16ToGbk(in.utf16.data(), in.utf16.size(), reinterpret_cast<unsigned char*>(out.narrow.data()),
                                      flat.wc2mb.data());
        }
        benchmark::DoNotOptimize(produced);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * InputBytes(in, task)));
}

#if defined(VOS_HAVE_ICU)
void RunIcu(benchmark::State& state, Task task, int kind) {
    const Inputs& in = Get(kind);
    Buffers out;
    UErrorCode err = U_ZERO_ERROR;
    UConverter* cnv = nullptr;
    if (task == kGbkToUtf16 || task == kUtf16ToGbk) {
        cnv = ucnv_open("GBK", &err);
        if (U_FAILURE(err)) {
            state.SkipWithError("ucnv_open failed");
            return;
        }
    }
    const UChar* wide = reinterpret_cast<const UChar*>(in.utf16.data());
    UChar* wideOut = reinterpret_cast<UChar*>(out.wide.data());
    const int32_t wideCap = static_cast<int32_t>(out.wide.size());
    const int32_t narrowCap = static_cast<int32_t>(out.narrow.size());
    for (auto _ : state) {
        err = U_ZERO_ERROR;
        int32_t n = 0;
        switch (task) {
            case kGbkToUtf16:
                n = ucnv_toUChars(cnv, wideOut, wideCap, in.gbk.data(), static_cast<int32_t>(in.gbk.size()), &err);
                break;
            case kUtf16ToGbk:
                n = ucnv_fromUChars(cnv, out.narrow.data(), narrowCap, wide, static_cast<int32_t>(in.utf16.size()), &err);
                break;
            case kUtf8ToUtf16:
                u_strFromUTF8(wideOut, wideCap, &n, in.utf8.data(), static_cast<int32_t>(in.utf8.size()), &err);
                break;
            case kUtf16ToUtf8:
                u_strToUTF8(out.narrow.data(), narrowCap, &n, wide, static_cast<int32_t>(in.utf16.size()), &err);
                break;
        }
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
        if (U_FAILURE(err)) {
            state.SkipWithError("ICU conversion failed");
            break;
        }
    }
    if (cnv != nullptr) ucnv_close(cnv);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * InputBytes(in, task)));
}
#endif

// Keeps the median throughput of every case for the closing table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end()) continue;
            const std::string name = run.run_name.function_name;
            m_mbps[name] = it->second.value / 1e6;
        }
    }
    void PrintRatios() const {
        printf("\n%-24s %10s %10s %10s %8s %6s\n", "task (MB/s of input)", "vos", "iconv", "icu", "ratio", "goal");
        for (int kind = 0; kind < 2; ++kind) {
            for (int task = 0; task < 4; ++task) {
                const std::string base = std::string("BM_") + kTaskNames[task] + "_" + kKindNames[kind] + "/";
                const double vos = Get(base + "vos"), iconv = Get(base + "iconv"), icu = Get(base + "icu");
                const double peer = iconv > icu ? iconv : icu;
                // GBK and ASCII input: twice the faster peer; UTF-8 on Chinese: 1.4 times.
                const double goal = (task <= kUtf16ToGbk || kind == 1) ? 2.0 : 1.4;
                printf("%-24s %10.0f %10.0f %10.0f %8.2f %6.1f %s\n", (base.substr(3, base.size() - 4)).c_str(), vos,
                       iconv, icu, peer > 0 ? vos / peer : 0.0, goal, peer > 0 && vos / peer >= goal ? "met" : "MISSED");
            }
        }
    }
    // The GBK tasks against the plain table loop: vos should reach 90% of it.
    void PrintLoopRatios() const {
        printf("\n%-24s %10s %10s %8s %6s\n", "task (MB/s of input)", "vos", "table_loop", "ratio", "goal");
        for (int kind = 0; kind < 2; ++kind) {
            for (int task = kGbkToUtf16; task <= kUtf16ToGbk; ++task) {
                const std::string base = std::string("BM_") + kTaskNames[task] + "_" + kKindNames[kind] + "/";
                const double vos = Get(base + "vos"), loop = Get(base + "table_loop");
                const double goal = 0.9;
                printf("%-24s %10.0f %10.0f %8.2f %6.1f %s\n", (base.substr(3, base.size() - 4)).c_str(), vos, loop,
                       loop > 0 ? vos / loop : 0.0, goal, loop > 0 && vos / loop >= goal ? "met" : "MISSED");
            }
        }
    }

private:
    double Get(const std::string& name) const {
        auto it = m_mbps.find(name);
        return it == m_mbps.end() ? 0.0 : it->second;
    }
    std::map<std::string, double> m_mbps;
};

void Register() {
    for (int kind = 0; kind < 2; ++kind) {
        for (int t = 0; t < 4; ++t) {
            const Task task = static_cast<Task>(t);
            const std::string base = std::string("BM_") + kTaskNames[t] + "_" + kKindNames[kind] + "/";
            std::vector<benchmark::internal::Benchmark*> cases;
            cases.push_back(benchmark::RegisterBenchmark((base + "vos").c_str(), RunVos, task, kind));
            if (task == kGbkToUtf16 || task == kUtf16ToGbk) {
                cases.push_back(benchmark::RegisterBenchmark((base + "table_loop").c_str(), RunTableLoop, task, kind));
            }
            cases.push_back(benchmark::RegisterBenchmark((base + "iconv").c_str(), RunIconv, task, kind));
#if defined(VOS_HAVE_ICU)
            cases.push_back(benchmark::RegisterBenchmark((base + "icu").c_str(), RunIcu, task, kind));
#endif
            for (auto* c : cases) c->Repetitions(5)->ReportAggregatesOnly(true)->MinTime(0.1)->Unit(benchmark::kMicrosecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Get(0);
    Register();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    reporter.PrintLoopRatios();
    benchmark::Shutdown();
    CVCMMap::GlobalUnInit();
    return 0;
}
