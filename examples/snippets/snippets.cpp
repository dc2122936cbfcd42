// The README's examples: each block between "// ---- name" lines is the
// example of that family as the README shows it. The program runs the ones
// that need no Java VM, checks what each promises and exits non-zero when one
// does not hold; the others are compiled only (examples/vostour runs their
// like against a real VM).
#include <stdio.h>
#include <string.h>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

int g_failures = 0;

void Check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "snippets: %s does not hold\n", what);
        ++g_failures;
    }
}

void Memory() {
    // ---- memory
    // A counted block: the element count sits just before the first element.
    CVString* names = VNew<CVString>(3, VOS_HERE);
    names[0] = "first";
    VDelete(names);  // destroys all three, then frees the block

    void* raw = CVMem::Allocate(64, VOS_HERE);  // plain bytes, freed by Deallocate
    CVMem::Deallocate(raw);
    // ----
    Check(raw != nullptr, "CVMem::Allocate(64)");
}

void Text() {
    // ---- text
    CVCMMap::GlobalInit();  // CVVos::GlobalInit does this for a whole library start
    CVString s("vos");      // narrow text is GBK
    s += " 0.1";
    s.MakeUpper();          // "VOS 0.1"
    const int dot = s.Find('.');  // 5

    const char gbk[] = "\xD6\xD0\xCE\xC4";  // two Chinese characters in GBK
    unsigned short wide[8];
    const int units = CVCMMap::MultiByteToWideChar(0, gbk, 4, wide, 8);  // 2
    char utf8[16];
    const int bytes = CVCMMap::WideCharToMultiByte(65001, wide, units, utf8, sizeof utf8, nullptr, nullptr);
    // bytes == 7: six bytes of UTF-8 and room for the caller's terminator
    CVString encoded = CVCMMap::UrlEncode(CVString("a b"));  // "a%20b"
    CVCMMap::GlobalUnInit();
    // ----
    Check(dot == 5 && s.Compare("VOS 0.1") == 0, "CVString editing");
    Check(units == 2 && wide[0] == 0x4E2D && bytes == 7, "GBK to UTF-16 to UTF-8");
    Check(encoded.Compare("a%20b") == 0, "UrlEncode");
}

void Containers() {
    // ---- containers
    CVArray<int, int> numbers;
    for (int i = 0; i < 5; ++i) numbers.Add(i * i);
    numbers.RemoveAt(0);  // 1, 4, 9, 16

    CVMapStringToPtr byName;
    CVString key("answer");
    byName.SetAt(key, reinterpret_cast<void*>(42));
    void* found = nullptr;
    const int hit = byName.Lookup(key, found);  // 1, found == (void*)42
    // ----
    Check(numbers.GetSize() == 4 && numbers[0] == 1 && numbers[3] == 16, "CVArray Add and RemoveAt");
    Check(hit == 1 && found == reinterpret_cast<void*>(42), "CVMapStringToPtr lookup");
}

void Geometry() {
    // ---- geometry
    CVRect r(10, 10, 110, 60);
    r.InflateRect(5, 5);  // 5, 5, 115, 65
    const int inside = r.PtInRect(CVPoint(20, 20));
    CVRect other(100, 50, 200, 100);
    const int overlap = CVRect::IsIntersect(&r, &other);
    // ----
    Check(r.Width() == 110 && r.Height() == 60 && inside && overlap, "CVRect arithmetic");
}

unsigned long Worker(void* param) {
    CVEvent* done = static_cast<CVEvent*>(param);
    done->SetEvent();
    return 0;
}

void Threads() {
    // ---- threads
    CVMutex lock;
    lock.Create();
    lock.Lock();  // recursive; waits poll in 10 ms steps
    lock.Unlock();

    CVEvent done;
    done.CreateEvent(0);  // auto-reset
    CVThread thread;
    thread.CreateThread(Worker, &done);
    const int signalled = done.Wait(5000);  // 1 once Worker has set it
    done.CloseEvent();
    // ----
    Check(signalled == 1, "CVEvent set by a CVThread");
}

void Time() {
    // ---- time
    tagVTime now;
    VTime_GetCurrentTime(&now);                 // local calendar time
    const uint32_t start = V_GetTickCount();    // milliseconds; wraps, so subtract
    const uint32_t elapsed = V_GetTickCount() - start;
    // ----
    Check(now.nYear >= 2024 && elapsed < 1000, "calendar time and tick count");
}

void Files(const char* dir) {
    char path[512];
    snprintf(path, sizeof path, "%s/vos-snippet.txt", dir);
    // ---- files
    CVString name(path);  // paths given to the system are UTF-8
    CVFile file;
    if (file.Open(name, VFILE_OPEN_WRITE | VFILE_OPEN_CREATE)) {
        file.Write("hello\n", 6);
        file.Close();
    }
    const int exists = CVFile::IsFileExist(name);
    CVFile::Remove(name);
    // ----
    Check(exists == 1 && CVFile::IsFileExist(name) == 0, "CVFile write, exist, remove");
}

void Log(const char* dir) {
    char path[512];
    snprintf(path, sizeof path, "%s/vos-snippet.log", dir);
    // ---- log
    CVLog::InitFilePath(CVString(path));  // keeps an existing file's content
    CVLog log;
    log.Log(CVLog::ELOG_INFO, "started, %d workers\n", 4);  // system log and file
    CVLog::UnInitFilePath();
    // ----
    CVFile::Remove(CVString(path));
}

void Version() {
    // ---- version
    printf("built against vos %s, running with %s\n", VOS_VERSION_STRING, V_GetVersion());
    // ----
    Check(strcmp(VOS_VERSION_STRING, V_GetVersion()) == 0, "version of headers and library");
}

}  // namespace

// ---- compiled only: these need a Java VM with the companion classes --------

// The worker calls it on every state change of the socket.
int OnStateChanged(void* context) {
    CVSocket* socket = static_cast<CVSocket*>(context);
    return socket->GetSocketState() == ESOCKET_CONNECTED ? 1 : 0;
}

void Frame(JavaVM* vm) {
    // ---- frame
    JVMContainer::InitVM(vm);  // once, before anything calls Java
    _VosEnv_t env;
    if (CVVos::GlobalInit(env) != 1) {
        // the code-page tables or the message bus could not start: the library
        // is down again, and there is nothing to undo
        return;
    }
    // ... use the library from any thread ...
    CVVos::GlobalUnInit();  // only after a GlobalInit that returned 1
    // ----
}

void Timers() {
    // ---- timers
    CVTimer::Init();
    CVTimer::SetTimer(7, nullptr, nullptr, 500, 1000, 0);  // message 17 after 500 ms, then every second
    CVTimer::KillTimer(7);
    // ----
}

void Messages() {
    // ---- messages
    class Hello : public CVMsgObserver {
    public:
        int Update(unsigned int id, unsigned int wParam, int) override {
            printf("message %u, wParam %u\n", id, wParam);
            return 1;  // consumed: observers registered later do not see it
        }
    };
    static Hello hello;
    CVMsg::AttachMsgObserver(1024, &hello);
    CVMsg::PostMessage(1024, 1, 2);  // Update runs later, on the Java looper thread
    CVMsg::SendMessage(1024, 3, 4);  // Update runs now, on this thread
    // ----
}

void Network(void* context) {
    // ---- network
    CVSocketMan manager;
    manager.SetSocketMax(4);
    manager.StartSocketProc();
    CVSocket socket;
    manager.AddSocket(&socket);
    socket.Create(VSOCK_TCP, context, OnStateChanged);  // int OnStateChanged(void* context)
    CVString host("example.org");
    socket.Connect(host, 80);  // ESOCKET_CONNECTED arrives through OnStateChanged
    // ... Send and Recv from the callback or any thread ...
    manager.RemoveSocket(&socket);  // before the socket is destroyed
    manager.UnInitSocketMan();
    // ----
}

void Device(CVGpsObserver& observer) {
    // ---- device
    CVString version;
    long total = 0, free = 0;
    CVUtilsOS::GetOsVersion(version);
    CVUtilsOS::GetSpaceInfo(total, free);    // kilobytes
    CVGpsMan::Initialize();                  // starts the Java position source
    CVGpsMan::AttachGpsObserver(&observer);  // OnGpsUpdate runs on the reporting Java thread
    CVGpsDetailInfo last = CVGpsMan::GetLastLocation();
    CVGpsMan::DetachGpsObserver(&observer);
    CVGpsMan::UnInitialize();
    // ----
    (void)last;
}

int main(int argc, char** argv) {
    const char* dir = argc > 1 ? argv[1] : "/tmp";
    Memory();
    Text();
    Containers();
    Geometry();
    Threads();
    Time();
    Files(dir);
    Log(dir);
    Version();
    if (g_failures != 0) return 1;
    printf("snippets: every example holds\n");
    return 0;
}
