// Uses the installed library the way an application does: one include, one
// conversion through the built-in code-page tables, the version check a
// program makes against the shared object it actually loaded, and classes of
// its own derived from the library's. The library carries no run-time type
// information, so this program is compiled with -fno-rtti: a class derived
// from one whose virtual destructor lives in the library (CVString,
// CVNetStateObserver, ...) would otherwise need the library's typeinfo.
#include <stdio.h>
#include <string.h>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

// A string that remembers how it was made.
class CTaggedString : public CVString {
public:
    CTaggedString(const char* text, int tag) : CVString(text), m_nTag(tag) {}
    int m_nTag;
};

// One observer of each kind; each counts its calls in *m_pCalls.
class CMsgCounter : public CVMsgObserver {
public:
    explicit CMsgCounter(int* calls) : m_pCalls(calls) {}
    int Update(unsigned int, unsigned int, int) override { return ++*m_pCalls; }
    int* m_pCalls;
};

class CChangeCounter : public CVObserver {
public:
    explicit CChangeCounter(int* calls) : m_pCalls(calls) {}
    void update() override { ++*m_pCalls; }
    int* m_pCalls;
};

void NoCallback() {}

class CNetStateCounter : public CVNetStateObserver {
public:
    explicit CNetStateCounter(int* calls) : CVNetStateObserver(NoCallback), m_pCalls(calls) {}
    void update() override {
        CVNetStateObserver::update();
        ++*m_pCalls;
    }
    int* m_pCalls;
};

class CFixCounter : public CVGpsObserver {
public:
    explicit CFixCounter(int* calls) : m_pCalls(calls) {}
    void OnGpsUpdate(CVGpsDetailInfo*) override { ++*m_pCalls; }
    int* m_pCalls;
};

// Every derived class, used through its library base; the number of failures.
int CheckDerivedClasses() {
    int calls = 0;
    CVString* tagged = new CTaggedString("abc", 7);
    const int length = tagged->GetLength();
    delete tagged;  // through the library's virtual destructor

    CMsgCounter msg(&calls);
    CVMsgObserver* msgBase = &msg;
    msgBase->Update(17, 0, 0);
    CFixCounter fix(&calls);
    CVGpsDetailInfo info;
    CVGpsObserver* fixBase = &fix;
    fixBase->OnGpsUpdate(&info);
    CChangeCounter change(&calls);
    CNetStateCounter netState(&calls);
    CVObservable observable;
    observable.addObserver(&change);
    observable.addObserver(&netState);
    observable.notifyObservers();
    observable.deleteObserver(&netState);
    observable.deleteObserver(&change);

    if (length != 3 || calls != 4) {
        fprintf(stderr, "consumer: derived classes: length %d, %d calls\n", length, calls);
        return 1;
    }
    return 0;
}

}  // namespace

int main() {
    if (strcmp(V_GetVersion(), VOS_VERSION_STRING) != 0 || V_GetVersionNumber() != VOS_VERSION_NUMBER) {
        fprintf(stderr, "consumer: headers say %s, library says %s\n", VOS_VERSION_STRING, V_GetVersion());
        return 1;
    }
    if (CVCMMap::GlobalInit() != 1) {
        fprintf(stderr, "consumer: code-page tables did not load\n");
        return 1;
    }
    // "中文" in GBK; its UTF-16 units and UTF-8 bytes are fixed by the code pages.
    const char gbk[] = "\xD6\xD0\xCE\xC4";
    const unsigned short units[] = {0x4E2D, 0x6587};
    const char utf8[] = "\xE4\xB8\xAD\xE6\x96\x87";

    unsigned short wide[8] = {0};
    const int n = CVCMMap::MultiByteToWideChar(0, gbk, 4, wide, 8);
    char narrow[16] = {0};
    const int bytes = CVCMMap::WideCharToMultiByte(65001, wide, n, narrow, sizeof narrow, nullptr, nullptr);
    CVString text(gbk);
    CVCMMap::GlobalUnInit();

    int failures = 0;
    if (n != 2 || memcmp(wide, units, sizeof units) != 0) {
        fprintf(stderr, "consumer: GBK to UTF-16 gave %d units %04X %04X\n", n, wide[0], wide[1]);
        ++failures;
    }
    // The UTF-8 count includes room for the caller's terminator.
    if (bytes != 7 || memcmp(narrow, utf8, 6) != 0) {
        fprintf(stderr, "consumer: UTF-16 to UTF-8 gave %d bytes\n", bytes);
        ++failures;
    }
    if (text.GetLength() != 2 || text.GetAt(0) != units[0] || text.GetAt(1) != units[1]) {
        fprintf(stderr, "consumer: CVString from GBK has %d units\n", text.GetLength());
        ++failures;
    }
    failures += CheckDerivedClasses();
    if (failures != 0) return 1;
    printf("vos %s: GBK D6D0CEC4 -> UTF-16 %04X %04X -> UTF-8 %d bytes\n", V_GetVersion(), wide[0], wide[1],
           bytes - 1);
    return 0;
}
