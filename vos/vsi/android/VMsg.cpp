#include "vos/VMsg.h"

#include <new>
#include <string.h>

#include "vos/VException.h"
#include "vos/VJni.h"
#include "vos/VMem.h"
#include "vbase/VLockGuard.h"
#include "vbase/VProcessLock.h"
#include "vsi/android/VJniHelper.h"
#include "vsi/android/VMsgRecord.h"

VOS_NAMESPACE_BEGIN

namespace {

const char kMsgModule[] = "zu/vos/vsi/VMsg";
const char kMsgSource[] = "vos/vsi/android/VMsg";
const uint32_t kAllMsgs = 16;  // also the highest reserved id

const unsigned short kMutexName[] = {'V', 'M', 's', 'g', 'M', 'u', 't', 'e', 'x', 0};

void RecordError(const char* message, unsigned int line) {
    CVException::SetLastError(const_cast<char*>(message), kMsgModule, kMsgSource, line);
}

// Removes one pair and keeps every delivery under way on this thread in step
// with the shifted table.
void RemovePairAt(tagVMsgRecord* rec, int index) {
    rec->m_arrObservers.RemoveAt(index, 1);
    CVObserverWalk::Removed(rec->m_pWalks, index);
}

// Empties the table; every delivery under way on this thread ends.
void RemoveAllPairs(tagVMsgRecord* rec) {
    rec->m_arrObservers.SetSize(0, -1);
    CVObserverWalk::Cleared(rec->m_pWalks);
}

// Guards the hand-out of the record and its reference count; it needs no
// start-up of its own.
CVProcessLock s_recordLock;

void FreeRecord(tagVMsgRecord* rec) {
    rec->~tagVMsgRecord();
    CVMem::Deallocate(rec);
}

// A reference to the bus record for the length of one operation. The bus
// itself holds one reference while it is up; a delivery coming back from
// Java while the last GlobalUnInit runs keeps the record alive until its
// walk is over, and whoever drops the last reference frees the record.
class CVMsgRef {
public:
    CVMsgRef() : m_pRec(nullptr) {
        CVLockGuard<CVMutex> lock(s_recordLock);
        m_pRec = VMsg_Record();
        if (m_pRec != nullptr) ++m_pRec->m_nRefs;
    }
    ~CVMsgRef() { Release(m_pRec); }
    tagVMsgRecord* Get() const { return m_pRec; }

    static void Release(tagVMsgRecord* rec) {
        if (rec == nullptr) return;
        int last = 0;
        {
            CVLockGuard<CVMutex> lock(s_recordLock);
            last = --rec->m_nRefs == 0;
        }
        if (last) FreeRecord(rec);
    }

private:
    CVMsgRef(const CVMsgRef&);
    CVMsgRef& operator=(const CVMsgRef&);

    tagVMsgRecord* m_pRec;
};

}  // namespace

void* CVMsg::m_hMsg = nullptr;

int CVMsg::GlobalInit() {
    if (m_hMsg != nullptr) return 1;
    void* block = CVMem::Allocate(sizeof(tagVMsgRecord), kMsgSource, __LINE__);
    if (block == nullptr) return 0;
    memset(block, 0, sizeof(tagVMsgRecord));
    tagVMsgRecord* rec = ::new (block) tagVMsgRecord;
    rec->m_pJVM = nullptr;
    rec->m_midPostMessage = nullptr;
    rec->m_clsVMsg = nullptr;
    rec->m_pWalks = nullptr;
    rec->m_nRefs = 1;  // the bus's own, dropped by GlobalUnInit
    rec->m_cMutex.Create(kMutexName);
    {
        CVLockGuard<CVMutex> lock(s_recordLock);
        __atomic_store_n(&m_hMsg, static_cast<void*>(rec), __ATOMIC_RELEASE);
    }
    if (!VMsg_JNI_InitEnv()) {
        GlobalUnInit();
        return 0;
    }
    return 1;
}

void CVMsg::GlobalUnInit() {
    tagVMsgRecord* rec = VMsg_Record();
    if (rec == nullptr) return;
    VMsg_JNI_UnInitEnv();
    {
        CVLockGuard<CVMutex> lock(s_recordLock);
        __atomic_store_n(&m_hMsg, static_cast<void*>(nullptr), __ATOMIC_RELEASE);
    }
    // The registrations go with the bus: a delivery that still holds the
    // record, on the Java looper thread or in an Update on this very thread,
    // calls no observer from here on.
    {
        CVLockGuard<CVMutex> lock(rec->m_cMutex);
        RemoveAllPairs(rec);
    }
    CVMsgRef::Release(rec);
}

int CVMsg::PostMessage(unsigned int id, unsigned int wParam, int lParam) {
    if (VMsg_Record() == nullptr) {
        RecordError("Error: not initialized", __LINE__);
        return 0;
    }
    if (id <= kAllMsgs) {
        RecordError("Error: invalid paramters", __LINE__);
        return 0;
    }
    return VMsg_JNI_PostMessage(id, wParam, lParam);
}

int CVMsg::SendMessage(unsigned int id, unsigned int wParam, int lParam) {
    if (id <= kAllMsgs) return 0;
    return DispatchVMsgToObservers(id, wParam, lParam);
}

int CVMsg::AttachMsgObserver(unsigned int id, CVMsgObserver* observer) {
    CVMsgRef ref;
    tagVMsgRecord* rec = ref.Get();
    if (observer == nullptr || rec == nullptr || id <= kAllMsgs) return 0;
    CVLockGuard<CVMutex> lock(rec->m_cMutex);
    const int size = rec->m_arrObservers.GetSize();
    for (int i = 0; i < size; ++i) {
        const _VMsgCmdIDObserverPair_t& pair = rec->m_arrObservers[i];
        if (pair.pObserver == observer && (pair.nCmdID == id || pair.nCmdID == kAllMsgs)) return 0;
    }
    _VMsgCmdIDObserverPair_t pair = {observer, id};
    return rec->m_arrObservers.Add(pair) >= 0 ? 1 : 0;
}

int CVMsg::DetachMsgObserver(unsigned int id, CVMsgObserver* observer) {
    CVMsgRef ref;
    tagVMsgRecord* rec = ref.Get();
    if (observer == nullptr || rec == nullptr || id <= kAllMsgs) return 0;
    CVLockGuard<CVMutex> lock(rec->m_cMutex);
    const int size = rec->m_arrObservers.GetSize();
    for (int i = 0; i < size; ++i) {
        const _VMsgCmdIDObserverPair_t& pair = rec->m_arrObservers[i];
        if (pair.pObserver == observer && pair.nCmdID == id) {
            RemovePairAt(rec, i);
            return 1;
        }
    }
    return 0;
}

int CVMsg::AttachAllMsgsObserver(CVMsgObserver* observer) {
    CVMsgRef ref;
    tagVMsgRecord* rec = ref.Get();
    if (observer == nullptr || rec == nullptr) return 0;
    DetachAllMsgsObserver(observer);
    CVLockGuard<CVMutex> lock(rec->m_cMutex);
    _VMsgCmdIDObserverPair_t pair = {observer, kAllMsgs};
    return rec->m_arrObservers.Add(pair) >= 0 ? 1 : 0;
}

int CVMsg::DetachAllMsgsObserver(CVMsgObserver* observer) {
    CVMsgRef ref;
    tagVMsgRecord* rec = ref.Get();
    if (observer == nullptr || rec == nullptr) return 0;
    CVLockGuard<CVMutex> lock(rec->m_cMutex);
    int removed = 0;
    int i = 0;
    while (i < rec->m_arrObservers.GetSize()) {
        if (rec->m_arrObservers[i].pObserver == observer) {
            RemovePairAt(rec, i);
            removed = 1;
        } else {
            ++i;
        }
    }
    return removed;
}

int CVMsg::RemoveAllMsgObserver() {
    CVMsgRef ref;
    tagVMsgRecord* rec = ref.Get();
    if (rec == nullptr) return 0;
    CVLockGuard<CVMutex> lock(rec->m_cMutex);
    RemoveAllPairs(rec);
    return 1;
}

VOS_NAMESPACE_END

using _palex_zu::CVLockGuard;
using _palex_zu::CVMsgRef;
using _palex_zu::CVMutex;
using _palex_zu::tagVMsgRecord;
using _palex_zu::CVObserverWalk;
using _palex_zu::VMsg_Record;

int DispatchVMsgToObservers(unsigned int id, unsigned int wParam, int lParam) {
    if (id <= 16) return 0;
    // Held until the walk is over: the last GlobalUnInit may run meanwhile,
    // on another thread or in an Update, and must not free the record under
    // the walk.
    CVMsgRef ref;
    tagVMsgRecord* rec = ref.Get();
    if (rec == nullptr) return 0;
    CVLockGuard<CVMutex> lock(rec->m_cMutex);
    // The walk visits the pairs present when it starts; pairs appended by an
    // Update wait for the next message, pairs removed by one are skipped.
    CVObserverWalk walk(rec->m_pWalks, rec->m_arrObservers.GetSize());
    int called = 0;
    for (int i = walk.Next(); i >= 0; i = walk.Next()) {
        const _palex_zu::_VMsgCmdIDObserverPair_t pair = rec->m_arrObservers[i];
        if ((pair.nCmdID != id && pair.nCmdID != 16) || pair.pObserver == nullptr) continue;
        called = 1;
        if (pair.pObserver->Update(id, wParam, lParam) != 0) break;
    }
    return called;
}

// The record's Java members are cleared by a stop while a post on another
// thread (the timer thread's, say) may read them.
template <typename T>
static T VMsg_Load(T& member) {
    return __atomic_load_n(&member, __ATOMIC_ACQUIRE);
}
template <typename T>
static void VMsg_Store(T& member, T value) {
    __atomic_store_n(&member, value, __ATOMIC_RELEASE);
}

int VMsg_JNI_InitEnv() {
    tagVMsgRecord* rec = VMsg_Record();
    if (rec == nullptr) return 0;
    JavaVM* vm = JVMContainer::GetJVM();
    VMsg_Store(rec->m_pJVM, vm);
    if (vm == nullptr) return 0;
    // No attaching here: the bus is set up on a thread the VM knows, so that
    // the classes are found through that thread's class loader. Every class
    // the library calls is resolved now, for the threads that cannot find
    // them later.
    JNIEnv* env = nullptr;
    if (VJni_GetEnv(vm, &env, JNI_VERSION_1_4) != JNI_OK || env == nullptr) return 0;
    _palex_zu::VJni_ResolveClasses(env);
    // The record holds the class the library keeps while it is loaded, not a
    // reference of its own: a post under way on another thread may still be
    // using it when the bus stops, and no stop, from whichever thread, has a
    // reference to delete.
    jclass cls = _palex_zu::VJni_Class(_palex_zu::VJNI_CLASS_MSG);
    if (cls == nullptr) return 0;
    VMsg_Store(rec->m_clsVMsg, cls);
    jmethodID method = env->functions->GetStaticMethodID(env, cls, "postMessage", "(III)V");
    if (method == nullptr) {
        _palex_zu::VJni_TakeException(env);
        return 0;
    }
    VMsg_Store(rec->m_midPostMessage, method);
    return 1;
}

void VMsg_JNI_UnInitEnv() {
    tagVMsgRecord* rec = VMsg_Record();
    if (rec == nullptr) return;
    VMsg_Store(rec->m_clsVMsg, static_cast<jclass>(nullptr));
    VMsg_Store(rec->m_pJVM, static_cast<JavaVM*>(nullptr));
    VMsg_Store(rec->m_midPostMessage, static_cast<jmethodID>(nullptr));
}

int VMsg_JNI_PostMessage(unsigned int id, unsigned int wParam, int lParam) {
    // The timer thread posts outside the library's start and stop: the
    // record stays alive for the call.
    CVMsgRef ref;
    tagVMsgRecord* rec = ref.Get();
    if (rec == nullptr) return 0;
    JavaVM* vm = VMsg_Load(rec->m_pJVM);
    if (vm == nullptr) return 0;
    JNIEnv* env = nullptr;
    bool attached = false;
    if (VJni_GetEnv(vm, &env, JNI_VERSION_1_4) != JNI_OK) {
        env = nullptr;
        if (VJni_AttachCurrentThread(vm, &env) != JNI_OK) return 0;
        attached = true;
    }
    // A stop may clear these meanwhile; the class itself stays valid.
    jclass cls = VMsg_Load(rec->m_clsVMsg);
    jmethodID method = VMsg_Load(rec->m_midPostMessage);
    int result = 0;
    if (env != nullptr && cls != nullptr && method != nullptr) {
        env->CallStaticVoidMethod(cls, method, static_cast<jint>(id), static_cast<jint>(wParam),
                                  static_cast<jint>(lParam));
        // postMessage threw: the message never went out.
        result = _palex_zu::VJni_TakeException(env) ? 0 : 1;
    }
    if (attached) vm->DetachCurrentThread();
    return result;
}

void Java_com_palex_zu_VMsg_OnUserCommand(JNIEnv* env, jclass cls, jint id, jint wParam, jint lParam) {
    const unsigned int msgId = static_cast<unsigned int>(id);
    if (msgId <= 16) return;
    DispatchVMsgToObservers(msgId, static_cast<unsigned int>(wParam), lParam);
}
