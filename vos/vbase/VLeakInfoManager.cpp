#include <stdlib.h>
#include <string.h>

#include "vos/VMem.h"

VOS_NAMESPACE_BEGIN

CVLeakInfoManager::CVLeakInfoManager()
    : m_nGrowBy(64), m_pLeakInfo(nullptr), m_nMaxCount(0), m_nCount(0), m_nPeakSize(0), m_nCurSize(0) {}

CVLeakInfoManager::~CVLeakInfoManager() {
    // The table comes from the heap directly, not through CVMem: the registry
    // must be usable to watch the facade itself.
    free(m_pLeakInfo);
    m_pLeakInfo = nullptr;
    m_nMaxCount = 0;
    m_nCount = 0;
    m_nPeakSize = 0;
    m_nCurSize = 0;
}

int CVLeakInfoManager::GrowUp() {
    if (m_pLeakInfo != nullptr && m_nCount < m_nMaxCount) return 1;
    // A step of nothing (or less) would install a table with no room for the
    // record about to be written: the registration fails instead.
    if (m_nGrowBy <= 0) return 0;
    const size_t newMax = static_cast<size_t>(m_nMaxCount) + static_cast<size_t>(m_nGrowBy);
    _VLeakInfo* table = static_cast<_VLeakInfo*>(malloc(newMax * sizeof(_VLeakInfo)));
    if (table == nullptr) return 0;
    if (m_pLeakInfo != nullptr) memcpy(table, m_pLeakInfo, static_cast<size_t>(m_nMaxCount) * sizeof(_VLeakInfo));
    free(m_pLeakInfo);
    m_pLeakInfo = table;
    m_nMaxCount += m_nGrowBy;
    return 1;
}

int CVLeakInfoManager::RegisterLeak(void* p, unsigned int size, const char* file, int line) {
    if (p == nullptr) return 0;
    if (!GrowUp()) return 0;
    for (int32_t i = 0; i < m_nCount; ++i) {
        // The first registration wins: neither its origin nor the totals change.
        if (m_pLeakInfo[i].pAddr == p) return 1;
    }
    _VLeakInfo& rec = m_pLeakInfo[m_nCount];
    rec.pAddr = p;
    rec.nSize = size;
    rec.pszFile = file;
    rec.nLine = line;
    m_nCurSize = static_cast<int32_t>(static_cast<uint32_t>(m_nCurSize) + size);
    if (m_nCurSize > m_nPeakSize) m_nPeakSize = m_nCurSize;
    ++m_nCount;
    return 1;
}

int CVLeakInfoManager::UnRegisterLeak(void* p) {
    if (p == nullptr || m_pLeakInfo == nullptr) return 0;
    for (int32_t i = 0; i < m_nCount; ++i) {
        if (m_pLeakInfo[i].pAddr != p) continue;
        m_nCurSize = static_cast<int32_t>(static_cast<uint32_t>(m_nCurSize) - m_pLeakInfo[i].nSize);
        memmove(&m_pLeakInfo[i], &m_pLeakInfo[i + 1], static_cast<size_t>(m_nCount - i - 1) * sizeof(_VLeakInfo));
        --m_nCount;
        return 1;
    }
    return 0;
}

int CVLeakInfoManager::CheckLeak(_VLeakInfo*& records, int& count, int& peakSize) {
    records = m_pLeakInfo;
    count = m_nCount;
    peakSize = m_nPeakSize;
    return (m_nCount > 0 && m_pLeakInfo != nullptr) ? 1 : 0;
}

VOS_NAMESPACE_END
