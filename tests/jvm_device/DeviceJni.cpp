#include "DeviceJni.h"

#include <stdarg.h>

#include <gtest/gtest.h>

#include "JvmHost.h"
#include "vos/vos.h"

namespace devtest {

namespace {

JNIEnv* Env() { return vostest::MainEnv(); }

jclass Find(const char* cls) {
    jclass found = Env()->FindClass(cls);
    EXPECT_NE(nullptr, found) << cls;
    if (found == nullptr) Env()->ExceptionClear();
    return found;
}

jfieldID Field(jclass cls, const char* field, const char* signature) {
    jfieldID id = Env()->GetStaticFieldID(cls, field, signature);
    EXPECT_NE(nullptr, id) << field;
    if (id == nullptr) Env()->ExceptionClear();
    return id;
}

// Runs set on the static field, then releases the class reference.
template <typename F>
void WithField(const char* cls, const char* field, const char* signature, F set) {
    jclass c = Find(cls);
    if (c == nullptr) return;
    jfieldID id = Field(c, field, signature);
    if (id != nullptr) set(c, id);
    Env()->DeleteLocalRef(c);
}

}  // namespace

void SetLong(const char* cls, const char* field, jlong value) {
    WithField(cls, field, "J", [&](jclass c, jfieldID id) { Env()->SetStaticLongField(c, id, value); });
}

void SetInt(const char* cls, const char* field, jint value) {
    WithField(cls, field, "I", [&](jclass c, jfieldID id) { Env()->SetStaticIntField(c, id, value); });
}

void SetBool(const char* cls, const char* field, bool value) {
    WithField(cls, field, "Z",
              [&](jclass c, jfieldID id) { Env()->SetStaticBooleanField(c, id, value ? JNI_TRUE : JNI_FALSE); });
}

void SetFloat(const char* cls, const char* field, jfloat value) {
    WithField(cls, field, "F", [&](jclass c, jfieldID id) { Env()->SetStaticFloatField(c, id, value); });
}

void SetString(const char* cls, const char* field, const char16_t* value) {
    WithField(cls, field, "Ljava/lang/String;", [&](jclass c, jfieldID id) {
        jstring s = nullptr;
        if (value != nullptr) {
            s = Env()->NewString(reinterpret_cast<const jchar*>(value),
                                 static_cast<jsize>(std::char_traits<char16_t>::length(value)));
        }
        Env()->SetStaticObjectField(c, id, s);
        if (s != nullptr) Env()->DeleteLocalRef(s);
    });
}

void SetObject(const char* cls, const char* field, const char* signature, jobject value) {
    WithField(cls, field, signature, [&](jclass c, jfieldID id) { Env()->SetStaticObjectField(c, id, value); });
}

jint GetInt(const char* cls, const char* field) {
    jint value = -12345;
    WithField(cls, field, "I", [&](jclass c, jfieldID id) { value = Env()->GetStaticIntField(c, id); });
    return value;
}

jlong GetLong(const char* cls, const char* field) {
    jlong value = -12345;
    WithField(cls, field, "J", [&](jclass c, jfieldID id) { value = Env()->GetStaticLongField(c, id); });
    return value;
}

void CallVoid(const char* cls, const char* name, const char* signature, ...) {
    jclass c = Find(cls);
    if (c == nullptr) return;
    jmethodID m = Env()->GetStaticMethodID(c, name, signature);
    EXPECT_NE(nullptr, m) << name;
    if (m != nullptr) {
        va_list args;
        va_start(args, signature);
        Env()->CallStaticVoidMethodV(c, m, args);
        va_end(args);
    }
    EXPECT_FALSE(TookException()) << name;
    Env()->DeleteLocalRef(c);
}

jobject CallObject(const char* cls, const char* name, const char* signature, ...) {
    jclass c = Find(cls);
    if (c == nullptr) return nullptr;
    jobject result = nullptr;
    jmethodID m = Env()->GetStaticMethodID(c, name, signature);
    EXPECT_NE(nullptr, m) << name;
    if (m != nullptr) {
        va_list args;
        va_start(args, signature);
        result = Env()->CallStaticObjectMethodV(c, m, args);
        va_end(args);
    }
    EXPECT_FALSE(TookException()) << name;
    Env()->DeleteLocalRef(c);
    return result;
}

LibraryUp::LibraryUp() {
    _palex_zu::_VosEnv_t env;
    EXPECT_EQ(1, _palex_zu::CVVos::GlobalInit(env));
}

LibraryUp::~LibraryUp() { _palex_zu::CVVos::GlobalUnInit(); }

std::string Utf8(jstring s) {
    if (s == nullptr) return "<null>";
    const char* chars = Env()->GetStringUTFChars(s, nullptr);
    std::string out = chars ? chars : "";
    if (chars) Env()->ReleaseStringUTFChars(s, chars);
    return out;
}

std::string TakeCalls() {
    jstring calls = static_cast<jstring>(CallObject(kApi, "takeCalls", "()Ljava/lang/String;"));
    std::string out = Utf8(calls);
    if (calls) Env()->DeleteLocalRef(calls);
    return out;
}

bool TookException() {
    if (!Env()->ExceptionCheck()) return false;
    Env()->ExceptionClear();
    return true;
}

}  // namespace devtest
