/// @file
/// Networking: one client TCP connection, driven by the worker thread of the
/// CVSocketMan whose table holds it.
///
/// Create, Connect and Close only queue actions; the manager's worker carries
/// them out on its next pass and announces every state change it makes through
/// the state-change callback given to Create. Callbacks run on the worker
/// thread with the manager's lock held (and the socket's own lock for failures
/// found while the worker carries out actions); both locks are recursive, so a
/// callback may call the socket's operations, and may also take its socket out
/// of the manager and destroy it. Send and Recv call the system directly on the
/// caller's thread. A socket must be removed from its manager
/// (CVSocketMan::RemoveSocket) before it is destroyed.
#ifndef VOS_VSOCKET_H
#define VOS_VSOCKET_H

#include "vos/VDefine.h"
#include "vos/VString.h"
#include "vos/VTempl.h"
#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

class CVSocketMan;

/// The states of a socket. The values are fixed: clients compare them.
enum _ESOCKETSTATES : int32_t {
    ESOCKET_IDLE = 0,
    ESOCKET_CONNECTING = 4,
    ESOCKET_CONNECTED = 5,
    ESOCKET_DATA_READY = 6,
    ESOCKET_RECV_WAIT = 7,
    ESOCKET_SEND_DONE = 8,
    ESOCKET_SENDING = 9,
    ESOCKET_CONNECT_FAILED = 10,
    ESOCKET_CONNECT_TIMEOUT = 11,
    ESOCKET_RECV_ERROR = 12,
    ESOCKET_RECV_TIMEOUT = 13,
    ESOCKET_SEND_TIMEOUT = 15,
    ESOCKET_KEEPALIVE = 16,
    ESOCKET_RESOLVING = 17
};

/// Action codes queued for the worker.
enum {
    ACTION_CLOSE = 1,
    ACTION_CREATE = 2,
    ACTION_CONNECT = 3
};

/// The kind of socket asked for by Create. It is accepted and not used: every
/// socket is an IPv4 stream socket.
typedef int VSOCK_TYPE;
enum {
    VSOCK_TCP = 0,
    VSOCK_UDP = 1
};

/// One client TCP connection driven by a CVSocketMan worker.
class VOS_API CVSocket {
public:
    CVSocket();
    virtual ~CVSocket();

    /// Stores the state-change callback and its context and queues the opening
    /// of the descriptor. A kept connection (ESOCKET_KEEPALIVE) stays as it is.
    /// Always 1.
    int Create(VSOCK_TYPE type, void* context, int (*callback)(void*));
    /// Stores host (converted to GBK) and port and queues the connection; the
    /// outcome is reported through the state. Always 0. An empty host name,
    /// and one whose GBK form needs 128 bytes or more, is refused: the
    /// connection then fails (ESOCKET_CONNECT_FAILED) on the worker's next
    /// pass, without a lookup. A kept connection (ESOCKET_KEEPALIVE) is reused
    /// only for the same host and port, and only while its peer has sent
    /// nothing: the worker closes one that turns readable, and a Connect to
    /// another host or port, or after the kept connection ended, opens a fresh
    /// connection.
    int Connect(CVString& host, unsigned short port);
    /// Drops every pending action and queues the closing of the descriptor.
    void Close();

    /// Bytes the system took, or -1 (no descriptor, a send still under way, or
    /// a failed send with errno set). Never raises SIGPIPE. The worker then
    /// announces ESOCKET_SEND_DONE, or ESOCKET_RECV_ERROR when the send failed
    /// (for any reason but a full buffer or an interruption, after which the
    /// send may simply be repeated).
    int Send(const char* data, int len);
    /// Bytes read; -2 when the socket starts waiting for data; -1 when nothing
    /// new has been signalled or nothing was there; 0 when the peer closed.
    int Recv(char* buf, int size);

    /// Returns the previous time-out, in milliseconds.
    unsigned long SetTimeOut(unsigned long ms);
    /** @name State and links */
    ///@{
    /// The state, set by the worker (SetSocketState sets it without a
    /// callback); the descriptor (-1 without one); the context given to
    /// Create; the manager whose table holds the socket, or null.
    _ESOCKETSTATES GetSocketState();
    void SetSocketState(_ESOCKETSTATES state);
    int GetSocketHandle();
    void* GetObj();
    CVSocketMan* GetSocketMan();
    ///@}
    /// A hook the worker calls for this socket once per pass, with context.
    void SetHttpTaskProcCB(void* context, int (*callback)(void*));

protected:
    friend class CVSocketMan;

    /** @name State shared with the worker */
    ///@{
    /// The per-pass hook and the state-change callback, the queued action
    /// codes, host (GBK) and port, the descriptor, the socket's lock, the
    /// state, the callbacks' context, the time-out and the tick of the last
    /// activity in ms, and the manager.
    int (*m_pfnHttpTaskProc)(void*);
    int (*m_pfnStateChanged)(void*);
    CVArray<int, int> m_arrCmds;
    char m_szHost[128];
    uint16_t m_usPort;
    int m_nSocket;
    CVMutex m_mutex;
    _ESOCKETSTATES m_eState;
    void* m_pObj;
    uint32_t m_ulTimeOut;
    uint32_t m_ulLastActive;
    CVSocketMan* m_pSocketMan;
    ///@}

private:
    CVSocket(const CVSocket&);
    CVSocket& operator=(const CVSocket&);

    // Tells the worker of the socket's manager that the socket has something
    // new for it (an action, a state to watch, a setting).
    void WakeWorker();
    void QueueConnect(CVString& host, unsigned short port);
};

VOS_NAMESPACE_END

#endif  // VOS_VSOCKET_H
