#include "vos/VDNSCache.h"

#include <stdint.h>

#include "vos/VMem.h"

VOS_NAMESPACE_BEGIN

CVDNSCache* CVDNSCache::s_pDnsCache = nullptr;

CVDNSCache::CVDNSCache() : m_mapIndex(10) { m_mutex.Create(nullptr); }

CVDNSCache::~CVDNSCache() {}

CVDNSCache* CVDNSCache::Instance() {
    if (s_pDnsCache == nullptr) s_pDnsCache = VNew<CVDNSCache>(1, "vos/vsi/VDNSCache", __LINE__);
    return s_pDnsCache;
}

void CVDNSCache::ReleaseInstance() {
    if (s_pDnsCache == nullptr) return;
    VDelete(s_pDnsCache);
    s_pDnsCache = nullptr;
}

int CVDNSCache::GetHostByName(CVString& name, unsigned int& address, unsigned int& port) {
    if (name.IsEmpty()) return 0;
    const unsigned short* key = name;
    m_mutex.Lock(0xFFFFFFFF);
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
    m_mutex.Unlock();
    return found;
}

int CVDNSCache::AddHostAndName(CVString& name, unsigned int address, unsigned int port) {
    if (name.IsEmpty()) return 0;
    const unsigned short* key = name;
    m_mutex.Lock(0xFFFFFFFF);
    void* value = nullptr;
    if (m_mapIndex.Lookup(key, value)) {
        const intptr_t position = reinterpret_cast<intptr_t>(value);
        if (position >= 0 && position < m_arrAddress.GetSize() && position < m_arrPort.GetSize()) {
            m_arrAddress[static_cast<int>(position)] = address;
            m_arrPort[static_cast<int>(position)] = port;
            m_mutex.Unlock();
            return 1;
        }
        m_mapIndex.RemoveKey(key);
    }
    const intptr_t position = m_arrAddress.GetSize();
    m_mapIndex.SetAt(key, reinterpret_cast<void*>(position));
    m_arrAddress.Add(address);
    m_arrPort.Add(port);
    m_mutex.Unlock();
    return 1;
}

VOS_NAMESPACE_END
