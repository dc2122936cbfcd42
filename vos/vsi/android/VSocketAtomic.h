// Whole-word loads and stores for the socket fields that the client threads
// and the socket worker read and write without a common lock (state,
// descriptor, time-out, clocks, callbacks). Each field is one aligned word;
// these make that explicit to the compiler and to the thread checker.
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

VOS_NAMESPACE_END

#endif  // VOS_VSI_ANDROID_VSOCKETATOMIC_H
