#include <netdb.h>
#include <string.h>
#include <unistd.h>

#include "vos/VDNSCache.h"
#include "vos/VMem.h"
#include "vsi/android/VSocketAtomic.h"

VOS_NAMESPACE_BEGIN

CVDNSParse* CVDNSParse::s_pDNSParse = nullptr;

namespace {

const unsigned short kMutexName[] = {'d', 'n', 's', 'p', 'a', 'r', 's', 'e', '_', 'm', 'u', 't', 'e', 'x', 0};
const useconds_t kTurnPauseUs = 100000;

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
    m_mutex.Lock(0xFFFFFFFF);
    m_arrTasks.SetSize(0, -1);
    m_mapNames.RemoveAll();
    V_SharedStore(m_bStop, 1);
    m_mutex.Unlock();
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
    m_mutex.Lock(0xFFFFFFFF);
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
    }
    m_mutex.Unlock();
}

unsigned long CVDNSParse::DNSParseThreadProc(void* param) {
    CVDNSParse* self = static_cast<CVDNSParse*>(param);
    CVDNSCache* cache = CVDNSCache::Instance();
    tag_DomainParam task;
    memset(&task, 0, sizeof(task));
    while (V_SharedLoad(self->m_bStop) == 0) {
        self->m_mutex.Lock(0xFFFFFFFF);
        const int queued = self->m_arrTasks.GetSize();
        if (queued > 0) memcpy(&task, &self->m_arrTasks[0], sizeof(task));
        self->m_mutex.Unlock();

        if (queued > 0) {
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
                    cache->AddHostAndName(name, address, task.nPort);
                }
            }
            self->m_mutex.Lock(0xFFFFFFFF);
            if (self->m_arrTasks.GetSize() > 0) self->m_arrTasks.RemoveAt(0, 1);
            const unsigned short* key = name;
            if (key != nullptr) self->m_mapNames.RemoveKey(key);
            self->m_mutex.Unlock();
        }
        usleep(kTurnPauseUs);
        memset(&task, 0, sizeof(task));
    }
    return 0;
}

VOS_NAMESPACE_END
