// When the library's threads wake: the delay from SetEvent or Unlock to the
// waiter running (peer: a pthread condition-variable hand-off), how late a
// one-shot timer fires (peer: clock_nanosleep to an absolute time), and how
// often the library's own threads wake while there is nothing to do (peer: a
// thread blocked in poll). Counters in milliseconds, or wake-ups per second;
// each case runs once (Iterations(1)) and takes its samples itself.
#include <poll.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "benchmark/benchmark.h"
#include "net/LoopbackPeer.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

const int kHandOffs = 200;
const int kTimerShots = 40;
const unsigned int kTimerDelayMs = 50;
const int kIdleSeconds = 5;

double NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Lets the waiter reach its blocking call before the wake-up is sent.
void SettleMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

void ReportPercentiles(benchmark::State& state, std::vector<double>& ms) {
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms.empty() ? 0.0 : ms[static_cast<size_t>(q * (ms.size() - 1))]; };
    state.counters["p50_ms"] = at(0.50);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = ms.empty() ? 0.0 : ms.back();
}

// ---- wake-up after a signal or a release -------------------------------------

// One waiter, one waker: the waker notes the time and wakes; the waiter notes
// when it runs again. wait() blocks until woken, wake() wakes it.
template <typename Wait, typename Wake, typename Prepare>
std::vector<double> HandOffs(Prepare prepare, Wait wait, Wake wake) {
    std::vector<double> ms;
    for (int i = 0; i < kHandOffs; ++i) {
        std::atomic<bool> waiting{false};
        std::atomic<double> sent{0};
        double woke = 0;
        prepare();
        std::thread waiter([&] {
            waiting = true;
            wait();
            woke = NowMs();
        });
        while (!waiting) std::this_thread::yield();
        // Varied, so that the wake-up falls at every point of a polling
        // waiter's rhythm.
        SettleMs(2 + i % 10);
        sent = NowMs();
        wake();
        waiter.join();
        ms.push_back(woke - sent.load());
    }
    return ms;
}

// The peer: a flag under a pthread mutex, waited for on a condition variable.
struct CondHandOff {
    pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t c = PTHREAD_COND_INITIALIZER;
    bool flag = false;
    void Prepare() { flag = false; }
    void Wait() {
        pthread_mutex_lock(&m);
        while (!flag) pthread_cond_wait(&c, &m);
        pthread_mutex_unlock(&m);
    }
    void Wake() {
        pthread_mutex_lock(&m);
        flag = true;
        pthread_cond_signal(&c);
        pthread_mutex_unlock(&m);
    }
};

void BM_WakeAfterSetEvent_vos(benchmark::State& state) {
    for (auto _ : state) {
        CVEvent e;
        e.CreateEvent(0, nullptr);
        std::vector<double> ms = HandOffs([] {}, [&] { e.Wait(VWAIT_INFINITE); }, [&] { e.SetEvent(); });
        ReportPercentiles(state, ms);
    }
}

void BM_WakeAfterSetEvent_pthread_cond(benchmark::State& state) {
    for (auto _ : state) {
        CondHandOff h;
        std::vector<double> ms = HandOffs([&] { h.Prepare(); }, [&] { h.Wait(); }, [&] { h.Wake(); });
        ReportPercentiles(state, ms);
    }
}

void BM_WakeAfterUnlock_vos(benchmark::State& state) {
    for (auto _ : state) {
        CVMutex m;
        m.Create(nullptr);
        std::vector<double> ms = HandOffs([&] { m.Lock(VWAIT_INFINITE); },
                                          [&] {
                                              m.Lock(VWAIT_INFINITE);
                                              m.Unlock();
                                          },
                                          [&] { m.Unlock(); });
        ReportPercentiles(state, ms);
    }
}

void BM_WakeAfterUnlock_pthread_cond(benchmark::State& state) {
    for (auto _ : state) {
        CondHandOff h;
        std::vector<double> ms = HandOffs([&] { h.Prepare(); }, [&] { h.Wait(); }, [&] { h.Wake(); });
        ReportPercentiles(state, ms);
    }
}

// ---- timer lateness ----------------------------------------------------------

std::atomic<double> g_firedAt{0};

void NoteFiring(unsigned long, void*) { g_firedAt = NowMs(); }

void BM_TimerLateness_vos(benchmark::State& state) {
    CVTimer::Init();
    for (auto _ : state) {
        std::vector<double> ms;
        for (int i = 0; i < kTimerShots; ++i) {
            g_firedAt = 0;
            const double set = NowMs();
            CVTimer::SetTimer(1, NoteFiring, nullptr, kTimerDelayMs, 0, 1);
            while (g_firedAt.load() == 0) SettleMs(1);
            ms.push_back(g_firedAt.load() - set - kTimerDelayMs);
            // Shots start at different points of the timer thread's rhythm.
            SettleMs(1 + i % 7);
        }
        ReportPercentiles(state, ms);
    }
}

void BM_TimerLateness_clock_nanosleep(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<double> ms;
        for (int i = 0; i < kTimerShots; ++i) {
            const double set = NowMs();
            timespec due;
            clock_gettime(CLOCK_MONOTONIC, &due);
            due.tv_nsec += static_cast<long>(kTimerDelayMs) * 1000000L;
            due.tv_sec += due.tv_nsec / 1000000000L;
            due.tv_nsec %= 1000000000L;
            double fired = 0;
            std::thread sleeper([&] {
                while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) != 0) {
                }
                fired = NowMs();
            });
            sleeper.join();
            ms.push_back(fired - set - kTimerDelayMs);
            SettleMs(1 + i % 7);
        }
        ReportPercentiles(state, ms);
    }
}

// ---- idle wake-ups -----------------------------------------------------------

// The thread that appeared since before was taken, 0 while none has.
int NewTask(const std::vector<int>& before) {
    for (int tid : vostest::ThreadIds()) {
        if (std::find(before.begin(), before.end(), tid) == before.end()) return tid;
    }
    return 0;
}

long Switches(int tid) { return vostest::ContextSwitches({tid}); }

// Wake-ups per second of each named thread over the idle time.
void CountIdle(benchmark::State& state, const std::map<std::string, int>& threads) {
    std::map<std::string, long> start;
    for (const auto& t : threads) start[t.first] = Switches(t.second);
    sleep(kIdleSeconds);
    double total = 0;
    for (const auto& t : threads) {
        const double perSecond = static_cast<double>(Switches(t.second) - start[t.first]) / kIdleSeconds;
        state.counters[t.first + "_per_s"] = perSecond;
        total += perSecond;
    }
    state.counters["total_per_s"] = total;
}

// The library idle: a socket manager with no sockets and one timer due in a
// minute, the message bus not started. The threads are told apart by the
// order in which they appear.
void BM_IdleWakeups_vos(benchmark::State& state) {
    for (auto _ : state) {
        std::map<std::string, int> threads;
        CVSocketMan man;
        man.SetSocketMax(8);
        std::vector<int> before = vostest::ThreadIds();
        man.StartSocketProc();
        while ((threads["socket_worker"] = NewTask(before)) == 0) SettleMs(1);
        before = vostest::ThreadIds();
        CVTimer::Init();
        CVTimer::SetTimer(2, NoteFiring, nullptr, 60000, 0, 1);
        while ((threads["timer_thread"] = NewTask(before)) == 0) SettleMs(1);
        SettleMs(100);  // past the threads' start-up
        CountIdle(state, threads);
        CVTimer::KillTimer(2);
        man.UnInitSocketMan();
    }
}

// The peer: a thread blocked in poll on a pipe nobody writes to.
void BM_IdleWakeups_blocked_poll(benchmark::State& state) {
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) {
            state.SkipWithError("no pipe");
            break;
        }
        std::atomic<int> tid{0};
        std::thread sleeper([&] {
            tid = static_cast<int>(gettid());
            pollfd p = {fds[0], POLLIN, 0};
            poll(&p, 1, -1);
        });
        while (tid.load() == 0) SettleMs(1);
        SettleMs(100);
        CountIdle(state, {{"poll_thread", tid.load()}});
        close(fds[1]);
        sleeper.join();
        close(fds[0]);
    }
}

}  // namespace

BENCHMARK(BM_WakeAfterSetEvent_vos)->Name("BM_WakeAfterSetEvent/vos")->Iterations(1)->UseRealTime();
BENCHMARK(BM_WakeAfterSetEvent_pthread_cond)->Name("BM_WakeAfterSetEvent/pthread_cond")->Iterations(1)->UseRealTime();
BENCHMARK(BM_WakeAfterUnlock_vos)->Name("BM_WakeAfterUnlock/vos")->Iterations(1)->UseRealTime();
BENCHMARK(BM_WakeAfterUnlock_pthread_cond)->Name("BM_WakeAfterUnlock/pthread_cond")->Iterations(1)->UseRealTime();
BENCHMARK(BM_TimerLateness_vos)->Name("BM_TimerLateness/vos")->Iterations(1)->UseRealTime();
BENCHMARK(BM_TimerLateness_clock_nanosleep)
    ->Name("BM_TimerLateness/clock_nanosleep")
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_IdleWakeups_vos)->Name("BM_IdleWakeups/vos")->Iterations(1)->UseRealTime();
BENCHMARK(BM_IdleWakeups_blocked_poll)->Name("BM_IdleWakeups/blocked_poll")->Iterations(1)->UseRealTime();

BENCHMARK_MAIN();
