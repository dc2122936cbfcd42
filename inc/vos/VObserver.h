/// @file
/// Observers: a minimal observer pattern (CVObserver, CVObservable) and its
/// use for network-state changes, which the Java side reports through the
/// native method com.palex.zu.VDeviceAPI.onNetworkStateChanged.
///
/// An observable keeps a list of observers it does not own; the most recently
/// added one is notified first, and adding an observer twice makes it called
/// twice. No operation takes a lock: registration and notification must not
/// overlap, and an update() must not change the list it is notified from.
/// These classes are global, outside the library namespace.
#ifndef VOS_VOBSERVER_H
#define VOS_VOBSERVER_H

#include <jni.h>

#include "vos/VDefine.h"

/// What an observer implements.
class CVObserver {
public:
    /// Called by the observable it was added to.
    virtual void update() = 0;
    virtual ~CVObserver() {}
};

/// A list of observers, notified most recently added first.
class VOS_API CVObservable {
public:
    CVObservable();
    /// Frees the list nodes; the observers are not the observable's to free.
    ~CVObservable();

    /** @name The list */
    ///@{
    /// addObserver puts observer at the head of the list; deleteObserver
    /// removes its most recent registration; notifyObservers calls update on
    /// every observer, head first.
    virtual void addObserver(CVObserver* observer);
    virtual void deleteObserver(CVObserver* observer);
    virtual void notifyObservers();
    ///@}

    /// One list node.
    struct tagObserverNode {
        ///@{
        /// The observer and the next node.
        CVObserver* pObserver;
        tagObserverNode* pNext;
        ///@}
    };
    /// The first node, or null.
    tagObserverNode* m_pHead;

private:
    CVObservable(const CVObservable&);
    CVObservable& operator=(const CVObservable&);
};

/// Calls a plain function on every network-state change.
class VOS_API CVNetStateObserver : public CVObserver {
public:
    /// Keeps callback; the destructor does nothing else.
    explicit CVNetStateObserver(void (*callback)());
    virtual ~CVNetStateObserver();
    /// Calls the callback (nothing when it is null).
    virtual void update();

    /// The function to call.
    void (*m_pfnCallback)();
};

/// The process-wide observable of network-state changes; created on first
/// use and never destroyed.
class VOS_API CVNetStateObservable : public CVObservable {
public:
    /// The instance, created on first use.
    static CVNetStateObservable* getInstance();

    /// The instance, or null before the first getInstance.
    static CVNetStateObservable* _instance;
};

/// Native method of com.palex.zu.VDeviceAPI: notifies the observers of
/// CVNetStateObservable on the reporting Java thread.
extern "C" VOS_API void Java_com_palex_zu_VDeviceAPI_onNetworkStateChanged(JNIEnv* env, jclass cls);

#endif  // VOS_VOBSERVER_H
