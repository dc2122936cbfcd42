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

std::u16string Text(const _palex_zu::CVString& s) {
    const unsigned short* p = s;
    if (p == nullptr) return std::u16string();
    return std::u16string(reinterpret_cast<const char16_t*>(p), static_cast<size_t>(s.GetLength()));
}

_palex_zu::CVString Str(const std::string& utf8) {
    const std::u16string units = U16(utf8.c_str());
    return _palex_zu::CVString(Units(units));
}

_palex_zu::CVString Str(const char16_t* units) {
    return _palex_zu::CVString(reinterpret_cast<const unsigned short*>(units));
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
