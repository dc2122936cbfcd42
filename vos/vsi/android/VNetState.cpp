#include <android/log.h>
#include <new>

#include "vos/VMem.h"
#include "vos/VObserver.h"
#include "vbase/VLockGuard.h"
#include "vbase/VProcessLock.h"

namespace {
const char kLogTag[] = "CVUtilsTelephony";
// The host's threads and the Java thread that reports a change may ask for
// the instance first at the same moment: one of them makes it.
_palex_zu::CVProcessLock s_instanceLock;
}

CVNetStateObservable* CVNetStateObservable::_instance = nullptr;

CVNetStateObserver::CVNetStateObserver(void (*callback)()) : m_pfnCallback(callback) {}

CVNetStateObserver::~CVNetStateObserver() {}

void CVNetStateObserver::update() {
    __android_log_print(ANDROID_LOG_DEBUG, kLogTag, "update");
    if (m_pfnCallback != nullptr) m_pfnCallback();
}

CVNetStateObservable* CVNetStateObservable::getInstance() {
    __android_log_print(ANDROID_LOG_DEBUG, kLogTag, "getInstance");
    _palex_zu::CVLockGuard<_palex_zu::CVMutex> lock(s_instanceLock);
    if (_instance == nullptr) {
        void* block = _palex_zu::CVMem::Allocate(sizeof(CVNetStateObservable), "vos/vsi/android/VNetState", __LINE__);
        if (block != nullptr) _instance = ::new (block) CVNetStateObservable;
    }
    return _instance;
}

void Java_com_palex_zu_VDeviceAPI_onNetworkStateChanged(JNIEnv* env, jclass cls) {
    CVNetStateObservable* observable = CVNetStateObservable::getInstance();
    if (observable != nullptr) observable->notifyObservers();
}
