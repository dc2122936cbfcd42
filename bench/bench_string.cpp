// CVString against std::u16string: search, replace-all and appending in a
// loop. CVString's += grows its block with room to spare and asks the heap
// how much the block holds on every call; these figures show what that
// costs next to a growing buffer that keeps its capacity beside it.
#include <benchmark/benchmark.h>

#include <string>

#include "vos/vos.h"

using _palex_zu::CVString;

namespace {

enum Impl { kCVString, kU16String };

// A 4 KiB-unit text of words with the needle once, near its end.
std::u16string Haystack() {
    std::u16string text;
    while (text.size() < 4096) text += u"lorem ipsum dolor sit amet ";
    text.resize(4096);
    text.replace(4000, 6, u"needle");
    return text;
}

const unsigned short* Units(const std::u16string& s) { return reinterpret_cast<const unsigned short*>(s.c_str()); }

void BM_Find(benchmark::State& state, Impl impl) {
    const std::u16string text = Haystack();
    const std::u16string needle = u"needle";
    const CVString cvText(Units(text));
    for (auto _ : state) {
        if (impl == kCVString) {
            benchmark::DoNotOptimize(cvText.Find(Units(needle), 0));
        } else {
            benchmark::DoNotOptimize(text.find(needle));
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4000 * 2);
}

// Replaces every "ipsum" by "IPSUM!" in the 4 KiB text (about 150 times).
void BM_Replace(benchmark::State& state, Impl impl) {
    const std::u16string text = Haystack();
    const std::u16string from = u"ipsum";
    const std::u16string to = u"IPSUM!";
    for (auto _ : state) {
        if (impl == kCVString) {
            CVString s(Units(text));
            benchmark::DoNotOptimize(s.Replace(Units(from), Units(to)));
            benchmark::DoNotOptimize(s.GetLength());
        } else {
            // The usual replace-all: build the result once, piece by piece.
            std::u16string out;
            out.reserve(text.size() + text.size() / 16);
            size_t done = 0;
            for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, done)) {
                out.append(text, done, at - done);
                out += to;
                done = at + from.size();
            }
            out.append(text, done, std::u16string::npos);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()) * 2);
}

// Builds a text of state.range(0) units by appending one unit at a time.
void BM_AppendUnit(benchmark::State& state, Impl impl) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (impl == kCVString) {
            CVString s;
            for (int i = 0; i < count; ++i) s += static_cast<unsigned short>('a' + i % 26);
            benchmark::DoNotOptimize(s.GetLength());
        } else {
            std::u16string s;
            for (int i = 0; i < count; ++i) s += static_cast<char16_t>('a' + i % 26);
            benchmark::DoNotOptimize(s.size());
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count);
}

// Builds a text by appending an eight-unit word at a time.
void BM_AppendText(benchmark::State& state, Impl impl) {
    const int count = static_cast<int>(state.range(0));
    const std::u16string word = u"fragment";
    const CVString cvWord(Units(word));
    for (auto _ : state) {
        if (impl == kCVString) {
            CVString s;
            for (int i = 0; i < count; ++i) s += cvWord;
            benchmark::DoNotOptimize(s.GetLength());
        } else {
            std::u16string s;
            for (int i = 0; i < count; ++i) s += word;
            benchmark::DoNotOptimize(s.size());
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Find, CVString, kCVString);
BENCHMARK_CAPTURE(BM_Find, u16string, kU16String);
BENCHMARK_CAPTURE(BM_Replace, CVString, kCVString);
BENCHMARK_CAPTURE(BM_Replace, u16string, kU16String);
BENCHMARK_CAPTURE(BM_AppendUnit, CVString, kCVString)->Arg(64);
BENCHMARK_CAPTURE(BM_AppendUnit, u16string, kU16String)->Arg(64);
BENCHMARK_CAPTURE(BM_AppendUnit, CVString, kCVString)->Arg(1024);
BENCHMARK_CAPTURE(BM_AppendUnit, u16string, kU16String)->Arg(1024);
BENCHMARK_CAPTURE(BM_AppendText, CVString, kCVString)->Arg(64);
BENCHMARK_CAPTURE(BM_AppendText, u16string, kU16String)->Arg(64);
BENCHMARK_CAPTURE(BM_AppendText, CVString, kCVString)->Arg(1024);
BENCHMARK_CAPTURE(BM_AppendText, u16string, kU16String)->Arg(1024);

BENCHMARK_MAIN();
