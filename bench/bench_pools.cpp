// Allocation and release of small and medium blocks through the size-class
// pool, beside the process heap and a second general-purpose allocator that is
// loaded privately (RTLD_LOCAL) so that it never replaces the process heap for
// the other cases. "pair" is the time of one allocation and its release, with
// 1000 blocks live:
//   BM_AllocFree  allocates 1000 blocks, writes to each, releases them all in
//                 allocation order;
//   BM_Churn      keeps 1000 blocks live and replaces one chosen at random.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <pthread.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

constexpr int kLive = 1000;

struct HeapAlloc {
    void* Alloc(size_t n) { return malloc(n); }
    void Free(void* p, size_t) { free(p); }
};

struct PoolAlloc {
    CVMemData* pool;
    void* Alloc(size_t n) { return pool->_Allocate(n); }
    void Free(void* p, size_t n) { pool->_Deallocate(p, n); }
};

struct PrivateAlloc {
    void* (*alloc)(size_t);
    void (*release)(void*);
    void* Alloc(size_t n) { return alloc(n); }
    void Free(void* p, size_t) { release(p); }
};

// The pool lives for the whole run: its chunks are never returned anyway.
CVMemData* Pool() {
    static CVMemData* s_pool = new CVMemData();
    return s_pool;
}

// The second allocator's own malloc and free, or nulls when it is missing.
PrivateAlloc* Private() {
    static PrivateAlloc s_alloc = [] {
        PrivateAlloc a{nullptr, nullptr};
        void* lib = dlopen("libjemalloc.so.2", RTLD_NOW | RTLD_LOCAL);
        if (lib != nullptr) {
            a.alloc = reinterpret_cast<void* (*)(size_t)>(dlsym(lib, "malloc"));
            a.release = reinterpret_cast<void (*)(void*)>(dlsym(lib, "free"));
        }
        return a;
    }();
    return &s_alloc;
}

template <typename A>
void Pairs(benchmark::State& state, A& a, size_t n) {
    void* blocks[kLive];
    for (auto _ : state) {
        for (int i = 0; i < kLive; ++i) {
            void* p = a.Alloc(n);
            static_cast<char*>(p)[0] = static_cast<char>(i);
            blocks[i] = p;
            benchmark::DoNotOptimize(p);
        }
        for (int i = 0; i < kLive; ++i) a.Free(blocks[i], n);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kLive);
    state.counters["pair"] =
        benchmark::Counter(kLive, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <typename A>
void Churn(benchmark::State& state, A& a, size_t n) {
    void* blocks[kLive];
    for (int i = 0; i < kLive; ++i) blocks[i] = a.Alloc(n);
    uint32_t x = 12345;
    for (auto _ : state) {
        x = x * 1664525u + 1013904223u;
        const int i = static_cast<int>((x >> 16) % kLive);
        a.Free(blocks[i], n);
        void* p = a.Alloc(n);
        static_cast<char*>(p)[0] = static_cast<char>(x);
        blocks[i] = p;
        benchmark::DoNotOptimize(p);
    }
    for (int i = 0; i < kLive; ++i) a.Free(blocks[i], n);
    state.counters["pair"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <typename Run>
void WithImpl(benchmark::State& state, int impl, Run run) {
    if (impl == 0) {
        HeapAlloc a;
        run(a);
    } else if (impl == 1) {
        PoolAlloc a{Pool()};
        run(a);
    } else {
        PrivateAlloc* a = Private();
        if (a->alloc == nullptr || a->release == nullptr) {
            state.SkipWithError("libjemalloc.so.2 could not be loaded");
            return;
        }
        run(*a);
    }
}

void BM_AllocFree(benchmark::State& state, int impl) {
    const size_t n = static_cast<size_t>(state.range(0));
    WithImpl(state, impl, [&](auto& a) { Pairs(state, a, n); });
}

void BM_Churn(benchmark::State& state, int impl) {
    const size_t n = static_cast<size_t>(state.range(0));
    WithImpl(state, impl, [&](auto& a) { Churn(state, a, n); });
}

BENCHMARK_CAPTURE(BM_AllocFree, glibc, 0)->Arg(24)->Arg(1000);
BENCHMARK_CAPTURE(BM_AllocFree, CVMemData, 1)->Arg(24)->Arg(1000);
BENCHMARK_CAPTURE(BM_AllocFree, jemalloc, 2)->Arg(24)->Arg(1000);
BENCHMARK_CAPTURE(BM_Churn, glibc, 0)->Arg(24)->Arg(1000);
BENCHMARK_CAPTURE(BM_Churn, CVMemData, 1)->Arg(24)->Arg(1000);
BENCHMARK_CAPTURE(BM_Churn, jemalloc, 2)->Arg(24)->Arg(1000);

// The lock the pool takes twice per pair (once to allocate, once to release).
void BM_LockPair_CVMutex(benchmark::State& state) {
    CVMutex m;
    m.Create(nullptr);
    for (auto _ : state) {
        m.Lock(500);
        m.Unlock();
    }
}
BENCHMARK(BM_LockPair_CVMutex)->Name("BM_LockPair/CVMutex");

void BM_LockPair_Pthread(benchmark::State& state) {
    pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
    for (auto _ : state) {
        pthread_mutex_lock(&m);
        pthread_mutex_unlock(&m);
    }
}
BENCHMARK(BM_LockPair_Pthread)->Name("BM_LockPair/pthread_mutex");

}  // namespace

// The private allocator keeps thread-local state in the static TLS block,
// which a library loaded with dlopen may only use when the loader reserves
// room for it at start-up: the benchmark restarts itself once with that
// reservation raised.
int main(int argc, char** argv) {
    if (getenv("VOS_BENCH_RESTARTED") == nullptr) {
        std::string tunables = "glibc.rtld.optional_static_tls=65536";
        if (const char* old = getenv("GLIBC_TUNABLES")) tunables = std::string(old) + ":" + tunables;
        setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
        setenv("VOS_BENCH_RESTARTED", "1", 1);
        execv("/proc/self/exe", argv);  // returns only on failure: run without it
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
