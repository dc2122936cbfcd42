#include "vos/VSocketMan.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <new>
#include <netinet/in.h>
#include <string.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/types.h>
#include <unistd.h>

#include "vos/VDNSCache.h"
#include "vos/VMem.h"
#include "vos/VTime.h"
#include "vbase/VProcessLock.h"
#include "vsi/android/VSocketAtomic.h"

VOS_NAMESPACE_BEGIN

CVArray<int, int> CVSocketMan::m_arrActions;

namespace {

const uint32_t kKeepAliveIdleMs = 55000;
const useconds_t kShortPauseUs = 10000;
const useconds_t kLongPauseUs = 100000;
const unsigned int kNoLimit = 0xFFFFFFFF;
// How long select may wait within a pass. The manager lock is held during
// the wait, so it stays short for AddSocket and RemoveSocket to get in
// between passes; the pauses after each pass do the pacing, so the loop never
// spins. Waiting briefly rather than only polling catches a loopback
// connection that completes within the pass instead of 100 ms later.
const long kSelectWaitUs = 10000;

// The resolver and the name cache are shared by every manager; they may be
// released only while no worker that fetched them is running. Beside them,
// the sockets whose last send failed, which Send notes and the workers take;
// a lock of their own keeps a failing Send from waiting for a release.
struct CVWorkerRegistry {
    CVProcessLock mutex;
    int nRunning;
    CVProcessLock sendMutex;
    CVArray<CVSocket*, CVSocket*> arrSendFailed;
    int32_t nSendFailed;
    CVWorkerRegistry() : nRunning(0), nSendFailed(0) {}
};

CVWorkerRegistry& Registry() {
    // Never destroyed: a manager that is itself a static object may go down
    // after the registry would have.
    alignas(CVWorkerRegistry) static unsigned char storage[sizeof(CVWorkerRegistry)];
    static CVWorkerRegistry* registry = ::new (static_cast<void*>(storage)) CVWorkerRegistry;
    return *registry;
}

// The socket whose lock this thread, a worker, holds while it carries out the
// socket's actions, and the manager it works for.
struct CVHeldSocket {
    CVSocketMan* pManager;
    CVSocket* pSocket;
};
thread_local CVHeldSocket t_held = {nullptr, nullptr};

// A kept connection may be reused only while its peer has neither sent
// anything nor let it go. The look takes no byte from it.
int IsQuiet(int fd) {
    char byte;
    const ssize_t got = recv(fd, &byte, 1, MSG_PEEK);
    const int error = errno;
    errno = 0;
    return got < 0 && (error == EAGAIN || error == EWOULDBLOCK || error == EINTR);
}

inline uint32_t Now() { return static_cast<uint32_t>(V_GetTickCount()); }

inline void ClearActions(CVArray<int, int>& actions) {
    if (actions.GetSize() > 0) actions.RemoveAt(0, actions.GetSize());
}

// Publishes the count of notes; the buffer goes once the last note does, so
// that the notes hold no memory while no send has failed.
void StoreSendFailures(CVWorkerRegistry& registry) {
    const int count = registry.arrSendFailed.GetSize();
    if (count == 0) registry.arrSendFailed.SetSize(0, -1);
    V_SharedStore(registry.nSendFailed, static_cast<int32_t>(count));
}

}  // namespace

void V_NoteSendResult(CVSocket* socket, int failed) {
    CVWorkerRegistry& registry = Registry();
    // Sends that succeed while no failure is noted, the usual case, take no
    // lock. A note for this socket is only ever added by its own Send.
    if (!failed && V_SharedLoad(registry.nSendFailed) == 0) return;
    registry.sendMutex.Lock(kNoLimit);
    int at = -1;
    for (int i = 0; i < registry.arrSendFailed.GetSize(); ++i) {
        if (registry.arrSendFailed[i] == socket) at = i;
    }
    // Without memory for the note the failure is announced as a completed
    // send, as it was before notes were kept; Send's result still tells.
    if (failed && at == -1) registry.arrSendFailed.Add(socket);
    if (!failed && at != -1) registry.arrSendFailed.RemoveAt(at, 1);
    StoreSendFailures(registry);
    registry.sendMutex.Unlock();
}

int V_TakeSendFailure(CVSocket* socket) {
    CVWorkerRegistry& registry = Registry();
    if (V_SharedLoad(registry.nSendFailed) == 0) return 0;
    registry.sendMutex.Lock(kNoLimit);
    int failed = 0;
    for (int i = 0; i < registry.arrSendFailed.GetSize() && !failed; ++i) {
        if (registry.arrSendFailed[i] != socket) continue;
        registry.arrSendFailed.RemoveAt(i, 1);
        failed = 1;
    }
    StoreSendFailures(registry);
    registry.sendMutex.Unlock();
    return failed;
}

CVSocketMan::CVSocketMan()
    : m_ppSockets(nullptr), m_nCount(0), m_nCapacity(0), m_bStop(0), m_ulTableVersion(0) {
    m_mutex.Create(nullptr);
}

CVSocketMan::~CVSocketMan() {
    UnInitSocketMan();
    SetTableCount(0);
    m_nCapacity = 0;
}

int CVSocketMan::InitSocketMan() { return 1; }

void CVSocketMan::SetTableCount(int count) {
    V_SharedStore(m_nCount, count);
    ++m_ulTableVersion;
}

// Sockets leave the table without being told one by one: they must not keep
// pointing at a manager that no longer holds them.
void CVSocketMan::ForgetTable() {
    for (int i = 0; i < m_nCount; ++i) {
        CVSocket* socket = m_ppSockets[i];
        if (V_SharedLoad(socket->m_pSocketMan) == this) V_SharedStore(socket->m_pSocketMan, static_cast<CVSocketMan*>(nullptr));
        LetGoOfHeldSocket(socket);
    }
    SetTableCount(0);
}

// A table change during a pass comes from a callback on the worker's own
// thread. One that takes out the socket whose lock the worker holds for its
// actions ends that hold: the worker touches the socket no more, so the
// socket may be destroyed at once, or used from other threads.
void CVSocketMan::LetGoOfHeldSocket(CVSocket* socket) {
    if (t_held.pManager != this || t_held.pSocket != socket) return;
    t_held.pManager = nullptr;
    t_held.pSocket = nullptr;
    socket->m_mutex.Unlock();
}

int CVSocketMan::SetSocketMax(long n) {
    m_mutex.Lock(kNoLimit);
    ForgetTable();
    if (m_ppSockets != nullptr) CVMem::Deallocate(m_ppSockets);
    m_ppSockets = nullptr;
    if (n >= 0 && static_cast<unsigned long>(n) <= INT_MAX / sizeof(CVSocket*)) {
        m_ppSockets = static_cast<CVSocket**>(
            CVMem::Allocate(static_cast<unsigned long>(n) * sizeof(CVSocket*), "vos/vsi/android/VSocket", __LINE__));
    }
    m_nCapacity = m_ppSockets != nullptr ? static_cast<int>(n) : 0;
    SetTableCount(0);
    const int made = m_ppSockets != nullptr ? 1 : 0;
    m_mutex.Unlock();
    return made;
}

int CVSocketMan::AddSocket(CVSocket* socket) {
    m_mutex.Lock(kNoLimit);
    if (socket == nullptr || m_ppSockets == nullptr || m_nCount >= m_nCapacity) {
        m_mutex.Unlock();
        return 0;
    }
    m_ppSockets[m_nCount] = socket;
    V_SharedStore(socket->m_pSocketMan, this);
    SetTableCount(m_nCount + 1);
    m_mutex.Unlock();
    return 1;
}

int CVSocketMan::RemoveSocket(CVSocket* socket) {
    m_mutex.Lock(kNoLimit);
    for (int i = 0; i < m_nCount; ++i) {
        if (m_ppSockets[i] != socket) continue;
        V_SharedStore(socket->m_pSocketMan, static_cast<CVSocketMan*>(nullptr));
        LetGoOfHeldSocket(socket);
        memmove(m_ppSockets + i, m_ppSockets + i + 1, sizeof(CVSocket*) * static_cast<size_t>(m_nCount - i - 1));
        SetTableCount(m_nCount - 1);
        m_mutex.Unlock();
        return 1;
    }
    m_mutex.Unlock();
    return 0;
}

int CVSocketMan::RemoveAllSocket() {
    m_mutex.Lock(kNoLimit);
    ForgetTable();
    m_mutex.Unlock();
    return 1;
}

int CVSocketMan::GetSocketCount() { return V_SharedLoad(m_nCount); }

int CVSocketMan::StartSocketProc() {
    if (m_thread.GetHandle() != nullptr) return 1;
    m_mutex.Lock(kNoLimit);
    m_bStop = 0;
    m_mutex.Unlock();
    return m_thread.CreateThread(SocketThreadProc, this, static_cast<EThreadCreateStatus>(0));
}

int CVSocketMan::StopSocketProc() {
    m_mutex.Lock(kNoLimit);
    m_bStop = 1;
    m_mutex.Unlock();
    usleep(kShortPauseUs);
    m_thread.TerminateThread(0);
    usleep(kShortPauseUs);
    return 1;
}

void CVSocketMan::UnInitSocketMan() {
    StopSocketProc();
    m_arrPassActions.SetSize(0, -1);
    m_arrPassSockets.SetSize(0, -1);
    m_mutex.Lock(kNoLimit);
    if (m_ppSockets != nullptr) {
        ForgetTable();
        CVMem::Deallocate(m_ppSockets);
        m_ppSockets = nullptr;
    }
    SetTableCount(0);
    m_nCapacity = 0;
    // The resolver goes first: its release waits for the resolver thread,
    // which uses the cache until it ends.
    CVWorkerRegistry& registry = Registry();
    registry.mutex.Lock(kNoLimit);
    // No worker uses the shared action list (each has its own buffer); it is
    // emptied under the registry lock so that two managers going down at
    // once do not race on it.
    m_arrActions.SetSize(0, -1);
    if (registry.nRunning == 0) {
        CVDNSParse::ReleaseInstance();
        CVDNSCache::ReleaseInstance();
    }
    registry.mutex.Unlock();
    m_mutex.Unlock();
}

unsigned long CVSocketMan::SocketThreadProc(void* manager) {
    CVSocketMan* self = static_cast<CVSocketMan*>(manager);
    CVWorkerRegistry& registry = Registry();
    registry.mutex.Lock(kNoLimit);
    ++registry.nRunning;
    CVDNSCache* cache = CVDNSCache::Instance();
    CVDNSParse* parser = CVDNSParse::GetInstance();
    registry.mutex.Unlock();

    const unsigned long result = self->RunWorker(cache, parser);

    registry.mutex.Lock(kNoLimit);
    --registry.nRunning;
    registry.mutex.Unlock();
    return result;
}

unsigned long CVSocketMan::RunWorker(CVDNSCache* cache, CVDNSParse* parser) {
    for (;;) {
        fd_set readSet;
        fd_set writeSet;
        FD_ZERO(&readSet);
        FD_ZERO(&writeSet);
        m_mutex.Lock(kNoLimit);
        if (m_bStop == 1) {
            m_mutex.Unlock();
            return 1;
        }

        // The pass works on the table as it is now; callbacks that change the
        // table are noticed through the version and their sockets skipped.
        int count = m_nCount;
        m_arrPassSockets.SetSize(count, -1);
        if (m_arrPassSockets.GetSize() < count) count = m_arrPassSockets.GetSize();
        for (int i = 0; i < count; ++i) m_arrPassSockets[i] = m_ppSockets[i];
        const uint32_t version = m_ulTableVersion;

        int highest = -1;
        for (int i = 0; i < count; ++i) {
            CVSocket* socket = m_arrPassSockets[i];
            if (!HoldsSince(socket, version)) continue;
            CarryOutActions(socket, version, cache, parser);
            if (!HoldsSince(socket, version)) continue;
            const int fd = V_SharedLoad(socket->m_nSocket);
            // A descriptor beyond the sets' range is never marked: its
            // connection has been failed when it was asked for.
            if (fd < 0 || fd >= FD_SETSIZE) continue;
            FD_SET(fd, &readSet);
            FD_SET(fd, &writeSet);
            if (fd > highest) highest = fd;
        }

        if (highest == -1) {
            m_mutex.Unlock();
            usleep(kShortPauseUs);
            continue;
        }

        struct timeval wait;
        wait.tv_sec = 0;
        wait.tv_usec = kSelectWaitUs;
        const int ready = select(highest + 1, &readSet, &writeSet, nullptr, &wait);
        if (ready < 0) {
            // Nothing is known to be ready after a failed select.
            FD_ZERO(&readSet);
            FD_ZERO(&writeSet);
        }
        if (ready > 0) CheckReadiness(count, version, &readSet, &writeSet);
        CheckTimeOuts(count, version, &readSet);
        m_mutex.Unlock();
        usleep(ready > 0 ? kShortPauseUs : kLongPauseUs);
    }
}

int CVSocketMan::HoldsSince(CVSocket* socket, uint32_t version) {
    if (m_ulTableVersion == version) return 1;
    for (int i = 0; i < m_nCount; ++i) {
        if (m_ppSockets[i] == socket) return 1;
    }
    return 0;
}

void CVSocketMan::SetState(CVSocket* socket, _ESOCKETSTATES state, int announce) {
    V_SharedStore(socket->m_eState, state);
    if (!announce) return;
    int (*callback)(void*) = V_SharedLoad(socket->m_pfnStateChanged);
    if (callback != nullptr) callback(V_SharedLoad(socket->m_pObj));
}

void CVSocketMan::OpenDescriptor(CVSocket* socket) {
    // A descriptor left from an earlier Create would otherwise be lost.
    CloseDescriptor(socket);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd != -1) {
        // Connections of the library are not handed to programs the host runs.
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        const int flags = fcntl(fd, F_GETFL);
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        struct linger off;
        off.l_onoff = 0;
        off.l_linger = 0;
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof(off));
    }
    V_SharedStore(socket->m_nSocket, fd);
}

void CVSocketMan::CloseDescriptor(CVSocket* socket) {
    const int fd = V_SharedLoad(socket->m_nSocket);
    if (fd == -1) return;
    close(fd);
    V_SharedStore(socket->m_nSocket, -1);
}

void CVSocketMan::CarryOutActions(CVSocket* socket, uint32_t version, CVDNSCache* cache, CVDNSParse* parser) {
    ClearActions(m_arrPassActions);
    int (*hook)(void*) = V_SharedLoad(socket->m_pfnHttpTaskProc);
    if (hook != nullptr) {
        hook(V_SharedLoad(socket->m_pObj));
        if (!HoldsSince(socket, version)) return;
    }

    socket->m_mutex.Lock(kNoLimit);
    const int pending = socket->m_arrCmds.GetSize();
    for (int i = 0; i < pending; ++i) m_arrPassActions.Add(socket->m_arrCmds[i]);
    if (m_arrPassActions.GetSize() != pending) {
        // No room to take the actions over: they stay queued for a later
        // pass rather than being lost without a word to the socket's owner.
        ClearActions(m_arrPassActions);
        socket->m_mutex.Unlock();
        return;
    }
    ClearActions(socket->m_arrCmds);
    t_held.pManager = this;
    t_held.pSocket = socket;
    const int count = m_arrPassActions.GetSize();
    for (int i = 0; i < count; ++i) {
        switch (m_arrPassActions[i]) {
            case ACTION_CREATE:
                if (V_SharedLoad(socket->m_eState) != ESOCKET_KEEPALIVE) OpenDescriptor(socket);
                break;
            case ACTION_CONNECT:
                ConnectSocket(socket, cache, parser);
                break;
            case ACTION_CLOSE:
                if (V_SharedLoad(socket->m_eState) != ESOCKET_KEEPALIVE) {
                    CloseDescriptor(socket);
                    SetState(socket, ESOCKET_IDLE, 0);
                }
                break;
            default:
                break;
        }
        // A failure callback that took the socket out of the table has ended
        // the hold; the socket may be gone, and its other actions with it.
        if (t_held.pSocket != socket) return;
    }
    t_held.pManager = nullptr;
    t_held.pSocket = nullptr;
    socket->m_mutex.Unlock();
}

void CVSocketMan::ConnectSocket(CVSocket* socket, CVDNSCache* cache, CVDNSParse* parser) {
    int fd = V_SharedLoad(socket->m_nSocket);
    if (fd != -1 && V_SharedLoad(socket->m_eState) == ESOCKET_KEEPALIVE) {
        if (fd < FD_SETSIZE && IsQuiet(fd)) {
            V_SharedStore(socket->m_ulLastActive, Now());
            SetState(socket, ESOCKET_CONNECTING, 0);
            return;
        }
        // Bytes that arrived on the kept connection belong to no request of
        // its owner: a fresh connection to the same host and port replaces it.
        OpenDescriptor(socket);
        SetState(socket, ESOCKET_IDLE, 0);
        fd = V_SharedLoad(socket->m_nSocket);
    }
    CVString name(socket->m_szHost);
    // No descriptor, one that select cannot watch, or no host name (empty,
    // or refused as too long to keep): the connection cannot be made. An
    // empty name goes to neither the cache nor the resolver.
    if (fd == -1 || fd >= FD_SETSIZE || name.IsEmpty()) {
        SetState(socket, ESOCKET_CONNECT_FAILED, 1);
        return;
    }

    unsigned int address = 0;
    unsigned int cachedPort = 0;
    if (cache != nullptr && cache->GetHostByName(name, address, cachedPort)) {
        SetState(socket, ESOCKET_CONNECTING, 0);
        struct sockaddr_in peer;
        memset(&peer, 0, sizeof(peer));
        peer.sin_family = AF_INET;
        peer.sin_addr.s_addr = address;
        // The socket's own port: the cached one belongs to whichever
        // connection had the name resolved first.
        peer.sin_port = htons(socket->m_usPort);
        V_SharedStore(socket->m_ulLastActive, Now());
        const int rc = connect(fd, reinterpret_cast<struct sockaddr*>(&peer), sizeof(peer));
        if (rc == 0 || (rc == -1 && errno == EINPROGRESS)) return;
        SetState(socket, ESOCKET_CONNECT_FAILED, 1);
        return;
    }
    if (parser == nullptr) {
        SetState(socket, ESOCKET_CONNECT_FAILED, 1);
        return;
    }
    if (V_SharedLoad(socket->m_eState) != ESOCKET_RESOLVING) {
        V_SharedStore(socket->m_ulLastActive, Now());
        SetState(socket, ESOCKET_RESOLVING, 0);
    }
    const uint32_t since = V_SharedLoad(socket->m_ulLastActive);
    if (Now() - since > V_SharedLoad(socket->m_ulTimeOut) / 2) {
        SetState(socket, ESOCKET_CONNECT_FAILED, 1);
        return;
    }
    tag_DomainParam task;
    memcpy(task.szHost, socket->m_szHost, sizeof(task.szHost));
    task.nPort = htons(socket->m_usPort);
    parser->AddDNSTask(task);
    socket->m_arrCmds.Add(ACTION_CONNECT);
}

void CVSocketMan::CheckReadiness(int count, uint32_t version, void* readArg, void* writeArg) {
    fd_set* readSet = static_cast<fd_set*>(readArg);
    fd_set* writeSet = static_cast<fd_set*>(writeArg);
    for (int i = 0; i < count; ++i) {
        CVSocket* socket = m_arrPassSockets[i];
        if (!HoldsSince(socket, version)) continue;
        const int fd = V_SharedLoad(socket->m_nSocket);
        if (fd < 0 || fd >= FD_SETSIZE) continue;
        const bool readable = FD_ISSET(fd, readSet) != 0;
        const bool writable = FD_ISSET(fd, writeSet) != 0;
        _ESOCKETSTATES state = V_SharedLoad(socket->m_eState);
        if (readable && state == ESOCKET_CONNECTING) {
            struct sockaddr_in peer;
            socklen_t len = sizeof(peer);
            if (getpeername(fd, reinterpret_cast<struct sockaddr*>(&peer), &len) != 0 && errno == ENOTCONN) {
                SetState(socket, ESOCKET_CONNECT_FAILED, 1);
                continue;
            }
        } else if (readable && state == ESOCKET_RECV_WAIT) {
            SetState(socket, ESOCKET_DATA_READY, 1);
            continue;
        }
        state = V_SharedLoad(socket->m_eState);
        if (writable && state == ESOCKET_CONNECTING) {
            int error = 0;
            socklen_t len = sizeof(error);
            const int rc = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
            SetState(socket, rc == 0 && error == 0 ? ESOCKET_CONNECTED : ESOCKET_CONNECT_FAILED, 1);
        } else if (writable && state == ESOCKET_SENDING) {
            // A send that failed is not announced as sent: the connection is
            // reported lost, as a receive on it would report it.
            SetState(socket, V_TakeSendFailure(socket) ? ESOCKET_RECV_ERROR : ESOCKET_SEND_DONE, 1);
        } else if (!writable && state == ESOCKET_KEEPALIVE) {
            CloseDescriptor(socket);
            SetState(socket, ESOCKET_IDLE, 0);
        }
    }
}

void CVSocketMan::CheckTimeOuts(int count, uint32_t version, void* readArg) {
    fd_set* readSet = static_cast<fd_set*>(readArg);
    for (int i = 0; i < count; ++i) {
        CVSocket* socket = m_arrPassSockets[i];
        if (!HoldsSince(socket, version)) continue;
        const int fd = V_SharedLoad(socket->m_nSocket);
        if (fd == -1) continue;
        const _ESOCKETSTATES state = V_SharedLoad(socket->m_eState);
        // The activity stamp is read before the clock, so that a stamp that a
        // client thread writes meanwhile cannot make the difference wrap.
        const uint32_t since = V_SharedLoad(socket->m_ulLastActive);
        const uint32_t elapsed = Now() - since;
        const uint32_t limit = V_SharedLoad(socket->m_ulTimeOut);
        switch (state) {
            case ESOCKET_CONNECTING:
                if (elapsed > limit / 2) SetState(socket, ESOCKET_CONNECT_TIMEOUT, 1);
                break;
            case ESOCKET_DATA_READY:
            case ESOCKET_RECV_WAIT:
                if (elapsed > limit) SetState(socket, ESOCKET_RECV_TIMEOUT, 1);
                break;
            case ESOCKET_SENDING:
                if (elapsed > limit) SetState(socket, ESOCKET_SEND_TIMEOUT, 1);
                break;
            case ESOCKET_KEEPALIVE:
                if (elapsed > kKeepAliveIdleMs) {
                    CloseDescriptor(socket);
                    SetState(socket, ESOCKET_IDLE, 0);
                } else if (fd < FD_SETSIZE && FD_ISSET(fd, readSet) && !IsQuiet(fd)) {
                    // A kept connection has nothing to say: bytes from the
                    // peer belong to no later request, and an end means the
                    // peer has let it go. Either way it is closed, its bytes
                    // unread, and the next Create and Connect open a fresh one.
                    // The look is needed because the set is as select left it:
                    // the answer that made the descriptor readable may have
                    // been read since, by the callbacks of this pass.
                    CloseDescriptor(socket);
                    SetState(socket, ESOCKET_IDLE, 0);
                }
                break;
            default:
                break;
        }
    }
}

CVString CVSocketMan::GetProxyName() { return m_strProxyName; }

void CVSocketMan::SetProxyName(CVString& name) { m_strProxyName = name; }

int CVSocketMan::EnumConnectionNames(CVArray<CVString, CVString&>&) { return 0; }

int CVSocketMan::EstablishConnection(int) { return 1; }

int CVSocketMan::GetCurrentIapId() { return 0; }

int CVSocketMan::GetConnectStatus() { return 2; }

VOS_NAMESPACE_END
