// Helpers shared by the test executables.
#ifndef VOS_TESTS_SUPPORT_TESTSUPPORT_H
#define VOS_TESTS_SUPPORT_TESTSUPPORT_H

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "vos/vos.h"

namespace vostest {

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Polls cond every millisecond until it holds or limit passes; a generous
// limit keeps slow machines (qemu) from failing a test that would pass.
inline bool WaitFor(const std::function<bool()>& cond,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// UTF-16 text of a string literal, as the library's unsigned short units.
std::u16string U16(const char* utf8);
inline const unsigned short* Units(const std::u16string& s) {
    return reinterpret_cast<const unsigned short*>(s.c_str());
}

// The units of a string as the tests' reference type; a string without a
// buffer reads as empty.
std::u16string Text(const _palex_zu::CVString& s);
// A CVString holding the UTF-16 form of a UTF-8 text, or of UTF-16 units.
_palex_zu::CVString Str(const std::string& utf8);
_palex_zu::CVString Str(const char16_t* units);

// True when the allocation-failure hook is compiled into the library.
bool AllocHookAvailable();
// Arms the hook so that the n-th allocation from now fails (0 disarms it).
void FailAllocationAt(unsigned long n, bool fromThereOn = false);
// Allocations the library made since the hook was last armed.
unsigned long AllocationCalls();

// Disarms the allocation hook on scope exit so one test cannot poison the next.
struct AllocHookGuard {
    ~AllocHookGuard() { FailAllocationAt(0); }
};

}  // namespace vostest

#endif  // VOS_TESTS_SUPPORT_TESTSUPPORT_H
