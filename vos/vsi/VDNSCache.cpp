#include "vos/VDNSCache.h"

#include <stdint.h>

#include "vos/VMem.h"
#include "vbase/VLockGuard.h"

VOS_NAMESPACE_BEGIN

CVDNSCache* CVDNSCache::s_pDnsCache = nullptr;

CVDNSCache::CVDNSCache() : m_mapIndex(10) { m_mutex.Create(nullptr); }

CVDNSCache::~CVDNSCache() {}

CVDNSCache* CVDNSCache::Instance() {
    CVDNSCache* cache = __atomic_load_n(&s_pDnsCache, __ATOMIC_ACQUIRE);
    if (cache != nullptr) return cache;
    // The resolver thread and a host thread may ask first at the same time:
    // one instance wins, the other is given back.
    CVDNSCache* made = VNew<CVDNSCache>(1, "vos/vsi/VDNSCache", __LINE__);
    if (made == nullptr) return nullptr;
    CVDNSCache* expected = nullptr;
    if (__atomic_compare_exchange_n(&s_pDnsCache, &expected, made, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        return made;
    }
    VDelete(made);
    return expected;
}

void CVDNSCache::ReleaseInstance() {
    CVDNSCache* cache = __atomic_exchange_n(&s_pDnsCache, static_cast<CVDNSCache*>(nullptr), __ATOMIC_ACQ_REL);
    if (cache != nullptr) VDelete(cache);
}

int CVDNSCache::GetHostByName(CVString& name, unsigned int& address, unsigned int& port) {
    if (name.IsEmpty()) return 0;
    const unsigned short* key = name;
    CVLockGuard<CVMutex> hold(m_mutex);
    void* value = nullptr;
    int found = 0;
    if (m_mapIndex.Lookup(key, value)) {
        const intptr_t position = reinterpret_cast<intptr_t>(value);
        if (position >= 0 && position < m_arrAddress.GetSize() && position < m_arrPort.GetSize()) {
            address = m_arrAddress[static_cast<int>(position)];
            port = m_arrPort[static_cast<int>(position)];
            found = 1;
        } else {
            m_mapIndex.RemoveKey(key);
        }
    }
    return found;
}

int CVDNSCache::AddHostAndName(CVString& name, unsigned int address, unsigned int port) {
    if (name.IsEmpty()) return 0;
    const unsigned short* key = name;
    CVLockGuard<CVMutex> hold(m_mutex);
    void* value = nullptr;
    if (m_mapIndex.Lookup(key, value)) {
        const intptr_t position = reinterpret_cast<intptr_t>(value);
        if (position >= 0 && position < m_arrAddress.GetSize() && position < m_arrPort.GetSize()) {
            m_arrAddress[static_cast<int>(position)] = address;
            m_arrPort[static_cast<int>(position)] = port;
            return 1;
        }
        m_mapIndex.RemoveKey(key);
    }
    // The index and both arrays change together or not at all: a slot that
    // only one array got would pair every later name with its neighbour's
    // address or port.
    const int position = m_arrAddress.GetSize();
    int stored = 0;
    if (m_arrPort.GetSize() == position && m_arrAddress.Add(address) == position &&
        m_arrPort.Add(port) == position) {
        m_mapIndex.SetAt(key, reinterpret_cast<void*>(static_cast<intptr_t>(position)));
        stored = m_mapIndex.Lookup(key, value);
    }
    if (!stored) {
        m_arrAddress.SetSize(position);
        m_arrPort.SetSize(position);
    }
    return stored;
}

VOS_NAMESPACE_END
