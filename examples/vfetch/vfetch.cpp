// vfetch URL [timeout-ms]: fetches an http:// URL through the socket manager
// and prints every state the socket goes through (on standard error, as it
// happens) and the response body (on standard output).
//
// Exit status: 0 for a 2xx response, 1 for any other HTTP status, 2 when the
// connection fails or times out, 64 for a usage or URL error, 74 when the
// body cannot be written.
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "HttpGet.h"
#include "vos/vos.h"

using namespace _palex_zu;
using vosexample::HttpGet;

namespace {
const char kUsage[] = "usage: vfetch http://host[:port][/path] [timeout-ms]\n";
}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(kUsage, stdout);
        return 0;
    }
    // A reader that went away shows as a failed write, reported below, not
    // as a silent end by signal.
    signal(SIGPIPE, SIG_IGN);
    if (argc < 2 || argc > 3) {
        fputs(kUsage, stderr);
        return 64;
    }
    vosexample::Url url;
    std::string why;
    if (!vosexample::ParseUrl(argv[1], url, why)) {
        fprintf(stderr, "vfetch: %s: %s\n", argv[1], why.c_str());
        return 64;
    }
    unsigned long timeoutMs = 10000;
    if (argc == 3) {
        char* end = nullptr;
        timeoutMs = strtoul(argv[2], &end, 10);
        if (*end != '\0' || timeoutMs == 0) {
            fprintf(stderr, "vfetch: bad time-out '%s'\n", argv[2]);
            return 64;
        }
    }
    fprintf(stderr, "vfetch: GET %s from %s port %u\n", url.path.c_str(), url.host.c_str(), url.port);

    CVSocketMan manager;
    manager.SetSocketMax(1);
    if (manager.StartSocketProc() != 1) {
        fprintf(stderr, "vfetch: cannot start the socket worker\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    HttpGet fetch(url, "vfetch", [start](int state, bool) {
        const long ms = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
        fprintf(stderr, "vfetch: [%5ld ms] state %2d: %s\n", ms, state, vosexample::SocketStateName(state));
    });
    fetch.Socket().SetTimeOut(timeoutMs);
    manager.AddSocket(&fetch.Socket());
    fetch.Start();
    // The worker ends every attempt within its time-outs; this bound only
    // guards against a stuck run.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(4 * timeoutMs + 5000);
    while (!fetch.Done() && std::chrono::steady_clock::now() < limit) {
        fetch.Poll();
        usleep(1000);
    }
    manager.RemoveSocket(&fetch.Socket());
    manager.UnInitSocketMan();

    if (!fetch.Done()) {
        fprintf(stderr, "vfetch: no answer from %s:%u in time\n", url.host.c_str(), url.port);
        return 2;
    }
    if (fetch.Failure() != 0) {
        fprintf(stderr, "vfetch: fetching %s failed: %s\n", argv[1], vosexample::SocketStateName(fetch.Failure()));
        return 2;
    }
    const std::string body = fetch.Body();
    // A body that did not reach its file (a full disk, a closed pipe) is a
    // failed fetch, whatever the server said.
    if (fwrite(body.data(), 1, body.size(), stdout) != body.size() || fflush(stdout) != 0) {
        fprintf(stderr, "vfetch: cannot write the body: %s\n", strerror(errno));
        return 74;
    }
    const std::string status = fetch.Status();
    const int code = status.size() >= 12 ? atoi(status.c_str() + 9) : 0;
    if (code < 200 || code > 299) {
        fprintf(stderr, "vfetch: server answered '%s'\n", status.c_str());
        return 1;
    }
    fprintf(stderr, "vfetch: %s, %zu bytes\n", status.c_str(), body.size());
    return 0;
}
