/// @file
/// Networking: the socket manager, a table of CVSocket objects and one worker
/// thread that drives all of them with non-blocking descriptors and select.
///
/// Each pass of the worker carries out the sockets' queued actions, resolves
/// host names through the resolver of VDNSCache.h, watches the descriptors,
/// enforces the time-outs (connection and name resolution: half the socket's
/// time-out; sending and receiving: the whole; a kept connection: 55 s) and
/// calls the sockets' callbacks. Between passes the worker sleeps until a
/// socket it watches turns ready, the nearest time-out comes, or it is woken:
/// by a socket's Create, Connect, Close, Send, Recv or settings, by a table
/// change, or by the resolver when it has filled the name cache. The worker
/// holds the manager's lock for a whole pass, so table operations wait for the
/// end of the current pass: once RemoveSocket has returned, the worker no
/// longer touches that socket. Several managers may run their workers at the
/// same time.
#ifndef VOS_VSOCKETMAN_H
#define VOS_VSOCKETMAN_H

#include "vos/VDefine.h"
#include "vos/VSocket.h"
#include "vos/VString.h"
#include "vos/VTempl.h"
#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

class CVDNSCache;
class CVDNSParse;

/// A table of sockets and the one worker thread that drives them.
class VOS_API CVSocketMan {
public:
    CVSocketMan();
    virtual ~CVSocketMan();

    /// Does nothing; 1.
    int InitSocketMan();
    /// Replaces the table by an empty one of n slots; 1 if it exists. Sockets
    /// of the old table no longer point at this manager.
    int SetSocketMax(long n);
    /** @name Table */
    ///@{
    /// AddSocket stores socket in the next slot (0 for null or a full table);
    /// RemoveSocket takes it out, keeping the order of the others (0 when it
    /// is absent); RemoveAllSocket empties the table; GetSocketCount reads the
    /// count without the lock.
    int AddSocket(CVSocket* socket);
    int RemoveSocket(CVSocket* socket);
    int RemoveAllSocket();
    int GetSocketCount();
    ///@}

    /// Starts the worker unless it runs; 1 when it runs.
    int StartSocketProc();
    /// Returns once the worker has ended.
    int StopSocketProc();
    /// Stops the worker, frees the table and, when no other manager's worker
    /// runs, releases the resolver and then the name cache.
    void UnInitSocketMan();
    /// The worker's procedure; manager is the CVSocketMan.
    static unsigned long SocketThreadProc(void* manager);

    /** @name Connection settings kept for callers */
    ///@{
    /// The proxy name is stored and handed back, nothing uses it;
    /// EnumConnectionNames gives 0 and leaves names untouched;
    /// EstablishConnection gives 1, GetCurrentIapId 0 and GetConnectStatus 2.
    CVString GetProxyName();
    void SetProxyName(CVString& name);
    int EnumConnectionNames(CVArray<CVString, CVString&>& names);
    int EstablishConnection(int id);
    int GetCurrentIapId();
    int GetConnectStatus();
    ///@}

    /// Kept for callers that know it; every worker uses an action buffer of
    /// its own so that several managers can run at once.
    static CVArray<int, int> m_arrActions;

protected:
    /** @name Table and worker */
    ///@{
    /// The socket table, its count and capacity, the proxy name, the
    /// manager's lock (held by the worker for a whole pass), the worker thread
    /// and its stop flag.
    CVSocket** m_ppSockets;
    int m_nCount;
    int m_nCapacity;
    CVString m_strProxyName;
    CVMutex m_mutex;
    CVThread m_thread;
    int m_bStop;
    ///@}

    /** @name Worker buffers */
    ///@{
    /// The worker's own buffers: the actions of the socket at hand and the
    /// table as it was at the start of the pass.
    CVArray<int, int> m_arrPassActions;
    CVArray<CVSocket*, CVSocket*&> m_arrPassSockets;
    ///@}
    /// Raised by every table change, so that a pass notices changes made by
    /// the callbacks it runs.
    uint32_t m_ulTableVersion;
    /// The descriptor the worker sleeps on between passes beside its
    /// sockets; the sockets' operations, the table operations and the
    /// resolver signal it (-1 when it could not be made: the worker then
    /// passes every 10 ms).
    int m_nWakeFd;

private:
    friend class CVSocket;
    CVSocketMan(const CVSocketMan&);
    CVSocketMan& operator=(const CVSocketMan&);

    unsigned long RunWorker(CVDNSCache* cache, CVDNSParse* parser, int resolverWakes);
    void RunPass(CVDNSCache* cache, CVDNSParse* parser, void* readSet, void* writeSet);
    uint32_t PlanWait(void* readSet, void* writeSet, int resolverWakes, int* highest);
    static void WaitForWork(int wakeFd, int highest, void* readSet, void* writeSet, uint32_t waitMs);
    void WakeWorker();
    static int HasPendingActions(CVSocket* socket);
    void SetTableCount(int count);
    void ForgetTable();
    void LetGoOfHeldSocket(CVSocket* socket);
    int HoldsSince(CVSocket* socket, uint32_t version);
    void CarryOutActions(CVSocket* socket, uint32_t version, CVDNSCache* cache, CVDNSParse* parser);
    void CheckReadiness(int count, uint32_t version, void* readSet, void* writeSet);
    void CheckTimeOuts(int count, uint32_t version, void* readSet);
    static void OpenDescriptor(CVSocket* socket);
    static void CloseDescriptor(CVSocket* socket);
    static void ConnectSocket(CVSocket* socket, CVDNSCache* cache, CVDNSParse* parser);
    static void SetState(CVSocket* socket, _ESOCKETSTATES state, int announce);
};

VOS_NAMESPACE_END

#endif  // VOS_VSOCKETMAN_H
