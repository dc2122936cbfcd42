#include "net/HttpFetch.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <chrono>

using _palex_zu::CVSocket;
using _palex_zu::CVString;

namespace vostest {

namespace {

uint64_t NowUs() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

}  // namespace

HttpFetch::HttpFetch(const std::string& host, unsigned short port, std::vector<std::string> paths, Reuse reuse,
                     size_t bufferSize)
    : m_host(host),
      m_port(port),
      m_paths(std::move(paths)),
      m_reuse(reuse),
      m_buffer(bufferSize),
      m_keepBodies(false),
      m_next(0),
      m_sent(0),
      m_inBody(false),
      m_bodyLength(0),
      m_bodyRead(0),
      m_started(0),
      m_done(false),
      m_failed(false),
      m_completed(0) {}

HttpFetch::~HttpFetch() {}

std::string HttpFetch::Error() {
    std::lock_guard<std::mutex> hold(m_logLock);
    return m_error;
}

std::vector<int> HttpFetch::States() {
    std::lock_guard<std::mutex> hold(m_logLock);
    return m_states;
}

std::vector<int> HttpFetch::Descriptors() {
    std::lock_guard<std::mutex> hold(m_logLock);
    return m_descriptors;
}

void HttpFetch::Start() {
    if (m_paths.empty()) {
        Finish(false, "");
        return;
    }
    m_socket.Create(_palex_zu::VSOCK_TCP, this, OnState);
    Connect();
}

void HttpFetch::Connect() {
    CVString host(m_host.c_str());
    m_socket.Connect(host, m_port);
}

int HttpFetch::OnState(void* self) {
    static_cast<HttpFetch*>(self)->OnStateChanged();
    return 0;
}

void HttpFetch::OnStateChanged() {
    const int state = m_socket.GetSocketState();
    {
        std::lock_guard<std::mutex> hold(m_logLock);
        m_states.push_back(state);
    }
    if (m_done.load()) return;
    switch (state) {
        case _palex_zu::ESOCKET_CONNECTED: {
            {
                std::lock_guard<std::mutex> hold(m_logLock);
                m_descriptors.push_back(m_socket.GetSocketHandle());
            }
            const std::string& path = m_paths[m_next];
            m_request = "GET " + path + " HTTP/1.1\r\nHost: " + m_host + "\r\n" +
                        (m_reuse == kNewConnection ? "Connection: close\r\n" : "") + "\r\n";
            m_sent = 0;
            m_started = NowUs();
            SendMore();
            break;
        }
        case _palex_zu::ESOCKET_SEND_DONE:
            if (m_sent < m_request.size()) {
                SendMore();
            } else if (m_socket.Recv(m_buffer.data(), static_cast<int>(m_buffer.size())) != -2) {
                Finish(true, "Recv after a completed send did not start the wait");
            }
            break;
        case _palex_zu::ESOCKET_DATA_READY:
            ReadSome();
            break;
        case _palex_zu::ESOCKET_CONNECT_FAILED:
        case _palex_zu::ESOCKET_CONNECT_TIMEOUT:
        case _palex_zu::ESOCKET_RECV_ERROR:
        case _palex_zu::ESOCKET_RECV_TIMEOUT:
        case _palex_zu::ESOCKET_SEND_TIMEOUT:
            Finish(true, "state " + std::to_string(state) + " during " + m_paths[m_next]);
            break;
        default:
            break;
    }
}

void HttpFetch::SendMore() {
    const int n = m_socket.Send(m_request.data() + m_sent, static_cast<int>(m_request.size() - m_sent));
    if (n > 0) {
        m_sent += static_cast<size_t>(n);
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
        Finish(true, "send failed during " + m_paths[m_next]);
    }
    // A partial send is completed on the next 8.
}

void HttpFetch::ReadSome() {
    const int n = m_socket.Recv(m_buffer.data(), static_cast<int>(m_buffer.size()));
    if (n > 0) {
        Consume(m_buffer.data(), static_cast<size_t>(n));
    } else if (n == 0 || m_socket.GetSocketState() == _palex_zu::ESOCKET_RECV_ERROR) {
        // Recv itself moved the socket to 12: no announcement follows.
        {
            std::lock_guard<std::mutex> hold(m_logLock);
            m_states.push_back(m_socket.GetSocketState());
        }
        Finish(true, (n == 0 ? "peer closed during " : "receive failed during ") + m_paths[m_next]);
    }
    // -1 in 7: nothing there after all; the worker signals again.
}

void HttpFetch::Consume(const char* data, size_t len) {
    while (len > 0 && !m_done.load()) {
        if (!m_inBody) {
            m_head.append(data, len);
            const size_t end = m_head.find("\r\n\r\n");
            if (end == std::string::npos) return;
            const std::string rest = m_head.substr(end + 4);
            m_head.resize(end + 2);
            if (m_head.compare(0, 12, "HTTP/1.1 200") != 0) {
                Finish(true, "unexpected status: " + m_head.substr(0, m_head.find('\r')));
                return;
            }
            const char* key = strcasestr(m_head.c_str(), "\r\nContent-Length:");
            if (key == nullptr) {
                Finish(true, "no Content-Length");
                return;
            }
            m_bodyLength = strtoul(key + 17, nullptr, 10);
            m_bodyRead = 0;
            m_inBody = true;
            m_body.clear();
            m_head.clear();
            if (rest.empty() && m_bodyLength > 0) return;
            // The body's start arrived with the head.
            std::string copy = rest;
            len = 0;
            Consume(copy.data(), copy.size());
            return;
        }
        const size_t take = len < m_bodyLength - m_bodyRead ? len : m_bodyLength - m_bodyRead;
        if (m_verify && !m_verify(m_paths[m_next], m_bodyRead, data, take)) {
            Finish(true, "body mismatch in " + m_paths[m_next] + " near offset " + std::to_string(m_bodyRead));
            return;
        }
        if (m_keepBodies) m_body.append(data, take);
        m_bodyRead += take;
        data += take;
        len -= take;
        if (m_bodyRead < m_bodyLength) return;
        if (len > 0) {
            Finish(true, "bytes beyond the body of " + m_paths[m_next]);
            return;
        }
        break;
    }
    if (m_inBody && m_bodyRead == m_bodyLength && !m_done.load()) {
        m_inBody = false;
        m_latencies.push_back(static_cast<uint32_t>(NowUs() - m_started));
        if (m_keepBodies) m_bodies.push_back(m_body);
        ++m_completed;
        NextRequest();
    }
}

void HttpFetch::NextRequest() {
    ++m_next;
    if (m_next >= m_paths.size()) {
        m_socket.Close();
        Finish(false, "");
        return;
    }
    switch (m_reuse) {
        case kNewConnection:
            m_socket.Close();
            m_socket.Create(_palex_zu::VSOCK_TCP, this, OnState);
            Connect();
            break;
        case kKeepAlive:
            m_socket.SetSocketState(_palex_zu::ESOCKET_KEEPALIVE);
            m_socket.Close();
            m_socket.Create(_palex_zu::VSOCK_TCP, this, OnState);
            Connect();
            break;
        case kSameStream:
            m_request = "GET " + m_paths[m_next] + " HTTP/1.1\r\nHost: " + m_host + "\r\n\r\n";
            m_sent = 0;
            m_started = NowUs();
            SendMore();
            break;
    }
}

void HttpFetch::Finish(bool failed, const std::string& error) {
    {
        std::lock_guard<std::mutex> hold(m_logLock);
        if (failed) m_error = error;
    }
    m_failed.store(failed);
    m_done.store(true);
}

}  // namespace vostest
