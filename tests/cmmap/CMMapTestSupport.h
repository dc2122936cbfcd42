// Helpers shared by the code-page converter tests.
#ifndef VOS_TESTS_CMMAP_CMMAPTESTSUPPORT_H
#define VOS_TESTS_CMMAP_CMMAPTESTSUPPORT_H

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vos/vos.h"
#ifdef VOS_TEST_HOOKS
#include "vbase/VCMMapBlocks.h"
#endif

namespace cmmaptest {

using _palex_zu::CVCMMap;

// Every test starts with both tables loaded.
class Loaded : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(1, CVCMMap::GlobalInit()); }
};

// Runs body(name) with the processor's block walks (SSSE3, NEON) and, in test
// builds, again with the exact walks alone: both must give the same results.
template <typename F>
void ForEachWalk(F body) {
    body("block walks");
#ifdef VOS_TEST_HOOKS
    struct Off {
        Off() { VCMMapHook_UseBlockWalks(0); }
        ~Off() { VCMMapHook_UseBlockWalks(1); }
    } off;
    body("exact walks");
#endif
}

// A destination with guard bytes on both sides: a converter that writes past
// the capacity it was given changes a guard.
template <typename T>
class Guarded {
public:
    explicit Guarded(size_t capacity) : m_cap(capacity), m_buf(capacity + 2 * kGuard, Fill()) {}
    T* Data() { return m_buf.data() + kGuard; }
    int Cap() const { return static_cast<int>(m_cap); }
    bool GuardsIntact() const {
        for (size_t i = 0; i < kGuard; ++i) {
            if (m_buf[i] != Fill() || m_buf[kGuard + m_cap + i] != Fill()) return false;
        }
        return true;
    }
    // The units written so far, up to n.
    std::vector<T> Written(size_t n) const {
        return std::vector<T>(m_buf.begin() + kGuard, m_buf.begin() + kGuard + n);
    }
    bool UntouchedFrom(size_t from) const {
        for (size_t i = from; i < m_cap; ++i) {
            if (m_buf[kGuard + i] != Fill()) return false;
        }
        return true;
    }

private:
    static const size_t kGuard = 16;
    static T Fill() { return static_cast<T>(0xA5A5); }
    size_t m_cap;
    std::vector<T> m_buf;
};

// A source copied into a heap block of exactly its size, so that AddressSanitizer
// reports any read past its end.
template <typename T>
class Exact {
public:
    Exact(const T* s, size_t n) : m_p(new T[n ? n : 1]), m_n(n) { memcpy(m_p, s, n * sizeof(T)); }
    ~Exact() { delete[] m_p; }
    Exact(const Exact&) = delete;
    Exact& operator=(const Exact&) = delete;
    T* Data() { return m_p; }
    int Len() const { return static_cast<int>(m_n); }

private:
    T* m_p;
    size_t m_n;
};

inline std::vector<unsigned short> ToUtf16(unsigned int cp, const std::string& in) {
    const int n = CVCMMap::MultiByteToWideChar(cp, in.data(), static_cast<int>(in.size()), nullptr, 0);
    std::vector<unsigned short> out(static_cast<size_t>(n) + 1);
    const int m = CVCMMap::MultiByteToWideChar(cp, in.data(), static_cast<int>(in.size()), out.data(), n + 1);
    out.resize(static_cast<size_t>(m));
    return out;
}

inline std::string FromUtf16(unsigned int cp, const std::vector<unsigned short>& in) {
    const int n = CVCMMap::WideCharToMultiByte(cp, in.data(), static_cast<int>(in.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n) + 1, '\0');
    int m = CVCMMap::WideCharToMultiByte(cp, in.data(), static_cast<int>(in.size()), &out[0], n + 1, nullptr, nullptr);
    // The UTF-8 result counts the caller's terminator.
    if (cp != 0 && m > 0) --m;
    out.resize(static_cast<size_t>(m));
    return out;
}

}  // namespace cmmaptest

#endif  // VOS_TESTS_CMMAP_CMMAPTESTSUPPORT_H
