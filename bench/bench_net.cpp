// Fetching 1 KiB responses from a private nginx on loopback: through the
// socket manager (one worker, 64 sockets, the state machine driven from the
// callbacks) beside plain blocking sockets (64 threads, one connection each).
// Counters: requests per second and the median and 99th-percentile latency of
// one request, in milliseconds.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/socket.h>
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
#include "net/NginxFixture.h"
#include "vos/vos.h"

namespace {

const int kRequests = 5000;
const int kConnections = 64;
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

void Report(benchmark::State& state, std::vector<uint32_t>& latencies, long requests) {
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies.empty() ? 0.0 : static_cast<double>(latencies[static_cast<size_t>(q * (latencies.size() - 1))]);
    };
    state.counters["req_per_s"] = benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kIsRate);
    state.counters["p50_ms"] = at(0.50);
    state.counters["p99_ms"] = at(0.99);
}

std::vector<std::string> Share(int connection) {
    std::vector<std::string> paths;
    for (int i = connection; i < kRequests; i += kConnections) paths.push_back(vostest::NginxServer::PathFor(kSize));
    return paths;
}

void BM_FetchSocketMan(benchmark::State& state) {
    vostest::NginxServer* server = Server();
    if (server == nullptr) {
        state.SkipWithError("nginx did not start");
        return;
    }
    std::vector<uint32_t> latencies;
    long requests = 0;
    for (auto _ : state) {
        _palex_zu::CVSocketMan man;
        man.SetSocketMax(kConnections);
        man.StartSocketProc();
        std::vector<std::unique_ptr<vostest::HttpFetch>> fetches;
        for (int c = 0; c < kConnections; ++c) {
            fetches.emplace_back(
                new vostest::HttpFetch("127.0.0.1", server->Port(), Share(c), vostest::HttpFetch::kSameStream));
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
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()));
    }
    close(fd);
    return ok;
}

void BM_FetchBlocking(benchmark::State& state) {
    vostest::NginxServer* server = Server();
    if (server == nullptr) {
        state.SkipWithError("nginx did not start");
        return;
    }
    std::vector<uint32_t> latencies;
    long requests = 0;
    for (auto _ : state) {
        std::vector<std::vector<uint32_t>> perThread(kConnections);
        std::atomic<int> failures(0);
        std::vector<std::thread> threads;
        for (int c = 0; c < kConnections; ++c) {
            const int count = static_cast<int>(Share(c).size());
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

}  // namespace

BENCHMARK(BM_FetchSocketMan)->Name("BM_Fetch1KiB/SocketMan")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FetchBlocking)->Name("BM_Fetch1KiB/Blocking")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
