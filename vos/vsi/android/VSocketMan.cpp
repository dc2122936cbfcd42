#include "vos/VSocketMan.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <new>
#include <netinet/in.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/types.h>
#include <unistd.h>

#include "vos/VDNSCache.h"
#include "vos/VMem.h"
#include "vos/VTime.h"
#include "vbase/VLockGuard.h"
#include "vbase/VProcessLock.h"
#include "vsi/android/VSocketAtomic.h"

VOS_NAMESPACE_BEGIN

CVArray<int, int> CVSocketMan::m_arrActions;

namespace {

const uint32_t kKeepAliveIdleMs = 55000;
const useconds_t kShortPauseUs = 10000;
// The pace of a worker that cannot be woken (no wake-up descriptor), and of
// one whose sockets have a per-pass hook: such hooks are called on every
// pass, and their owners may count on a pass every 10 ms.
const uint32_t kPacedWaitMs = 10;
// How soon a socket waiting for its name asks the resolver again, after a
// lookup that failed.
const uint32_t kResolveRetryMs = 100;
const uint32_t kNoDeadline = 0xFFFFFFFF;

// The resolver and the name cache are shared by every manager; they may be
// released only while no worker that fetched them is running. Beside them,
// under a lock of their own (so that a failing Send never waits for a
// release): the sockets whose last send failed, which Send notes and the
// workers take; the kept connections whose Create was skipped; and the
// wake-up descriptors of the running workers, which the resolver signals when
// it has filled the name cache.
struct CVWorkerRegistry {
    CVProcessLock mutex;
    int nRunning;
    CVProcessLock sendMutex;
    CVArray<CVSocket*, CVSocket*> arrSendFailed;
    CVArray<CVSocket*, CVSocket*> arrKeptCreate;
    CVArray<int, int> arrWakeFds;
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

// Whether the descriptor has a peer: a connection made earlier, not one under
// way.
int IsConnected(int fd) {
    struct sockaddr_in peer;
    socklen_t len = sizeof(peer);
    const int error = errno;
    const int connected = getpeername(fd, reinterpret_cast<struct sockaddr*>(&peer), &len) == 0;
    errno = error;
    return connected;
}

inline uint32_t Now() { return static_cast<uint32_t>(V_GetTickCount()); }

// A wake-up is a count added to the worker's descriptor; the worker empties
// it at the start of each pass, so a wake-up that comes during a pass makes
// the next wait end at once and none is lost.
void SignalWake(int fd) {
    if (fd < 0) return;
    const int error = errno;
    const uint64_t one = 1;
    // A full count (never reached in practice) already wakes the worker.
    ssize_t written = write(fd, &one, sizeof(one));
    (void)written;
    errno = error;
}

void DrainWake(int fd) {
    if (fd < 0) return;
    uint64_t count = 0;
    ssize_t got = read(fd, &count, sizeof(count));
    (void)got;
}

// Milliseconds from now until the limit since the stamp is exceeded (elapsed
// strictly greater than limit), 0 when it already is.
uint32_t UntilExceeded(uint32_t since, uint32_t now, uint32_t limit) {
    const uint32_t elapsed = now - since;
    if (elapsed > limit || limit == kNoDeadline) return elapsed > limit ? 0 : kNoDeadline;
    return limit - elapsed + 1;
}

inline void ClearActions(CVArray<int, int>& actions) {
    if (actions.GetSize() > 0) actions.RemoveAt(0, actions.GetSize());
}

typedef CVArray<CVSocket*, CVSocket*> CVSocketNotes;

// Sets or clears the note of socket; a note that could not be stored for
// want of memory is simply missing. The buffer goes once the last note does,
// so that notes hold no memory while there are none.
void SetNote(CVSocketNotes& notes, CVSocket* socket, int on) {
    int at = -1;
    for (int i = 0; i < notes.GetSize() && at == -1; ++i) {
        if (notes[i] == socket) at = i;
    }
    if (on && at == -1) notes.Add(socket);
    if (!on && at != -1) notes.RemoveAt(at, 1);
    if (notes.GetSize() == 0) notes.SetSize(0, -1);
}

// 1 when socket had a note, which is dropped.
int TakeNote(CVSocketNotes& notes, CVSocket* socket) {
    for (int i = 0; i < notes.GetSize(); ++i) {
        if (notes[i] != socket) continue;
        SetNote(notes, socket, 0);
        return 1;
    }
    return 0;
}

// Publishes the count of failed sends, so that sends take no lock while none
// is noted.
void StoreSendFailures(CVWorkerRegistry& registry) {
    V_SharedStore(registry.nSendFailed, static_cast<int32_t>(registry.arrSendFailed.GetSize()));
}

}  // namespace

void V_NoteSendResult(CVSocket* socket, int failed) {
    CVWorkerRegistry& registry = Registry();
    // Sends that succeed while no failure is noted, the usual case, take no
    // lock. A note for this socket is only ever added by its own Send.
    if (!failed && V_SharedLoad(registry.nSendFailed) == 0) return;
    CVLockGuard<CVMutex> hold(registry.sendMutex);
    // Without memory for the note the failure is announced as a completed
    // send, as it was before notes were kept; Send's result still tells.
    SetNote(registry.arrSendFailed, socket, failed);
    StoreSendFailures(registry);
}

int V_TakeSendFailure(CVSocket* socket) {
    CVWorkerRegistry& registry = Registry();
    if (V_SharedLoad(registry.nSendFailed) == 0) return 0;
    CVLockGuard<CVMutex> hold(registry.sendMutex);
    const int failed = TakeNote(registry.arrSendFailed, socket);
    StoreSendFailures(registry);
    return failed;
}

// The note of a kept connection whose Create the worker skipped: should the
// connection end before the socket's next Connect, that Connect opens a fresh
// descriptor, as the skipped Create would have. Without memory for the note,
// such a Connect fails (state 10), as it did before notes were kept.
void V_NoteKeptCreate(CVSocket* socket, int skipped) {
    CVWorkerRegistry& registry = Registry();
    CVLockGuard<CVMutex> hold(registry.sendMutex);
    SetNote(registry.arrKeptCreate, socket, skipped);
}

int V_TakeKeptCreate(CVSocket* socket) {
    CVWorkerRegistry& registry = Registry();
    CVLockGuard<CVMutex> hold(registry.sendMutex);
    return TakeNote(registry.arrKeptCreate, socket);
}

void V_WakeSocketWorkers() {
    CVWorkerRegistry& registry = Registry();
    CVLockGuard<CVMutex> hold(registry.sendMutex);
    for (int i = 0; i < registry.arrWakeFds.GetSize(); ++i) SignalWake(registry.arrWakeFds[i]);
}

CVSocketMan::CVSocketMan()
    : m_ppSockets(nullptr), m_nCount(0), m_nCapacity(0), m_bStop(0), m_ulTableVersion(0), m_nWakeFd(-1) {
    m_mutex.Create(nullptr);
    // Made once for the manager's life, so that a socket waking the worker
    // never writes to a descriptor that has since been closed and reused.
    m_nWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CVSocketMan::~CVSocketMan() {
    UnInitSocketMan();
    SetTableCount(0);
    m_nCapacity = 0;
    if (m_nWakeFd != -1) close(m_nWakeFd);
    m_nWakeFd = -1;
}

void CVSocketMan::WakeWorker() { SignalWake(m_nWakeFd); }

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
    CVLockGuard<CVMutex> hold(m_mutex);
    ForgetTable();
    if (m_ppSockets != nullptr) CVMem::Deallocate(m_ppSockets);
    m_ppSockets = nullptr;
    if (n >= 0 && static_cast<unsigned long>(n) <= INT_MAX / sizeof(CVSocket*)) {
        m_ppSockets = static_cast<CVSocket**>(
            CVMem::Allocate(static_cast<unsigned long>(n) * sizeof(CVSocket*), "vos/vsi/android/VSocket", __LINE__));
    }
    m_nCapacity = m_ppSockets != nullptr ? static_cast<int>(n) : 0;
    SetTableCount(0);
    return m_ppSockets != nullptr ? 1 : 0;
}

int CVSocketMan::AddSocket(CVSocket* socket) {
    {
        CVLockGuard<CVMutex> hold(m_mutex);
        if (socket == nullptr || m_ppSockets == nullptr || m_nCount >= m_nCapacity) return 0;
        m_ppSockets[m_nCount] = socket;
        V_SharedStore(socket->m_pSocketMan, this);
        SetTableCount(m_nCount + 1);
    }
    // The worker learns of the socket's actions, queued before or after.
    WakeWorker();
    return 1;
}

int CVSocketMan::RemoveSocket(CVSocket* socket) {
    CVLockGuard<CVMutex> hold(m_mutex);
    for (int i = 0; i < m_nCount; ++i) {
        if (m_ppSockets[i] != socket) continue;
        V_SharedStore(socket->m_pSocketMan, static_cast<CVSocketMan*>(nullptr));
        LetGoOfHeldSocket(socket);
        memmove(m_ppSockets + i, m_ppSockets + i + 1, sizeof(CVSocket*) * static_cast<size_t>(m_nCount - i - 1));
        SetTableCount(m_nCount - 1);
        return 1;
    }
    return 0;
}

int CVSocketMan::RemoveAllSocket() {
    CVLockGuard<CVMutex> hold(m_mutex);
    ForgetTable();
    return 1;
}

int CVSocketMan::GetSocketCount() { return V_SharedLoad(m_nCount); }

int CVSocketMan::StartSocketProc() {
    if (m_thread.GetHandle() != nullptr) return 1;
    {
        CVLockGuard<CVMutex> hold(m_mutex);
        m_bStop = 0;
    }
    return m_thread.CreateThread(SocketThreadProc, this, static_cast<EThreadCreateStatus>(0));
}

int CVSocketMan::StopSocketProc() {
    {
        CVLockGuard<CVMutex> hold(m_mutex);
        m_bStop = 1;
    }
    WakeWorker();
    usleep(kShortPauseUs);
    m_thread.TerminateThread(0);
    usleep(kShortPauseUs);
    return 1;
}

void CVSocketMan::UnInitSocketMan() {
    StopSocketProc();
    m_arrPassActions.SetSize(0, -1);
    m_arrPassSockets.SetSize(0, -1);
    CVLockGuard<CVMutex> hold(m_mutex);
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
    CVLockGuard<CVMutex> holdRegistry(registry.mutex);
    // No worker uses the shared action list (each has its own buffer); it is
    // emptied under the registry lock so that two managers going down at
    // once do not race on it.
    m_arrActions.SetSize(0, -1);
    if (registry.nRunning == 0) {
        CVDNSParse::ReleaseInstance();
        CVDNSCache::ReleaseInstance();
    }
}

unsigned long CVSocketMan::SocketThreadProc(void* manager) {
    CVSocketMan* self = static_cast<CVSocketMan*>(manager);
    CVWorkerRegistry& registry = Registry();
    CVDNSCache* cache = nullptr;
    CVDNSParse* parser = nullptr;
    {
        CVLockGuard<CVMutex> hold(registry.mutex);
        ++registry.nRunning;
        cache = CVDNSCache::Instance();
        parser = CVDNSParse::GetInstance();
    }
    const int fd = self->m_nWakeFd;
    int heard = 0;
    if (fd != -1) {
        CVLockGuard<CVMutex> hold(registry.sendMutex);
        heard = registry.arrWakeFds.Add(fd) != -1;
    }

    const unsigned long result = self->RunWorker(cache, parser, heard);

    if (heard) {
        CVLockGuard<CVMutex> hold(registry.sendMutex);
        for (int i = 0; i < registry.arrWakeFds.GetSize(); ++i) {
            if (registry.arrWakeFds[i] != fd) continue;
            registry.arrWakeFds.RemoveAt(i, 1);
            break;
        }
        if (registry.arrWakeFds.GetSize() == 0) registry.arrWakeFds.SetSize(0, -1);
    }
    {
        CVLockGuard<CVMutex> hold(registry.mutex);
        --registry.nRunning;
    }
    return result;
}

unsigned long CVSocketMan::RunWorker(CVDNSCache* cache, CVDNSParse* parser, int resolverWakes) {
    // The wake-up descriptor must fit the set it is waited on in; without it
    // the worker paces itself instead of sleeping until it is woken.
    const int wakeFd = m_nWakeFd >= 0 && m_nWakeFd < FD_SETSIZE ? m_nWakeFd : -1;
    for (;;) {
        // Wake-ups up to here are answered by this pass; any later one ends
        // the wait after it at once.
        DrainWake(wakeFd);
        fd_set readSet;
        fd_set writeSet;
        FD_ZERO(&readSet);
        FD_ZERO(&writeSet);
        uint32_t waitMs = kNoDeadline;
        int highest = -1;
        {
            CVLockGuard<CVMutex> hold(m_mutex);
            if (m_bStop == 1) return 1;
            RunPass(cache, parser, &readSet, &writeSet);
            // What the sockets wait for, as the pass leaves them.
            FD_ZERO(&readSet);
            FD_ZERO(&writeSet);
            waitMs = PlanWait(&readSet, &writeSet, resolverWakes, &highest);
        }
        if (wakeFd == -1 && waitMs > kPacedWaitMs) waitMs = kPacedWaitMs;
        WaitForWork(wakeFd, highest, &readSet, &writeSet, waitMs);
    }
}

void CVSocketMan::RunPass(CVDNSCache* cache, CVDNSParse* parser, void* readArg, void* writeArg) {
    fd_set* readSet = static_cast<fd_set*>(readArg);
    fd_set* writeSet = static_cast<fd_set*>(writeArg);
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
        FD_SET(fd, readSet);
        FD_SET(fd, writeSet);
        if (fd > highest) highest = fd;
    }
    if (highest == -1) return;

    // The pass only looks: the wait between passes is where the worker sleeps.
    struct timeval poll;
    poll.tv_sec = 0;
    poll.tv_usec = 0;
    const int ready = select(highest + 1, readSet, writeSet, nullptr, &poll);
    if (ready < 0) {
        // Nothing is known to be ready after a failed select.
        FD_ZERO(readSet);
        FD_ZERO(writeSet);
    }
    if (ready > 0) CheckReadiness(count, version, readSet, writeSet);
    CheckTimeOuts(count, version, readSet);
}

// Marks what each socket of the table waits for and returns the milliseconds
// until the nearest time-out (kNoDeadline for none). A connected socket that
// waits for nothing is not watched: it would be writable all the time.
uint32_t CVSocketMan::PlanWait(void* readArg, void* writeArg, int resolverWakes, int* highest) {
    fd_set* readSet = static_cast<fd_set*>(readArg);
    fd_set* writeSet = static_cast<fd_set*>(writeArg);
    const uint32_t now = Now();
    uint32_t wait = kNoDeadline;
    *highest = -1;
    for (int i = 0; i < m_nCount; ++i) {
        CVSocket* socket = m_ppSockets[i];
        const int fd = V_SharedLoad(socket->m_nSocket);
        const _ESOCKETSTATES state = V_SharedLoad(socket->m_eState);
        // Actions left queued (held back while memory ran short) are tried
        // again at the old pace, as are the sockets with a per-pass hook.
        if (wait > kPacedWaitMs && (V_SharedLoad(socket->m_pfnHttpTaskProc) != nullptr ||
                                    (state != ESOCKET_RESOLVING && HasPendingActions(socket)))) {
            wait = kPacedWaitMs;
        }
        const uint32_t since = V_SharedLoad(socket->m_ulLastActive);
        const uint32_t limit = V_SharedLoad(socket->m_ulTimeOut);
        uint32_t until = kNoDeadline;
        const bool watched = fd >= 0 && fd < FD_SETSIZE;
        if (watched && fd > *highest) *highest = fd;
        switch (state) {
            case ESOCKET_RESOLVING: {
                // Woken by the resolver once the name is in the cache; asked
                // again after a lookup that failed; failed at its limit.
                until = UntilExceeded(since, now, limit / 2);
                const uint32_t retry = resolverWakes ? kResolveRetryMs : kPacedWaitMs;
                if (until > retry) until = retry;
                break;
            }
            case ESOCKET_CONNECTING:
                if (watched) {
                    FD_SET(fd, readSet);
                    FD_SET(fd, writeSet);
                }
                if (fd != -1) until = UntilExceeded(since, now, limit / 2);
                break;
            case ESOCKET_RECV_WAIT:
                if (watched) FD_SET(fd, readSet);
                if (fd != -1) until = UntilExceeded(since, now, limit);
                break;
            case ESOCKET_DATA_READY:
                if (fd != -1) until = UntilExceeded(since, now, limit);
                break;
            case ESOCKET_SENDING:
                if (watched) FD_SET(fd, writeSet);
                if (fd != -1) until = UntilExceeded(since, now, limit);
                break;
            case ESOCKET_KEEPALIVE:
                // The peer's end, or bytes from it, make a kept connection
                // readable.
                if (watched) FD_SET(fd, readSet);
                if (fd != -1) until = UntilExceeded(since, now, kKeepAliveIdleMs);
                break;
            default:
                break;
        }
        if (until < wait) wait = until;
    }
    return wait;
}

int CVSocketMan::HasPendingActions(CVSocket* socket) {
    CVLockGuard<CVMutex> hold(socket->m_mutex);
    return socket->m_arrCmds.GetSize() > 0;
}

void CVSocketMan::WaitForWork(int wakeFd, int highest, void* readArg, void* writeArg, uint32_t waitMs) {
    fd_set* readSet = static_cast<fd_set*>(readArg);
    fd_set* writeSet = static_cast<fd_set*>(writeArg);
    if (wakeFd != -1) {
        FD_SET(wakeFd, readSet);
        if (wakeFd > highest) highest = wakeFd;
    }
    if (highest == -1) {
        // Nothing to wait on at all (no wake-up descriptor): keep the pace.
        usleep(static_cast<useconds_t>(waitMs == kNoDeadline ? kPacedWaitMs : waitMs) * 1000);
        return;
    }
    struct timeval limit;
    limit.tv_sec = static_cast<time_t>(waitMs / 1000);
    limit.tv_usec = static_cast<suseconds_t>((waitMs % 1000) * 1000);
    // A descriptor that a client closed meanwhile makes select fail; the
    // next pass sees the table as it is now.
    select(highest + 1, readSet, writeSet, nullptr, waitMs == kNoDeadline ? nullptr : &limit);
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

    // Not a scoped hold: a callback that takes the socket out of the table
    // ends the hold there (LetGoOfHeldSocket), and the socket may be gone by
    // the time this function returns.
    socket->m_mutex.Lock(VWAIT_INFINITE);
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
            case ACTION_CREATE: {
                const int kept = V_SharedLoad(socket->m_eState) == ESOCKET_KEEPALIVE;
                if (!kept) OpenDescriptor(socket);
                V_NoteKeptCreate(socket, kept);
                break;
            }
            case ACTION_CONNECT:
                ConnectSocket(socket, cache, parser);
                break;
            case ACTION_CLOSE:
                if (V_SharedLoad(socket->m_eState) != ESOCKET_KEEPALIVE) {
                    CloseDescriptor(socket);
                    SetState(socket, ESOCKET_IDLE, 0);
                    V_NoteKeptCreate(socket, 0);
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
    // A kept connection whose Create was skipped ended before this Connect
    // (its peer let it go, or it idled too long): the fresh connection that
    // the skipped Create stood for is opened now.
    const int keptCreate = V_TakeKeptCreate(socket);
    if (fd == -1 && keptCreate) {
        OpenDescriptor(socket);
        fd = V_SharedLoad(socket->m_nSocket);
    }
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
    // A descriptor that is still connected is a kept connection that Connect
    // did not reuse (another host or port): it talks to the old peer, and a
    // connect on it would not reach the new one. A fresh one replaces it.
    if (V_SharedLoad(socket->m_eState) != ESOCKET_RESOLVING && IsConnected(fd)) {
        OpenDescriptor(socket);
        fd = V_SharedLoad(socket->m_nSocket);
        if (fd == -1 || fd >= FD_SETSIZE) {
            SetState(socket, ESOCKET_CONNECT_FAILED, 1);
            return;
        }
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
