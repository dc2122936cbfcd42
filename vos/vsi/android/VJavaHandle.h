// The Java object behind the GPS manager and the compass: creation of the
// object with its global references and lookups, and their release.
#ifndef VOS_VSI_ANDROID_VJAVAHANDLE_H
#define VOS_VSI_ANDROID_VJAVAHANDLE_H

#include <jni.h>

#include "vos/VDefine.h"
#include "vos/VGpsMan.h"
#include "vsi/android/VJniHelper.h"

VOS_NAMESPACE_BEGIN

// The module tag under which the device services report failures.
extern const char kDeviceModuleTag[];

// Hands message to the last-error store under the device services' tag.
void VDevice_RecordError(const char* message, const char* file, unsigned int line);

// A zero-filled record from the memory facade, or null.
_VJavaHandle_t* VJavaHandle_Allocate();

// Fills handle step by step: the class (resolved at start-up, else looked up
// on the calling thread), the constructor, the object, the
// "init" and "unInit" methods (both of signature lifecycleSignature) and the
// int field "mJniData". Stops at the first step that fails and returns its
// message (the steps before it stay filled); null when every step succeeded.
// A failed lookup's Java exception is described and cleared.
const char* VJavaHandle_Fill(JNIEnv* env, _VJavaHandle_t* handle, EVJniClass which,
                             const char* lifecycleSignature);

// Deletes the global references the record holds and frees it.
void VJavaHandle_Release(JNIEnv* env, _VJavaHandle_t* handle);

VOS_NAMESPACE_END

#endif  // VOS_VSI_ANDROID_VJAVAHANDLE_H
