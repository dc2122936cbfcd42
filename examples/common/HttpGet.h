// A small HTTP/1.1 client over CVSocket for the examples: one GET with
// "Connection: close" through a CVSocketMan the caller runs.
#ifndef VOS_EXAMPLES_COMMON_HTTPGET_H
#define VOS_EXAMPLES_COMMON_HTTPGET_H

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "vos/vos.h"

namespace vosexample {

// A short English name of a socket state (ESOCKET_*).
const char* SocketStateName(int state);

struct Url {
    std::string host;
    unsigned short port = 80;
    std::string path = "/";
};

// Parses http://host[:port][/path][#fragment]; false with a reason otherwise.
bool ParseUrl(const std::string& text, Url& url, std::string& why);

class HttpGet {
public:
    // onState sees every state the socket goes through, once each time it
    // changes: announced is true when the worker's callback reported it,
    // false when Poll saw it. onDone runs once the fetch has ended. Both run
    // on the socket worker's thread (onState also on the one calling Poll).
    HttpGet(const Url& url, const char* userAgent, std::function<void(int state, bool announced)> onState,
            std::function<void()> onDone = nullptr);

    _palex_zu::CVSocket& Socket() { return m_socket; }
    // Creates the socket and starts connecting; add Socket() to a manager first.
    void Start();
    // Notes the states the worker sets without a callback (resolving, connecting).
    void Poll() { Note(m_socket.GetSocketState(), false); }

    bool Done() const { return m_bDone.load(); }
    // 0 for a whole response, otherwise the socket state that ended the fetch.
    int Failure() const { return m_nFailure; }
    const std::string& Response() const { return m_response; }
    // The status line ("HTTP/1.1 200 OK") and the body, chunked encoding undone.
    std::string Status() const;
    std::string Body() const;

private:
    static int OnState(void* self);
    void Note(int state, bool announced);
    void Changed();
    void SendMore();
    // True when the response is whole: the head and, with a Content-Length,
    // that many bytes of body; without one the body ends with the connection.
    bool Whole(bool connectionEnded) const;
    void Finish(int failure);

    Url m_url;
    _palex_zu::CVSocket m_socket;
    std::string m_request;
    size_t m_sent = 0;
    char m_buffer[64 * 1024];
    std::string m_response;
    std::atomic<bool> m_bDone{false};
    int m_nFailure = 0;
    std::function<void(int, bool)> m_onState;
    std::function<void()> m_onDone;
    std::mutex m_noteLock;
    int m_nLastState = -1;
};

}  // namespace vosexample

#endif  // VOS_EXAMPLES_COMMON_HTTPGET_H
