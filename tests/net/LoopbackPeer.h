// Peers on 127.0.0.1 for the socket tests: a plain HTTP responder and the
// misbehaving servers that drive a socket into each failure state. Every peer
// runs on a thread of its own, waits in bounded steps and stops with the
// object.
#ifndef VOS_TESTS_NET_LOOPBACKPEER_H
#define VOS_TESTS_NET_LOOPBACKPEER_H

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vostest {

class LoopbackPeer {
public:
    enum Mode {
        // Answers every GET with Body(), keeping the connection open.
        kHttp,
        // Accepts and closes at once.
        kCloseAtOnce,
        // Accepts, reads, never answers.
        kSilent,
        // Reads the request, sends half of the answer, then resets.
        kResetMidResponse,
        // Answers a byte at a time, DripPauseMs apart.
        kDrip,
        // Accepts and never reads, with a small receive buffer.
        kNoRead,
        // Listens with a full backlog and never accepts: new connections hang.
        kNeverAccept
    };

    explicit LoopbackPeer(Mode mode, int dripPauseMs = 2);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    // 0 when the peer could not be set up.
    unsigned short Port() const { return m_port; }
    int Accepted() const { return m_accepted.load(); }
    int Requests() const { return m_requests.load(); }
    // The answer of kHttp, kResetMidResponse and kDrip.
    static std::string Response(const std::string& body);
    static const std::string& Body();
    // Closes the connections accepted so far (kHttp).
    void DropConnections() { m_dropRequested.store(true); }
    // Sends data, unasked, on every connection accepted so far (kHttp).
    void Push(const std::string& data) {
        std::lock_guard<std::mutex> hold(m_pushLock);
        m_push += data;
    }
    // A loopback port with nothing listening on it.
    static unsigned short UnusedPort();

private:
    void Run();
    // False when the connection is finished with and may be closed.
    bool Serve(int fd);

    Mode m_mode;
    int m_dripPauseMs;
    int m_listen;
    int m_fillers[4];
    unsigned short m_port;
    std::atomic<bool> m_stop;
    std::atomic<bool> m_dropRequested;
    std::atomic<int> m_accepted;
    std::atomic<int> m_requests;
    std::mutex m_pushLock;
    std::string m_push;
    std::thread m_thread;
};

// Descriptors the process has open, counted from /proc/self/fd.
int OpenDescriptorCount();
// The thread ids of the process, from /proc/self/task.
std::vector<int> ThreadIds();
// Context switches (voluntary and not) of the threads so far: each one a
// wake-up of a sleeping thread or a preemption of a running one.
long ContextSwitches(const std::vector<int>& threads);

}  // namespace vostest

#endif  // VOS_TESTS_NET_LOOPBACKPEER_H
