// Observers: a minimal observer pattern (CVObserver, CVObservable) and its
// use for network-state changes, which the Java side reports through the
// native method com.palex.zu.VDeviceAPI.onNetworkStateChanged.
//
// An observable keeps a list of observers it does not own; the most recently
// added one is notified first, and adding an observer twice makes it called
// twice. No operation takes a lock: registration and notification must not
// overlap, and an update() must not change the list it is notified from.
// These classes are global, outside the library namespace.
#ifndef VOS_VOBSERVER_H
#define VOS_VOBSERVER_H

#include <jni.h>

#include "vos/VDefine.h"

class CVObserver {
public:
    virtual void update() = 0;
    virtual ~CVObserver() {}
};

class VOS_API CVObservable {
public:
    CVObservable();
    // Frees the list nodes; the observers are not the observable's to free.
    ~CVObservable();

    virtual void addObserver(CVObserver* observer);
    virtual void deleteObserver(CVObserver* observer);
    virtual void notifyObservers();

    struct tagObserverNode {
        CVObserver* pObserver;
        tagObserverNode* pNext;
    };
    tagObserverNode* m_pHead;

private:
    CVObservable(const CVObservable&);
    CVObservable& operator=(const CVObservable&);
};

// Calls a plain function on every network-state change.
class VOS_API CVNetStateObserver : public CVObserver {
public:
    explicit CVNetStateObserver(void (*callback)());
    virtual ~CVNetStateObserver();
    virtual void update();

    void (*m_pfnCallback)();
};

// The process-wide observable of network-state changes; created on first
// use and never destroyed.
class VOS_API CVNetStateObservable : public CVObservable {
public:
    static CVNetStateObservable* getInstance();

    static CVNetStateObservable* _instance;
};

extern "C" VOS_API void Java_com_palex_zu_VDeviceAPI_onNetworkStateChanged(JNIEnv* env, jclass cls);

#endif  // VOS_VOBSERVER_H
