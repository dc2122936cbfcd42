#include <netdb.h>
#include <string.h>
#include <unistd.h>

#include "vos/VDNSCache.h"
#include "vos/VMem.h"
#include "vbase/VLockGuard.h"
#include "vsi/android/VSocketAtomic.h"
#include "vsi/android/VWait.h"

VOS_NAMESPACE_BEGIN

CVDNSParse* CVDNSParse::s_pDNSParse = nullptr;

namespace {

const unsigned short kMutexName[] = {'d', 'n', 's', 'p', 'a', 'r', 's', 'e', '_', 'm', 'u', 't', 'e', 'x', 0};
// The pause after a lookup that failed: the socket worker asks again for a
// name it still waits for, and names that cannot be resolved are not looked
// up more often than this.
const useconds_t kFailurePauseUs = 100000;

// The resolver thread sleeps on this word while its queue is empty. There is
// one resolver at a time; the word says that a task may have been queued (or
// a stop asked for) since the thread last looked.
int32_t g_nWoken = 0;

void WakeResolver() {
    __atomic_store_n(&g_nWoken, 1, __ATOMIC_RELEASE);
    VWordWake(&g_nWoken, 1);
}

// Returns once the resolver has been woken or asked to stop.
void SleepUntilWoken(const int& stop) {
    while (__atomic_exchange_n(&g_nWoken, 0, __ATOMIC_ACQ_REL) == 0 && V_SharedLoad(stop) == 0) {
        VWordWait(&g_nWoken, 0, VWAIT_NO_DEADLINE);
    }
}

// The host of a task as a string; the text is cut at 128 bytes even when a
// task arrives without its terminating zero.
CVString HostOf(const tag_DomainParam& task) {
    char host[sizeof(task.szHost) + 1];
    memcpy(host, task.szHost, sizeof(task.szHost));
    host[sizeof(task.szHost)] = '\0';
    return CVString(host);
}

}  // namespace

CVDNSParse::CVDNSParse() : m_mapNames(10), m_bStop(0) { m_mutex.Create(kMutexName); }

CVDNSParse::~CVDNSParse() {
    {
        CVLockGuard<CVMutex> hold(m_mutex);
        m_arrTasks.SetSize(0, -1);
        m_mapNames.RemoveAll();
        V_SharedStore(m_bStop, 1);
    }
    WakeResolver();
    // A lookup under way is waited for: the thread uses this object to its end.
    m_thread.TerminateThread(0);
}

CVDNSParse* CVDNSParse::GetInstance() {
    CVDNSParse* parser = __atomic_load_n(&s_pDNSParse, __ATOMIC_ACQUIRE);
    if (parser != nullptr) return parser;
    // Two socket workers may start at once: one instance wins.
    CVDNSParse* made = VNew<CVDNSParse>(1, "vos/vsi/android/VSocket", __LINE__);
    if (made == nullptr) return nullptr;
    CVDNSParse* expected = nullptr;
    if (__atomic_compare_exchange_n(&s_pDNSParse, &expected, made, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        return made;
    }
    VDelete(made);
    return expected;
}

void CVDNSParse::ReleaseInstance() {
    CVDNSParse* parser = __atomic_load_n(&s_pDNSParse, __ATOMIC_ACQUIRE);
    if (parser == nullptr) return;
    VDelete(parser);
    __atomic_store_n(&s_pDNSParse, static_cast<CVDNSParse*>(nullptr), __ATOMIC_RELEASE);
}

void CVDNSParse::AddDNSTask(tag_DomainParam& task) {
    CVLockGuard<CVMutex> hold(m_mutex);
    // Several socket workers may ask at once: the thread is started under
    // the lock so that only one of them starts it.
    if (m_thread.GetHandle() == nullptr) {
        V_SharedStore(m_bStop, 0);
        m_thread.CreateThread(DNSParseThreadProc, this, static_cast<EThreadCreateStatus>(0));
    }
    CVString name = HostOf(task);
    const unsigned short* key = name;
    CVString queued;
    // An empty name is never looked up, so it is not queued either: the
    // socket worker fails such a connection itself, and a queue that took it
    // on every pass would hold back every other name. A name whose entry in
    // the map could not be made is not queued now, so that the queue never
    // holds one name twice; the worker asks again on its next pass.
    if (key != nullptr && name.GetLength() > 0 && !m_mapNames.Lookup(key, queued)) {
        m_mapNames.SetAt(key, key);
        if (m_mapNames.Lookup(key, queued) && m_arrTasks.Add(task) == -1) m_mapNames.RemoveKey(key);
        WakeResolver();
    }
}

unsigned long CVDNSParse::DNSParseThreadProc(void* param) {
    CVDNSParse* self = static_cast<CVDNSParse*>(param);
    CVDNSCache* cache = CVDNSCache::Instance();
    tag_DomainParam task;
    memset(&task, 0, sizeof(task));
    while (V_SharedLoad(self->m_bStop) == 0) {
        int queued = 0;
        {
            CVLockGuard<CVMutex> hold(self->m_mutex);
            queued = self->m_arrTasks.GetSize();
            if (queued > 0) memcpy(&task, &self->m_arrTasks[0], sizeof(task));
        }
        if (queued == 0) {
            SleepUntilWoken(self->m_bStop);
            continue;
        }
        int failed = 0;
        {
            CVString name = HostOf(task);
            if (!name.IsEmpty()) {
                char host[sizeof(task.szHost) + 1];
                memcpy(host, task.szHost, sizeof(task.szHost));
                host[sizeof(task.szHost)] = '\0';
                // Only this thread calls gethostbyname, so its static result
                // is not overwritten under our feet.
                struct hostent* entry = gethostbyname(host);
                if (entry != nullptr && entry->h_addrtype == AF_INET && entry->h_addr_list != nullptr &&
                    entry->h_addr_list[0] != nullptr && cache != nullptr) {
                    unsigned int address = 0;
                    memcpy(&address, entry->h_addr_list[0], sizeof(address));
                    failed = !cache->AddHostAndName(name, address, task.nPort);
                } else {
                    failed = 1;
                }
            }
            CVLockGuard<CVMutex> hold(self->m_mutex);
            if (self->m_arrTasks.GetSize() > 0) self->m_arrTasks.RemoveAt(0, 1);
            const unsigned short* key = name;
            if (key != nullptr) self->m_mapNames.RemoveKey(key);
        }
        // The sockets waiting for the name connect on the worker's next pass.
        if (!failed) V_WakeSocketWorkers();
        if (failed) usleep(kFailurePauseUs);
        memset(&task, 0, sizeof(task));
    }
    return 0;
}

VOS_NAMESPACE_END
