#include <gtest/gtest.h>

#include <string>

#include "JvmHost.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using _palex_zu::CVString;

TEST(JniBridge, FirstVmStaysRecorded) {
    JavaVM* recorded = JVMContainer::GetJVM();
    ASSERT_EQ(vostest::Jvm(), recorded);
    JVMContainer::InitVM(reinterpret_cast<JavaVM*>(&recorded));  // never dereferenced: it must be ignored
    EXPECT_EQ(vostest::Jvm(), JVMContainer::GetJVM());
    JVMContainer::InitVM(nullptr);
    EXPECT_EQ(vostest::Jvm(), JVMContainer::GetJVM());
}

TEST(JniBridge, GetEnvironmentAttachesAnUnknownThreadForGood) {
    vostest::OnNativeThread([] {
        ASSERT_EQ(JNI_EDETACHED, vostest::AttachState());
        JNIEnv* first = nullptr;
        EXPECT_EQ(0, JVMContainer::GetEnvironment(&first));
        ASSERT_NE(nullptr, first);
        JNIEnv* second = nullptr;
        EXPECT_EQ(0, JVMContainer::GetEnvironment(&second));
        EXPECT_EQ(first, second);
        EXPECT_EQ(JNI_OK, vostest::AttachState());
        // The environment works on this thread.
        jclass cls = first->FindClass("java/lang/String");
        EXPECT_NE(nullptr, cls);
        first->DeleteLocalRef(cls);
        vostest::Jvm()->DetachCurrentThread();
    });
}

TEST(JniBridge, GetEnvironmentOnTheVmsOwnThreadGivesItsEnvironment) {
    JNIEnv* env = nullptr;
    EXPECT_EQ(0, JVMContainer::GetEnvironment(&env));
    EXPECT_EQ(vostest::MainEnv(), env);
}

TEST(JniBridge, MethodLookupsLeaveNoExceptionPending) {
    JNIEnv* env = vostest::MainEnv();
    jclass integer = env->FindClass("java/lang/Integer");
    jclass string = env->FindClass("java/lang/String");
    ASSERT_NE(nullptr, integer);
    ASSERT_NE(nullptr, string);

    struct Case {
        bool isStatic;
        jclass cls;
        const char* name;
        const char* signature;
        bool found;
    } cases[] = {
        {true, integer, "parseInt", "(Ljava/lang/String;)I", true},
        {true, integer, "noSuchMethod", "()V", false},
        {true, integer, "parseInt", "(I)I", false},          // wrong signature
        {true, string, "length", "()I", false},              // an instance method
        {false, string, "length", "()I", true},
        {false, string, "noSuchMethod", "()V", false},
        {false, integer, "parseInt", "(Ljava/lang/String;)I", false},  // a static method
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + c.signature);
        jmethodID id = c.isStatic ? GetStaticMethodID(env, c.cls, c.name, c.signature)
                                  : GetMethodID(env, c.cls, c.name, c.signature);
        EXPECT_EQ(c.found, id != nullptr);
        EXPECT_FALSE(env->ExceptionCheck());
    }
    // The thread's next JNI call works after a failed lookup.
    jstring text = env->NewStringUTF("42");
    jmethodID parse = GetStaticMethodID(env, integer, "parseInt", "(Ljava/lang/String;)I");
    EXPECT_EQ(42, env->CallStaticIntMethod(integer, parse, text));

    EXPECT_EQ(nullptr, GetMethodID(env, nullptr, "length", "()I"));
    EXPECT_EQ(nullptr, GetStaticMethodID(env, nullptr, "parseInt", "(Ljava/lang/String;)I"));
    EXPECT_EQ(nullptr, GetMethodID(nullptr, string, "length", "()I"));
    EXPECT_EQ(nullptr, GetStaticMethodID(nullptr, integer, "parseInt", "(Ljava/lang/String;)I"));
    EXPECT_FALSE(env->ExceptionCheck());
    env->DeleteLocalRef(text);
    env->DeleteLocalRef(integer);
    env->DeleteLocalRef(string);
}

TEST(JniBridge, JavaStringsCopyUnitForUnit) {
    JNIEnv* env = vostest::MainEnv();
    CVString out(vostest::Units(vostest::U16("stale")));

    _palex_zu::convertJStringToCVString(env, nullptr, out);
    EXPECT_EQ(0, out.GetLength());

    const std::u16string samples[] = {
        u"",
        u"plain",
        std::u16string(u"\u4e2d\u6587 caf\u00e9", 7),
        std::u16string(u"a\0b\0", 4),                      // embedded and trailing zero units
        std::u16string(u"\U0001F600\xD800x", 4),           // a pair and a lone surrogate
    };
    for (const std::u16string& sample : samples) {
        jstring js = env->NewString(reinterpret_cast<const jchar*>(sample.data()), static_cast<jsize>(sample.size()));
        ASSERT_NE(nullptr, js);
        out = CVString(vostest::Units(vostest::U16("stale")));
        _palex_zu::convertJStringToCVString(env, js, out);
        ASSERT_EQ(static_cast<int>(sample.size()), out.GetLength());
        if (!sample.empty()) {
            EXPECT_EQ(0, memcmp(sample.data(), out.GetBuffer(0), sample.size() * 2));
        }
        env->DeleteLocalRef(js);
    }
    EXPECT_FALSE(env->ExceptionCheck());
}
