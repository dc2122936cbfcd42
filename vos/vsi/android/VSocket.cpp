#include "vos/VSocket.h"

#include <errno.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include "vos/VCMMap.h"
#include "vos/VMem.h"
#include "vos/VSocketMan.h"
#include "vos/VTime.h"
#include "vbase/VLockGuard.h"
#include "vsi/android/VSocketAtomic.h"

#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0
#endif

VOS_NAMESPACE_BEGIN

namespace {

const uint32_t kDefaultTimeOutMs = 10000;
// Actions a socket can queue between two passes of the worker in normal use
// (Close, Create, Connect) with one to spare.
const int kReservedActions = 4;
const int kHostBytes = 128;

// Converts host to GBK into out (kHostBytes bytes, zero-terminated). Returns
// 0 without touching out when the GBK form would not leave room for the
// terminating zero, so that a long name is refused rather than cut.
int HostToGbk(CVString& host, char* out) {
    const unsigned short* text = host;
    const int units = host.GetLength();
    if (text == nullptr || units == 0) {
        out[0] = '\0';
        return 1;
    }
    const int needed = CVCMMap::WideCharToMultiByte(0, text, units, nullptr, 0, nullptr, nullptr);
    if (needed < 0 || needed >= kHostBytes) return 0;
    char scratch[kHostBytes];
    memset(scratch, 0, sizeof(scratch));
    int len = CVCMMap::WideCharToMultiByte(0, text, units, scratch, kHostBytes - 1, nullptr, nullptr);
    if (len < 0) len = 0;
    if (len > kHostBytes - 1) len = kHostBytes - 1;
    scratch[len] = '\0';
    memcpy(out, scratch, static_cast<size_t>(len) + 1);
    return 1;
}

}  // namespace

CVSocket::CVSocket()
    : m_pfnHttpTaskProc(nullptr),
      m_pfnStateChanged(nullptr),
      m_usPort(0),
      m_nSocket(-1),
      m_eState(ESOCKET_IDLE),
      m_pObj(nullptr),
      m_ulTimeOut(kDefaultTimeOutMs),
      m_ulLastActive(0),
      m_pSocketMan(nullptr) {
    memset(m_szHost, 0, sizeof(m_szHost));
    m_mutex.Create(nullptr);
    // Room for the queue is taken now and kept (removal keeps it), so that
    // Create, Connect and Close need no memory to queue their action: an
    // action that could not be queued would be lost without a state change.
    m_arrCmds.SetSize(kReservedActions, -1);
    m_arrCmds.RemoveAt(0, m_arrCmds.GetSize());
}

CVSocket::~CVSocket() {
    // A socket destroyed while still in a table would leave the worker a
    // dangling pointer; leaving the table waits for the current pass.
    CVSocketMan* manager = V_SharedLoad(m_pSocketMan);
    if (manager != nullptr) manager->RemoveSocket(this);
    const int fd = V_SharedLoad(m_nSocket);
    if (fd != -1) {
        close(fd);
        V_SharedStore(m_nSocket, -1);
    }
    V_SharedStore(m_eState, ESOCKET_IDLE);
    // A later socket at the same address must not inherit a failed send or
    // a skipped Create.
    V_NoteSendResult(this, 0);
    V_NoteKeptCreate(this, 0);
}

void CVSocket::WakeWorker() {
    CVSocketMan* manager = V_SharedLoad(m_pSocketMan);
    if (manager != nullptr) manager->WakeWorker();
}

int CVSocket::Create(VSOCK_TYPE, void* context, int (*callback)(void*)) {
    {
        CVLockGuard<CVMutex> hold(m_mutex);
        V_SharedStore(m_pfnStateChanged, callback);
        if (V_SharedLoad(m_eState) != ESOCKET_KEEPALIVE) V_SharedStore(m_eState, ESOCKET_IDLE);
        V_SharedStore(m_pObj, context);
        m_arrCmds.Add(ACTION_CREATE);
    }
    WakeWorker();
    return 1;
}

int CVSocket::Connect(CVString& host, unsigned short port) {
    QueueConnect(host, port);
    WakeWorker();
    return 0;
}

void CVSocket::QueueConnect(CVString& host, unsigned short port) {
    CVLockGuard<CVMutex> hold(m_mutex);
    if (V_SharedLoad(m_eState) == ESOCKET_KEEPALIVE) {
        // An empty stored host is a refused one: nothing to reuse.
        char scratch[kHostBytes];
        if (m_szHost[0] != '\0' && HostToGbk(host, scratch) && strcmp(scratch, m_szHost) == 0 &&
            port == m_usPort) {
            m_arrCmds.Add(ACTION_CONNECT);
            return;
        }
    }
    V_SharedStore(m_eState, ESOCKET_IDLE);
    // A refused name leaves the host empty, and the worker fails a
    // connection to an empty host without asking the resolver.
    if (!HostToGbk(host, m_szHost)) memset(m_szHost, 0, sizeof(m_szHost));
    m_usPort = port;
    m_arrCmds.Add(ACTION_CONNECT);
}

void CVSocket::Close() {
    {
        CVLockGuard<CVMutex> hold(m_mutex);
        if (m_arrCmds.GetSize() > 0) m_arrCmds.RemoveAt(0, m_arrCmds.GetSize());
        m_arrCmds.Add(ACTION_CLOSE);
    }
    WakeWorker();
}

int CVSocket::Send(const char* data, int len) {
    const int fd = V_SharedLoad(m_nSocket);
    if (fd == -1) return -1;
    if (V_SharedLoad(m_eState) == ESOCKET_SENDING) return -1;
    V_SharedStore(m_ulLastActive, static_cast<uint32_t>(V_GetTickCount()));
    // A peer that has gone away must not end the process with SIGPIPE: the
    // failure is reported by the result instead.
    const int sent = static_cast<int>(send(fd, data, static_cast<size_t>(len < 0 ? 0 : len), MSG_NOSIGNAL));
    const int error = errno;
    // The outcome is noted before the state says that a send is under way,
    // so that the worker, which announces the outcome once the descriptor is
    // writable, never finds the state without the note. A full buffer or an
    // interruption is no failure: the caller repeats the send after the
    // announcement.
    V_NoteSendResult(this, sent < 0 && error != EAGAIN && error != EWOULDBLOCK && error != EINTR);
    V_SharedStore(m_eState, ESOCKET_SENDING);
    WakeWorker();
    errno = error;
    return sent;
}

int CVSocket::Recv(char* buf, int size) {
    const int fd = V_SharedLoad(m_nSocket);
    if (fd == -1) return -1;
    const _ESOCKETSTATES state = V_SharedLoad(m_eState);
    if (state == ESOCKET_RECV_WAIT) return -1;
    if (state != ESOCKET_DATA_READY) {
        // The receive time-out counts from here, not from the last activity
        // of a connection that may have been quiet for a while.
        V_SharedStore(m_ulLastActive, static_cast<uint32_t>(V_GetTickCount()));
        V_SharedStore(m_eState, ESOCKET_RECV_WAIT);
        WakeWorker();
        return -2;
    }
    errno = 0;
    int got = static_cast<int>(recv(fd, buf, static_cast<size_t>(size < 0 ? 0 : size), 0));
    const int error = errno;
    // The stamp goes first: the worker must not pair the new state with the
    // stamp of an earlier wait.
    V_SharedStore(m_ulLastActive, static_cast<uint32_t>(V_GetTickCount()));
    if (got > 0) {
        V_SharedStore(m_eState, ESOCKET_RECV_WAIT);
        WakeWorker();
    } else if (got < 0 && (error == EAGAIN || error == EWOULDBLOCK || error == EINTR)) {
        // Nothing there after all: keep waiting for the worker's next signal.
        got = -1;
        V_SharedStore(m_eState, ESOCKET_RECV_WAIT);
        WakeWorker();
        errno = 0;
    } else {
        errno = error;
        V_SharedStore(m_eState, ESOCKET_RECV_ERROR);
    }
    return got;
}

unsigned long CVSocket::SetTimeOut(unsigned long ms) {
    const uint32_t previous = V_SharedLoad(m_ulTimeOut);
    V_SharedStore(m_ulTimeOut, static_cast<uint32_t>(ms));
    WakeWorker();
    return previous;
}

_ESOCKETSTATES CVSocket::GetSocketState() { return V_SharedLoad(m_eState); }

void CVSocket::SetSocketState(_ESOCKETSTATES state) {
    V_SharedStore(m_eState, state);
    WakeWorker();
}

int CVSocket::GetSocketHandle() { return V_SharedLoad(m_nSocket); }

void* CVSocket::GetObj() { return V_SharedLoad(m_pObj); }

CVSocketMan* CVSocket::GetSocketMan() { return V_SharedLoad(m_pSocketMan); }

void CVSocket::SetHttpTaskProcCB(void* context, int (*callback)(void*)) {
    V_SharedStore(m_pfnHttpTaskProc, callback);
    V_SharedStore(m_pObj, context);
    WakeWorker();
}

VOS_NAMESPACE_END
