// vostour: the whole library end to end, the way an SDK uses it on a device.
//
// It plays the part of the application process: it starts a Java VM with the
// companion classes, hands the VM to the library, brings the library up, and
// then walks through the families one step at a time: log file, message bus,
// timer ticks that travel out through Java and back, code-page conversion, an
// HTTP fetch through the socket manager, device facts and a GPS fix from the
// companion classes. It shuts everything down in order and prints a short
// report of each step on standard output. The library's system log (the
// Android log on a device) goes to standard error.
//
//   vostour --classpath JAR --libpath DIR [--url http://host:port/path]
//           [--log FILE] [--sample GBK-FILE]
//
// Exit status 0 when every step worked; 1 when a step failed (the report
// names it); 64 for a usage error.
#include <jni.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

// ---- report ----------------------------------------------------------------

const auto g_start = std::chrono::steady_clock::now();
int g_step = 0;
// Lines printed by callbacks on other threads must not interleave.
std::mutex g_printLock;

long Ms() {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - g_start).count());
}

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
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

// One entry for the system log and, once it is open, the log file. The file
// takes the text as it is, so each entry brings its own line break.
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

[[noreturn]] void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
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

// Callbacks on other threads set atomic flags and counters, then Signal();
// the main thread waits in WaitUntil. Predicates only read atomics, so no
// lock of the tour is ever held while the library is called.
std::mutex g_waitLock;
std::condition_variable g_waitCv;

void Signal() {
    std::lock_guard<std::mutex> hold(g_waitLock);
    g_waitCv.notify_all();
}

// Waits until done() holds; false after limitMs.
bool WaitUntil(const std::function<bool()>& done, long limitMs) {
    std::unique_lock<std::mutex> hold(g_waitLock);
    return g_waitCv.wait_for(hold, std::chrono::milliseconds(limitMs), done);
}

// ---- text helpers ----------------------------------------------------------

std::string Utf8(const unsigned short* units, int count) {
    if (units == nullptr || count <= 0) return std::string();
    std::string out(static_cast<size_t>(count) * 3 + 1, '\0');
    const int n = CVCMMap::WideCharToMultiByte(65001, units, count, &out[0], static_cast<int>(out.size()), nullptr,
                                               nullptr);
    // The UTF-8 count includes room for a terminator.
    out.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return out;
}

std::string Utf8(const CVString& s) {
    return Utf8(static_cast<const unsigned short*>(s), s.GetLength());
}

CVString FromUtf8(const std::string& s) {
    return CVCMMap::Utf8ToUnicode(s.c_str(), static_cast<unsigned int>(s.size()));
}

// The name of the Java thread the caller runs on, or "" on a native thread.
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

// ---- message observers -----------------------------------------------------

const unsigned int kTimerMessage = 17;  // what a timer without a callback posts
const unsigned int kHelloMessage = 1024;
const unsigned int kSentMessage = 1025;
const unsigned long kTimerId = 7;
const int kTicks = 3;

// Sees every message first and lets it pass on (returns 0).
class CountingObserver : public CVMsgObserver {
public:
    int Update(unsigned int, unsigned int, int) override {
        ++m_nSeen;
        return 0;
    }
    int Seen() const { return m_nSeen.load(); }

private:
    std::atomic<int> m_nSeen{0};
};

// The posted hello message: notes the thread it came back on.
class HelloObserver : public CVMsgObserver {
public:
    int Update(unsigned int id, unsigned int wParam, int lParam) override {
        const std::string thread = JavaThreadName();
        Say("message %u (wParam %u, lParam %d) came back on %s%s%s", id, wParam, lParam,
            thread.empty() ? "a native thread" : "Java thread \"", thread.c_str(), thread.empty() ? "" : "\"");
        m_bArrived = true;
        Signal();
        return 1;
    }
    bool Arrived() const { return m_bArrived.load(); }

private:
    std::atomic<bool> m_bArrived{false};
};

// A message sent with SendMessage: delivered at once, on the sender's thread.
class SentObserver : public CVMsgObserver {
public:
    int Update(unsigned int id, unsigned int wParam, int lParam) override {
        const std::string thread = JavaThreadName();
        Say("message %u (wParam %u, lParam %d) delivered at once on the sending thread (\"%s\")", id, wParam,
            lParam, thread.c_str());
        m_bArrived = true;
        return 1;
    }
    bool Arrived() const { return m_bArrived.load(); }

private:
    std::atomic<bool> m_bArrived{false};
};

// Timer ticks: message 17 with the timer id in wParam.
class TickObserver : public CVMsgObserver {
public:
    int Update(unsigned int id, unsigned int wParam, int lParam) override {
        if (id != kTimerMessage || wParam != kTimerId) return 0;
        const int n = ++m_nTicks;
        Say("tick %d: message %u, timer %u, param %d, at t=%ld ms", n, id, wParam, lParam, Ms());
        LogLine(CVLog::ELOG_INFO, "vostour: timer tick %d", n);
        Signal();
        return 1;
    }
    int Ticks() const { return m_nTicks.load(); }

private:
    std::atomic<int> m_nTicks{0};
};

// ---- network ---------------------------------------------------------------

const char* StateName(int state) {
    switch (state) {
        case ESOCKET_IDLE: return "idle";
        case ESOCKET_CONNECTING: return "connecting";
        case ESOCKET_CONNECTED: return "connected";
        case ESOCKET_DATA_READY: return "data ready";
        case ESOCKET_RECV_WAIT: return "waiting for data";
        case ESOCKET_SEND_DONE: return "request sent";
        case ESOCKET_SENDING: return "sending";
        case ESOCKET_CONNECT_FAILED: return "connection failed";
        case ESOCKET_CONNECT_TIMEOUT: return "connection timed out";
        case ESOCKET_RECV_ERROR: return "closed by the server";
        case ESOCKET_RECV_TIMEOUT: return "receive timed out";
        case ESOCKET_SEND_TIMEOUT: return "send timed out";
        case ESOCKET_KEEPALIVE: return "kept alive";
        case ESOCKET_RESOLVING: return "resolving the host name";
        default: return "unknown";
    }
}

struct Url {
    std::string host;
    unsigned short port = 80;
    std::string path = "/";
};

bool ParseUrl(const std::string& text, Url& url) {
    const std::string scheme = "http://";
    if (text.compare(0, scheme.size(), scheme) != 0) return false;
    const std::string rest = text.substr(scheme.size());
    const size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    if (slash != std::string::npos) url.path = rest.substr(slash);
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos) {
        const long port = strtol(authority.c_str() + colon + 1, nullptr, 10);
        if (port < 1 || port > 65535) return false;
        url.port = static_cast<unsigned short>(port);
        authority.resize(colon);
    }
    url.host = authority;
    return !url.host.empty();
}

// One GET with "Connection: close". The worker calls OnState on its thread
// with the manager's lock held; Send and Recv may be called from there.
class Fetch {
public:
    explicit Fetch(const Url& url) : m_url(url) {
        m_request = "GET " + url.path + " HTTP/1.1\r\nHost: " + url.host + ":" + std::to_string(url.port) +
                    "\r\nUser-Agent: vostour\r\nConnection: close\r\n\r\n";
    }

    CVSocket& Socket() { return m_socket; }

    void Start() {
        m_socket.Create(VSOCK_TCP, this, OnState);
        CVString host(m_url.host.c_str());
        m_socket.Connect(host, m_url.port);
    }

    // States the worker sets without a callback (resolving, connecting).
    void Poll() { Note(m_socket.GetSocketState(), false); }

    bool Done() const { return m_bDone.load(); }
    int Failure() const { return m_nFailure; }
    const std::string& Response() const { return m_response; }

private:
    static int OnState(void* self) {
        static_cast<Fetch*>(self)->Changed();
        return 0;
    }

    void Note(int state, bool announced) {
        std::lock_guard<std::mutex> hold(m_noteLock);
        if (state == m_nLastState) return;
        m_nLastState = state;
        Say("[%5ld ms] state %2d  %-24s%s", Ms() - m_startMs, state, StateName(state),
            announced ? "(callback on the socket worker)" : "(seen by polling)");
    }

    void Changed() {
        const int state = m_socket.GetSocketState();
        Note(state, true);
        if (Done()) return;
        switch (state) {
            case ESOCKET_CONNECTED:
                SendMore();
                break;
            case ESOCKET_SEND_DONE:
                if (m_sent < m_request.size()) {
                    SendMore();
                } else {
                    m_socket.Recv(m_buffer, sizeof m_buffer);  // starts waiting for the answer
                    Note(m_socket.GetSocketState(), false);
                }
                break;
            case ESOCKET_DATA_READY: {
                const int n = m_socket.Recv(m_buffer, sizeof m_buffer);
                if (n > 0) {
                    m_response.append(m_buffer, static_cast<size_t>(n));
                    if (Complete()) Finish(0);
                } else if (n == 0) {
                    Finish(m_response.find("\r\n\r\n") != std::string::npos ? 0 : ESOCKET_RECV_ERROR);
                }
                break;
            }
            case ESOCKET_RECV_ERROR:
                // The server closing after "Connection: close" ends a complete answer.
                Finish(m_response.find("\r\n\r\n") != std::string::npos ? 0 : state);
                break;
            case ESOCKET_CONNECT_FAILED:
            case ESOCKET_CONNECT_TIMEOUT:
            case ESOCKET_RECV_TIMEOUT:
            case ESOCKET_SEND_TIMEOUT:
                Finish(state);
                break;
            default:
                break;
        }
    }

    void SendMore() {
        const int n = m_socket.Send(m_request.data() + m_sent, static_cast<int>(m_request.size() - m_sent));
        if (n > 0) m_sent += static_cast<size_t>(n);
    }

    bool Complete() const {
        const size_t end = m_response.find("\r\n\r\n");
        if (end == std::string::npos) return false;
        const std::string head = m_response.substr(0, end + 2);
        const char* key = strcasestr(head.c_str(), "\r\nContent-Length:");
        if (key == nullptr) return false;  // the body ends with the connection
        return m_response.size() - (end + 4) >= strtoul(key + 17, nullptr, 10);
    }

    void Finish(int failure) {
        m_nFailure = failure;
        m_socket.Close();
        m_bDone = true;
        Signal();
    }

    Url m_url;
    CVSocket m_socket;
    std::string m_request;
    size_t m_sent = 0;
    char m_buffer[16 * 1024];
    std::string m_response;
    std::atomic<bool> m_bDone{false};
    int m_nFailure = 0;
    std::mutex m_noteLock;
    int m_nLastState = -1;
    const long m_startMs = Ms();
};

// ---- GPS ---------------------------------------------------------------------

class FixObserver : public CVGpsObserver {
public:
    // Runs on the thread that reported the fix, with the observer lock held.
    void OnGpsUpdate(CVGpsDetailInfo* info) override {
        {
            std::lock_guard<std::mutex> hold(m_fixLock);
            m_fix = *info;
        }
        m_bHaveFix = true;
        Signal();
    }
    bool HaveFix() const { return m_bHaveFix.load(); }
    CVGpsDetailInfo Fix() {
        std::lock_guard<std::mutex> hold(m_fixLock);
        return m_fix;
    }

private:
    std::mutex m_fixLock;
    CVGpsDetailInfo m_fix;
    std::atomic<bool> m_bHaveFix{false};
};

// Calls a void method of a companion object, as the device's own sensor
// callback would; false when the method is missing or threw.
bool CallJava(jobject obj, const char* name, const char* signature, ...) {
    JNIEnv* env = nullptr;
    if (obj == nullptr || JVMContainer::GetEnvironment(&env) != JNI_OK || env == nullptr) return false;
    jclass cls = env->GetObjectClass(obj);
    jmethodID method = GetMethodID(env, cls, name, signature);
    env->DeleteLocalRef(cls);
    if (method == nullptr) return false;
    va_list args;
    va_start(args, signature);
    env->CallVoidMethodV(obj, method, args);
    va_end(args);
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        env->ExceptionClear();
        return false;
    }
    return true;
}

// ---- the steps -------------------------------------------------------------

struct Options {
    std::string classPath;
    std::string libPath;
    std::string url;
    std::string logPath = "vostour.log";
    std::string sample;
};

JavaVM* StartJava(const Options& options) {
    Step("Start a Java VM with the companion classes");
    std::string classPath = "-Djava.class.path=" + options.classPath;
    std::string libPath = "-Djava.library.path=" + options.libPath;
    JavaVMOption vmOptions[2];
    vmOptions[0].optionString = &classPath[0];
    vmOptions[1].optionString = &libPath[0];
    JavaVMInitArgs args;
    args.version = JNI_VERSION_1_8;
    args.nOptions = 2;
    args.options = vmOptions;
    args.ignoreUnrecognized = JNI_FALSE;
    JavaVM* vm = nullptr;
    void* env = nullptr;
    if (JNI_CreateJavaVM(&vm, &env, &args) != JNI_OK) Fail("JNI_CreateJavaVM refused to start a VM");
    JNIEnv* jni = static_cast<JNIEnv*>(env);
    // The companion classes load libvos.so themselves (System.loadLibrary):
    // finding one proves the class path and java.library.path fit together.
    jclass msgClass = jni->FindClass("com/palex/zu/VMsg");
    if (msgClass == nullptr) {
        jni->ExceptionDescribe();
        jni->ExceptionClear();
        Fail("com.palex.zu.VMsg not loadable from %s with libvos.so from %s", options.classPath.c_str(),
             options.libPath.c_str());
    }
    jni->DeleteLocalRef(msgClass);
    jint version = jni->GetVersion();
    Say("VM up, JNI %d.%d; class path %s", version >> 16, version & 0xFFFF, options.classPath.c_str());
    Say("com.palex.zu.VMsg loaded; it loaded libvos.so from %s", options.libPath.c_str());

    Step("Hand the VM to the library and bring it up");
    JVMContainer::InitVM(vm);
    if (JVMContainer::GetJVM() != vm) Fail("JVMContainer kept another VM");
    _VosEnv_t vosEnv;
    if (CVVos::GlobalInit(vosEnv) != 1) Fail("CVVos::GlobalInit returned 0");
    Say("JVMContainer::InitVM, then CVVos::GlobalInit on this (VM-attached) thread: library %s is up",
        V_GetVersion());
    return vm;
}

void OpenLog(const Options& options) {
    Step("Open the log file");
    if (CVLog::InitFilePath(FromUtf8(options.logPath)) != 1) Fail("cannot open %s", options.logPath.c_str());
    LogLine(CVLog::ELOG_INFO, "vostour: library %s started, log file open", V_GetVersion());
    Say("CVLog::InitFilePath(\"%s\"); entries also go to the system log (standard error here)",
        options.logPath.c_str());
}

void Messages(CountingObserver& all, HelloObserver& hello, SentObserver& sent, TickObserver& ticks) {
    Step("Register message observers; post and send messages");
    if (CVMsg::AttachAllMsgsObserver(&all) != 1 || CVMsg::AttachMsgObserver(kHelloMessage, &hello) != 1 ||
        CVMsg::AttachMsgObserver(kSentMessage, &sent) != 1 || CVMsg::AttachMsgObserver(kTimerMessage, &ticks) != 1) {
        Fail("attaching the observers failed");
    }
    Say("observers: one for all messages (lets them pass), one each for %u, %u and %u (timer ticks)", kHelloMessage,
        kSentMessage, kTimerMessage);
    Say("posting %u: it travels out through com.palex.zu.VMsg.postMessage and back", kHelloMessage);
    if (CVMsg::PostMessage(kHelloMessage, 42, -1) != 1) Fail("CVMsg::PostMessage did not reach Java");
    if (!WaitUntil([&] { return hello.Arrived(); }, 10000)) Fail("the posted message did not come back in 10 s");
    if (CVMsg::SendMessage(kSentMessage, 7, 8) != 1 || !sent.Arrived()) Fail("CVMsg::SendMessage reached no one");
    LogLine(CVLog::ELOG_INFO, "vostour: message bus round trip done");
}

void Timer(TickObserver& ticks) {
    Step("A periodic timer whose ticks arrive as message 17 through Java");
    CVTimer::Init();
    // No callback: each firing posts message 17 with wParam = the timer id.
    const int rc = CVTimer::SetTimer(kTimerId, nullptr, reinterpret_cast<void*>(99), 200, 200, kTicks);
    if (rc != 0) Fail("CVTimer::SetTimer returned %d", rc);
    Say("SetTimer(id %lu, no callback, param 99, first after 200 ms, every 200 ms, %d times) at t=%ld ms", kTimerId,
        kTicks, Ms());
    if (!WaitUntil([&] { return ticks.Ticks() >= kTicks; }, 15000)) {
        Fail("%d of %d ticks arrived in 15 s", ticks.Ticks(), kTicks);
    }
    Say("%d ticks; the timer thread checks every 100 ms, so a tick comes up to ~100 ms late, never early",
        ticks.Ticks());
}

void Convert(const Options& options) {
    Step("Convert a GBK text to UTF-16 and UTF-8 and back");
    std::string gbk;
    if (!options.sample.empty()) {
        FILE* f = fopen(options.sample.c_str(), "rb");
        if (f == nullptr) Fail("cannot read %s", options.sample.c_str());
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) gbk.append(buf, n);
        fclose(f);
    } else {
        gbk = "vos \xCA\xBE\xC0\xFD\xCE\xC4\xB1\xBE";  // "vos 示例文本" in GBK
    }
    // The first line is enough to show; the whole text makes the round trip.
    const int srcLen = static_cast<int>(gbk.size());
    const int need = CVCMMap::MultiByteToWideChar(0, gbk.data(), srcLen, nullptr, 0);
    std::vector<unsigned short> units(static_cast<size_t>(need) + 1, 0);
    const int count = CVCMMap::MultiByteToWideChar(0, gbk.data(), srcLen, units.data(), need);
    const std::string utf8 = Utf8(units.data(), count);
    std::vector<char> back(static_cast<size_t>(count) * 2 + 1, 0);
    const int backLen = CVCMMap::WideCharToMultiByte(0, units.data(), count, back.data(),
                                                     static_cast<int>(back.size()), nullptr, nullptr);
    if (count <= 0 || utf8.empty()) Fail("the GBK text converted to nothing");
    Say("%d GBK bytes -> %d UTF-16 units -> %zu UTF-8 bytes%s%s", srcLen, count, utf8.size(),
        options.sample.empty() ? "" : ", from ", options.sample.c_str());
    Say("first line: %s", utf8.substr(0, utf8.find('\n')).c_str());
    if (backLen != srcLen || memcmp(back.data(), gbk.data(), gbk.size()) != 0) {
        Fail("UTF-16 back to GBK gave %d bytes that differ from the %d of the original", backLen, srcLen);
    }
    Say("UTF-16 back to GBK: %d bytes, identical to the original", backLen);
    LogLine(CVLog::ELOG_INFO, "vostour: converted %d GBK bytes", srcLen);
}

void Network(const Options& options) {
    Step("Fetch a page through the socket manager");
    if (options.url.empty()) {
        Say("skipped: no --url given (scripts/demo starts a local HTTP server and passes one)");
        return;
    }
    Url url;
    if (!ParseUrl(options.url, url)) Fail("not an http:// URL: %s", options.url.c_str());
    CVSocketMan manager;
    manager.SetSocketMax(4);
    if (manager.StartSocketProc() != 1) Fail("the socket worker did not start");
    Fetch fetch(url);
    fetch.Socket().SetTimeOut(10000);
    manager.AddSocket(&fetch.Socket());
    Say("GET %s from %s port %u; the worker makes a pass every 10 ms", url.path.c_str(), url.host.c_str(), url.port);
    fetch.Start();
    // Poll the state too: the worker announces only some of its changes.
    const long limit = Ms() + 30000;
    while (!fetch.Done() && Ms() < limit) {
        fetch.Poll();
        WaitUntil([&] { return fetch.Done(); }, 2);
    }
    manager.RemoveSocket(&fetch.Socket());
    manager.UnInitSocketMan();
    if (!fetch.Done()) Fail("no answer from %s:%u in 30 s", url.host.c_str(), url.port);
    if (fetch.Failure() != 0) Fail("the fetch ended with: %s", StateName(fetch.Failure()));
    const std::string& response = fetch.Response();
    const std::string status = response.substr(0, response.find('\r'));
    const size_t bodyAt = response.find("\r\n\r\n");
    const std::string body = bodyAt == std::string::npos ? std::string() : response.substr(bodyAt + 4);
    if (status.compare(0, 12, "HTTP/1.1 200") != 0) Fail("the server answered \"%s\"", status.c_str());
    size_t titleAt = body.find("<title>");
    size_t titleEnd = body.find("</title>");
    const std::string title =
        titleAt != std::string::npos && titleEnd != std::string::npos ? body.substr(titleAt + 7, titleEnd - titleAt - 7)
                                                                       : std::string("(no title)");
    Say("%s, %zu bytes of body; title \"%s\"", status.c_str(), body.size(), title.c_str());
    Say("socket removed, worker stopped, resolver and name cache released (UnInitSocketMan)");
    LogLine(CVLog::ELOG_INFO, "vostour: fetched %s", options.url.c_str());
}

void Device() {
    Step("Device facts from the companion classes");
    CVString s;
    if (CVUtilsOS::GetOsTypeName(s) != 1) Fail("CVUtilsOS::GetOsTypeName failed");
    std::string os = Utf8(s);
    if (CVUtilsOS::GetOsVersion(s) != 1) Fail("CVUtilsOS::GetOsVersion failed");
    Say("OS: %s %s", os.c_str(), Utf8(s).c_str());
    long total = 0, free = 0;
    if (CVUtilsOS::GetSpaceInfo(total, free) != 1) Fail("CVUtilsOS::GetSpaceInfo failed");
    Say("storage: %ld MB free of %ld MB", free / 1024, total / 1024);
    if (CVUtilsOS::GetMemoryInfo(total, free) != 1) Fail("CVUtilsOS::GetMemoryInfo failed");
    Say("memory (the Java heap on a host): %ld kB available of %ld kB", free, total);
    long width = 0, height = 0;
    float density = 0;
    if (CVUtilsScreen::GetSystemMetrics(width, height) != 1 || CVUtilsScreen::GetScreenDpi(density) != 1) {
        Fail("CVUtilsScreen failed");
    }
    Say("screen: %ld x %ld, density %.1f", width, height, static_cast<double>(density));
    ENetworkType type = VOS_NETWORK_TYPE_NONE;
    if (CVUtilsNetwork::GetCurrentNetworkType(type) != 1) Fail("CVUtilsNetwork::GetCurrentNetworkType failed");
    CVNetworkInfo info;
    const int haveInfo = CVUtilsNetwork::GetNetworkInfo(type, info);
    Say("network: type %d%s%s", static_cast<int>(type), haveInfo == 1 ? " " : "",
        haveInfo == 1 ? Utf8(info.m_strTypeName).c_str() : "");
    if (CVUtilsAppInfo::GetAppVersion(s) != 1) Fail("CVUtilsAppInfo::GetAppVersion failed");
    std::string appVersion = Utf8(s);
    if (CVUtilsAppInfo::GetCachePath(s) != 1) Fail("CVUtilsAppInfo::GetCachePath failed");
    Say("application %s, cache folder %s", appVersion.c_str(), Utf8(s).c_str());
    if (CVUtilsTelephony::GetUniqueID(s) != 1) Fail("CVUtilsTelephony::GetUniqueID failed");
    Say("device id %s (a host answers as an emulator does)", Utf8(s).c_str());
}

void Gps() {
    Step("A simulated GPS fix and a compass reading");
    FixObserver observer;
    if (CVGpsMan::Initialize() != 1) Fail("CVGpsMan::Initialize failed");
    if (CVGpsMan::AttachGpsObserver(&observer) != 1) Fail("CVGpsMan::AttachGpsObserver failed");
    // A host has no receiver: com.palex.zu.VGps.report hands the fix in as a
    // device's location callback would, through the native updateGps.
    if (!CallJava(CVGpsMan::m_hHandle ? CVGpsMan::m_hHandle->obj : nullptr, "report", "(DDFFII)V", 39.9087,
                  116.3975, 4.5f, 1.25f, 90, 7)) {
        Fail("com.palex.zu.VGps.report could not be called");
    }
    if (!WaitUntil([&] { return observer.HaveFix(); }, 10000)) Fail("the observer saw no fix");
    const CVGpsDetailInfo fix = observer.Fix();
    const CVGpsDetailInfo last = CVGpsMan::GetLastLocation();
    Say("fix: %.4f, %.4f, accuracy %.1f m, speed %.2f m/s, bearing %d, %u satellites",
        static_cast<double>(fix.m_fValue1), static_cast<double>(fix.m_fValue2), static_cast<double>(fix.m_fValue3),
        static_cast<double>(fix.m_fValue4), fix.m_nValue5, fix.m_sValue6);
    if (last.m_fValue1 != fix.m_fValue1 || last.m_fValue2 != fix.m_fValue2) {
        Fail("GetLastLocation does not hold the reported fix");
    }
    Say("CVGpsMan::GetLastLocation agrees; the observer ran on the reporting thread");
    CVGpsMan::DetachGpsObserver(&observer);
    if (CVGpsMan::UnInitialize() != 1) Fail("CVGpsMan::UnInitialize failed");

    if (CVCompass::Init() != 1) Fail("CVCompass::Init failed");
    if (!CallJava(CVCompass::m_hHandle ? CVCompass::m_hHandle->obj : nullptr, "report", "(I)V", 271)) {
        Fail("com.palex.zu.VCompass.report could not be called");
    }
    tagCompassInfo heading;
    if (CVCompass::GetCompassInfo(heading) != 1 || heading.m_nValue != 271) Fail("the compass kept no reading");
    Say("compass: heading %d", heading.m_nValue);
    CVCompass::UnInit();
    Say("GPS source and compass stopped");
    LogLine(CVLog::ELOG_INFO, "vostour: GPS fix %f %f", static_cast<double>(fix.m_fValue1),
            static_cast<double>(fix.m_fValue2));
}

void ShutDown(const Options& options, CountingObserver& all) {
    Step("Shut down in order");
    CVTimer::KillAll();
    CVTimer::Release();
    Say("timers killed and released");
    CVMsg::RemoveAllMsgObserver();
    Say("message observers removed (%d messages seen in all)", all.Seen());
    LogLine(CVLog::ELOG_INFO, "vostour: shutting down");
    CVLog::UnInitFilePath();
    Say("log file closed");
    CVVos::GlobalUnInit();
    if (CVVos::m_ulRefCnt != 0) Fail("the library is still up after GlobalUnInit");
    Say("CVVos::GlobalUnInit: message bus, code-page tables, file layer and last-error record stopped");

    FILE* f = fopen(options.logPath.c_str(), "rb");
    if (f == nullptr) Fail("the log file %s is gone", options.logPath.c_str());
    int lines = 0;
    for (int c; (c = fgetc(f)) != EOF;) lines += c == '\n';
    fclose(f);
    Say("the log file %s holds %d lines", options.logPath.c_str(), lines);
}

int Usage() {
    fprintf(stderr,
            "usage: vostour --classpath JAR --libpath DIR [--url http://host:port/path] [--log FILE]"
            " [--sample GBK-FILE]\n");
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
#ifdef VOSTOUR_DEFAULT_CLASSPATH
    options.classPath = VOSTOUR_DEFAULT_CLASSPATH;
    options.libPath = VOSTOUR_DEFAULT_LIBPATH;
    options.sample = VOSTOUR_DEFAULT_SAMPLE;
#endif
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage();
        const std::string value = argv[++i];
        if (arg == "--classpath") options.classPath = value;
        else if (arg == "--libpath") options.libPath = value;
        else if (arg == "--url") options.url = value;
        else if (arg == "--log") options.logPath = value;
        else if (arg == "--sample") options.sample = value;
        else return Usage();
    }
    if (options.classPath.empty() || options.libPath.empty()) return Usage();

    printf("vostour: vos %s, a tour of the library as an SDK on a device uses it\n", V_GetVersion());
    JavaVM* vm = StartJava(options);
    OpenLog(options);
    CountingObserver all;
    HelloObserver hello;
    SentObserver sent;
    TickObserver ticks;
    Messages(all, hello, sent, ticks);
    Timer(ticks);
    Convert(options);
    Network(options);
    Device();
    Gps();
    ShutDown(options, all);
    (void)vm;
    printf("\nvostour: all %d steps done in %ld ms; log file: %s\n", g_step, Ms(), options.logPath.c_str());
    return 0;
}
