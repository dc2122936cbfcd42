// Socket soak: one manager keeps 200 sockets busy for a set time against a
// private nginx and a set of misbehaving peers (resetting, stalling,
// dripping, closing at once), opening, fetching, keeping connections alive
// and closing at random. Every byte that arrives is checked against what the
// server holds; at the end the process must hold the descriptors it held
// before the sockets ran and its resident memory must have stopped growing.
//
// vos_soak SECONDS [SOCKETS] [SEED]; prints the figures and exits 0 when
// every check held.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "net/HttpFetch.h"
#include "net/LoopbackPeer.h"
#include "net/NginxFixture.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;
using vostest::HttpFetch;
using vostest::LoopbackPeer;
using vostest::NginxServer;

namespace {

typedef std::chrono::steady_clock Clock;

const std::vector<size_t> kSizes = {1, 700, 4096, 65537, 262144};

enum Kind { kNginx, kReset, kStall, kDrip, kCloseAtOnce, kKinds };
const char* const kKindNames[kKinds] = {"nginx", "reset", "stall", "drip", "close"};
// At most this many sockets at once talk to each peer: the peers serve one
// connection at a time.
const int kPeerShare[kKinds] = {0, 3, 4, 2, 3};

std::atomic<unsigned long long> g_bytesVerified{0};

long ResidentKiB() {
    FILE* f = fopen("/proc/self/statm", "r");
    if (f == nullptr) return -1;
    long pages = 0;
    long resident = 0;
    const int got = fscanf(f, "%ld %ld", &pages, &resident);
    fclose(f);
    return got == 2 ? resident * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

bool VerifyNginx(const std::string& path, size_t offset, const char* data, size_t len) {
    if (!NginxServer::Matches(path, offset, data, len)) return false;
    g_bytesVerified += len;
    return true;
}

bool VerifyPeer(const std::string&, size_t offset, const char* data, size_t len) {
    const std::string& body = LoopbackPeer::Body();
    if (offset + len > body.size() || body.compare(offset, len, data, len) != 0) return false;
    g_bytesVerified += len;
    return true;
}

// The fault peers live in a child process, so that the connections they hold
// (a stalling peer keeps every one) count against neither the descriptors
// nor the memory measured here.
struct PeerHost {
    pid_t pid = -1;
    unsigned short ports[kKinds] = {};

    bool Start() {
        int fds[2];
        int stop[2];
        if (pipe(fds) != 0 || pipe(stop) != 0) return false;
        pid = fork();
        if (pid < 0) return false;
        if (pid == 0) {
            close(fds[0]);
            close(stop[1]);
            LoopbackPeer reset(LoopbackPeer::kResetMidResponse);
            LoopbackPeer stall(LoopbackPeer::kSilent);
            LoopbackPeer drip(LoopbackPeer::kDrip, 1);
            LoopbackPeer closer(LoopbackPeer::kCloseAtOnce);
            const unsigned short p[kKinds] = {0, reset.Port(), stall.Port(), drip.Port(), closer.Port()};
            if (write(fds[1], p, sizeof p) != static_cast<ssize_t>(sizeof p)) _exit(1);
            close(fds[1]);
            char c;
            // Until the parent closes its end (or dies).
            while (read(stop[0], &c, 1) > 0) {
            }
            _exit(0);
        }
        close(fds[1]);
        close(stop[0]);
        m_stop = stop[1];
        const bool ok = read(fds[0], ports, sizeof ports) == static_cast<ssize_t>(sizeof ports);
        close(fds[0]);
        for (int k = 1; k < kKinds; ++k) {
            if (ports[k] == 0) return false;
        }
        return ok;
    }
    void Stop() {
        if (pid <= 0) return;
        close(m_stop);
        int status = 0;
        for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(20000);
        if (waitpid(pid, &status, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        pid = -1;
    }
    int m_stop = -1;
};

struct Slot {
    std::unique_ptr<HttpFetch> fetch;
    Kind kind = kNginx;
    Clock::time_point deadline;
    Clock::time_point abortAt;  // a close at random, before the fetch is done
    bool aborts = false;
};

struct Figures {
    unsigned long long started = 0;
    unsigned long long served = 0;  // responses received whole and verified
    unsigned long long aborted = 0;
    unsigned long long faults[kKinds] = {};
    unsigned long long errors = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? atoi(argv[1]) : 120;
    const int sockets = argc > 2 ? atoi(argv[2]) : 200;
    const unsigned seed = argc > 3 ? static_cast<unsigned>(atoi(argv[3])) : 20261208u;
    if (seconds <= 0 || sockets <= 0) {
        fprintf(stderr, "usage: vos_soak SECONDS [SOCKETS] [SEED]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);

    PeerHost peers;
    if (!peers.Start()) {
        fprintf(stderr, "soak: the fault peers did not start\n");
        peers.Stop();
        return 1;
    }
    NginxServer nginx;
    if (!nginx.Start(kSizes)) {
        fprintf(stderr, "soak: nginx did not start: %s\n", nginx.Why().c_str());
        peers.Stop();
        return 1;
    }
    const unsigned short ports[kKinds] = {nginx.Port(), peers.ports[1], peers.ports[2], peers.ports[3],
                                          peers.ports[4]};

    const int fdsStart = vostest::OpenDescriptorCount();
    const long rssStart = ResidentKiB();
    long rssWarm = -1;

    Figures fig;
    std::mt19937 rng(seed);
    {
        CVSocketMan man;
        man.InitSocketMan();
        man.SetSocketMax(sockets);
        if (man.StartSocketProc() != 1) {
            fprintf(stderr, "soak: the worker did not start\n");
            return 1;
        }
        std::vector<Slot> slots(static_cast<size_t>(sockets));
        int active[kKinds] = {};

        auto launch = [&](Slot& s, Clock::time_point now) {
            int pick = static_cast<int>(rng() % 100);
            Kind kind = pick < 80 ? kNginx : static_cast<Kind>(1 + pick % 4);
            if (kind != kNginx && active[kind] >= kPeerShare[kind]) kind = kNginx;
            std::vector<std::string> paths;
            HttpFetch::Reuse reuse = HttpFetch::kNewConnection;
            if (kind == kNginx) {
                const int n = 1 + static_cast<int>(rng() % 4);
                for (int i = 0; i < n; ++i) paths.push_back(NginxServer::PathFor(kSizes[rng() % kSizes.size()]));
                const int r = static_cast<int>(rng() % 3);
                reuse = r == 0 ? HttpFetch::kKeepAlive : (r == 1 ? HttpFetch::kSameStream : HttpFetch::kNewConnection);
            } else {
                paths.push_back("/");
            }
            s.fetch.reset(new HttpFetch("127.0.0.1", ports[kind], paths, reuse, 16 * 1024));
            s.fetch->SetVerifier(kind == kNginx ? VerifyNginx : VerifyPeer);
            // A stalled peer is given up after the socket's own time-out.
            s.fetch->Socket().SetTimeOut(kind == kStall ? 1500 : 20000);
            s.kind = kind;
            s.deadline = now + std::chrono::seconds(60);
            s.aborts = kind == kNginx && rng() % 10 == 0;
            s.abortAt = now + std::chrono::milliseconds(rng() % 40);
            ++active[kind];
            ++fig.started;
            if (man.AddSocket(&s.fetch->Socket()) != 1) {
                fprintf(stderr, "soak: the table refused a socket\n");
                ++fig.errors;
            }
            s.fetch->Start();
        };

        auto retire = [&](Slot& s) {
            man.RemoveSocket(&s.fetch->Socket());
            --active[s.kind];
            s.fetch.reset();
        };

        const auto begin = Clock::now();
        const auto end = begin + std::chrono::seconds(seconds);
        for (Slot& s : slots) launch(s, begin);
        auto lastReport = begin;
        while (Clock::now() < end) {
            const auto now = Clock::now();
            for (Slot& s : slots) {
                HttpFetch& f = *s.fetch;
                if (!f.Done()) {
                    if (s.aborts && now >= s.abortAt) {
                        // Closed at random in the middle of its work.
                        fig.served += static_cast<unsigned long long>(f.Completed());
                        ++fig.aborted;
                        retire(s);
                        launch(s, now);
                    } else if (now > s.deadline) {
                        fprintf(stderr, "soak: a %s fetch made no progress in 60 s (%d done)\n", kKindNames[s.kind],
                                f.Completed());
                        ++fig.errors;
                        retire(s);
                        launch(s, now);
                    }
                    continue;
                }
                if (s.kind == kNginx || s.kind == kDrip) {
                    if (f.Failed()) {
                        fprintf(stderr, "soak: a %s fetch failed: %s\n", kKindNames[s.kind], f.Error().c_str());
                        ++fig.errors;
                    }
                    fig.served += static_cast<unsigned long long>(f.Completed());
                    if (s.kind == kDrip) ++fig.faults[kDrip];
                } else {
                    // A peer that resets, stalls or closes must end in a failure.
                    if (!f.Failed()) {
                        fprintf(stderr, "soak: a %s fetch reported success\n", kKindNames[s.kind]);
                        ++fig.errors;
                    }
                    ++fig.faults[s.kind];
                }
                retire(s);
                launch(s, now);
            }
            if (rssWarm < 0 && now - begin >= std::chrono::seconds(seconds) / 4) rssWarm = ResidentKiB();
            if (now - lastReport >= std::chrono::seconds(30)) {
                lastReport = now;
                fprintf(stderr, "soak: %llds, %llu served, %llu bytes verified, fds %d, rss %ld KiB\n",
                        static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(now - begin).count()),
                        fig.served, g_bytesVerified.load(), vostest::OpenDescriptorCount(), ResidentKiB());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        for (Slot& s : slots) {
            // Responses already verified by the fetches still under way.
            if (s.kind == kNginx || s.kind == kDrip) fig.served += static_cast<unsigned long long>(s.fetch->Completed());
            retire(s);
        }
        man.UnInitSocketMan();
    }
    const int fdsEnd = vostest::OpenDescriptorCount();
    const long rssEnd = ResidentKiB();
    nginx.Stop();
    peers.Stop();

    unsigned long long faults = fig.aborted;
    for (int k = 1; k < kKinds; ++k) faults += fig.faults[k];
    printf("soak: %d s, %d sockets, seed %u\n", seconds, sockets, seed);
    printf("soak: fetches started %llu, responses served and verified %llu, bytes verified %llu\n", fig.started,
           fig.served, g_bytesVerified.load());
    printf("soak: faults %llu (reset %llu, stall %llu, drip %llu, close %llu, closed at random %llu)\n", faults,
           fig.faults[kReset], fig.faults[kStall], fig.faults[kDrip], fig.faults[kCloseAtOnce], fig.aborted);
    printf("soak: descriptors %d at start, %d at end; resident memory %ld KiB at start, %ld after a quarter, %ld at "
           "end\n",
           fdsStart, fdsEnd, rssStart, rssWarm, rssEnd);
    bool ok = fig.errors == 0;
    if (fdsEnd != fdsStart) {
        fprintf(stderr, "soak: descriptors not back to where they were\n");
        ok = false;
    }
    // Growth after the warm-up beyond a generous margin means a leak.
    if (rssWarm > 0 && rssEnd > rssWarm + rssWarm / 4 + 8192) {
        fprintf(stderr, "soak: resident memory kept growing\n");
        ok = false;
    }
    if (fig.served == 0) ok = false;
    printf("soak: %s (%llu errors)\n", ok ? "passed" : "FAILED", fig.errors);
    return ok ? 0 : 1;
}
