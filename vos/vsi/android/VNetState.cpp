#include <android/log.h>
#include <new>

#include "vos/VMem.h"
#include "vos/VObserver.h"

namespace {
const char kLogTag[] = "CVUtilsTelephony";
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
