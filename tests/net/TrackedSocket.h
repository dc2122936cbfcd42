// A socket that records every state its manager announces, with the time it
// arrived, and lets a test react to it on the worker thread.
#ifndef VOS_TESTS_NET_TRACKEDSOCKET_H
#define VOS_TESTS_NET_TRACKEDSOCKET_H

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "vos/vos.h"

namespace vostest {

class TrackedSocket : public _palex_zu::CVSocket {
public:
    typedef std::chrono::steady_clock Clock;

    // Create with the recording callback, then Connect.
    void Begin(const char* host, unsigned short port, bool withCallback = true) {
        m_begun = Clock::now();
        Create(_palex_zu::VSOCK_TCP, this, withCallback ? OnState : nullptr);
        _palex_zu::CVString name(host);
        Connect(name, port);
    }
    // Create alone, with the recording callback.
    void Recreate() { Create(_palex_zu::VSOCK_TCP, this, OnState); }
    void ConnectTo(const char* host, unsigned short port) {
        _palex_zu::CVString name(host);
        Connect(name, port);
    }
    // Takes fd as an established connection, with the recording callback
    // and nothing queued. Call before the socket joins a manager.
    void Adopt(int fd) {
        m_begun = Clock::now();
        m_pfnStateChanged = OnState;
        m_pObj = this;
        m_nSocket = fd;
        m_eState = _palex_zu::ESOCKET_CONNECTED;
    }
    // Runs on the worker thread after each recorded state.
    void React(std::function<void(TrackedSocket&, int)> reaction) { m_react = std::move(reaction); }

    std::vector<int> States() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_states;
    }
    bool Saw(int state) {
        std::lock_guard<std::mutex> hold(m_lock);
        for (int s : m_states) {
            if (s == state) return true;
        }
        return false;
    }
    // Milliseconds from Begin to the first announcement of state, or -1.
    long MsUntil(int state) {
        std::lock_guard<std::mutex> hold(m_lock);
        for (size_t i = 0; i < m_states.size(); ++i) {
            if (m_states[i] == state)
                return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(m_when[i] - m_begun).count());
        }
        return -1;
    }
    std::string Trace() {
        std::string out;
        for (int s : States()) out += std::to_string(s) + " ";
        return out;
    }
    // The queue the worker has not yet taken.
    int Pending() {
        m_mutex.Lock();
        const int n = m_arrCmds.GetSize();
        m_mutex.Unlock();
        return n;
    }
    void SetLastActive(uint32_t t) { __atomic_store_n(&m_ulLastActive, t, __ATOMIC_RELEASE); }

private:
    static int OnState(void* self) {
        TrackedSocket* t = static_cast<TrackedSocket*>(self);
        const int state = t->GetSocketState();
        {
            std::lock_guard<std::mutex> hold(t->m_lock);
            t->m_states.push_back(state);
            t->m_when.push_back(Clock::now());
        }
        if (t->m_react) t->m_react(*t, state);
        return 0;
    }

    std::mutex m_lock;
    std::vector<int> m_states;
    std::vector<Clock::time_point> m_when;
    Clock::time_point m_begun;
    std::function<void(TrackedSocket&, int)> m_react;
};

}  // namespace vostest

#endif  // VOS_TESTS_NET_TRACKEDSOCKET_H
