// Message bus and timers, each beside its peer:
//   BM_Send10Observers/bus       CVMsg::SendMessage to 10 observers
//   BM_Send10Observers/direct    the same 10 Update calls made directly
//   BM_PostRoundTrip/bus         post -> Java looper -> native dispatch -> observer
//   BM_PostRoundTrip/bare_jni    CallStaticVoidMethod into Java that calls back
//   BM_PostRoundTrip/java_handoff  the floor in Java: a message put into the
//                                queue kind the looper serves, taken by a
//                                second thread that hands it back
//   BM_PostRoundTrip/pthread_cond  the floor natively: a waiting thread woken
//                                through a condition variable hands it back
// A posted message must wake another thread, so the hand-offs are its peers;
// the bare JNI call shows the cost of the calls alone. After the runs a
// table gives the bus's p50 against each of them.
//   BM_TimerLateness/timer       50 timers of mixed periods for 10 s
//   BM_TimerLateness/sleep_until one thread sleeping to the same deadlines
// Round trips and lateness report percentiles as counters (p50_us, p99_us,
// p50_ms, ...). The process hosts a Java VM started in main.
#include <benchmark/benchmark.h>
#include <jni.h>

#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ExampleVm.h"
#include "vos/vos.h"

using _palex_zu::CVMsg;
using _palex_zu::CVTimer;

namespace {

JavaVM* g_vm = nullptr;
JNIEnv* g_env = nullptr;

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

class Sink : public _palex_zu::CVMsgObserver {
public:
    int Update(unsigned int id, unsigned int wParam, int lParam) override {
        sum += wParam + static_cast<unsigned int>(lParam);
        return 0;
    }
    unsigned int sum = 0;
};

void BM_Send10Observers_bus(benchmark::State& state) {
    Sink sinks[10];
    for (Sink& s : sinks) CVMsg::AttachMsgObserver(200, &s);
    unsigned int w = 0;
    for (auto _ : state) {
        CVMsg::SendMessage(200, ++w, 1);
    }
    CVMsg::RemoveAllMsgObserver();
    benchmark::DoNotOptimize(sinks[9].sum);
    state.SetItemsProcessed(state.iterations());
}

void BM_Send10Observers_direct(benchmark::State& state) {
    Sink sinks[10];
    _palex_zu::CVMsgObserver* observers[10];
    for (int i = 0; i < 10; ++i) observers[i] = &sinks[i];
    benchmark::DoNotOptimize(observers);
    unsigned int w = 0;
    for (auto _ : state) {
        ++w;
        for (_palex_zu::CVMsgObserver* o : observers) {
            if (o->Update(200, w, 1)) break;
        }
    }
    benchmark::DoNotOptimize(sinks[9].sum);
    state.SetItemsProcessed(state.iterations());
}

std::atomic<unsigned int> g_arrived{0};

class Arrival : public _palex_zu::CVMsgObserver {
public:
    int Update(unsigned int id, unsigned int wParam, int) override {
        g_arrived.store(wParam, std::memory_order_release);
        return 1;
    }
};

// The p50 of each round-trip case, for the closing table.
std::map<std::string, double> g_p50;

void ReportRoundTrips(benchmark::State& state, std::vector<double>& us, const char* name) {
    state.counters["p50_us"] = Percentile(us, 0.50);
    state.counters["p99_us"] = Percentile(us, 0.99);
    g_p50[name] = Percentile(us, 0.50);
}

void BM_PostRoundTrip_bus(benchmark::State& state) {
    Arrival arrival;
    CVMsg::AttachMsgObserver(201, &arrival);
    std::vector<double> us;
    unsigned int seq = 0;
    for (auto _ : state) {
        ++seq;
        const auto start = std::chrono::steady_clock::now();
        CVMsg::PostMessage(201, seq, 0);
        while (g_arrived.load(std::memory_order_acquire) != seq) {
        }
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    CVMsg::RemoveAllMsgObserver();
    ReportRoundTrips(state, us, "BM_PostRoundTrip/bus");
}

void JNICALL BareBack(JNIEnv*, jclass, jint id, jint wParam, jint lParam) {
    g_arrived.store(static_cast<unsigned int>(wParam), std::memory_order_release);
}

void BM_PostRoundTrip_bare_jni(benchmark::State& state) {
    jclass cls = g_env->FindClass("vosbench/BareRoundTrip");
    if (cls == nullptr) {
        state.SkipWithError("bench class missing");
        return;
    }
    JNINativeMethod back = {const_cast<char*>("back"), const_cast<char*>("(III)V"), reinterpret_cast<void*>(BareBack)};
    g_env->RegisterNatives(cls, &back, 1);
    jmethodID call = GetStaticMethodID(g_env, cls, "call", "(III)V");
    std::vector<double> us;
    unsigned int seq = 0;
    for (auto _ : state) {
        ++seq;
        const auto start = std::chrono::steady_clock::now();
        g_env->CallStaticVoidMethod(cls, call, 201, static_cast<jint>(seq), 0);
        while (g_arrived.load(std::memory_order_acquire) != seq) {
        }
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    g_env->DeleteLocalRef(cls);
    ReportRoundTrips(state, us, "BM_PostRoundTrip/bare_jni");
}

void BM_PostRoundTrip_java_handoff(benchmark::State& state) {
    jclass cls = g_env->FindClass("vosbench/HandOff");
    jmethodID run = cls == nullptr ? nullptr : GetStaticMethodID(g_env, cls, "run", "(I)[J");
    if (run == nullptr) {
        if (g_env->ExceptionCheck()) g_env->ExceptionClear();
        state.SkipWithError("bench class missing");
        return;
    }
    std::vector<double> us;
    for (auto _ : state) {
        // One call makes all the round trips: the loop runs once.
        const jint count = 20000;
        jlongArray nanos = static_cast<jlongArray>(g_env->CallStaticObjectMethod(cls, run, count));
        if (nanos == nullptr || g_env->ExceptionCheck()) {
            g_env->ExceptionClear();
            state.SkipWithError("hand-off failed");
            break;
        }
        std::vector<jlong> values(static_cast<size_t>(count));
        g_env->GetLongArrayRegion(nanos, 0, count, values.data());
        g_env->DeleteLocalRef(nanos);
        for (jlong v : values) us.push_back(static_cast<double>(v) / 1000.0);
    }
    g_env->DeleteLocalRef(cls);
    ReportRoundTrips(state, us, "BM_PostRoundTrip/java_handoff");
}

// A looper thread asleep on a condition variable until a message is handed
// to it; it hands the message back through the same atomic the observers use.
void BM_PostRoundTrip_pthread_cond(benchmark::State& state) {
    std::mutex lock;
    std::condition_variable ready;
    unsigned int posted = 0;
    bool stop = false;
    std::thread looper([&] {
        unsigned int seen = 0;
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            ready.wait(guard, [&] { return stop || posted != seen; });
            if (stop) return;
            seen = posted;
            g_arrived.store(seen, std::memory_order_release);
        }
    });
    std::vector<double> us;
    unsigned int seq = 0;
    for (auto _ : state) {
        ++seq;
        const auto start = std::chrono::steady_clock::now();
        {
            std::lock_guard<std::mutex> guard(lock);
            posted = seq;
        }
        ready.notify_one();
        while (g_arrived.load(std::memory_order_acquire) != seq) {
        }
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        stop = true;
    }
    ready.notify_one();
    looper.join();
    ReportRoundTrips(state, us, "BM_PostRoundTrip/pthread_cond");
}

void PrintRoundTripRatios() {
    const double bus = g_p50["BM_PostRoundTrip/bus"];
    printf("\n%-32s %10s %12s\n", "round trip (p50, us)", "p50_us", "bus / peer");
    for (const char* peer : {"BM_PostRoundTrip/java_handoff", "BM_PostRoundTrip/pthread_cond", "BM_PostRoundTrip/bare_jni"}) {
        const double p = g_p50[peer];
        printf("%-32s %10.2f %12.2f\n", peer, p, p > 0 ? bus / p : 0.0);
    }
    printf("%-32s %10.2f\n", "BM_PostRoundTrip/bus", bus);
}

// Mixed periods, 100 ms to 1.5 s, and first delays spread over a second.
unsigned int PeriodOf(int i) { return 100u + static_cast<unsigned int>((i * 137) % 1400); }
unsigned int DelayOf(int i) { return static_cast<unsigned int>((i * 53) % 1000); }

struct LatenessLog {
    std::mutex lock;
    std::vector<double> ms;
    unsigned int planned[CVTimer::MAX_TIMERS + 1];
};
LatenessLog g_late;

// Runs on the timer thread with the timer lock held: the slot's last tick is
// the tick at which this firing was decided.
void TimerFired(unsigned long id, void*) {
    for (const CVTimer::tagCTimerData& slot : CVTimer::s_TimerQueue) {
        if (slot.nID != id) continue;
        std::lock_guard<std::mutex> lock(g_late.lock);
        g_late.ms.push_back(static_cast<double>(static_cast<int>(slot.nLastTick - g_late.planned[id])));
        g_late.planned[id] = slot.nLastTick + slot.nPeriod;
        return;
    }
}

void ReportLateness(benchmark::State& state, std::vector<double>& ms) {
    state.counters["firings"] = static_cast<double>(ms.size());
    state.counters["min_ms"] = ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end());
    state.counters["p50_ms"] = Percentile(ms, 0.50);
    state.counters["p90_ms"] = Percentile(ms, 0.90);
    state.counters["p99_ms"] = Percentile(ms, 0.99);
    state.counters["max_ms"] = ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end());
}

void BM_TimerLateness_timer(benchmark::State& state) {
    CVTimer::Init();
    for (auto _ : state) {
        g_late.ms.clear();
        CVTimer::s_ListMutex.Lock(0xFFFFFFFF);
        const unsigned int now = V_GetTickCount();
        for (int i = 0; i < CVTimer::MAX_TIMERS; ++i) {
            g_late.planned[i + 1] = now + DelayOf(i);
            CVTimer::SetTimer(static_cast<unsigned long>(i + 1), TimerFired, nullptr, DelayOf(i), PeriodOf(i), 0);
        }
        CVTimer::s_ListMutex.Unlock();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        CVTimer::KillAll();
    }
    std::lock_guard<std::mutex> lock(g_late.lock);
    ReportLateness(state, g_late.ms);
}

void BM_TimerLateness_sleep_until(benchmark::State& state) {
    std::vector<double> ms;
    for (auto _ : state) {
        using Clock = std::chrono::steady_clock;
        const auto begin = Clock::now();
        std::vector<Clock::time_point> due(CVTimer::MAX_TIMERS);
        for (int i = 0; i < CVTimer::MAX_TIMERS; ++i) due[i] = begin + std::chrono::milliseconds(DelayOf(i));
        while (Clock::now() - begin < std::chrono::seconds(10)) {
            const auto next = std::min_element(due.begin(), due.end());
            std::this_thread::sleep_until(*next);
            const auto now = Clock::now();
            for (size_t i = 0; i < due.size(); ++i) {
                if (due[i] > now) continue;
                ms.push_back(std::chrono::duration<double, std::milli>(now - due[i]).count());
                due[i] = now + std::chrono::milliseconds(PeriodOf(static_cast<int>(i)));
            }
        }
    }
    ReportLateness(state, ms);
}

}  // namespace

BENCHMARK(BM_Send10Observers_bus)->Name("BM_Send10Observers/bus");
BENCHMARK(BM_Send10Observers_direct)->Name("BM_Send10Observers/direct");
BENCHMARK(BM_PostRoundTrip_bus)->Name("BM_PostRoundTrip/bus")->Iterations(20000);
BENCHMARK(BM_PostRoundTrip_bare_jni)->Name("BM_PostRoundTrip/bare_jni")->Iterations(20000);
BENCHMARK(BM_PostRoundTrip_java_handoff)->Name("BM_PostRoundTrip/java_handoff")->Iterations(1);
BENCHMARK(BM_PostRoundTrip_pthread_cond)->Name("BM_PostRoundTrip/pthread_cond")->Iterations(20000);
BENCHMARK(BM_TimerLateness_timer)->Name("BM_TimerLateness/timer")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimerLateness_sleep_until)
    ->Name("BM_TimerLateness/sleep_until")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string why;
    g_vm = vosexample::StartVm(VOS_BENCH_CLASSPATH, VOS_BENCH_LIBPATH, g_env, why);
    if (g_vm == nullptr) {
        fprintf(stderr, "bench_msg: %s\n", why.c_str());
        return 2;
    }
    JVMContainer::InitVM(g_vm);
    _palex_zu::_VosEnv_t vosEnv;
    if (_palex_zu::CVVos::GlobalInit(vosEnv) != 1) return 3;
    benchmark::RunSpecifiedBenchmarks();
    PrintRoundTripRatios();
    benchmark::Shutdown();
    _palex_zu::CVVos::GlobalUnInit();
    return 0;
}
