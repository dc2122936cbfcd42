// A client that fetches a series of paths over one CVSocket with plain
// HTTP/1.1 GETs, driven entirely from the socket's state-change callback on
// the manager's worker thread: send on 5 (and on 8 while a request is only
// partly out), Recv on 8 and on 6, and on to the next request when the body
// is complete. Shared by the socket tests and the benchmark.
#ifndef VOS_TESTS_NET_HTTPFETCH_H
#define VOS_TESTS_NET_HTTPFETCH_H

#include <stdint.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "vos/vos.h"

namespace vostest {

class HttpFetch {
public:
    // How the next request reaches the server.
    enum Reuse {
        kNewConnection,  // Close, Create, Connect
        kKeepAlive,      // SetSocketState(16), Close, Create, Connect
        kSameStream      // Send the next request right after the last body
    };
    // Checks a piece of the body of path at offset; false on a mismatch.
    typedef std::function<bool(const std::string& path, size_t offset, const char* data, size_t len)> Verifier;

    HttpFetch(const std::string& host, unsigned short port, std::vector<std::string> paths, Reuse reuse,
              size_t bufferSize = 64 * 1024);
    ~HttpFetch();

    _palex_zu::CVSocket& Socket() { return m_socket; }
    void SetVerifier(Verifier verifier) { m_verify = std::move(verifier); }
    // Keeps the bodies for Bodies() (small fetches only).
    void KeepBodies(bool keep) { m_keepBodies = keep; }
    // Create and Connect; the socket must be in a running manager's table.
    void Start();

    bool Done() const { return m_done.load(); }
    bool Failed() const { return m_failed.load(); }
    std::string Error();
    int Completed() const { return m_completed.load(); }
    // Latencies of the completed requests in microseconds (valid once Done).
    const std::vector<uint32_t>& Latencies() const { return m_latencies; }
    const std::vector<std::string>& Bodies() const { return m_bodies; }
    // Every state announced through the callback, in order.
    std::vector<int> States();
    // Descriptors the socket used, one per connection made.
    std::vector<int> Descriptors();

private:
    static int OnState(void* self);
    void OnStateChanged();
    void Connect();
    void SendMore();
    void ReadSome();
    void Consume(const char* data, size_t len);
    void Finish(bool failed, const std::string& error);
    void NextRequest();

    _palex_zu::CVSocket m_socket;
    std::string m_host;
    unsigned short m_port;
    std::vector<std::string> m_paths;
    Reuse m_reuse;
    std::vector<char> m_buffer;
    Verifier m_verify;
    bool m_keepBodies;

    size_t m_next;
    std::string m_request;
    size_t m_sent;
    std::string m_head;
    bool m_inBody;
    size_t m_bodyLength;
    size_t m_bodyRead;
    std::string m_body;
    uint64_t m_started;

    std::vector<uint32_t> m_latencies;
    std::vector<std::string> m_bodies;
    std::atomic<bool> m_done;
    std::atomic<bool> m_failed;
    std::atomic<int> m_completed;
    std::mutex m_logLock;
    std::vector<int> m_states;
    std::vector<int> m_descriptors;
    std::string m_error;
};

}  // namespace vostest

#endif  // VOS_TESTS_NET_HTTPFETCH_H
