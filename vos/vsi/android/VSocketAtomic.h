// Whole-word loads and stores for the socket fields that the client threads
// and the socket worker read and write without a common lock (state,
// descriptor, time-out, clocks, callbacks). Each field is one aligned word;
// these make that explicit to the compiler and to the thread checker. Also
// the note of a failed send that Send leaves for the worker.
#ifndef VOS_VSI_ANDROID_VSOCKETATOMIC_H
#define VOS_VSI_ANDROID_VSOCKETATOMIC_H

VOS_NAMESPACE_BEGIN

template <typename T>
inline T V_SharedLoad(const T& field) {
    return __atomic_load_n(&field, __ATOMIC_ACQUIRE);
}

template <typename T>
inline void V_SharedStore(T& field, T value) {
    __atomic_store_n(&field, value, __ATOMIC_RELEASE);
}

class CVSocket;

// Whether the last send of a socket failed, kept beside the socket for the
// worker (the socket's own members are fixed). Send notes every outcome; the
// worker takes the note when it finds the sending socket writable and
// announces a failure instead of a completed send; the socket's destructor
// drops it.
void V_NoteSendResult(CVSocket* socket, int failed);
// 1 when the last send of socket failed; the note is dropped.
int V_TakeSendFailure(CVSocket* socket);
// Whether the worker skipped the socket's Create for a kept connection; the
// next Connect takes the note. The socket's destructor drops it.
void V_NoteKeptCreate(CVSocket* socket, int skipped);
int V_TakeKeptCreate(CVSocket* socket);
// Wakes every running socket worker (the resolver, after filling the cache).
void V_WakeSocketWorkers();

VOS_NAMESPACE_END

#endif  // VOS_VSI_ANDROID_VSOCKETATOMIC_H
