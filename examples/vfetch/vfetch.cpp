// vfetch URL [timeout-ms]: fetches an http:// URL through the socket manager
// and prints every state the socket goes through (on standard error, as it
// happens) and the response body (on standard output).
//
// Exit status: 0 for a 2xx response, 1 for any other HTTP status, 2 when the
// connection fails or times out, 64 for a usage or URL error.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

const char* StateName(int state) {
    switch (state) {
        case ESOCKET_IDLE: return "idle";
        case ESOCKET_CONNECTING: return "connecting";
        case ESOCKET_CONNECTED: return "connected";
        case ESOCKET_DATA_READY: return "data ready";
        case ESOCKET_RECV_WAIT: return "waiting for data";
        case ESOCKET_SEND_DONE: return "request sent";
        case ESOCKET_SENDING: return "sending";
        case ESOCKET_CONNECT_FAILED: return "connection failed";
        case ESOCKET_CONNECT_TIMEOUT: return "connection timed out";
        case ESOCKET_RECV_ERROR: return "connection closed or receive failed";
        case ESOCKET_RECV_TIMEOUT: return "receive timed out";
        case ESOCKET_SEND_TIMEOUT: return "send timed out";
        case ESOCKET_KEEPALIVE: return "kept alive";
        case ESOCKET_RESOLVING: return "resolving host name";
        default: return "unknown";
    }
}

struct Url {
    std::string host;
    unsigned short port = 80;
    std::string path = "/";
};

bool ParseUrl(const std::string& text, Url& url, std::string& why) {
    const std::string scheme = "http://";
    if (text.compare(0, scheme.size(), scheme) != 0) {
        why = "only http:// URLs are supported";
        return false;
    }
    std::string rest = text.substr(scheme.size());
    const size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    if (slash != std::string::npos) url.path = rest.substr(slash);
    const size_t hash = url.path.find('#');
    if (hash != std::string::npos) url.path.resize(hash);
    if (authority.find('@') != std::string::npos) {
        why = "user information in the URL is not supported";
        return false;
    }
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos) {
        const std::string digits = authority.substr(colon + 1);
        char* end = nullptr;
        const long port = strtol(digits.c_str(), &end, 10);
        if (digits.empty() || *end != '\0' || port < 1 || port > 65535) {
            why = "bad port '" + digits + "'";
            return false;
        }
        url.port = static_cast<unsigned short>(port);
        authority.resize(colon);
    }
    if (authority.empty()) {
        why = "no host in the URL";
        return false;
    }
    url.host = authority;
    return true;
}

class Fetch {
public:
    Fetch(const Url& url) : m_url(url), m_start(std::chrono::steady_clock::now()) {
        m_request = "GET " + url.path + " HTTP/1.1\r\nHost: " + url.host +
                    (url.port != 80 ? ":" + std::to_string(url.port) : "") +
                    "\r\nUser-Agent: vfetch\r\nAccept: */*\r\nConnection: close\r\n\r\n";
    }

    CVSocket& Socket() { return m_socket; }
    void Start() {
        m_socket.Create(VSOCK_TCP, this, OnState);
        CVString host(m_url.host.c_str());
        m_socket.Connect(host, m_url.port);
    }
    // Notes states the worker does not announce (resolving, connecting).
    void Poll() { Note(m_socket.GetSocketState()); }
    bool Done() const { return m_done.load(); }
    int Failure() const { return m_failure; }
    const std::string& Response() const { return m_response; }

private:
    static int OnState(void* self) {
        static_cast<Fetch*>(self)->Changed();
        return 0;
    }

    void Note(int state) {
        std::lock_guard<std::mutex> hold(m_print);
        if (state == m_lastNoted) return;
        m_lastNoted = state;
        const long ms = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start).count());
        fprintf(stderr, "vfetch: [%5ld ms] state %2d: %s\n", ms, state, StateName(state));
    }

    void Changed() {
        const int state = m_socket.GetSocketState();
        Note(state);
        if (m_done.load()) return;
        switch (state) {
            case ESOCKET_CONNECTED:
                SendMore();
                break;
            case ESOCKET_SEND_DONE:
                if (m_sent < m_request.size()) {
                    SendMore();
                } else {
                    m_socket.Recv(m_buffer, sizeof(m_buffer));
                    Note(m_socket.GetSocketState());
                }
                break;
            case ESOCKET_DATA_READY: {
                const int n = m_socket.Recv(m_buffer, sizeof(m_buffer));
                Note(m_socket.GetSocketState());
                if (n > 0) {
                    m_response.append(m_buffer, static_cast<size_t>(n));
                    if (Complete()) Finish(0);
                } else if (n == 0) {
                    // Connection: close ends the body with the connection.
                    Finish(HaveHead() ? 0 : ESOCKET_RECV_ERROR);
                } else if (m_socket.GetSocketState() == ESOCKET_RECV_ERROR) {
                    Finish(ESOCKET_RECV_ERROR);
                }
                break;
            }
            case ESOCKET_CONNECT_FAILED:
            case ESOCKET_CONNECT_TIMEOUT:
            case ESOCKET_RECV_ERROR:
            case ESOCKET_RECV_TIMEOUT:
            case ESOCKET_SEND_TIMEOUT:
                Finish(state);
                break;
            default:
                break;
        }
    }

    void SendMore() {
        const int n = m_socket.Send(m_request.data() + m_sent, static_cast<int>(m_request.size() - m_sent));
        if (n > 0) m_sent += static_cast<size_t>(n);
        Note(m_socket.GetSocketState());
    }

    bool HaveHead() const { return m_response.find("\r\n\r\n") != std::string::npos; }

    bool Complete() const {
        const size_t end = m_response.find("\r\n\r\n");
        if (end == std::string::npos) return false;
        const std::string head = m_response.substr(0, end + 2);
        const char* key = strcasestr(head.c_str(), "\r\nContent-Length:");
        if (key == nullptr) return false;  // read to the end of the connection
        return m_response.size() - (end + 4) >= strtoul(key + 17, nullptr, 10);
    }

    void Finish(int failure) {
        m_failure = failure;
        m_socket.Close();
        m_done.store(true);
    }

    Url m_url;
    CVSocket m_socket;
    std::chrono::steady_clock::time_point m_start;
    std::string m_request;
    size_t m_sent = 0;
    char m_buffer[64 * 1024];
    std::string m_response;
    std::atomic<bool> m_done{false};
    int m_failure = 0;
    std::mutex m_print;
    int m_lastNoted = -1;
};

// The body of a chunked response, or the body as it is.
std::string Body(const std::string& response, std::string& head) {
    const size_t end = response.find("\r\n\r\n");
    head = response.substr(0, end);
    std::string body = response.substr(end + 4);
    const char* te = strcasestr(head.c_str(), "\r\nTransfer-Encoding:");
    if (te == nullptr || strcasestr(te, "chunked") == nullptr) return body;
    std::string out;
    size_t at = 0;
    while (at < body.size()) {
        const size_t line = body.find("\r\n", at);
        if (line == std::string::npos) break;
        const unsigned long size = strtoul(body.c_str() + at, nullptr, 16);
        if (size == 0) break;
        out.append(body, line + 2, size);
        at = line + 2 + size + 2;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: vfetch http://host[:port][/path] [timeout-ms]\n");
        return 64;
    }
    Url url;
    std::string why;
    if (!ParseUrl(argv[1], url, why)) {
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
    Fetch fetch(url);
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
        fprintf(stderr, "vfetch: fetching %s failed: %s\n", argv[1], StateName(fetch.Failure()));
        return 2;
    }
    std::string head;
    const std::string body = Body(fetch.Response(), head);
    fwrite(body.data(), 1, body.size(), stdout);
    fflush(stdout);
    const std::string status = head.substr(0, head.find('\r'));
    const int code = status.size() >= 12 ? atoi(status.c_str() + 9) : 0;
    if (code < 200 || code > 299) {
        fprintf(stderr, "vfetch: server answered '%s'\n", status.c_str());
        return 1;
    }
    fprintf(stderr, "vfetch: %s, %zu bytes\n", status.c_str(), body.size());
    return 0;
}
