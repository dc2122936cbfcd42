#include "HttpGet.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

using namespace _palex_zu;

namespace vosexample {

const char* SocketStateName(int state) {
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
        case ESOCKET_RESOLVING: return "resolving the host name";
        default: return "unknown";
    }
}

bool ParseUrl(const std::string& text, Url& url, std::string& why) {
    const std::string scheme = "http://";
    if (text.compare(0, scheme.size(), scheme) != 0) {
        why = "only http:// URLs are supported";
        return false;
    }
    const std::string rest = text.substr(scheme.size());
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

HttpGet::HttpGet(const Url& url, const char* userAgent, std::function<void(int, bool)> onState,
                 std::function<void()> onDone)
    : m_url(url), m_onState(std::move(onState)), m_onDone(std::move(onDone)) {
    m_request = "GET " + url.path + " HTTP/1.1\r\nHost: " + url.host +
                (url.port != 80 ? ":" + std::to_string(url.port) : "") + "\r\nUser-Agent: " + userAgent +
                "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
}

void HttpGet::Start() {
    m_socket.Create(VSOCK_TCP, this, OnState);
    CVString host(m_url.host.c_str());
    m_socket.Connect(host, m_url.port);
}

int HttpGet::OnState(void* self) {
    static_cast<HttpGet*>(self)->Changed();
    return 0;
}

void HttpGet::Note(int state, bool announced) {
    std::lock_guard<std::mutex> hold(m_noteLock);
    if (state == m_nLastState) return;
    m_nLastState = state;
    if (m_onState) m_onState(state, announced);
}

// The worker calls this on its thread with the manager's lock held; Send and
// Recv may be called from here.
void HttpGet::Changed() {
    const int state = m_socket.GetSocketState();
    Note(state, true);
    if (Done()) return;
    switch (state) {
        case ESOCKET_CONNECTED:
            SendMore();
            break;
        case ESOCKET_SEND_DONE:
            if (m_sent < m_request.size()) {
                SendMore();
            } else {
                m_socket.Recv(m_buffer, sizeof m_buffer);  // starts waiting for the answer
                Note(m_socket.GetSocketState(), false);
            }
            break;
        case ESOCKET_DATA_READY: {
            const int n = m_socket.Recv(m_buffer, sizeof m_buffer);
            if (n > 0) {
                m_response.append(m_buffer, static_cast<size_t>(n));
                if (Whole(false)) Finish(0);
            } else if (n == 0 || m_socket.GetSocketState() == ESOCKET_RECV_ERROR) {
                Finish(Whole(true) ? 0 : ESOCKET_RECV_ERROR);
            }
            break;
        }
        case ESOCKET_RECV_ERROR:
            // The server closing after "Connection: close" ends a whole answer.
            Finish(Whole(true) ? 0 : state);
            break;
        case ESOCKET_CONNECT_FAILED:
        case ESOCKET_CONNECT_TIMEOUT:
        case ESOCKET_RECV_TIMEOUT:
        case ESOCKET_SEND_TIMEOUT:
            Finish(state);
            break;
        default:
            break;
    }
}

void HttpGet::SendMore() {
    const int n = m_socket.Send(m_request.data() + m_sent, static_cast<int>(m_request.size() - m_sent));
    if (n > 0) m_sent += static_cast<size_t>(n);
    Note(m_socket.GetSocketState(), false);
}

bool HttpGet::Whole(bool connectionEnded) const {
    const size_t end = m_response.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    const std::string head = m_response.substr(0, end + 2);
    const char* key = strcasestr(head.c_str(), "\r\nContent-Length:");
    if (key == nullptr) return connectionEnded;
    return m_response.size() - (end + 4) >= strtoul(key + 17, nullptr, 10);
}

void HttpGet::Finish(int failure) {
    m_nFailure = failure;
    m_socket.Close();
    m_bDone = true;
    if (m_onDone) m_onDone();
}

std::string HttpGet::Status() const { return m_response.substr(0, m_response.find('\r')); }

std::string HttpGet::Body() const {
    const size_t end = m_response.find("\r\n\r\n");
    if (end == std::string::npos) return std::string();
    const std::string head = m_response.substr(0, end);
    const std::string body = m_response.substr(end + 4);
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

}  // namespace vosexample
