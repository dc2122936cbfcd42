// Scripting the Java test classes from native tests: static fields set and
// read by name, static methods called by name, all on the main thread's
// environment. A failed lookup fails the current test.
#ifndef VOS_TESTS_JVM_DEVICE_DEVICEJNI_H
#define VOS_TESTS_JVM_DEVICE_DEVICEJNI_H

#include <jni.h>

#include <string>

namespace devtest {

const char kApi[] = "com/palex/zu/VDeviceAPI";
const char kGps[] = "com/palex/zu/VGps";
const char kCompass[] = "com/palex/zu/VCompass";

void SetLong(const char* cls, const char* field, jlong value);
void SetInt(const char* cls, const char* field, jint value);
void SetBool(const char* cls, const char* field, bool value);
void SetFloat(const char* cls, const char* field, jfloat value);
// A null value stores a Java null.
void SetString(const char* cls, const char* field, const char16_t* value);
void SetObject(const char* cls, const char* field, const char* signature, jobject value);
jint GetInt(const char* cls, const char* field);
jlong GetLong(const char* cls, const char* field);

// Calls a static method; the result of object methods is a local reference.
void CallVoid(const char* cls, const char* name, const char* signature, ...);
jobject CallObject(const char* cls, const char* name, const char* signature, ...);

// The library started (CVVos::GlobalInit) for the holder's scope, on the main
// thread, which Java called into: from then on threads that native code
// attached reach the companion classes too.
class LibraryUp {
public:
    LibraryUp();
    ~LibraryUp();

private:
    LibraryUp(const LibraryUp&);
    LibraryUp& operator=(const LibraryUp&);
};

// The scriptable device's call record since the last take ("name(args);...").
std::string TakeCalls();
// A Java string as UTF-8, "<null>" for null.
std::string Utf8(jstring s);
// True when an exception is pending on the main thread (it is cleared).
bool TookException();

}  // namespace devtest

#endif  // VOS_TESTS_JVM_DEVICE_DEVICEJNI_H
