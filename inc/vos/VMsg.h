/// @file
/// Message bus: messages (id, wParam, lParam) delivered to registered
/// observers, either at once on the sending thread (SendMessage) or later,
/// after a trip out through the Java class com.palex.zu.VMsg and back on its
/// looper thread (PostMessage).
///
/// Ids 0 to 16 are reserved; usable ids start at 17. Observers are called in
/// registration order until one returns non-zero from Update. Update runs with
/// the bus lock held, on the delivering thread; the lock is recursive, so
/// Update may send, post, attach and detach on that thread, and an observer
/// it detaches is not called by the delivery under way. The bus is brought up
/// by CVVos::GlobalInit on a thread the VM already knows.
#ifndef VOS_VMSG_H
#define VOS_VMSG_H

#include <jni.h>
#include <stdint.h>

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

/// What a client implements to receive messages. Only Update is called by the
/// library.
class CVMsgObserver {
public:
    virtual ~CVMsgObserver() {}
    /// Returns non-zero to consume the message: later observers do not see it.
    virtual int Update(unsigned int id, unsigned int wParam, int lParam) = 0;
};

/// One registration; id 16 stands for all messages.
struct _VMsgCmdIDObserverPair_t {
    ///@{
    /// The observer and the id it is registered for.
    CVMsgObserver* pObserver;
    uint32_t nCmdID;
    ///@}
};

/// The message bus: static members only.
class VOS_API CVMsg {
public:
    /** @name Bus lifecycle */
    ///@{
    /// Bring the bus and its Java class up (1 on success) and down; called by
    /// CVVos::GlobalInit and GlobalUnInit.
    static int GlobalInit();
    static void GlobalUnInit();
    ///@}

    /// 1 when the Java method took the message; 0 when it could not be called
    /// or threw (the exception is described and cleared).
    static int PostMessage(unsigned int id, unsigned int wParam, int lParam);
    /// Delivers on the calling thread; 1 when at least one observer was called.
    static int SendMessage(unsigned int id, unsigned int wParam, int lParam);

    /** @name Registration */
    ///@{
    /// Attach registers observer for one id, or for all messages; Detach
    /// removes that one registration, respectively every registration of the
    /// observer; RemoveAllMsgObserver empties the table. 1 on success.
    static int AttachMsgObserver(unsigned int id, CVMsgObserver* observer);
    static int DetachMsgObserver(unsigned int id, CVMsgObserver* observer);
    static int AttachAllMsgsObserver(CVMsgObserver* observer);
    static int DetachAllMsgsObserver(CVMsgObserver* observer);
    static int RemoveAllMsgObserver();
    ///@}

    /// The bus record; null while the bus is down.
    static void* m_hMsg;
};

VOS_NAMESPACE_END

extern "C" {
/// Delivers one message to the observers; 1 when at least one was called.
VOS_API int DispatchVMsgToObservers(unsigned int id, unsigned int wParam, int lParam);
/** @name Java side of the bus */
///@{
/// Set up (1 on success) and tear down the Java class and method, and call
/// its postMessage (1 when it took the message, 0 when it threw).
VOS_API int VMsg_JNI_InitEnv();
VOS_API void VMsg_JNI_UnInitEnv();
VOS_API int VMsg_JNI_PostMessage(unsigned int id, unsigned int wParam, int lParam);
///@}
/// Native method of com.palex.zu.VMsg: hands a posted message back to the
/// observers on the calling Java thread.
VOS_API void Java_com_palex_zu_VMsg_OnUserCommand(JNIEnv* env, jclass cls, jint id, jint wParam, jint lParam);
}

#endif  // VOS_VMSG_H
