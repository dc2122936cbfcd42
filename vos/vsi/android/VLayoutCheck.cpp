// The object layouts that code compiled against this library on 32-bit ARM
// relies on: every class and record below holds exactly the members listed,
// in this order, and nothing else (the socket manager: its leading members
// only, the ones the library uses). Each layout is written as the list of
// its members' types; the ARM EABI rule then gives the offset of every member
// and the object's size from the platform's own type sizes (pthread_mutex_t,
// pthread_attr_t ...), and the compiler checks the real class against them.
//
// State an implementation needs beyond these members lives elsewhere (behind
// a handle, in a side table, or derived from the members), never in the
// object. The checks hold on 32-bit ARM only; 64-bit hosts keep the same
// member order with their own sizes.
#include <jni.h>
#include <pthread.h>
#include <stddef.h>
#include <stdio.h>

#include <type_traits>

#include "vos/vos.h"

#include "VMsgRecord.h"
#include "VThreadRecord.h"

#if defined(__arm__) && __SIZEOF_POINTER__ == 4

VOS_NAMESPACE_BEGIN

namespace {

// The pointer to the table of virtual operations, first in a polymorphic
// object.
typedef const void* VTablePointer;

// Where the ARM EABI places the members of a class that declares the given
// member types in this order: each member at the next multiple of its
// alignment, the object's size rounded up to its largest alignment.
template <typename... Members>
class VDeclaredLayout {
public:
    static constexpr size_t Offset(size_t index) {
        size_t offset = 0;
        for (size_t i = 0; i < index; ++i) offset = RoundUp(offset, kAlign[i]) + kSize[i];
        return RoundUp(offset, kAlign[index]);
    }

    static constexpr size_t Size() {
        size_t widest = 1;
        for (size_t i = 0; i < kCount; ++i) widest = kAlign[i] > widest ? kAlign[i] : widest;
        return RoundUp(Offset(kCount - 1) + kSize[kCount - 1], widest);
    }

    // True when an object of objectSize bytes has its members at offsets,
    // one offset per listed member.
    template <size_t N>
    static constexpr bool Matches(size_t objectSize, const size_t (&offsets)[N]) {
        return objectSize == Size() && StartsWith(offsets);
    }

    // True when offsets are the places of every listed member; the object
    // may hold further members after them.
    template <size_t N>
    static constexpr bool StartsWith(const size_t (&offsets)[N]) {
        if (N != kCount) return false;
        for (size_t i = 0; i < N; ++i) {
            if (offsets[i] != Offset(i)) return false;
        }
        return true;
    }

private:
    static constexpr size_t kCount = sizeof...(Members);
    static constexpr size_t kSize[] = {sizeof(Members)...};
    static constexpr size_t kAlign[] = {alignof(Members)...};

    static constexpr size_t RoundUp(size_t n, size_t align) { return (n + align - 1) / align * align; }
};

// offsetof is only conditionally supported for classes with virtual
// operations; g++ and clang give the ABI's offset, which is what is checked.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"

// ---- memory ----------------------------------------------------------------

static_assert(VDeclaredLayout<void*, uint32_t, const char*, int32_t>::Matches(
                  sizeof(_VLeakInfo), {offsetof(_VLeakInfo, pAddr), offsetof(_VLeakInfo, nSize),
                                       offsetof(_VLeakInfo, pszFile), offsetof(_VLeakInfo, nLine)}),
              "_VLeakInfo: pAddr, nSize, pszFile, nLine");

static_assert(std::is_polymorphic<CVLeakInfoManager>::value &&
                  VDeclaredLayout<VTablePointer, int32_t, _VLeakInfo*, int32_t, int32_t, int32_t, int32_t>::Matches(
                      sizeof(CVLeakInfoManager),
                      {0, offsetof(CVLeakInfoManager, m_nGrowBy), offsetof(CVLeakInfoManager, m_pLeakInfo),
                       offsetof(CVLeakInfoManager, m_nMaxCount), offsetof(CVLeakInfoManager, m_nCount),
                       offsetof(CVLeakInfoManager, m_nPeakSize), offsetof(CVLeakInfoManager, m_nCurSize)}),
              "CVLeakInfoManager: vtable, m_nGrowBy, m_pLeakInfo, m_nMaxCount, m_nCount, m_nPeakSize, m_nCurSize");

static_assert(VDeclaredLayout<tagVFreeBlock*, uint32_t>::Matches(sizeof(tagVFreeBlock),
                                                                 {offsetof(tagVFreeBlock, pNext),
                                                                  offsetof(tagVFreeBlock, nSize)}),
              "free-block header: link, size");

static_assert(
    std::is_polymorphic<CVMemData>::value &&
        VDeclaredLayout<VTablePointer, void* [32], char*, char*, int32_t, void* [64], char*, char*, int32_t, CVMutex,
                        CVMutex*>::Matches(sizeof(CVMemData),
                                           {0, offsetof(CVMemData, m_apSmallFree), offsetof(CVMemData, m_pSmallStart),
                                            offsetof(CVMemData, m_pSmallEnd), offsetof(CVMemData, m_nSmallHeap),
                                            offsetof(CVMemData, m_apMediumFree), offsetof(CVMemData, m_pMediumStart),
                                            offsetof(CVMemData, m_pMediumEnd), offsetof(CVMemData, m_nMediumHeap),
                                            offsetof(CVMemData, m_mutex), offsetof(CVMemData, m_pLock)}),
    "CVMemData: vtable, small lists and chunk, medium lists and chunk, m_mutex, m_pLock");

static_assert(std::is_polymorphic<CVAllocData>::value &&
                  VDeclaredLayout<VTablePointer, void*, tagVFreeBlock*, tagVFreeBlock, uint32_t, CVMutex>::Matches(
                      sizeof(CVAllocData), {0, offsetof(CVAllocData, m_pMemory), offsetof(CVAllocData, m_pFreeHead),
                                            offsetof(CVAllocData, m_freeAnchor), offsetof(CVAllocData, m_nMemorySize),
                                            offsetof(CVAllocData, m_mutex)}),
              "CVAllocData: vtable, m_pMemory, m_pFreeHead, m_freeAnchor, m_nMemorySize, m_mutex");

// ---- last-error store ------------------------------------------------------

static_assert(std::is_polymorphic<CVException>::value && sizeof(CVException) == sizeof(VTablePointer),
              "CVException: the vtable pointer and no data");

static_assert(VDeclaredLayout<CVString, CVString, CVString, uint32_t>::Matches(
                  sizeof(CVErrorInfo), {offsetof(CVErrorInfo, m_strMessage), offsetof(CVErrorInfo, m_strModule),
                                        offsetof(CVErrorInfo, m_strFile), offsetof(CVErrorInfo, m_ulLine)}),
              "CVErrorInfo: message, module, file, line");

// ---- text and containers ---------------------------------------------------

static_assert(std::is_polymorphic<CVString>::value &&
                  VDeclaredLayout<VTablePointer, unsigned short*>::Matches(sizeof(CVString),
                                                                           {0, offsetof(CVString, m_pData)}),
              "CVString: vtable, m_pData");

static_assert(VDeclaredLayout<unsigned short, unsigned short, unsigned short, unsigned short>::Matches(
                  sizeof(_VCMMapHeader), {offsetof(_VCMMapHeader, wTag), offsetof(_VCMMapHeader, wFormat),
                                          offsetof(_VCMMapHeader, wSectionCount), offsetof(_VCMMapHeader, wReserved)}),
              "_VCMMapHeader: tag, format, section count, reserved");
static_assert(VDeclaredLayout<unsigned short, unsigned short, unsigned short*>::Matches(
                  sizeof(_VCMMapSection), {offsetof(_VCMMapSection, wFirstCode), offsetof(_VCMMapSection, wCodeCount),
                                           offsetof(_VCMMapSection, pEntries)}),
              "_VCMMapSection: first code, number of codes, entries");

// Every instantiation has the same members; one stands for all.
typedef CVArray<int, int> CVIntArray;
static_assert(std::is_polymorphic<CVIntArray>::value &&
                  VDeclaredLayout<VTablePointer, int*, int32_t, int32_t, int32_t>::Matches(
                      sizeof(CVIntArray), {0, offsetof(CVIntArray, m_pElements), offsetof(CVIntArray, m_nSize),
                                           offsetof(CVIntArray, m_nCapacity), offsetof(CVIntArray, m_nGrowStep)}),
              "CVArray: vtable, m_pElements, m_nSize, m_nCapacity, m_nGrowStep");

static_assert(VDeclaredLayout<CVPlex*>::Matches(sizeof(CVPlex), {offsetof(CVPlex, pNext)}), "CVPlex: pNext");

// The five maps share one member list; only the association type differs.
template <typename Map>
constexpr bool VMapHasLayout() {
    typedef typename Map::CAssoc Assoc;
    return std::is_polymorphic<Map>::value &&
           VDeclaredLayout<VTablePointer, Assoc**, uint32_t, int32_t, Assoc*, int32_t, CVPlex*>::Matches(
               sizeof(Map),
               {0, offsetof(Map, m_pBuckets), offsetof(Map, m_nBuckets), offsetof(Map, m_nEntries),
                offsetof(Map, m_pFreeAssocs), offsetof(Map, m_nAssocsPerBlock), offsetof(Map, m_pBlockChain)});
}

static_assert(VMapHasLayout<CVMapWordToPtr>() &&
                  VDeclaredLayout<CVMapWordToPtr::CAssoc*, uint16_t, void*>::Matches(
                      sizeof(CVMapWordToPtr::CAssoc),
                      {offsetof(CVMapWordToPtr::CAssoc, pNext), offsetof(CVMapWordToPtr::CAssoc, key),
                       offsetof(CVMapWordToPtr::CAssoc, value)}),
              "CVMapWordToPtr: map members; association next, key, value");

static_assert(VMapHasLayout<CVMapPtrToPtr>() &&
                  VDeclaredLayout<CVMapPtrToPtr::CAssoc*, void*, void*>::Matches(
                      sizeof(CVMapPtrToPtr::CAssoc),
                      {offsetof(CVMapPtrToPtr::CAssoc, pNext), offsetof(CVMapPtrToPtr::CAssoc, key),
                       offsetof(CVMapPtrToPtr::CAssoc, value)}),
              "CVMapPtrToPtr: map members; association next, key, value");

static_assert(VMapHasLayout<CVMapDWordToString>() &&
                  VDeclaredLayout<CVMapDWordToString::CAssoc*, uint32_t, uint32_t, CVString>::Matches(
                      sizeof(CVMapDWordToString::CAssoc),
                      {offsetof(CVMapDWordToString::CAssoc, pNext), offsetof(CVMapDWordToString::CAssoc, nHashValue),
                       offsetof(CVMapDWordToString::CAssoc, key), offsetof(CVMapDWordToString::CAssoc, value)}),
              "CVMapDWordToString: map members; association next, bucket index, key, value");

static_assert(VMapHasLayout<CVMapStringToPtr>() &&
                  VDeclaredLayout<CVMapStringToPtr::CAssoc*, uint32_t, CVString, void*>::Matches(
                      sizeof(CVMapStringToPtr::CAssoc),
                      {offsetof(CVMapStringToPtr::CAssoc, pNext), offsetof(CVMapStringToPtr::CAssoc, nHashValue),
                       offsetof(CVMapStringToPtr::CAssoc, key), offsetof(CVMapStringToPtr::CAssoc, value)}),
              "CVMapStringToPtr: map members; association next, bucket index, key, value");

static_assert(VMapHasLayout<CVMapStringToString>() &&
                  VDeclaredLayout<CVMapStringToString::CAssoc*, uint32_t, CVString, CVString>::Matches(
                      sizeof(CVMapStringToString::CAssoc),
                      {offsetof(CVMapStringToString::CAssoc, pNext), offsetof(CVMapStringToString::CAssoc, nHashValue),
                       offsetof(CVMapStringToString::CAssoc, key), offsetof(CVMapStringToString::CAssoc, value)}),
              "CVMapStringToString: map members; association next, bucket index, key, value");

// ---- geometry --------------------------------------------------------------

static_assert(VDeclaredLayout<int32_t, int32_t>::Matches(sizeof(CVPoint), {offsetof(CVPoint, x), offsetof(CVPoint, y)}),
              "CVPoint (_VPoint): x, y");
static_assert(VDeclaredLayout<int32_t, int32_t>::Matches(sizeof(CVSize), {offsetof(CVSize, cx), offsetof(CVSize, cy)}),
              "CVSize (_VSize): cx, cy");
static_assert(VDeclaredLayout<int32_t, int32_t, int32_t, int32_t>::Matches(
                  sizeof(CVRect),
                  {offsetof(CVRect, left), offsetof(CVRect, top), offsetof(CVRect, right), offsetof(CVRect, bottom)}),
              "CVRect (_VRect): left, top, right, bottom");

// ---- threads and synchronisation -------------------------------------------

// ---- begin: CVMutex holds only its POSIX mutex ----
// The mutex is the one (private) member, so its place follows from the size.
static_assert(std::is_polymorphic<CVMutex>::value &&
                  sizeof(CVMutex) == VDeclaredLayout<VTablePointer, pthread_mutex_t>::Size(),
              "CVMutex: vtable, pthread_mutex_t");
// ---- end: CVMutex ----

static_assert(std::is_polymorphic<CVEvent>::value &&
                  VDeclaredLayout<VTablePointer, void*>::Matches(sizeof(CVEvent), {0, offsetof(CVEvent, m_hHandle)}),
              "CVEvent: vtable, m_hHandle");
static_assert(std::is_polymorphic<CVThread>::value &&
                  VDeclaredLayout<VTablePointer, void*>::Matches(sizeof(CVThread), {0, offsetof(CVThread, m_hHandle)}),
              "CVThread: vtable, m_hHandle");

// Both records sit in counted blocks whose count word lies just before them.
static_assert(VCountedBlockOffset<tagVEventRecord>() == sizeof(int32_t) &&
                  VDeclaredLayout<int32_t, int32_t>::Matches(sizeof(tagVEventRecord),
                                                             {offsetof(tagVEventRecord, nCount),
                                                              offsetof(tagVEventRecord, bManualReset)}),
              "event record: signal count, manual-reset flag");
static_assert(VCountedBlockOffset<tagVThreadRecord>() == sizeof(int32_t) &&
                  VDeclaredLayout<pthread_t, pthread_attr_t>::Matches(sizeof(tagVThreadRecord),
                                                                      {offsetof(tagVThreadRecord, hThread),
                                                                       offsetof(tagVThreadRecord, attr)}),
              "thread record: pthread_t, pthread_attr_t");

// ---- timers and files ------------------------------------------------------

static_assert(VDeclaredLayout<uint32_t, uint32_t>::Matches(sizeof(tagVTimeStamp), {offsetof(tagVTimeStamp, nSec),
                                                                                   offsetof(tagVTimeStamp, nMilliSec)}),
              "tagVTimeStamp: seconds, milliseconds");

typedef CVTimer::tagCTimerData CVTimerSlot;
static_assert(
    VDeclaredLayout<unsigned long, CVTimer::TimerCallback, void*, unsigned int, unsigned int, unsigned int,
                    unsigned int, int>::Matches(sizeof(CVTimerSlot),
                                                {offsetof(CVTimerSlot, nID), offsetof(CVTimerSlot, pfnCallback),
                                                 offsetof(CVTimerSlot, pParam), offsetof(CVTimerSlot, nDue),
                                                 offsetof(CVTimerSlot, nElapsed), offsetof(CVTimerSlot, nLastTick),
                                                 offsetof(CVTimerSlot, nPeriod), offsetof(CVTimerSlot, nRemaining)}) &&
        sizeof(CVTimerSlot) == 8 * sizeof(uint32_t),
    "tagCTimerData: id, callback, param, due, elapsed, last tick, period, remaining; 32 bits each");

static_assert(std::is_polymorphic<CVFile>::value &&
                  VDeclaredLayout<VTablePointer, FILE*, uint32_t>::Matches(sizeof(CVFile),
                                                                           {0, offsetof(CVFile, m_hHandle),
                                                                            offsetof(CVFile, m_dwFlags)}),
              "CVFile: vtable, m_hHandle, m_dwFlags");

static_assert(std::is_polymorphic<CVLog>::value && sizeof(CVLog) == sizeof(VTablePointer),
              "CVLog: the vtable pointer and no data");

// ---- messaging -------------------------------------------------------------

static_assert(VDeclaredLayout<CVMsgObserver*, uint32_t>::Matches(sizeof(_VMsgCmdIDObserverPair_t),
                                                                 {offsetof(_VMsgCmdIDObserverPair_t, pObserver),
                                                                  offsetof(_VMsgCmdIDObserverPair_t, nCmdID)}),
              "_VMsgCmdIDObserverPair_t: observer, id");

// The block behind CVMsg::m_hMsg starts with the fixed record.
static_assert(std::is_base_of<tagVMsgFixedRecord, tagVMsgRecord>::value &&
                  offsetof(tagVMsgRecord, m_arrObservers) == 0 &&
                  VDeclaredLayout<CVArray<_VMsgCmdIDObserverPair_t, _VMsgCmdIDObserverPair_t>, CVMutex, JavaVM*,
                                  jmethodID, jclass>::Matches(sizeof(tagVMsgFixedRecord),
                                                              {offsetof(tagVMsgFixedRecord, m_arrObservers),
                                                               offsetof(tagVMsgFixedRecord, m_cMutex),
                                                               offsetof(tagVMsgFixedRecord, m_pJVM),
                                                               offsetof(tagVMsgFixedRecord, m_midPostMessage),
                                                               offsetof(tagVMsgFixedRecord, m_clsVMsg)}),
              "bus record: observer table, lock, Java VM, postMessage method, VMsg class");

static_assert(std::is_polymorphic<CVObserver>::value && sizeof(CVObserver) == sizeof(VTablePointer),
              "CVObserver: the vtable pointer and no data");
static_assert(std::is_polymorphic<CVObservable>::value &&
                  VDeclaredLayout<VTablePointer, CVObservable::tagObserverNode*>::Matches(
                      sizeof(CVObservable), {0, offsetof(CVObservable, m_pHead)}) &&
                  VDeclaredLayout<CVObserver*, CVObservable::tagObserverNode*>::Matches(
                      sizeof(CVObservable::tagObserverNode), {offsetof(CVObservable::tagObserverNode, pObserver),
                                                              offsetof(CVObservable::tagObserverNode, pNext)}),
              "CVObservable: vtable, list head; list node: observer, next");
static_assert(VDeclaredLayout<VTablePointer, void (*)()>::Matches(sizeof(CVNetStateObserver),
                                                                  {0, offsetof(CVNetStateObserver, m_pfnCallback)}),
              "CVNetStateObserver: vtable, callback");

// ---- sockets and name resolution -------------------------------------------

// ---- begin: CVSocket holds only its listed members ----
struct CVSocketMembers : CVSocket {
    typedef VDeclaredLayout<VTablePointer, int (*)(void*), int (*)(void*), CVArray<int, int>, char[128], uint16_t, int,
                            CVMutex, _ESOCKETSTATES, void*, uint32_t, uint32_t, CVSocketMan*>
        Layout;
    static constexpr bool Check() {
        return Layout::Matches(
            sizeof(CVSocket),
            {0, offsetof(CVSocketMembers, m_pfnHttpTaskProc), offsetof(CVSocketMembers, m_pfnStateChanged),
             offsetof(CVSocketMembers, m_arrCmds), offsetof(CVSocketMembers, m_szHost),
             offsetof(CVSocketMembers, m_usPort), offsetof(CVSocketMembers, m_nSocket),
             offsetof(CVSocketMembers, m_mutex), offsetof(CVSocketMembers, m_eState), offsetof(CVSocketMembers, m_pObj),
             offsetof(CVSocketMembers, m_ulTimeOut), offsetof(CVSocketMembers, m_ulLastActive),
             offsetof(CVSocketMembers, m_pSocketMan)});
    }
};
static_assert(std::is_polymorphic<CVSocket>::value && CVSocketMembers::Check(),
              "CVSocket: vtable, per-pass and state callbacks, actions, host, port, descriptor, lock, state, "
              "context, time-out, last activity, manager");
// ---- end: CVSocket ----

// Only the members the library uses are fixed; later ones are the worker's own.
struct CVSocketManMembers : CVSocketMan {
    typedef VDeclaredLayout<VTablePointer, CVSocket**, int, int, CVString, CVMutex, CVThread, int> Layout;
    static constexpr bool Check() {
        return Layout::StartsWith({0, offsetof(CVSocketManMembers, m_ppSockets), offsetof(CVSocketManMembers, m_nCount),
                                   offsetof(CVSocketManMembers, m_nCapacity),
                                   offsetof(CVSocketManMembers, m_strProxyName), offsetof(CVSocketManMembers, m_mutex),
                                   offsetof(CVSocketManMembers, m_thread), offsetof(CVSocketManMembers, m_bStop)});
    }
};
static_assert(std::is_polymorphic<CVSocketMan>::value && CVSocketManMembers::Check(),
              "CVSocketMan: vtable, table, count, capacity, proxy name, lock, worker, stop flag");

static_assert(VDeclaredLayout<char[128], uint32_t>::Matches(sizeof(tag_DomainParam),
                                                            {offsetof(tag_DomainParam, szHost),
                                                             offsetof(tag_DomainParam, nPort)}),
              "tag_DomainParam: host, port");

static_assert(!std::is_polymorphic<CVDNSParse>::value &&
                  VDeclaredLayout<CVArray<tag_DomainParam, tag_DomainParam&>, CVMapStringToString, int, CVThread,
                                  CVMutex>::Matches(sizeof(CVDNSParse),
                                                    {offsetof(CVDNSParse, m_arrTasks), offsetof(CVDNSParse, m_mapNames),
                                                     offsetof(CVDNSParse, m_bStop), offsetof(CVDNSParse, m_thread),
                                                     offsetof(CVDNSParse, m_mutex)}),
              "CVDNSParse: task queue, queued names, stop flag, thread, lock");

static_assert(
    !std::is_polymorphic<CVDNSCache>::value &&
        VDeclaredLayout<CVMapStringToPtr, CVArray<unsigned int, unsigned int>, CVArray<unsigned int, unsigned int>,
                        CVMutex>::Matches(sizeof(CVDNSCache),
                                          {offsetof(CVDNSCache, m_mapIndex), offsetof(CVDNSCache, m_arrAddress),
                                           offsetof(CVDNSCache, m_arrPort), offsetof(CVDNSCache, m_mutex)}),
    "CVDNSCache: index, addresses, ports, lock");

// ---- device services -------------------------------------------------------

static_assert(VDeclaredLayout<CVString, int, int>::Matches(sizeof(CVNetworkInfo),
                                                           {offsetof(CVNetworkInfo, m_strTypeName),
                                                            offsetof(CVNetworkInfo, m_nType),
                                                            offsetof(CVNetworkInfo, m_nState)}),
              "CVNetworkInfo: m_strTypeName, m_nType, m_nState");

static_assert(VDeclaredLayout<CVString, CVString, CVString, int, int>::Matches(
                  sizeof(CVWifiHotpot), {offsetof(CVWifiHotpot, m_strBSSID), offsetof(CVWifiHotpot, m_strSSID),
                                         offsetof(CVWifiHotpot, m_strCapabilities),
                                         offsetof(CVWifiHotpot, m_nFrequency), offsetof(CVWifiHotpot, m_nLevel)}),
              "CVWifiHotpot: m_strBSSID, m_strSSID, m_strCapabilities, m_nFrequency, m_nLevel");

static_assert(
    VDeclaredLayout<int32_t, float, float, float, float, uint32_t, int32_t, uint16_t, uint16_t, tagVTime,
                    uint32_t>::Matches(sizeof(CVGpsDetailInfo),
                                       {offsetof(CVGpsDetailInfo, m_nState), offsetof(CVGpsDetailInfo, m_fValue1),
                                        offsetof(CVGpsDetailInfo, m_fValue2), offsetof(CVGpsDetailInfo, m_fValue4),
                                        offsetof(CVGpsDetailInfo, m_fValue3), offsetof(CVGpsDetailInfo, m_nReserved1),
                                        offsetof(CVGpsDetailInfo, m_nValue5), offsetof(CVGpsDetailInfo, m_sReserved2),
                                        offsetof(CVGpsDetailInfo, m_sValue6), offsetof(CVGpsDetailInfo, m_time),
                                        offsetof(CVGpsDetailInfo, m_nExtra)}),
    "CVGpsDetailInfo: state, values 1, 2, 4, 3, reserved, value 5, reserved, value 6, time, extra");

static_assert(VDeclaredLayout<jclass, jobject, jmethodID, jmethodID, jmethodID, jfieldID>::Matches(
                  sizeof(_VJavaHandle_t),
                  {offsetof(_VJavaHandle_t, cls), offsetof(_VJavaHandle_t, obj), offsetof(_VJavaHandle_t, initMethod),
                   offsetof(_VJavaHandle_t, unInitMethod), offsetof(_VJavaHandle_t, constructMethod),
                   offsetof(_VJavaHandle_t, jniDataField)}),
              "_VJavaHandle_t: class, object, init, unInit, constructor, mJniData field");

static_assert(VDeclaredLayout<int32_t, int32_t, int32_t>::Matches(sizeof(tagCompassInfo),
                                                                  {offsetof(tagCompassInfo, m_nState),
                                                                   offsetof(tagCompassInfo, m_nValue),
                                                                   offsetof(tagCompassInfo, m_nTickBits)}),
              "tagCompassInfo: m_nState, m_nValue, m_nTickBits");

#pragma GCC diagnostic pop

}  // namespace

VOS_NAMESPACE_END

#endif  // 32-bit ARM
