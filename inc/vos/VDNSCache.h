/// @file
/// Networking: asynchronous host-name resolution. CVDNSParse queues lookup
/// tasks and resolves them one at a time on a thread of its own; CVDNSCache
/// keeps the results (IPv4 address and a port per host name) for the socket
/// workers to read. Both are process-wide singletons, created on first use and
/// released explicitly; CVSocketMan::UnInitSocketMan releases them. The two
/// locks are never held together.
#ifndef VOS_VDNSCACHE_H
#define VOS_VDNSCACHE_H

#include "vos/VDefine.h"
#include "vos/VMapSimple.h"
#include "vos/VString.h"
#include "vos/VTempl.h"
#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

/// One lookup task.
struct tag_DomainParam {
    /// The host name, narrow GBK text, zero-terminated.
    char szHost[128];
    /// The connection's port in network byte order, in the first two bytes.
    uint32_t nPort;
};

/// The resolver: a queue of names looked up one after another on its own
/// thread, which sleeps while the queue is empty; the results go into the
/// name cache, and the socket workers are woken for them.
class VOS_API CVDNSParse {
public:
    CVDNSParse();
    ~CVDNSParse();

    /// The instance, created by the first call; null only if it cannot be
    /// allocated.
    static CVDNSParse* GetInstance();
    /// Ends the resolver thread (waiting for a lookup under way) and frees the
    /// instance.
    static void ReleaseInstance();

    /// Queues a lookup unless the name is empty or one for the same name is
    /// queued already; starts the resolver thread when it is not running.
    void AddDNSTask(tag_DomainParam& task);
    /// The resolver thread's procedure; parser is the instance.
    static unsigned long DNSParseThreadProc(void* parser);

    /// The instance, or null.
    static CVDNSParse* s_pDNSParse;

    /** @name State */
    ///@{
    /// The queued tasks, the names queued or under way, the stop flag, the
    /// resolver thread and the lock guarding the queue.
    CVArray<tag_DomainParam, tag_DomainParam&> m_arrTasks;
    CVMapStringToString m_mapNames;
    int m_bStop;
    CVThread m_thread;
    CVMutex m_mutex;
    ///@}

private:
    CVDNSParse(const CVDNSParse&);
    CVDNSParse& operator=(const CVDNSParse&);
};

/// The name cache: host names with their address and port, filled by the
/// resolver and read by the socket worker.
class VOS_API CVDNSCache {
public:
    CVDNSCache();
    ~CVDNSCache();

    /** @name Instance */
    ///@{
    /// Instance gives the cache, creating it on first use (null only when it
    /// cannot be allocated); ReleaseInstance frees it.
    static CVDNSCache* Instance();
    static void ReleaseInstance();
    ///@}

    /// 1 and the address (network byte order) and port of name; 0 when the
    /// name is empty or not cached, leaving the outputs untouched.
    int GetHostByName(CVString& name, unsigned int& address, unsigned int& port);
    /// Stores or replaces the entry of name; 0 for an empty name or when memory
    /// runs out (the cache then stays as it was), else 1.
    int AddHostAndName(CVString& name, unsigned int address, unsigned int port);

    /// The instance, or null.
    static CVDNSCache* s_pDnsCache;

    /** @name Entries */
    ///@{
    /// Names to indexes into the address and port arrays, and the lock that
    /// guards all three.
    CVMapStringToPtr m_mapIndex;
    CVArray<unsigned int, unsigned int> m_arrAddress;
    CVArray<unsigned int, unsigned int> m_arrPort;
    CVMutex m_mutex;
    ///@}

private:
    CVDNSCache(const CVDNSCache&);
    CVDNSCache& operator=(const CVDNSCache&);
};

VOS_NAMESPACE_END

#endif  // VOS_VDNSCACHE_H
