#include "support/TestSupport.h"

#include <ftw.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <codecvt>
#include <locale>

#ifdef VOS_TEST_HOOKS
#include "vbase/VMemHook.h"
#endif

namespace vostest {

TempDir::TempDir() {
    const char* base = getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/vos-test-XXXXXX";
    char* made = mkdtemp(&templ[0]);
    m_path = made ? made : "";
}

static int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

TempDir::~TempDir() {
    if (!m_path.empty()) nftw(m_path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::u16string U16(const char* utf8) {
    std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t> conv;
    return conv.from_bytes(utf8);
}

#ifdef VOS_TEST_HOOKS
bool AllocHookAvailable() { return true; }
void FailAllocationAt(unsigned long n, bool fromThereOn) { VMemHook_FailAt(n, fromThereOn ? 1 : 0); }
unsigned long AllocationCalls() { return VMemHook_CallCount(); }
#else
bool AllocHookAvailable() { return false; }
void FailAllocationAt(unsigned long, bool) {}
unsigned long AllocationCalls() { return 0; }
#endif

}  // namespace vostest
