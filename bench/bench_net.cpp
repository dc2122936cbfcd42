// Fetching 1 KiB responses from a private nginx on loopback: through the
// socket manager (one worker, 1 or 64 sockets, the state machine driven from
// the callbacks) beside plain blocking sockets (one thread per connection).
// Counters: requests per second and the median and 99th-percentile latency of
// one request, in milliseconds. Beside them, the wake-ups of the socket worker
// and the resolver over idle seconds, read from /proc/self/task/*/status.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "benchmark/benchmark.h"
#include "net/HttpFetch.h"
#include "net/LoopbackPeer.h"
#include "net/NginxFixture.h"
#include "vos/vos.h"

namespace {

// Requests per run: enough for a steady rate over 64 connections, and for a
// median over one connection however slow the manager's passes are.
int RequestsFor(int connections) { return connections == 1 ? 300 : 5000; }
const size_t kSize = 1024;

vostest::NginxServer* Server() {
    static vostest::NginxServer* server = [] {
        vostest::NginxServer* s = new vostest::NginxServer;
        if (!s->Start({kSize})) {
            delete s;
            return static_cast<vostest::NginxServer*>(nullptr);
        }
        return s;
    }();
    return server;
}

// Context switches of every thread of the process but the calling one.
long OtherThreadSwitches(int* threads) {
    const int self = static_cast<int>(syscall(SYS_gettid));
    std::vector<int> others;
    for (int id : vostest::ThreadIds()) {
        if (id != self) others.push_back(id);
    }
    *threads = static_cast<int>(others.size());
    return vostest::ContextSwitches(others);
}

vostest::NginxServer* ServerFor(benchmark::State& state) {
    vostest::NginxServer* server = Server();
    if (server == nullptr) state.SkipWithError("nginx did not start");
    return server;
}

// Wake-ups of the other threads over 5 s, as counters.
void CountIdleWakeups(benchmark::State& state) {
    usleep(200000);  // let the last announcements settle before counting
    int threads = 0;
    const long before = OtherThreadSwitches(&threads);
    sleep(5);
    const long after = OtherThreadSwitches(&threads);
    state.counters["wakeups_per_s"] = static_cast<double>(after - before) / 5.0;
    state.counters["threads"] = threads;
}

void Report(benchmark::State& state, std::vector<uint32_t>& latencies, long requests) {
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies.empty() ? 0.0 : static_cast<double>(latencies[static_cast<size_t>(q * (latencies.size() - 1))]);
    };
    state.counters["req_per_s"] = benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kIsRate);
    state.counters["p50_ms"] = at(0.50) / 1000.0;
    state.counters["p99_ms"] = at(0.99) / 1000.0;
}

std::vector<std::string> Share(int connection, int connections) {
    std::vector<std::string> paths;
    for (int i = connection; i < RequestsFor(connections); i += connections) {
        paths.push_back(vostest::NginxServer::PathFor(kSize));
    }
    return paths;
}

void BM_FetchSocketMan(benchmark::State& state) {
    vostest::NginxServer* server = ServerFor(state);
    if (server == nullptr) return;
    const int connections = static_cast<int>(state.range(0));
    std::vector<uint32_t> latencies;
    long requests = 0;
    for (auto _ : state) {
        _palex_zu::CVSocketMan man;
        man.SetSocketMax(connections);
        man.StartSocketProc();
        std::vector<std::unique_ptr<vostest::HttpFetch>> fetches;
        for (int c = 0; c < connections; ++c) {
            fetches.emplace_back(new vostest::HttpFetch("127.0.0.1", server->Port(), Share(c, connections),
                                                        vostest::HttpFetch::kSameStream));
            fetches.back()->SetVerifier(vostest::NginxServer::Matches);
            man.AddSocket(&fetches.back()->Socket());
        }
        for (auto& f : fetches) f->Start();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(300);
        for (auto& f : fetches) {
            while (!f->Done() && std::chrono::steady_clock::now() < end) usleep(1000);
        }
        state.PauseTiming();
        for (auto& f : fetches) {
            if (f->Failed() || !f->Done()) {
                state.SkipWithError("a fetch failed");
                break;
            }
            requests += f->Completed();
            latencies.insert(latencies.end(), f->Latencies().begin(), f->Latencies().end());
        }
        man.UnInitSocketMan();
        fetches.clear();
        state.ResumeTiming();
    }
    Report(state, latencies, requests);
}

// One blocking connection: GET after GET on the kept connection.
bool FetchBlocking(unsigned short port, int count, std::vector<uint32_t>& latencies) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    struct sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        close(fd);
        return false;
    }
    const std::string path = vostest::NginxServer::PathFor(kSize);
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::vector<char> buf(64 * 1024);
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ok = send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
        std::string head;
        size_t bodyLength = 0, bodyRead = 0;
        bool inBody = false;
        while (ok && (!inBody || bodyRead < bodyLength)) {
            const ssize_t n = recv(fd, buf.data(), buf.size(), 0);
            if (n <= 0) {
                ok = false;
                break;
            }
            const char* data = buf.data();
            size_t len = static_cast<size_t>(n);
            if (!inBody) {
                head.append(data, len);
                const size_t end = head.find("\r\n\r\n");
                if (end == std::string::npos) continue;
                const char* key = strcasestr(head.c_str(), "\r\nContent-Length:");
                if (key == nullptr) {
                    ok = false;
                    break;
                }
                bodyLength = strtoul(key + 17, nullptr, 10);
                const std::string rest = head.substr(end + 4);
                inBody = true;
                ok = vostest::NginxServer::Matches(path, 0, rest.data(), rest.size());
                bodyRead = rest.size();
                continue;
            }
            ok = vostest::NginxServer::Matches(path, bodyRead, data, len);
            bodyRead += len;
        }
        latencies.push_back(static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count()));
    }
    close(fd);
    return ok;
}

void BM_FetchBlocking(benchmark::State& state) {
    vostest::NginxServer* server = ServerFor(state);
    if (server == nullptr) return;
    const int connections = static_cast<int>(state.range(0));
    std::vector<uint32_t> latencies;
    long requests = 0;
    for (auto _ : state) {
        std::vector<std::vector<uint32_t>> perThread(connections);
        std::atomic<int> failures(0);
        std::vector<std::thread> threads;
        for (int c = 0; c < connections; ++c) {
            const int count = static_cast<int>(Share(c, connections).size());
            threads.emplace_back([&, c, count] {
                if (!FetchBlocking(server->Port(), count, perThread[c])) ++failures;
            });
        }
        for (auto& t : threads) t.join();
        state.PauseTiming();
        if (failures.load() != 0) state.SkipWithError("a blocking fetch failed");
        for (auto& v : perThread) {
            requests += static_cast<long>(v.size());
            latencies.insert(latencies.end(), v.begin(), v.end());
        }
        state.ResumeTiming();
    }
    Report(state, latencies, requests);
}

// The socket worker and the resolver left idle for 5 s, after one fetch that
// resolved "localhost" (so that the resolver thread runs): range 0 with no
// socket left in the table, range 1 with the fetch's connection still open
// and quiet in the table. The peer is a thread blocked in poll with nothing
// to wait for.
void BM_IdleWakeups(benchmark::State& state) {
    vostest::NginxServer* server = ServerFor(state);
    if (server == nullptr) return;
    const bool keepOpen = state.range(0) == 1;
    for (auto _ : state) {
        _palex_zu::CVSocketMan man;
        man.SetSocketMax(1);
        man.StartSocketProc();
        vostest::HttpFetch fetch("localhost", server->Port(), {vostest::NginxServer::PathFor(kSize)},
                                 vostest::HttpFetch::kSameStream);
        fetch.SetVerifier(vostest::NginxServer::Matches);
        man.AddSocket(&fetch.Socket());
        fetch.Start();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!fetch.Done() && std::chrono::steady_clock::now() < end) usleep(1000);
        _palex_zu::CVSocket& socket = fetch.Socket();
        if (keepOpen) {
            // A fresh connection, left open and quiet.
            socket.Create(_palex_zu::VSOCK_TCP, nullptr, nullptr);
            _palex_zu::CVString host("127.0.0.1");
            socket.Connect(host, server->Port());
            while (socket.GetSocketState() != _palex_zu::ESOCKET_CONNECTED && std::chrono::steady_clock::now() < end) {
                usleep(1000);
            }
        } else {
            man.RemoveSocket(&socket);
        }
        if (fetch.Failed() || !fetch.Done() || (keepOpen && socket.GetSocketState() != _palex_zu::ESOCKET_CONNECTED)) {
            state.SkipWithError("the fetch or the connection did not complete");
            man.RemoveSocket(&socket);
            break;
        }
        CountIdleWakeups(state);
        man.RemoveSocket(&socket);
        man.UnInitSocketMan();
    }
}

void BM_IdleWakeupsPeer(benchmark::State& state) {
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) {
            state.SkipWithError("pipe");
            break;
        }
        std::thread sleeper([&] {
            struct pollfd p = {fds[0], POLLIN, 0};
            poll(&p, 1, -1);
        });
        CountIdleWakeups(state);
        close(fds[1]);
        sleeper.join();
        close(fds[0]);
    }
}

}  // namespace

BENCHMARK(BM_FetchSocketMan)
    ->Name("BM_Fetch1KiB/SocketMan")
    ->Arg(1)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_FetchBlocking)
    ->Name("BM_Fetch1KiB/Blocking")
    ->Arg(1)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_IdleWakeups)->Name("BM_Idle5s/SocketWorkerAndResolver")->Arg(0)->Arg(1)->UseRealTime()->Iterations(1);
BENCHMARK(BM_IdleWakeupsPeer)->Name("BM_Idle5s/PollPeer")->UseRealTime()->Iterations(1);

BENCHMARK_MAIN();
