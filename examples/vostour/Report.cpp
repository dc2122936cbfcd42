// The tour's report on standard output, and the waits of its main thread.
#include <jni.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "Tour.h"

using namespace _palex_zu;

namespace vostour {

namespace {

const auto g_start = std::chrono::steady_clock::now();
int g_step = 0;
// Lines printed by callbacks on other threads must not interleave.
std::mutex g_printLock;
std::mutex g_waitLock;
std::condition_variable g_waitCv;

}  // namespace

long Ms() {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - g_start).count());
}

int StepsDone() { return g_step; }

void Say(const char* format, ...) {
    std::lock_guard<std::mutex> hold(g_printLock);
    printf("    ");
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    printf("\n");
    fflush(stdout);
}

// The file takes the text as it is, so each entry brings its own line break.
void LogLine(CVLog::ELOGPRIORITY priority, const char* format, ...) {
    const std::string line = std::string(format) + "\n";
    va_list args;
    va_start(args, format);
    CVLog::Print(priority, line.c_str(), args);
    va_end(args);
}

void Step(const char* title) {
    std::lock_guard<std::mutex> hold(g_printLock);
    printf("\n[%d] %s  (t=%ld ms)\n", ++g_step, title, Ms());
    fflush(stdout);
}

[[noreturn]] void Fail(const char* format, ...) {
    char why[512];
    va_list args;
    va_start(args, format);
    vsnprintf(why, sizeof why, format, args);
    va_end(args);
    printf("    FAILED: %s\n", why);
    fflush(stdout);
    fprintf(stderr, "vostour: step %d failed: %s\n", g_step, why);
    exit(1);
}

void Signal() {
    std::lock_guard<std::mutex> hold(g_waitLock);
    g_waitCv.notify_all();
}

bool WaitUntil(const std::function<bool()>& done, long limitMs) {
    std::unique_lock<std::mutex> hold(g_waitLock);
    return g_waitCv.wait_for(hold, std::chrono::milliseconds(limitMs), done);
}

std::string JavaThreadName() {
    JNIEnv* env = nullptr;
    JavaVM* vm = JVMContainer::GetJVM();
    if (vm == nullptr || vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_6) != JNI_OK) return "";
    jclass threadClass = env->FindClass("java/lang/Thread");
    jmethodID current = GetStaticMethodID(env, threadClass, "currentThread", "()Ljava/lang/Thread;");
    jmethodID getName = GetMethodID(env, threadClass, "getName", "()Ljava/lang/String;");
    std::string name;
    if (current != nullptr && getName != nullptr) {
        jobject thread = env->CallStaticObjectMethod(threadClass, current);
        jstring jname = static_cast<jstring>(env->CallObjectMethod(thread, getName));
        CVString text;
        convertJStringToCVString(env, jname, text);
        name = Utf8(text);
        env->DeleteLocalRef(jname);
        env->DeleteLocalRef(thread);
    }
    env->DeleteLocalRef(threadClass);
    return name;
}

}  // namespace vostour
