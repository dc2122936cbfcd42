// Hash-map lookups and array appends beside the standard library's peers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

constexpr int kKeys = 10000;
constexpr unsigned int kPrimeBuckets = 10007;

// Host-name-like keys, and the order in which they are looked up.
const std::vector<std::u16string>& Keys() {
    static const std::vector<std::u16string> keys = [] {
        std::vector<std::u16string> k;
        k.reserve(kKeys);
        for (int i = 0; i < kKeys; ++i) {
            const std::string s = "node" + std::to_string(i * 7919 % 100003) + ".cluster.example";
            k.emplace_back(s.begin(), s.end());
        }
        return k;
    }();
    return keys;
}

const std::vector<int>& Order() {
    static const std::vector<int> order = [] {
        std::vector<int> o(kKeys);
        for (int i = 0; i < kKeys; ++i) o[i] = i;
        std::shuffle(o.begin(), o.end(), std::mt19937(42));
        return o;
    }();
    return order;
}

const unsigned short* Units(const std::u16string& s) { return reinterpret_cast<const unsigned short*>(s.c_str()); }

void LookupVosMap(benchmark::State& state, unsigned int buckets) {
    const auto& keys = Keys();
    const auto& order = Order();
    CVMapStringToPtr map(10);
    if (buckets != 17) map.InitHashTable(buckets, 1);
    for (int i = 0; i < kKeys; ++i) map.SetAt(Units(keys[i]), reinterpret_cast<void*>(static_cast<uintptr_t>(i + 1)));
    size_t next = 0;
    for (auto _ : state) {
        void* value = nullptr;
        const int found = map.Lookup(Units(keys[order[next]]), value);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(value);
        if (++next == order.size()) next = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_StringMapLookup_CVMapStringToPtrPrime(benchmark::State& state) { LookupVosMap(state, kPrimeBuckets); }
void BM_StringMapLookup_CVMapStringToPtr17(benchmark::State& state) { LookupVosMap(state, 17); }

void BM_StringMapLookup_StdUnorderedMap(benchmark::State& state) {
    const auto& keys = Keys();
    const auto& order = Order();
    std::unordered_map<std::u16string, void*> map;
    for (int i = 0; i < kKeys; ++i) map[keys[i]] = reinterpret_cast<void*>(static_cast<uintptr_t>(i + 1));
    size_t next = 0;
    for (auto _ : state) {
        auto it = map.find(keys[order[next]]);
        benchmark::DoNotOptimize(it);
        if (++next == order.size()) next = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

constexpr int kAppends = 1000000;

void BM_ArrayAdd_CVArray(benchmark::State& state) {
    for (auto _ : state) {
        CVArray<int, int> arr;
        for (int i = 0; i < kAppends; ++i) arr.Add(i);
        benchmark::DoNotOptimize(arr.GetData());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kAppends);
}

void BM_ArrayAdd_StdVector(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<int> v;
        for (int i = 0; i < kAppends; ++i) v.push_back(i);
        benchmark::DoNotOptimize(v.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kAppends);
}

}  // namespace

BENCHMARK(BM_StringMapLookup_CVMapStringToPtrPrime)->Name("BM_StringMapLookup/CVMapStringToPtr_10007buckets");
BENCHMARK(BM_StringMapLookup_StdUnorderedMap)->Name("BM_StringMapLookup/std_unordered_map");
BENCHMARK(BM_StringMapLookup_CVMapStringToPtr17)->Name("BM_StringMapLookup/CVMapStringToPtr_17buckets");
BENCHMARK(BM_ArrayAdd_CVArray)->Name("BM_ArrayAdd/CVArray")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArrayAdd_StdVector)->Name("BM_ArrayAdd/std_vector")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
